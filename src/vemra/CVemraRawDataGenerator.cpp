#include "vemra/CVemraRawDataGenerator.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "contracts/heap.h"
#include "contracts/text_services.h"

namespace orv::ie {

namespace {

// Every angle field holds seven digits with an implied decimal point: three integer digits
// and four decimals of a degree or gon, or four integer digits and three decimals of a mil.
constexpr int kAngleFieldWidth = 7;

// The device interface of the short date: user default locale, short-date form.
constexpr unsigned long kUserDefaultLocale = 0x0400;
constexpr unsigned long kShortDate = 1;
constexpr int kDateBufferSize = 256;

EDistUnits distUnitsOf(const DexSettings* settings, const DexJobInfo* jobInfo) {
    return settings != nullptr && jobInfo != nullptr ? settings->getDistUnits(*jobInfo) : eMeters;
}

EAngleUnits angleUnitsOf(const DexSettings* settings, const DexJobInfo* jobInfo) {
    return settings != nullptr && jobInfo != nullptr ? settings->getAngleUnits(*jobInfo) : eDegrees;
}

const DexJobInfo& jobOrEmpty(const DexJobInfo* jobInfo) {
    static const DexJobInfo kNoJob;
    return jobInfo != nullptr ? *jobInfo : kNoJob;
}

// Appends `digits` fitted to `width` characters: leading zeros when shorter, its first
// `width` characters when longer (a longer text loses its lowest decimals). No field is wider
// than the widest one the contracts fill.
void appendDigitGroup(COrvStringT& out, const COrvStringT& digits, int width) {
    if (width <= 0) return;
    width = std::min(width, utils::kMaxFieldWidth);
    const int length = digits.GetLength();
    if (length < width) out += COrvStringT(L'0', width - length);
    out += digits.view().substr(0, static_cast<std::size_t>(width));
}

// A vertical or horizontal angle of the base record lies in (0, 360]: an angle of 0 or below
// is moved up by a full circle, so a pointing at zero is written as 360.
double moveAboveZero(double degrees) noexcept { return degrees > 0.0 ? degrees : degrees + 360.0; }

// The device's short date of today with every "." turned into "/"; a one-digit first
// component gains a leading zero ("5.3.2009" gives "05/3/2009"), the others stay as they are.
COrvStringT headerDate() {
    std::array<wchar_t, kDateBufferSize> buffer{};
    orv::platform::GetDateFormatW(kUserDefaultLocale, kShortDate, nullptr, nullptr, buffer.data(), kDateBufferSize);
    buffer.back() = L'\0';
    COrvStringT text(buffer.data());
    text.Replace(L'.', L'/', false);
    if (text.Find(L'/') != 1) return text;
    COrvStringT padded(L'0', 1);
    padded += text;
    return padded;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Object

void* CVemraRawDataGenerator::operator new(std::size_t size) {
    void* block = orv_operator_new(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* CVemraRawDataGenerator::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return orv_operator_new(size);
}

void CVemraRawDataGenerator::operator delete(void* block) noexcept { dlfree(block); }

void CVemraRawDataGenerator::operator delete(void* block, const std::nothrow_t&) noexcept { dlfree(block); }

CVemraRawDataGenerator::CVemraRawDataGenerator(DexSettings* settings, DexJobInfo* jobInfo, DexObservationInfo* obsInfo)
    : m_settings(settings),
      m_jobInfo(jobInfo),
      m_distUnits(distUnitsOf(settings, jobInfo)),
      m_angleUnits(angleUnitsOf(settings, jobInfo)),
      m_obsInfo(obsInfo) {}

CVemraRawDataGenerator::~CVemraRawDataGenerator() = default;

// ---------------------------------------------------------------------------------------------
// Records

void CVemraRawDataGenerator::appendCoded(COrvStringT& out, const wchar_t* code, const COrvStringT& value) {
    out += code;
    out += value;
    out += L'_';
}

bool CVemraRawDataGenerator::writeStation(COrvStringT& out, COrvStringT name, COrvStringT code,
                                          double instrumentHeight) {
    out.Empty();
    appendCoded(out, L"'", mappedName(name, true));  // station names keep their full length
    appendCoded(out, L"(", cleanCode(code));
    appendCoded(out, L")", distToString(instrumentHeight, 3));
    return true;
}

bool CVemraRawDataGenerator::writeObservation(COrvStringT& out, COrvStringT name, int measType, double value1,
                                              double value2, double value3, COrvStringT code, double targetHeight,
                                              const DexTSRawMeasurement*, const DexTSRawMeasurement*) {
    // Type 3 (an angle offset) has no observation record of its own.
    if (measType == DexTSRawFS::eMeasHorizontalAngleOffset) {
        out.Empty();
        return true;
    }
    const bool horizontalDistance = measType == DexTSRawFS::eMeasHorizontalDistance;

    // Target name: a blank for a nameless target, else the name looked up by its first 8
    // characters, so that targets sharing those 8 characters share one output name.
    out.Empty();
    appendCoded(out, L"+",
                name.IsEmpty() ? COrvStringT(L" ") : mappedName(name.GetLength() > 8 ? name.Left(8) : name, true));
    appendCoded(out, L" a+", angleField(moveAboveZero(value1), false, true, 4));
    if (horizontalDistance) {
        appendCoded(out, L" d", distField(value2, true, true, 3, 8));
    } else {
        appendCoded(out, L" b", angleField(moveAboveZero(value2), false, true, 4));
    }
    if (measType != DexTSRawFS::eMeasAnglesOnly) {
        // The height difference, or the slope distance.
        appendCoded(out, horizontalDistance ? L" e" : L" c", distField(value3, true, true, 3, 8));
    }
    appendCoded(out, L"*", cleanCode(code));
    appendCoded(out, L",", distToString(targetHeight, 3));
    return true;
}

bool CVemraRawDataGenerator::writeJobHeader(COrvStringT& out) {
    const DexJobInfo& job = jobOrEmpty(m_jobInfo);
    out = L"_";  // the header alone opens with the field separator
    appendCoded(out, L"!", job.jobName);
    appendCoded(out, L"\"", job.jobText3);
    appendCoded(out, L"#", m_obsInfo != nullptr ? m_obsInfo->instrument : COrvStringT());
    appendCoded(out, L"$", headerDate());

    // Atmosphere in the units the observation settings report it in; zeros when absent.
    double temperature = 0.0;
    ETemperatureUnits temperatureUnits = eCelsius;
    const bool hasTemperature = m_obsInfo != nullptr && m_obsInfo->getTemperature(temperature, temperatureUnits);
    appendCoded(out, L"%",
                hasTemperature ? orv_formats::DoubleToString(utils::fromCelsius(temperature, temperatureUnits), 3)
                               : COrvStringT(L"0.000"));
    double pressure = 0.0;
    EPressureUnits pressureUnits = eHectoPascal;
    const bool hasPressure = m_obsInfo != nullptr && m_obsInfo->getPressure(pressure, pressureUnits);
    appendCoded(out, L"&",
                hasPressure ? orv_formats::IntToString(orv::math::toIntSaturated(
                                  orv::math::round_prec(utils::fromHpa(pressure, pressureUnits), 0)))
                            : COrvStringT(L"000"));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Unit letters, texts and fixed-width fields

COrvStringT CVemraRawDataGenerator::angleUnitsLetter(bool upper) {
    // Asked of the job at every call, unlike the angle texts, which use the units taken at
    // construction.
    switch (jobOrEmpty(m_jobInfo).getAngleUnits()) {
        case eGons:
            return upper ? L"G" : L"g";
        case eMils:
            return upper ? L"M" : L"m";
        default:
            return upper ? L"D" : L"d";
    }
}

COrvStringT CVemraRawDataGenerator::angleToString(double degrees, int precision) {
    const EAngleUnits style = m_angleUnits == eGons || m_angleUnits == eMils ? m_angleUnits : eDegMinSec;
    return utils::angleByStyleToString(style, degrees, precision);
}

COrvStringT CVemraRawDataGenerator::distUnitsLetter(bool upper) {
    if (m_distUnits == eMeters) return upper ? L"M" : L"m";
    return upper ? L"F" : L"f";
}

COrvStringT CVemraRawDataGenerator::distToString(double metres, int precision) {
    if (m_distUnits == eMeters) return orv_formats::DoubleToString(metres, precision);
    // International feet have their own style; every other feet unit is US survey feet.
    const EDistUnits style = m_distUnits == eInternationalFeet ? eInternationalFeet : eUSFeet;
    return utils::distByStyleToString(style, metres, precision);
}

COrvStringT CVemraRawDataGenerator::distField(double metres, bool withSign, bool withUnit, int precision, int width) {
    COrvStringT field;
    if (withSign) field += metres < 0.0 ? L'-' : L'+';
    COrvStringT digits = distToString(std::fabs(metres), precision);
    digits.Remove(L'.', false);
    appendDigitGroup(field, digits, width);
    if (withUnit) field += distUnitsLetter(false);
    return field;
}

COrvStringT CVemraRawDataGenerator::angleField(double degrees, bool withSign, bool withUnit, int precision) {
    COrvStringT field;
    if (withSign) field += degrees < 0.0 ? L'-' : L'+';
    // A mil field with its unit letter always carries three decimals: four integer digits of
    // mils fill the seven digits exactly.
    if (withUnit && m_angleUnits == eMils) precision = 3;
    COrvStringT digits = angleToString(std::fabs(degrees), precision);
    digits.Remove(L'.', false);
    appendDigitGroup(field, digits, kAngleFieldWidth);
    if (withUnit) field += angleUnitsLetter(false);
    return field;
}

// ---------------------------------------------------------------------------------------------
// Point-name map

bool CVemraRawDataGenerator::isNameMapped(const COrvStringT& name) { return m_nameMap.contains(name); }

COrvStringT CVemraRawDataGenerator::mappedName(const COrvStringT& name, bool remember) {
    COrvStringT found;
    if (m_nameMap.find(name, found)) return found;
    COrvStringT value = makeUniqueName(name);
    if (remember) m_nameMap.assign(name, value);
    return value;
}

COrvStringT CVemraRawDataGenerator::makeUniqueName(const COrvStringT& name) {
    // "+" and "_" open fields of the record, so a name cannot hold them.
    COrvStringT base = name;
    base.Remove(L'+', false);
    base.Remove(L'_', false);
    // Candidates are compared with the names already received (the keys), and each numbered
    // candidate is formed from the cleaned base: A1, A11, A12, … never A111.
    COrvStringT candidate = base;
    for (int n = 1; m_nameMap.contains(candidate); ++n) {
        candidate = base;
        orv_formats::AppendInt(candidate, n);
    }
    return candidate;
}

COrvStringT CVemraRawDataGenerator::cleanCode(const COrvStringT& code) {
    // "*" opens the code field and "_" ends every field.
    COrvStringT clean = code;
    clean.Remove(L'*', false);
    clean.Remove(L'_', false);
    return clean;
}

}  // namespace orv::ie
