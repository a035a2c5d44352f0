#include "quoltpashk/CQuoltPashkRawDataGenerator.h"

#include <initializer_list>
#include <limits>
#include <utility>

#include "contracts/text_services.h"

namespace orv::ie {

namespace {

constexpr int kKeywordWidth = 8;
constexpr double kMeanEarthRadius = 6371000.0;  // metres

// The sight kinds and measurement kinds are those of the data model; coordinates are a
// measurement kind of this format's own. The offset sub-kind measured along a line.
constexpr int kCoordinates = 4;
constexpr int kPointToLineOffset = 2;

// Starts a record: the keyword laid out in its 8-character field (a longer text, such as a
// program name, is kept whole), replacing what `out` held.
void beginRecord(COrvStringT& out, const COrvStringT& keyword) {
    out.Empty();
    utils::appendReportString(out, L' ', kKeywordWidth, false, keyword, true);
}

void beginRecord(COrvStringT& out, const wchar_t* keyword) { beginRecord(out, COrvStringT(keyword)); }

// The values of a record, separated by commas; an empty value keeps its place (",,"). The
// list is built in order, left to right, so the names it asks for are given in that order;
// callers move the texts they no longer need into it.
void appendValues(COrvStringT& out, std::initializer_list<COrvStringT> values) {
    bool first = true;
    for (const COrvStringT& value : values) {
        if (!first) out += L',';
        out += value;
        first = false;
    }
}

const DexJobInfo& jobOrEmpty(const DexJobInfo* jobInfo) {
    static const DexJobInfo kNoJob;
    return jobInfo != nullptr ? *jobInfo : kNoJob;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Object and point names

CQuoltPashkRawDataGenerator::CQuoltPashkRawDataGenerator(DexSettings* settings, DexJobInfo* jobInfo,
                                                         DexObservationInfo* obsInfo, const FreeNumericNames* names,
                                                         bool useNumericNames)
    : CVemraRawDataGenerator(settings, jobInfo, obsInfo), m_backsightCounter(1), m_useNumericNames(useNumericNames) {
    if (names != nullptr) m_numericNames = *names;
}

// Members go in reverse order: the output-name memo, the numeric names, the backsight name,
// then the Vemra part with its own map.
CQuoltPashkRawDataGenerator::~CQuoltPashkRawDataGenerator() = default;

double CQuoltPashkRawDataGenerator::elevationFactor(double elevation, double radius) noexcept {
    if (!(radius > 1.0)) radius = kMeanEarthRadius;  // no usable radius given (NaN included)
    return 1.0 + elevation / radius;
}

bool CQuoltPashkRawDataGenerator::isNameMapped(const COrvStringT& name) { return m_outputNames.contains(name); }

COrvStringT CQuoltPashkRawDataGenerator::makeUniqueName(const COrvStringT& name) {
    return m_useNumericNames ? m_numericNames.getNameFor(name) : name;
}

COrvStringT CQuoltPashkRawDataGenerator::outputName(const COrvStringT& name) {
    // A nameless point is never looked up: each one gets a fresh name, which replaces the one
    // stored under the empty name.
    if (!name.IsEmpty()) {
        COrvStringT found;
        if (m_outputNames.find(name, found)) return found;
    }
    COrvStringT value = makeUniqueName(name);
    m_outputNames.assign(name, value);
    return value;
}

// ---------------------------------------------------------------------------------------------
// Header

bool CQuoltPashkRawDataGenerator::writeHeaderRecords(COrvStringT& versionLine, COrvStringT& jobLine,
                                                     COrvStringT& instrumentLine, COrvStringT& unitsLine,
                                                     COrvStringT& scaleLine, COrvStringT& dateLine,
                                                     COrvStringT& temperatureLine) {
    const DexJobInfo& job = jobOrEmpty(m_jobInfo);

    beginRecord(versionLine, job.appName);
    versionLine += L'v';
    versionLine += job.appVersion;
    versionLine += kLineEnd;

    beginRecord(jobLine, L"JOB");
    appendValues(jobLine, {job.jobName, job.jobText2, job.jobText3});
    jobLine += kLineEnd;

    beginRecord(instrumentLine, L"INST");
    if (m_obsInfo != nullptr) instrumentLine += m_obsInfo->instrument;
    instrumentLine += kLineEnd;

    beginRecord(unitsLine, L"UNITS");
    appendValues(unitsLine, {distUnitsLetter(true), angleUnitsLetter(true)});
    unitsLine += kLineEnd;

    beginRecord(scaleLine, L"SCALE");
    scaleLine += scaleValues();
    scaleLine += kLineEnd;

    beginRecord(dateLine, L"DATE");
    COrvStringT createdDate;
    COrvStringT createdTime;
    job.getCreateTimeString(createdDate, createdTime);
    appendValues(dateLine, {std::move(createdDate), std::move(createdTime)});
    dateLine += kLineEnd;

    beginRecord(temperatureLine, L"TEMP");
    temperatureLine += atmosphereValues();
    temperatureLine += kLineEnd;
    return true;
}

COrvStringT CQuoltPashkRawDataGenerator::scaleValues() {
    // Grid scale factor and the job's mean elevation; no settings leave scale 1 at sea level.
    double gridScale = 1.0;
    double elevation = 0.0;
    if (m_obsInfo != nullptr) m_obsInfo->getEllToGridScaleAndElevation(gridScale, elevation);

    // The combined factor reduces a ground distance to the ellipsoid, then to the grid.
    const double factor = elevationFactor(elevation, 0.0);
    const double inverse = factor != 0.0 ? 1.0 / factor : std::numeric_limits<double>::infinity();
    const double combined = inverse * gridScale;

    // The elevation is stated in the job's own distance units (metres when it has none).
    EDistUnits jobUnits = eMeters;
    if (m_jobInfo != nullptr) m_jobInfo->getDistUnits(jobUnits);

    COrvStringT values;
    values.Format(L"%.6lf,%.6lf,%.6lf", combined, gridScale, utils::fromMetersFactor(elevation, jobUnits));
    return values;
}

COrvStringT CQuoltPashkRawDataGenerator::atmosphereValues() {
    // Without settings the standard 20 °C and a pressure of 0 are written.
    double celsius = 20.0;
    ETemperatureUnits temperatureUnits = eCelsius;
    double hpa = 0.0;
    EPressureUnits pressureUnits = eHectoPascal;
    if (m_obsInfo != nullptr) {
        m_obsInfo->getTemperature(celsius, temperatureUnits);
        m_obsInfo->getPressure(hpa, pressureUnits);
    }
    COrvStringT values;
    values.Format(L"%.1lf,%.1lf", utils::fromCelsius(celsius, temperatureUnits), utils::fromHpa(hpa, pressureUnits));
    return values;
}

// ---------------------------------------------------------------------------------------------
// Station and sights

bool CQuoltPashkRawDataGenerator::writeStation(COrvStringT& out, COrvStringT name, COrvStringT code,
                                               double instrumentHeight) {
    beginRecord(out, L"STN");
    // An empty code leaves the line ending with the comma.
    appendValues(out, {outputName(name), distToString(instrumentHeight, 3), std::move(code)});
    out += kLineEnd;
    return true;
}

COrvStringT CQuoltPashkRawDataGenerator::stationLineIfNew(const COrvStringT& name, bool enabled,
                                                          const COrvStringT& code, double instrumentHeight) {
    COrvStringT line;
    if (enabled && !isNameMapped(name)) {
        const COrvStringT mapped = outputName(name);
        writeStation(line, mapped, code, instrumentHeight);
    }
    return line;
}

COrvStringT CQuoltPashkRawDataGenerator::generatedBacksightName() {
    COrvStringT name;
    if (m_useNumericNames) {
        name = outputName(COrvStringT());
    } else {
        name = L"#BS";
        orv_formats::AppendInt(name, m_backsightCounter);
    }
    if (m_backsightCounter < std::numeric_limits<int>::max()) ++m_backsightCounter;
    return name;
}

bool CQuoltPashkRawDataGenerator::writeBacksightBearing(COrvStringT& out, bool generateName, COrvStringT name,
                                                        double firstAngle, double secondAngle) {
    beginRecord(out, L"BKB");
    // The backsight named here is the one that later generated backsight sights repeat.
    m_backsightName = generateName ? generatedBacksightName() : outputName(name);
    appendValues(out, {m_backsightName, angleToString(firstAngle, 5), angleToString(secondAngle, 5)});
    out += kLineEnd;
    return true;
}

bool CQuoltPashkRawDataGenerator::writeSight(COrvStringT& out, SightKind kind, bool generateName, COrvStringT name,
                                             COrvStringT code, COrvStringT secondText, double targetHeight) {
    COrvStringT keyword;
    switch (kind) {
        case eSightBacksight:
            keyword = L"BS";
            break;
        case eSightForesight:
            keyword = L"FS";
            break;
        case eSightSideShot:
            keyword = L"SS";
            break;
        default:
            keyword = out;  // an unknown kind lays out what the line held
            break;
    }
    beginRecord(out, keyword);

    COrvStringT target = kind == eSightBacksight && generateName
                             ? (m_backsightName.IsEmpty() ? generatedBacksightName() : outputName(m_backsightName))
                             : outputName(name);
    COrvStringT height = distToString(targetHeight, 3);
    if (kind != eSightForesight && kind != eSightSideShot) {
        appendValues(out, {std::move(target), std::move(height)});
    } else if (code.IsEmpty() || secondText.IsEmpty()) {
        // An empty code ends the values with its comma and drops the second text.
        appendValues(out, {std::move(target), std::move(height), std::move(code)});
    } else {
        appendValues(out, {std::move(target), std::move(height), std::move(code), std::move(secondText)});
    }
    out += kLineEnd;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Measurements and auxiliary records

bool CQuoltPashkRawDataGenerator::writeMeasurement(COrvStringT& out, MeasurementKind kind, int subKind, double value1,
                                                   double value2, double value3) {
    switch (kind) {
        case eKindAnglesAndSlopeDistance:  // horizontal angle, zenith, slope distance
            beginRecord(out, L"SD");
            appendValues(out, {angleToString(value1, 5), angleToString(value2, 5), distToString(value3, 4)});
            break;
        case eKindAngleAndHorizontalDistance:  // horizontal angle, horizontal distance, height difference
            beginRecord(out, L"HD");
            appendValues(out, {angleToString(value1, 5), distToString(value2, 4), distToString(value3, 4)});
            break;
        case eKindAnglesOnly:
            beginRecord(out, L"HV");
            appendValues(out, {angleToString(value1, 5), angleToString(value2, 5)});
            break;
        case eKindDistanceOffsets:  // the values come in the format's own order: second, third, first
            beginRecord(out, subKind == kPointToLineOffset ? L"PTL_OFF" : L"OFFSET");
            appendValues(out, {distToString(value2, 4), distToString(value3, 4), distToString(value1, 4)});
            break;
        case kCoordinates:  // the host's first two values are swapped into x, y
            out = xyzLine(value2, value1, value3);
            return true;
        default:
            return true;  // no record: `out` keeps what it held
    }
    out += kLineEnd;
    return true;
}

COrvStringT CQuoltPashkRawDataGenerator::xyzLine(double x, double y, double z) {
    COrvStringT line;
    beginRecord(line, L"XYZ");
    appendValues(line, {distToString(x, 4), distToString(y, 4), distToString(z, 4)});
    line += kLineEnd;
    return line;
}

bool CQuoltPashkRawDataGenerator::writeMissingLine(COrvStringT& out, COrvStringT fromName, COrvStringT toName,
                                                   double distance1, double distance2, double distance3) {
    beginRecord(out, L"MLM");
    appendValues(out, {outputName(fromName), outputName(toName), distToString(distance1, 4), distToString(distance2, 4),
                       distToString(distance3, 4)});
    out += kLineEnd;
    return true;
}

bool CQuoltPashkRawDataGenerator::writeResectionObservation(COrvStringT& out, COrvStringT name, int number,
                                                            double value) {
    beginRecord(out, L"RES_OBS");
    appendValues(out, {outputName(name), distToString(value, 3), orv_formats::IntToString(number)});
    out += kLineEnd;
    return true;
}

bool CQuoltPashkRawDataGenerator::writeControlCodes(COrvStringT& out, COrvStringT text1, COrvStringT text2,
                                                    COrvStringT text3) {
    // The third text needs the second: without it the line stops after the first. An empty
    // first text keeps its place; without the first two there is no line.
    out.Empty();
    if (text1.IsEmpty() && text2.IsEmpty()) return true;
    beginRecord(out, L"CTL");
    if (text2.IsEmpty()) {
        appendValues(out, {std::move(text1)});
    } else if (text3.IsEmpty()) {
        appendValues(out, {std::move(text1), std::move(text2)});
    } else {
        appendValues(out, {std::move(text1), std::move(text2), std::move(text3)});
    }
    out += kLineEnd;
    return true;
}

bool CQuoltPashkRawDataGenerator::writeNote(COrvStringT& out, COrvStringT note) {
    // A note is one line: its line breaks go, everything else (commas too) is kept.
    note.Remove(L'\r', false);
    note.Remove(L'\n', false);
    if (note.IsEmpty()) return true;
    beginRecord(out, L"NOTE");
    out += note;
    out += kLineEnd;
    return true;
}

}  // namespace orv::ie
