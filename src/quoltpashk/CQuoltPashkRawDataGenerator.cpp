#include "quoltpashk/CQuoltPashkRawDataGenerator.h"

#include <limits>

#include "contracts/text_services.h"

namespace orv::ie {

namespace {

constexpr const wchar_t* kLineEnd = L"\r\n";
constexpr int kKeywordWidth = 8;
constexpr double kMeanEarthRadius = 6371000.0;  // metres

// Kinds of sight and measurement, and the offset sub-kind measured along a line.
constexpr int kBacksight = 1;
constexpr int kForesight = 2;
constexpr int kSideShot = 3;
constexpr int kSlope = 0;
constexpr int kHorizontalDistance = 1;
constexpr int kAnglesOnly = 2;
constexpr int kOffset = 3;
constexpr int kCoordinates = 4;
constexpr int kPointToLineOffset = 2;

// Starts a record: the keyword laid out in its 8-character field (a longer text, such as a
// program name, is kept whole), replacing what `out` held.
void beginRecord(COrvStringT& out, const COrvStringT& keyword) {
    out.Empty();
    utils::appendReportString(out, L' ', kKeywordWidth, false, keyword, true);
}

void beginRecord(COrvStringT& out, const wchar_t* keyword) { beginRecord(out, COrvStringT(keyword)); }

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

bool CQuoltPashkRawDataGenerator::isNameMapped(const COrvStringT& name) { return m_outputNames.count(name) != 0; }

COrvStringT CQuoltPashkRawDataGenerator::makeUniqueName(const COrvStringT& name) {
    return m_useNumericNames ? m_numericNames.getNameFor(name) : name;
}

COrvStringT CQuoltPashkRawDataGenerator::outputName(const COrvStringT& name) {
    // A nameless point is never looked up: each one gets a fresh name, which replaces the one
    // stored under the empty name.
    if (!name.IsEmpty()) {
        const auto found = m_outputNames.find(name);
        if (found != m_outputNames.end()) return found->second;
    }
    COrvStringT value = makeUniqueName(name);
    m_outputNames.insert_or_assign(name, value);
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
    jobLine += job.jobName;
    jobLine += L',';
    jobLine += job.jobText2;
    jobLine += L',';
    jobLine += job.jobText3;
    jobLine += kLineEnd;

    beginRecord(instrumentLine, L"INST");
    if (m_obsInfo != nullptr) instrumentLine += m_obsInfo->instrument;
    instrumentLine += kLineEnd;

    beginRecord(unitsLine, L"UNITS");
    unitsLine += distUnitsLetter(true);
    unitsLine += L',';
    unitsLine += angleUnitsLetter(true);
    unitsLine += kLineEnd;

    beginRecord(scaleLine, L"SCALE");
    scaleLine += scaleValues();
    scaleLine += kLineEnd;

    beginRecord(dateLine, L"DATE");
    COrvStringT createdDate;
    COrvStringT createdTime;
    job.getCreateTimeString(createdDate, createdTime);
    dateLine += createdDate;
    dateLine += L',';
    dateLine += createdTime;
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
    out += outputName(name);
    out += L',';
    out += distToString(instrumentHeight, 3);
    out += L',';
    out += code;  // an empty code leaves the line ending with the comma
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
    out += m_backsightName;
    out += L',';
    out += angleToString(firstAngle, 5);
    out += L',';
    out += angleToString(secondAngle, 5);
    out += kLineEnd;
    return true;
}

bool CQuoltPashkRawDataGenerator::writeSight(COrvStringT& out, SightKind kind, bool generateName, COrvStringT name,
                                             COrvStringT code, COrvStringT secondText, double targetHeight) {
    COrvStringT keyword;
    switch (kind) {
        case kBacksight:
            keyword = L"BS";
            break;
        case kForesight:
            keyword = L"FS";
            break;
        case kSideShot:
            keyword = L"SS";
            break;
        default:
            keyword = out;  // an unknown kind lays out what the line held
            break;
    }
    beginRecord(out, keyword);

    if (kind == kBacksight && generateName) {
        out += m_backsightName.IsEmpty() ? generatedBacksightName() : outputName(m_backsightName);
    } else {
        out += outputName(name);
    }
    out += L',';
    out += distToString(targetHeight, 3);

    if (kind == kForesight || kind == kSideShot) {
        out += L',';
        if (!code.IsEmpty()) {
            out += code;
            if (!secondText.IsEmpty()) {
                out += L',';
                out += secondText;
            }
        }
    }
    out += kLineEnd;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Measurements and auxiliary records

bool CQuoltPashkRawDataGenerator::writeMeasurement(COrvStringT& out, MeasurementKind kind, int subKind, double value1,
                                                   double value2, double value3) {
    switch (kind) {
        case kSlope:  // horizontal angle, zenith, slope distance
            beginRecord(out, L"SD");
            out += angleToString(value1, 5);
            out += L',';
            out += angleToString(value2, 5);
            out += L',';
            out += distToString(value3, 4);
            break;
        case kHorizontalDistance:  // horizontal angle, horizontal distance, height difference
            beginRecord(out, L"HD");
            out += angleToString(value1, 5);
            out += L',';
            out += distToString(value2, 4);
            out += L',';
            out += distToString(value3, 4);
            break;
        case kAnglesOnly:
            beginRecord(out, L"HV");
            out += angleToString(value1, 5);
            out += L',';
            out += angleToString(value2, 5);
            break;
        case kOffset:  // the values come in the format's own order: second, third, first
            beginRecord(out, subKind == kPointToLineOffset ? L"PTL_OFF" : L"OFFSET");
            out += distToString(value2, 4);
            out += L',';
            out += distToString(value3, 4);
            out += L',';
            out += distToString(value1, 4);
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
    line += distToString(x, 4);
    line += L',';
    line += distToString(y, 4);
    line += L',';
    line += distToString(z, 4);
    line += kLineEnd;
    return line;
}

bool CQuoltPashkRawDataGenerator::writeMissingLine(COrvStringT& out, COrvStringT fromName, COrvStringT toName,
                                                   double distance1, double distance2, double distance3) {
    beginRecord(out, L"MLM");
    out += outputName(fromName);
    out += L',';
    out += outputName(toName);
    out += L',';
    out += distToString(distance1, 4);
    out += L',';
    out += distToString(distance2, 4);
    out += L',';
    out += distToString(distance3, 4);
    out += kLineEnd;
    return true;
}

bool CQuoltPashkRawDataGenerator::writeResectionObservation(COrvStringT& out, COrvStringT name, int number,
                                                            double value) {
    beginRecord(out, L"RES_OBS");
    out += outputName(name);
    out += L',';
    out += distToString(value, 3);
    out += L',';  // the number follows the value
    orv_formats::AppendInt(out, number);
    out += kLineEnd;
    return true;
}

bool CQuoltPashkRawDataGenerator::writeControlCodes(COrvStringT& out, COrvStringT text1, COrvStringT text2,
                                                    COrvStringT text3) {
    // The third text needs the second: without it the line stops after the first.
    out.Empty();
    if (!text1.IsEmpty()) {
        beginRecord(out, L"CTL");
        out += text1;
    }
    if (!text2.IsEmpty()) {
        if (out.IsEmpty()) beginRecord(out, L"CTL");
        out += L',';
        out += text2;
        if (!text3.IsEmpty()) {
            out += L',';
            out += text3;
        }
    }
    if (!out.IsEmpty()) out += kLineEnd;
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
