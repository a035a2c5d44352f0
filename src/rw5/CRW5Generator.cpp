#include "rw5/CRW5Generator.h"

#include <cmath>

#include "contracts/heap.h"
#include "contracts/text_services.h"

namespace orv::ie {

namespace {

// Room reserved for an observation line before it is built: enough for the usual line with
// its code note, so that it is allocated once.
constexpr std::size_t kLineCapacity = 127;

// The fields of an RW5 record: a comma, the tag, the value (",OP7"). A field with an empty
// value is a bare tag (",SD"). The note field has the tag "--".
void appendTagged(COrvStringT& out, const wchar_t* tag, const COrvStringT& value) {
    out += L',';
    out += tag;
    out += value;
}

void appendTagged(COrvStringT& out, const wchar_t* tag, const wchar_t* value) {
    out += L',';
    out += tag;
    out += value;
}

void appendTag(COrvStringT& out, const wchar_t* tag) {
    out += L',';
    out += tag;
}

EDistUnits distUnitsOf(const DexSettings* settings, const DexJobInfo* jobInfo) {
    return settings != nullptr && jobInfo != nullptr ? settings->getDistUnits(*jobInfo) : eMeters;
}

EAngleUnits angleUnitsOf(const DexSettings* settings, const DexJobInfo* jobInfo) {
    return settings != nullptr && jobInfo != nullptr ? settings->getAngleUnits(*jobInfo) : eDegrees;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Object

void* CRW5Generator::operator new(std::size_t size) {
    void* block = orv_operator_new(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* CRW5Generator::operator new(std::size_t size, const std::nothrow_t&) noexcept { return orv_operator_new(size); }

void CRW5Generator::operator delete(void* block) noexcept { dlfree(block); }

void CRW5Generator::operator delete(void* block, const std::nothrow_t&) noexcept { dlfree(block); }

CRW5Generator::CRW5Generator(const DexSettings* settings, const DexJobInfo* jobInfo, const FreeNumericNames* names,
                             bool forceNames, bool rbMode)
    : m_instrumentHeight(-1.0),
      m_targetHeight(-1.0),
      m_heightChanged(false),
      m_backsightCounter(1),
      m_rbMode(rbMode),
      m_forceNames(forceNames),
      m_bsDirectType(rbMode ? L"RB" : L"BD"),
      m_settings(settings),
      m_jobInfo(jobInfo),
      m_distUnits(distUnitsOf(settings, jobInfo)),
      m_angleUnits(angleUnitsOf(settings, jobInfo)) {
    if (names != nullptr) {
        m_freeNames = *names;
    } else {
        m_freeNames.init();
    }
    m_notePrefix = L"--";
}

CRW5Generator::~CRW5Generator() = default;

// ---------------------------------------------------------------------------------------------
// Header, formatters, names and notes

bool CRW5Generator::header(COrvStringT& commentLine, COrvStringT& jobLine, COrvStringT& modeLine) {
    static const DexJobInfo kNoJob;
    const DexJobInfo& job = m_jobInfo != nullptr ? *m_jobInfo : kNoJob;

    commentLine = m_notePrefix;
    commentLine += job.appName;
    commentLine += L" Version ";
    commentLine += job.appVersion;
    commentLine += kLineEnd;

    const base::CTime now = base::CTime::GetCurrentTime();
    COrvStringT date;
    date.Format(L"%02d-%02d-%04d", now.GetMonth(), now.GetDay(), now.GetYear());
    COrvStringT time;
    time.Format(L"%02d:%02d:%02d", now.GetHour(), now.GetMinute(), now.GetSecond());
    jobLine = L"JB";
    appendTagged(jobLine, L"NM", job.jobName);
    appendTagged(jobLine, L"DT", date);
    appendTagged(jobLine, L"TM", time);
    jobLine += kLineEnd;

    // Unit digit: 1 metres, 0 international feet, 2 US survey feet and every other unit.
    const wchar_t* unitDigit = m_distUnits == eMeters ? L"1" : m_distUnits == eInternationalFeet ? L"0" : L"2";
    const wchar_t* angleDigit = m_angleUnits == eGons ? L"1" : L"0";
    modeLine = L"MO";
    appendTagged(modeLine, L"AD", L"0");
    appendTagged(modeLine, L"UN", unitDigit);
    appendTagged(modeLine, L"SF", L"1.0");
    appendTagged(modeLine, L"EC", L"0");
    appendTagged(modeLine, L"EO", L"0.0");
    appendTagged(modeLine, L"AU", angleDigit);
    modeLine += kLineEnd;
    return true;
}

COrvStringT CRW5Generator::d(double metres, int precision) {
    if (metres == noValue) return COrvStringT();
    const EDistUnits style = m_distUnits == eMeters || m_distUnits == eInternationalFeet ? m_distUnits : eUSFeet;
    return utils::distByStyleToString(style, metres, precision);
}

COrvStringT CRW5Generator::a(double degrees, int precision) {
    return utils::angleByStyleToString(m_angleUnits == eGons ? eGons : eDegMinSec, degrees, precision);
}

COrvStringT CRW5Generator::pointName(const COrvStringT& name) {
    if (m_forceNames || name.IsEmpty()) return m_freeNames.getNameFor(name);
    return name;
}

COrvStringT CRW5Generator::cachedName(const COrvStringT& name) {
    COrvStringT found;
    if (m_nameMap.find(name, found)) return found;
    COrvStringT mapped = pointName(name);
    m_nameMap.insert(name, mapped);
    return mapped;
}

bool CRW5Generator::hasName(const COrvStringT& name) { return m_nameMap.contains(name); }

COrvStringT CRW5Generator::noteLineOf(const COrvStringT& text) {
    if (text.IsEmpty()) return COrvStringT();
    COrvStringT line = m_notePrefix;
    line += text;
    line += kLineEnd;
    return line;
}

COrvStringT CRW5Generator::noteLine(const COrvStringT& text) { return noteLineOf(text); }

COrvStringT CRW5Generator::noteLine(const wchar_t* text) { return noteLineOf(COrvStringT(text)); }

COrvStringT CRW5Generator::noteField(const COrvStringT& text) {
    COrvStringT field;
    appendTagged(field, L"--", text);
    return field;
}

COrvStringT CRW5Generator::notePrefix() { return m_notePrefix; }

COrvStringT CRW5Generator::beginMarker() { return labelledNote(L"BEG", COrvStringT()); }

COrvStringT CRW5Generator::endMarker() { return labelledNote(L"END", COrvStringT()); }

COrvStringT CRW5Generator::emptyText() { return COrvStringT(); }

COrvStringT CRW5Generator::emptyText(int) { return COrvStringT(); }

COrvStringT CRW5Generator::labelledNote(const wchar_t* label, const COrvStringT& value) {
    COrvStringT line = m_notePrefix;
    line += label;
    line += value;
    line += kLineEnd;
    return line;
}

// ---------------------------------------------------------------------------------------------
// Station, backsight and height records

COrvStringT CRW5Generator::coords(const COrvStringT& head, double northing, double easting, double elevation,
                                  const COrvStringT& tail) {
    COrvStringT text = head;  // the head ends with the comma of the first field
    text += L"N ";
    text += d(northing, 4);
    appendTagged(text, L"E ", d(easting, 4));
    appendTagged(text, L"EL", d(elevation, 4));
    if (!tail.IsEmpty()) text += tail;
    return text;
}

COrvStringT CRW5Generator::occupy(const COrvStringT&, const COrvStringT& name, const COrvStringT& note, double northing,
                                  double easting, double elevation, double instrumentHeight) {
    const COrvStringT mapped = cachedName(name);
    COrvStringT head = L"OC";
    appendTagged(head, L"OP", mapped);
    head += L',';
    COrvStringT tail;
    appendTagged(tail, L"--", note);  // the note field stands even when the note is empty
    tail += kLineEnd;
    COrvStringT record = coords(head, northing, easting, elevation, tail);
    m_stationName = mapped;
    if (instrumentHeight != m_instrumentHeight) {
        m_heightChanged = true;
        m_instrumentHeight = instrumentHeight;
    }
    return record;
}

COrvStringT CRW5Generator::lsLine(double targetHeight) {
    COrvStringT line = L"LS";
    appendTagged(line, L"HI", d(m_instrumentHeight, 4));
    appendTagged(line, L"HR", d(targetHeight, 4));
    line += kLineEnd;
    return line;
}

COrvStringT CRW5Generator::lsHiHr(double targetHeight, bool onlyIfChanged) {
    const double change = m_targetHeight - targetHeight;
    if (!m_heightChanged && onlyIfChanged && -0.001 < change && change < 0.001) return COrvStringT();
    COrvStringT line = lsLine(targetHeight);
    m_targetHeight = targetHeight;
    m_heightChanged = false;
    return line;
}

COrvStringT CRW5Generator::lsHiHrIfHrChanged(double targetHeight) {
    if (targetHeight == m_targetHeight) return COrvStringT();
    COrvStringT line = lsLine(targetHeight);
    m_targetHeight = targetHeight;
    return line;
}

COrvStringT CRW5Generator::lsHr(double targetHeight) {
    if (targetHeight == m_targetHeight) return COrvStringT();
    COrvStringT line = L"LS";
    appendTagged(line, L"HR", d(targetHeight, 3));
    line += kLineEnd;
    m_targetHeight = targetHeight;
    return line;
}

COrvStringT CRW5Generator::hrField(double targetHeight) {
    COrvStringT field;
    appendTagged(field, L"HR", d(targetHeight, 4));
    return field;
}

COrvStringT CRW5Generator::backsight(const COrvStringT& name, bool bearingOnly, double firstAngle, double secondAngle) {
    const COrvStringT mapped = cachedName(name);  // a bearing-only backsight still maps its name
    COrvStringT line = L"BK";
    appendTagged(line, L"OP", m_stationName);
    appendTagged(line, L"BP", bearingOnly ? COrvStringT(L"0") : mapped);
    appendTagged(line, L"BS", a(secondAngle, 4));
    appendTagged(line, L"BC", a(firstAngle, 4));
    line += kLineEnd;
    return line;
}

// ---------------------------------------------------------------------------------------------
// Measurement fields, record types and face test

void CRW5Generator::appendHorizontalAngleField(COrvStringT& fields, const DexTSRawMeasurement* measurement,
                                               AngleValue value) {
    double h = measurement->valueAt(0);
    // A signed horizontal angle: 0 or more is turned to the right, negative to the left.
    appendTag(fields, h >= 0.0 ? L"AR" : L"AL");
    if (!(h >= 0.0)) h = -h;
    if (value == AngleValue::written) fields += a(toRange(h, 0.0, 360.0), 5);
}

COrvStringT CRW5Generator::fullFields(const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return COrvStringT();
    const bool slopeOnly = measurement->kind() == eKindSlopeDistanceOnly;  // a slope distance alone, in value 0
    COrvStringT fields;
    if (m_rbMode || !slopeOnly) {
        // In RB mode a slope distance alone still has the angle tags, bare.
        appendHorizontalAngleField(fields, measurement, slopeOnly ? AngleValue::bareTag : AngleValue::written);
        appendTagged(fields, L"ZE", slopeOnly ? COrvStringT() : a(measurement->valueAt(1), 5));
    }
    appendTagged(fields, L"SD", d(measurement->valueAt(slopeOnly ? 0 : 2), 4));
    return fields;
}

COrvStringT CRW5Generator::hdFields(const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return COrvStringT();
    COrvStringT fields;
    appendHorizontalAngleField(fields, measurement, AngleValue::written);
    appendTagged(fields, L"CE", d(measurement->valueAt(2), 4));  // the height difference comes first
    appendTagged(fields, L"HD", d(measurement->valueAt(1), 4));
    return fields;
}

COrvStringT CRW5Generator::angleOnlyFields(const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return COrvStringT();
    COrvStringT fields;
    appendHorizontalAngleField(fields, measurement, AngleValue::written);
    appendTag(fields, L"ZE");
    appendTag(fields, L"SD");
    return fields;
}

COrvStringT CRW5Generator::angleFields(const DexTSRawMeasurement* measurement, bool horizontalOffset,
                                       bool verticalOffset, bool withSd, bool sdWithoutValue) {
    if (measurement == nullptr) return COrvStringT();
    COrvStringT fields;
    if (horizontalOffset || !verticalOffset) {
        appendHorizontalAngleField(fields, measurement, AngleValue::written);
        if (horizontalOffset) {
            appendTagged(fields, L"--", measurement->valueAt(0) >= 0.0 ? L"Right Angle Offset" : L"Left Angle Offset");
            return fields;
        }
    }
    appendTagged(fields, L"ZE", a(measurement->valueAt(1), 5));
    if (verticalOffset) {
        appendTagged(fields, L"--", L"Vert Angle Offset");
        return fields;
    }
    if (m_rbMode || (withSd && sdWithoutValue)) {
        appendTag(fields, L"SD");
    } else if (withSd) {
        appendTagged(fields, L"SD", L"0.0");
    }
    return fields;
}

COrvStringT CRW5Generator::typeFor(int kind) { return kind == eSightBacksight ? L"BD" : L"FD"; }

COrvStringT CRW5Generator::recordType(const DexTSRawMeasurement* measurement, int sightKind) {
    if (sightKind == eSightBacksight) {
        if (m_rbMode || isFace1(measurement)) return m_bsDirectType;
        return L"BR";
    }
    if (m_rbMode) return measurement != nullptr && measurement->isBacksightTarget() ? L"OB" : L"SS";
    return isFace1(measurement) ? L"FD" : L"FR";
}

COrvStringT CRW5Generator::sightRecordType(const DexTSRawDataSightInterface* sight) {
    if (sight == nullptr) return COrvStringT();
    const int kind = sight->sightKind();
    return recordType(sight->measurement(), kind);
}

bool CRW5Generator::isFace1(const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return true;
    const int kind = measurement->kind();
    if (kind != eKindAnglesAndSlopeDistance && kind != eKindAnglesOnly && kind != eKindZenithOnly) {
        return true;  // no zenith: counted as face 1
    }
    const double zenith = measurement->valueAt(kind == eKindZenithOnly ? 0 : 1);
    // Face 1 sees the zenith strictly between 0 and 180 degrees; 0 and 180 themselves are face 2.
    return 0.0 < zenith && zenith < 180.0;
}

bool CRW5Generator::verticalSightDistance(const DexTSRawMeasurement* measurement, int precision, double* distance) {
    if (measurement == nullptr) return false;
    // One unit of the last written decimal, at least of the fourth outside gons, in degrees.
    double tolerance = 0.0;
    if (m_angleUnits == eGons) {
        tolerance = utils::angleToDecDeg(std::pow(0.1, precision > 0 ? precision : 0), eGons);
    } else {
        tolerance = utils::angleToDecDeg(std::pow(0.1, precision > 4 ? precision : 4), eDegMinSec);
    }
    const double zenith = ModDeg360(measurement->valueAt(1), false);
    auto near = [tolerance](double x) { return -tolerance < x && x < tolerance; };
    if (!near(zenith) && !near(zenith - 180.0) && !near(zenith - 360.0)) return false;
    double tangent = std::tan(zenith * kRadiansPerDegree);
    if (tangent == 0.0) tangent = 1.0;
    if (distance != nullptr) *distance = measurement->valueAt(2) / tangent;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Observation records and code notes

bool CRW5Generator::appendFieldsByKind(COrvStringT& text, const DexTSRawMeasurement* measurement) {
    switch (measurement->kind()) {
        case eKindAnglesAndSlopeDistance:
        case eKindSlopeDistanceOnly:
            text += fullFields(measurement);
            return true;
        case eKindAngleAndHorizontalDistance:
            text += hdFields(measurement);
            return true;
        case eKindAnglesOnly:
            text += angleFields(measurement, false, false, false, false);
            return true;
        case eKindHorizontalAngleOnly:
            text += angleOnlyFields(measurement);
            return true;
        default:
            return false;
    }
}

COrvStringT CRW5Generator::foresight(const COrvStringT& type, const COrvStringT& name,
                                     const DexTSRawMeasurement* measurement, bool) {
    if (measurement == nullptr) return COrvStringT();
    const COrvStringT mapped = cachedName(name);
    COrvStringT text;
    text.Reserve(kLineCapacity);  // one block for the whole line, its code note included
    text += type;
    appendTagged(text, L"OP", m_stationName);
    appendTagged(text, L"FP", mapped);
    if (!appendFieldsByKind(text, measurement)) return COrvStringT();
    return text;
}

COrvStringT CRW5Generator::backsightObs(const COrvStringT& name, int, const DexTSRawMeasurement* measurement,
                                        double targetHeight) {
    if (measurement == nullptr) return COrvStringT();
    const COrvStringT mapped = cachedName(name);
    COrvStringT text = m_rbMode || isFace1(measurement) ? m_bsDirectType : COrvStringT(L"BR");
    appendTagged(text, L"OP", m_stationName);
    appendTagged(text, L"BP", mapped);
    appendFieldsByKind(text, measurement);  // a kind without fields adds none
    if (m_rbMode) text += hrField(targetHeight);
    return text;
}

COrvStringT CRW5Generator::foresightRecord(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                           const DexTSRawMeasurement* measurement, double targetHeight,
                                           SightFields fields) {
    if (sight == nullptr || measurement == nullptr) return COrvStringT();
    const COrvStringT mapped = cachedName(name);
    COrvStringT text = recordType(measurement, sight->sightKind());
    appendTagged(text, L"OP", m_stationName);
    // Only a backsight sight whose measurement aims at the backsight names a backsight point.
    appendTagged(text, sight->sightKind() == eSightBacksight && measurement->isBacksightTarget() ? L"BP" : L"FP",
                 mapped);
    switch (fields) {
        case SightFields::full:
            text += fullFields(measurement);
            break;
        case SightFields::angles:
            text += angleFields(measurement, false, false, false, false);
            break;
        case SightFields::hd:
            text += hdFields(measurement);
            break;
    }
    if (m_rbMode && sight->sightKind() == eSightBacksight) text += hrField(targetHeight);
    return text;
}

COrvStringT CRW5Generator::foresightFull(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                         const DexTSRawMeasurement* measurement, double targetHeight) {
    return foresightRecord(name, sight, measurement, targetHeight, SightFields::full);
}

COrvStringT CRW5Generator::foresightAngles(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                           const DexTSRawMeasurement* measurement, double targetHeight) {
    return foresightRecord(name, sight, measurement, targetHeight, SightFields::angles);
}

COrvStringT CRW5Generator::foresightHd(const COrvStringT& name, const DexTSRawDataSightInterface* sight,
                                       const DexTSRawMeasurement* measurement, double targetHeight) {
    return foresightRecord(name, sight, measurement, targetHeight, SightFields::hd);
}

COrvStringT CRW5Generator::sightNoteLine(const DexTSRawDataSightInterface* sight, const DexCodeStyle* codeStyle) {
    if (sight == nullptr) return COrvStringT();
    const DexTSRawMeasurement* measurement = sight->measurement();
    const COrvStringT type = m_rbMode ? COrvStringT(L"OB") : sightRecordType(sight);
    COrvStringT line = foresight(type, sight->targetName(), measurement, true);
    appendTag(line, L"--");  // the code note: the codes follow
    const int kind = sight->sightKind();
    if (kind == eSightForesight || kind == eSightSideShot) {
        line += codesText(&sight->codes, codeStyle, sight->getNote());
    } else if (kind == eSightBacksightBearing || kind == eSightBacksight) {
        // A backsight carries the codes and notes of its known backsight point, if it has one.
        const auto* backsight = dynamic_cast<const DexBacksightPoint*>(sight);
        const DexDesignPoint* point = backsight != nullptr ? backsight->getBSPoint() : nullptr;
        if (point != nullptr) line += codesText(&point->codes, codeStyle, point->getStation().getNotes());
    }
    line += kLineEnd;
    return line;
}

COrvStringT CRW5Generator::codesText(const DexCodesDataInterface* codes, const DexCodeStyle* codeStyle,
                                     const COrvStringT& note) {
    if (codes == nullptr) return COrvStringT();
    if (codeStyle != nullptr) return codes->getCodesAsCodeStyle(codeStyle, note, eCodeStyleFormat2);
    COrvStringT text;
    const int count = codes->getNumberOfCodes();
    for (int i = 0; i < count; ++i) {
        const DexCodeValues* value = codes->getCode(i);
        if (value == nullptr) continue;
        if (const DexCodeDescription* description = value->getDescription()) text += description->codeName();
        if (value->getNumberOfTheCodeStrings() > 0) {
            // Line strings ("line-12") join points into lines; they are not part of the code text.
            const COrvStringT codeString = value->getCodeStringAt(0);
            if (codeString.Find(L"line-") < 0) text += codeString;
        }
        text += L' ';
        text += value->getControlCode(eControlCode1);
        const COrvStringT second = value->getControlCode(eControlCode2);
        if (!second.IsEmpty()) {
            text += L' ';
            text += second;
        }
        if (count > 1 && i < count - 1) text += L' ';
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Offsets

COrvStringT CRW5Generator::offsetRecord(const DexTSRawFS* sight, int mode, const COrvStringT& tail) {
    if (sight == nullptr) return COrvStringT();
    const DexTSRawMeasurement* measurement = sight->measurement();
    COrvStringT text;
    switch (mode) {
        case 0:
            text = L"OF";
            break;
        case 1:
            text = m_notePrefix + L"OF";
            break;
        case 2:
            // Heights as plain decimals: no units, no missing-value rule ("-1.000" before any set-up).
            text = m_notePrefix;
            text += L"HI";
            text += orv_formats::DoubleToString(m_instrumentHeight, 3);
            appendTagged(text, L"HR", orv_formats::DoubleToString(m_targetHeight, 3));
            break;
        default:
            break;
    }
    if (measurement == nullptr) return text;
    // The RW5 field writers are called directly: a derived format's fields never apply here.
    switch (measurement->kind()) {
        case eKindAnglesAndSlopeDistance:
            text += CRW5Generator::fullFields(measurement);
            break;
        case eKindAngleAndHorizontalDistance:
            text += CRW5Generator::hdFields(measurement);
            break;
        case eKindAnglesOnly:
            text += CRW5Generator::angleFields(
                measurement, sight->getMeasType() == DexTSRawFS::eMeasHorizontalAngleOffset,
                sight->getMeasType() == DexTSRawFS::eMeasVerticalAngleOffset, mode == 2, false);
            break;
        case eKindDistanceOffsets:
            text +=
                distanceOffsets(measurement, sight->getMeasType() == DexTSRawFS::eMeasDistanceOffsetsText, mode == 1);
            break;
        default:
            break;
    }
    if (!text.IsEmpty() && text.GetAt(0) == L',') {
        // A record without a head would start with a comma: it becomes a note line.
        text.Delete(0, 1);
        text = m_notePrefix + text;
    }
    text += tail;
    text += kLineEnd;
    return text;
}

COrvStringT CRW5Generator::distanceOffsets(const DexTSRawMeasurement* measurement, bool asText, bool asNote) {
    if (measurement == nullptr) return COrvStringT();
    struct Part {
        const wchar_t* label;  // of the labelled note
        const wchar_t* tag;    // of the "OF" record, with its note
        int valueIndex;
        const wchar_t* note;
    };
    static constexpr Part kParts[] = {
        {L"Perpendicular Distance Offset: ", L"HD", 1, L"Horizontal Distance Offset"},
        {L"Left/Right Distance Offset: ", L"LR", 2, L"Left/Right Offset"},
        {L"Elevation Distance Offset: ", L"VD", 0, L"Elevation Offset"},
    };
    COrvStringT text;
    for (const Part& part : kParts) {
        const COrvStringT value = d(measurement->valueAt(part.valueIndex), 4);
        if (asText) {
            text += m_notePrefix;
            text += part.label;
            text += value;
        } else {
            if (asNote) text += m_notePrefix;
            text += L"OF";
            appendTagged(text, part.tag, value);
            appendTagged(text, L"--", part.note);
        }
        if (&part != &kParts[2]) text += kLineEnd;  // the caller ends the last line
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Stored points, resection and recall lists

COrvStringT CRW5Generator::storePoint(const COrvStringT& head, const COrvStringT& name, const DexStation* station,
                                      const COrvStringT& note, int precision, bool force) {
    if (station == nullptr) return COrvStringT();
    if (!force && hasName(name)) return COrvStringT();  // written before as station, target or point
    const COrvStringT mapped = cachedName(name);
    COrvStringT line = head;
    appendTagged(line, L"PN", mapped);
    appendTagged(line, L"N ", d(station->northing, precision));
    appendTagged(line, L"E ", d(station->easting, precision));
    appendTagged(line, L"EL", d(station->getHeight(), precision));
    appendTagged(line, L"--", note);
    line += kLineEnd;
    return line;
}

COrvStringT CRW5Generator::resection(const COrvStringT& name, const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return COrvStringT();
    COrvStringT line = L"RS";
    appendTagged(line, L"PN", name);  // a resection writes the name as given, without the name lookup
    appendTagged(line, L"CR", a(toRange(measurement->valueAt(0), 0.0, 360.0), 5));
    switch (measurement->kind()) {
        case eKindAnglesAndSlopeDistance:
            appendTagged(line, L"ZE", a(measurement->valueAt(1), 5));
            appendTagged(line, L"SD", d(measurement->valueAt(2), 4));
            break;
        case eKindAngleAndHorizontalDistance:
            appendTagged(line, L"CE", d(measurement->valueAt(2), 4));
            appendTagged(line, L"HD", d(measurement->valueAt(1), 4));
            break;
        default:
            break;
    }
    line += kLineEnd;
    return line;
}

COrvStringT CRW5Generator::recallList(const COrvStringTVector& items) {
    COrvStringT text = labelledNote(L"C3", COrvStringT());
    // Every entry but the last is listed.
    for (std::size_t i = 0; i + 1 < items.size(); ++i) text += labelledNote(L"RECALL ", items[i]);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Quality notes

COrvStringT CRW5Generator::resectionErrorNotes(double horizontalError, double zenithError, double slopeDistanceError,
                                               double horizontalVsAverage, double zenithVsAverage,
                                               double slopeDistanceVsAverage) {
    COrvStringT text = labelledNote(L"Horizontal Angle Error: ", a(horizontalError, 5));
    text += labelledNote(L"Zenith Angle Error: ", a(zenithError, 5));
    text += labelledNote(L"Slope Distance Error: ", d(slopeDistanceError, 4));
    text += labelledNote(L"Horizontal Angle Error compares to the average: ", a(horizontalVsAverage, 5));
    text += labelledNote(L"Zenith Angle Error compares to the average: ", a(zenithVsAverage, 5));
    text += labelledNote(L"Slope Distance Error compares to the average: ", d(slopeDistanceVsAverage, 4));
    return text;
}

COrvStringT CRW5Generator::worstResidualNotes(double horizontalResidual, double zenithResidual,
                                              double slopeDistanceResidual) {
    // A residual of ±noValue was not computed and gets no line.
    auto present = [](double value) { return std::fabs(value) != noValue; };
    COrvStringT text;
    if (present(horizontalResidual)) {
        text += labelledNote(L"Horizontal Angle Worst Residual: ", a(horizontalResidual, 5));
    }
    if (present(zenithResidual)) text += labelledNote(L"Zenith Angle Worst Residual: ", a(zenithResidual, 5));
    if (present(slopeDistanceResidual)) {
        text += labelledNote(L"Slope Distance Worst Residual: ", d(slopeDistanceResidual, 4));
    }
    return text;
}

COrvStringT CRW5Generator::targetHeightNote(double height) { return labelledNote(L"HR", d(height, 4)); }

COrvStringT CRW5Generator::backsightCheckNotes(const COrvStringT& backsightName, double zenith, double slopeDistance,
                                               double horizontalAngularError, double verticalAngularError,
                                               double horizontalDistanceError, double verticalDistanceError) {
    COrvStringT text;
    if (!backsightName.IsEmpty()) {
        COrvStringT check = m_stationName;
        check += L" - ";
        check += backsightName;
        check += L":ZE";
        check += a(zenith, 5);
        appendTagged(check, L"SD", d(slopeDistance, 4));
        appendTagged(check, L"HD err= ", d(horizontalDistanceError, 4));
        appendTagged(check, L"VD err= ", d(verticalDistanceError, 4));
        text += labelledNote(L"BS check ", check);
    }
    COrvStringT circle = a(horizontalAngularError, 5);
    circle += L", vertical angular err= ";
    circle += a(verticalAngularError, 5);
    text += labelledNote(L"BS Circle Check : horizontal angular err= ", circle);
    return text;
}

COrvStringT CRW5Generator::backsightHeightNote(double height) { return labelledNote(L"Backsight HR:", d(height, 4)); }

}  // namespace orv::ie
