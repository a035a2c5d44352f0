#include "sdr/CSDRRawGenerator.h"

#include <cmath>

#include "contracts/text_services.h"

namespace orv::ie {

namespace {

// Widths of the SDR fields.
constexpr int kNameWidth = 16;  // point names, values and codes
constexpr int kValueWidth = 16;
constexpr int kCountWidth = 5;  // level counts and flags
constexpr int kAttributeNameWidth = 20;
constexpr int kNoteWidth = 60;

// The kind of a level reading with a single value; every other kind carries two more.
constexpr int kSingleLevelReading = 0;

// Decimals of the SDR values.
constexpr int kDistanceDecimals = 4;     // distances, heights, coordinates
constexpr int kObservationDecimals = 8;  // angles of observation and backsight records
constexpr int kFineAngleDecimals = 9;    // angular coordinates, angles of observation notes

// The two letters of each note kind, in the order of ESdrNoteKind.
constexpr const wchar_t* kNoteLetters[] = {L"AT", L"FC", L"GO", L"OS", L"QC", L"TL", L"TS", L"CP", L"JS",
                                           L"CC", L"PC", L"ST", L"TP", L"SO", L"SC", L"PT", L"OO", L"NM"};
constexpr unsigned int kNoteKinds = sizeof kNoteLetters / sizeof kNoteLetters[0];

// The SDR distance style of the job's units: the feet-and-inches displays are written in the
// feet they are based on; an unknown unit in metres.
EDistUnits distanceStyle(EDistUnits units) {
    switch (units) {
        case eUSFeet:
        case eUSFeetInches:
            return eUSFeet;
        case eInternationalFeet:
        case eInternationalFeetInches:
            return eInternationalFeet;
        default:
            return eMeters;
    }
}

// The codes that belong to a sight: a foresight carries its own, a backsight those of its
// known backsight point (null when it has none).
const DexCodesDataInterface* codesOfSight(const DexTSRawDataSightInterface& sight, int sightKind) {
    if (sightKind == eSightForesight || sightKind == eSightSideShot) return &sight.codes;
    if (sightKind == eSightBacksightBearing || sightKind == eSightBacksight) {
        const auto* backsight = dynamic_cast<const DexBacksightPoint*>(&sight);
        const DexDesignPoint* point = backsight != nullptr ? backsight->getBSPoint() : nullptr;
        return point != nullptr ? &point->codes : nullptr;
    }
    return nullptr;
}

// The first code of a point with its description; null when there is none.
const DexCodeValues* firstDescribedCode(const DexCodesDataInterface* codes) {
    if (codes == nullptr || codes->getNumberOfCodes() <= 0) return nullptr;
    const DexCodeValues* code = codes->getCode(0);
    return code != nullptr && code->getDescription() != nullptr ? code : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Object, field grammar and formatters

CSDRRawGenerator::CSDRRawGenerator(const DexSettings* settings, const DexJobInfo* jobInfo)
    : CRW5Generator(settings, jobInfo, nullptr, false, false) {
    // Every note, the inherited RW5 note lines included, is a "13NM" record.
    m_notePrefix = recordNumber(13);
    m_notePrefix += L"NM";
    m_reportStatus = 0;
}

CSDRRawGenerator::~CSDRRawGenerator() = default;

void CSDRRawGenerator::guardLength(int width, const COrvStringT& text) noexcept {
    if (m_reportStatus == 0 && text.GetLength() > width) m_reportStatus = kFieldOverflow;
}

void CSDRRawGenerator::appendField(COrvStringT& out, int width, Align align, const COrvStringT& text) {
    utils::appendReportString(out, L' ', width, align == Align::right, text, false);
}

void CSDRRawGenerator::appendValue(COrvStringT& out, const COrvStringT& text) {
    appendField(out, kValueWidth, Align::left, text);
}

void CSDRRawGenerator::appendGuarded(COrvStringT& out, int width, Align align, const COrvStringT& text) {
    guardLength(width, text);
    appendField(out, width, align, text);
}

COrvStringT CSDRRawGenerator::guardedField(int width, bool alignRight, const COrvStringT& text) {
    COrvStringT field;
    appendGuarded(field, width, alignRight ? Align::right : Align::left, text);
    return field;
}

COrvStringT CSDRRawGenerator::recordNumber(int number) {
    // Every record asks for its number, so the numbers in use skip the parsing of Format: a
    // leading zero below 10, then the number, is exactly what "%02d" gives them. Any other
    // number goes through Format.
    if (number >= 0 && number <= 99) {
        COrvStringT text;
        if (number < 10) text += L'0';
        orv_formats::AppendInt(text, number);
        return text;
    }
    COrvStringT text;
    text.Format(L"%02d", number);
    return text;
}

int CSDRRawGenerator::codeFieldWidth() { return kNameWidth; }

COrvStringT CSDRRawGenerator::typeFor(int) { return L"MD"; }

COrvStringT CSDRRawGenerator::d(double metres, int precision) {
    if (metres == noValue) return COrvStringT();
    return utils::distByStyleToString(distanceStyle(m_distUnits), metres, precision);
}

COrvStringT CSDRRawGenerator::a(double degrees, int precision) {
    if (degrees == noValue) return COrvStringT();
    switch (m_angleUnits) {
        case eGons:
        case eMils:
        case eDecimalDegrees:
            return utils::angleByStyleToString(m_angleUnits, degrees, precision);
        case eDegMinSec:
            // SDR angles are never packed: degrees-minutes-seconds jobs write decimal degrees.
            return utils::angleByStyleToString(eDecimalDegrees, degrees, precision);
        default:
            // The default unit writes decimal degrees with 6 decimals, whatever was asked.
            return utils::angleByStyleToString(eDecimalDegrees, degrees, 6);
    }
}

COrvStringT CSDRRawGenerator::valueFields(double first, double second, double third, bool angular) {
    const int decimals = angular ? kFineAngleDecimals : kDistanceDecimals;
    COrvStringT fields;
    fields.Reserve(3 * kValueWidth);
    appendValue(fields, angular ? a(first, decimals) : d(first, decimals));
    appendValue(fields, angular ? a(second, decimals) : d(second, decimals));
    appendValue(fields, d(third, kDistanceDecimals));  // the height is always a distance
    return fields;
}

COrvStringT CSDRRawGenerator::noteField(const COrvStringT& code) {
    return utils::getReportString(L' ', kNameWidth, false, code, false);
}

COrvStringT CSDRRawGenerator::noteRecord(const COrvStringT& text, unsigned int kind) {
    if (kind >= kNoteKinds) return COrvStringT();
    COrvStringT line = recordNumber(13);
    line.Reserve(4 + kNoteWidth + 2);  // the whole note line in one block
    line += kNoteLetters[kind];
    appendField(line, kNoteWidth, Align::left, text);
    line += kLineEnd;
    return line;
}

// ---------------------------------------------------------------------------------------------
// Station, target-height, backsight and coordinate records

COrvStringT CSDRRawGenerator::occupy(const COrvStringT& derivation, const COrvStringT& name, const COrvStringT& code,
                                     double northing, double easting, double elevation, double instrumentHeight) {
    const COrvStringT mapped = cachedName(name);
    COrvStringT line = recordNumber(2);
    line += derivation;
    appendGuarded(line, kNameWidth, Align::right, mapped);
    line += valueFields(northing, easting, elevation, false);
    appendValue(line, d(instrumentHeight, kDistanceDecimals));
    line += noteField(code);
    line += kLineEnd;
    m_stationName = mapped;
    if (instrumentHeight != m_instrumentHeight) {
        m_heightChanged = true;
        m_instrumentHeight = instrumentHeight;
    }
    return line;
}

COrvStringT CSDRRawGenerator::lsHiHr(double targetHeight, bool onlyIfChanged) {
    // Unlike the RW5 record, an unchanged target height is an exactly equal one.
    if (!m_heightChanged && onlyIfChanged && targetHeight == m_targetHeight) return COrvStringT();
    COrvStringT line = recordNumber(3);
    line += L"NM";
    appendValue(line, d(targetHeight, kDistanceDecimals));
    line += kLineEnd;
    m_targetHeight = targetHeight;
    m_heightChanged = false;
    return line;
}

COrvStringT CSDRRawGenerator::nextGeneratedBacksightName() {
    COrvStringT name = L"#BS";
    orv_formats::AppendInt(name, m_backsightCounter);
    // Counts on past the int range by wrapping instead of overflowing.
    m_backsightCounter = static_cast<int>(static_cast<unsigned int>(m_backsightCounter) + 1U);
    return name;
}

COrvStringT CSDRRawGenerator::backsight(const COrvStringT& name, bool bearingOnly, double firstAngle,
                                        double secondAngle) {
    // The backsight point enters the name map and its looked-up name is checked against the
    // name width, though the record writes the name as given (they differ only when it is empty).
    guardLength(kNameWidth, cachedName(name));
    // A backsight by bearing has no point: it is given the next generated name.
    m_backsightName = bearingOnly ? nextGeneratedBacksightName() : name;
    COrvStringT line = recordNumber(7);
    line += L"TP";
    appendGuarded(line, kNameWidth, Align::right, m_stationName);
    appendGuarded(line, kNameWidth, Align::right, m_backsightName);
    appendValue(line, a(firstAngle, kObservationDecimals));
    appendValue(line, a(secondAngle, kObservationDecimals));
    line += kLineEnd;
    return line;
}

COrvStringT CSDRRawGenerator::backsightName() {
    if (!m_backsightName.IsEmpty()) return m_backsightName;
    return nextGeneratedBacksightName();  // not kept: every such call gives a new number
}

COrvStringT CSDRRawGenerator::coordinateRecord(const COrvStringT& head, const COrvStringT& name,
                                               const DexStation* station, const COrvStringT& code, int, bool force,
                                               bool angular) {
    if (station == nullptr) return COrvStringT();
    if (!force && hasName(name)) return COrvStringT();  // a point is written once only
    const COrvStringT mapped = cachedName(name);
    COrvStringT line = head;
    appendGuarded(line, kNameWidth, Align::right, mapped);
    line += valueFields(station->northing, station->easting, station->getHeight(), angular);
    line += noteField(code);
    line += kLineEnd;
    return line;
}

COrvStringT CSDRRawGenerator::coordinateFields(const COrvStringT& head, const COrvStringT& name,
                                               const DexStation* station, int, bool force, bool angular) {
    if (station == nullptr) return COrvStringT();
    if (!force && hasName(name)) return COrvStringT();
    const COrvStringT mapped = cachedName(name);  // an empty name is still mapped, though not written
    COrvStringT fields = head;
    if (!name.IsEmpty()) appendGuarded(fields, kNameWidth, Align::right, mapped);
    fields += valueFields(station->northing, station->easting, station->getHeight(), angular);
    return fields;
}

// ---------------------------------------------------------------------------------------------
// Observation records with code and attribute notes

COrvStringT CSDRRawGenerator::observationFields(double horizontalAngle, double zenithAngle, double distance) {
    COrvStringT fields;
    fields.Reserve(3 * kValueWidth);
    appendValue(fields, d(distance, kDistanceDecimals));
    appendValue(fields, a(zenithAngle, kObservationDecimals));
    appendValue(fields, a(horizontalAngle, kObservationDecimals));
    return fields;
}

COrvStringT CSDRRawGenerator::fullFields(const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return COrvStringT();
    switch (measurement->kind()) {
        case eKindSlopeDistanceOnly:
            return observationFields(noValue, noValue, measurement->valueAt(0));
        case eKindHorizontalAngleOnly:
            return observationFields(measurement->valueAt(0), noValue, noValue);
        default:
            return observationFields(measurement->valueAt(0), measurement->valueAt(1), measurement->valueAt(2));
    }
}

COrvStringT CSDRRawGenerator::anglePairFields(const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return COrvStringT();
    return observationFields(measurement->valueAt(0), measurement->valueAt(1), noValue);
}

COrvStringT CSDRRawGenerator::hdFields(const DexTSRawMeasurement* measurement) {
    if (measurement == nullptr) return COrvStringT();
    // The slope distance and zenith angle of the triangle of horizontal distance and height
    // difference; a sight of no horizontal length is level by convention (zenith 90).
    const double horizontal = measurement->valueAt(1);
    const double height = measurement->valueAt(2);
    double zenith = 90.0;
    if (horizontal != 0.0) zenith = 90.0 - Rad2Deg(std::atan(height / horizontal), false);
    const double distance = std::sqrt(height * height + horizontal * horizontal);
    return observationFields(measurement->valueAt(0), zenith, distance);
}

COrvStringT CSDRRawGenerator::faceCode(const DexTSRawMeasurement* measurement) {
    return isFace1(measurement) ? L"F1" : L"F2";
}

COrvStringT CSDRRawGenerator::observationHead(const COrvStringT& derivation, const COrvStringT& target) {
    COrvStringT head = recordNumber(9);
    head.Reserve(4 + 6 * kValueWidth + 2);
    head += derivation;
    appendGuarded(head, kNameWidth, Align::right, m_stationName);
    appendGuarded(head, kNameWidth, Align::right, target);
    return head;
}

COrvStringT CSDRRawGenerator::foresight(const COrvStringT& derivation, const COrvStringT& name,
                                        const DexTSRawMeasurement* measurement, bool) {
    if (measurement == nullptr) return COrvStringT();
    COrvStringT record = observationHead(derivation, cachedName(name));
    switch (measurement->kind()) {
        case eKindAnglesAndSlopeDistance:
        case eKindHorizontalAngleOnly:
        case eKindSlopeDistanceOnly:
            record += fullFields(measurement);
            return record;
        case eKindAngleAndHorizontalDistance:
            record += hdFields(measurement);
            return record;
        case eKindAnglesOnly:
            record += anglePairFields(measurement);
            return record;
        default:
            return COrvStringT();  // a kind without observation fields gives no record
    }
}

COrvStringT CSDRRawGenerator::observationRecord(const COrvStringT& name, const DexTSRawMeasurement* measurement,
                                                ObservationFields fields) {
    if (measurement == nullptr) return COrvStringT();
    const COrvStringT mapped = cachedName(name);
    COrvStringT record = observationHead(faceCode(measurement), mapped);
    switch (fields) {
        case ObservationFields::full:
            record += fullFields(measurement);
            break;
        case ObservationFields::anglePair:
            record += anglePairFields(measurement);
            break;
        case ObservationFields::hd:
            record += hdFields(measurement);
            break;
    }
    return record;
}

COrvStringT CSDRRawGenerator::foresightFull(const COrvStringT& name, const DexTSRawDataSightInterface*,
                                            const DexTSRawMeasurement* measurement, double) {
    return observationRecord(name, measurement, ObservationFields::full);
}

COrvStringT CSDRRawGenerator::foresightAngles(const COrvStringT& name, const DexTSRawDataSightInterface*,
                                              const DexTSRawMeasurement* measurement, double) {
    // Angles to the backsight target are written by the backsight record instead.
    if (measurement == nullptr || measurement->isBacksightTarget()) return COrvStringT();
    return observationRecord(name, measurement, ObservationFields::anglePair);
}

COrvStringT CSDRRawGenerator::foresightHd(const COrvStringT& name, const DexTSRawDataSightInterface*,
                                          const DexTSRawMeasurement* measurement, double) {
    return observationRecord(name, measurement, ObservationFields::hd);
}

COrvStringT CSDRRawGenerator::sightNoteLine(const DexTSRawDataSightInterface* sight, const DexCodeStyle*) {
    if (sight == nullptr) return COrvStringT();
    const DexTSRawMeasurement* measurement = sight->measurement();
    const COrvStringT derivation = faceCode(measurement);
    const int kind = sight->sightKind();
    // A backsight may be asked to carry the backsight record's (possibly generated) name.
    const COrvStringT target =
        kind == eSightBacksight && sight->bsNameMode() == 1 ? backsightName() : sight->targetName();
    COrvStringT line = foresight(derivation, target, measurement, false);

    const DexCodesDataInterface* codes = codesOfSight(*sight, kind);
    if (codes == nullptr) {
        line += kLineEnd;
        return line;
    }
    const DexCodeValues* code = firstDescribedCode(codes);
    const COrvStringT codeText = code != nullptr ? code->getDescription()->codeName() : COrvStringT();
    line += noteField(codeText);
    line += kLineEnd;
    // A code too long for its field is written whole in a feature-code note.
    if (codeText.GetLength() > codeFieldWidth()) line += noteRecord(codeText, eNoteFC);
    line += attributeNotes(codes);
    return line;
}

COrvStringT CSDRRawGenerator::attributeNotes(const DexCodesDataInterface* codes) {
    const DexCodeValues* code = firstDescribedCode(codes);
    if (code == nullptr) return COrvStringT();
    COrvStringT notes;
    for (int i = 0; i < code->getDescription()->getSize(); ++i) {
        const COrvStringT value = code->getAttrAt(i);
        if (value.IsEmpty()) continue;  // only filled attributes are reported
        const DexAttrDescription* attribute = code->getDescription()->getAttrDescriptionAt(i);
        COrvStringT text;
        appendField(text, kAttributeNameWidth, Align::left, attribute != nullptr ? attribute->text : COrvStringT());
        text += value;
        notes += noteRecord(text, eNoteAT);
    }
    return notes;
}

// ---------------------------------------------------------------------------------------------
// Level runs

COrvStringT CSDRRawGenerator::levelRunNote(const COrvStringT& runName, const COrvStringT& description) {
    COrvStringT line = recordNumber(13);
    line += L"NMLevel Run: ";
    line += runName;
    if (!description.IsEmpty()) {
        line += L" Description: ";
        line += description;
    }
    line += kLineEnd;
    return line;
}

COrvStringT CSDRRawGenerator::levelStartRecords(const COrvStringT& name, double elevation, const COrvStringT& text,
                                                int number) {
    COrvStringT lines;
    if (elevation != noValue) {  // a run from a point without known elevation has no "61LV"
        lines = recordNumber(61);
        lines += L"LV";
        appendGuarded(lines, kNameWidth, Align::left, name);
        utils::appendReportString(lines, L' ', kValueWidth, false, text, true);  // a longer text is kept whole
        appendValue(lines, d(elevation, kDistanceDecimals));
        lines += kLineEnd;
    }
    lines += recordNumber(62);
    lines += L"LV";
    appendField(lines, kCountWidth, Align::right, orv_formats::IntToString(number));
    appendGuarded(lines, kNameWidth, Align::right, name);
    appendGuarded(lines, kCountWidth, Align::right, L"0");
    lines += kLineEnd;
    return lines;
}

COrvStringT CSDRRawGenerator::levelReadingRecord(const COrvStringT& name, double firstValue,
                                                 const DexTSRawMeasurement* reading, double secondValue,
                                                 const COrvStringT& text, bool flag, int number) {
    if (reading == nullptr) return COrvStringT();
    // A single reading is a "63LV" record; the readings with two more values are "64LV".
    const bool singleReading = reading->kind() == kSingleLevelReading;
    COrvStringT line = recordNumber(singleReading ? 63 : 64);
    line += L"LV";
    appendGuarded(line, kNameWidth, Align::right, name);
    appendValue(line, d(firstValue, kDistanceDecimals));
    appendValue(line, d(reading->valueAt(1), kDistanceDecimals));
    appendField(line, kValueWidth, Align::right, text);
    appendGuarded(line, kCountWidth, Align::right, orv_formats::IntToString(number));
    appendGuarded(line, kCountWidth, Align::right, flag ? L"1" : L"0");
    appendGuarded(line, kCountWidth, Align::right, L"0");
    appendValue(line, d(secondValue, kDistanceDecimals));
    if (!singleReading) {
        appendValue(line, d(reading->valueAt(0), kDistanceDecimals));
        appendValue(line, d(reading->valueAt(2), kDistanceDecimals));
    }
    line += kLineEnd;
    return line;
}

// ---------------------------------------------------------------------------------------------
// Stake-out notes, observed points and residuals

COrvStringT CSDRRawGenerator::stakeoutNotes(const COrvStringT& designId, const COrvStringT& stakedPoint,
                                            double deltaNorth, double deltaEast, double cutFill) {
    COrvStringT lines = recordNumber(13);
    lines += L"SOPt ";
    lines += stakedPoint;
    appendGuarded(lines, kNameWidth, Align::right, L" Design ID ");
    lines += designId;
    lines += kLineEnd;

    lines += recordNumber(13);
    lines += L"SO";
    // Ground above the design is cut; level or below is fill.
    lines += cutFill > 0.0 ? L"Cut " : L"Fill ";
    lines += d(std::fabs(cutFill), kDistanceDecimals);
    appendGuarded(lines, kNameWidth, Align::left, L" North ");
    lines += d(deltaNorth, kDistanceDecimals);
    appendGuarded(lines, kNameWidth, Align::left, L" East ");
    lines += d(deltaEast, kDistanceDecimals);
    lines += kLineEnd;
    return lines;
}

COrvStringT CSDRRawGenerator::observedPointCoordinates(const DexStation* station, const COrvStringT& code) {
    COrvStringT head = recordNumber(8);
    head += L"TP";
    return coordinateRecord(head, station->name(), station, code, 8, false, false);  // the precision is not read
}

COrvStringT CSDRRawGenerator::anglePointRecords(const DexStation* station, const DexTSRawMeasurement* measurement,
                                                const COrvStringT& code) {
    if (measurement == nullptr || station == nullptr || station->name().IsEmpty()) return COrvStringT();
    const COrvStringT coordinates = observedPointCoordinates(station, code);  // empty when written before

    COrvStringT note = L" Az: ";
    note += a(measurement->valueAt(0), kFineAngleDecimals);
    note += L", ZA: ";
    note += a(measurement->valueAt(1), kFineAngleDecimals);
    // A near-vertical sight reports the vertical distance it implies.
    double vertical = 0.0;
    if (verticalSightDistance(measurement, kFineAngleDecimals, &vertical)) {
        note += L", VDist: ";
        note += d(vertical, kDistanceDecimals);
    } else {
        note += L", HDist: ";
        note += d(measurement->valueAt(2), kDistanceDecimals);
    }
    COrvStringT records = noteRecord(note, eNoteOS);
    records += coordinates;
    return records;
}

COrvStringT CSDRRawGenerator::offsetPointRecords(const DexStation* station, const DexTSRawMeasurement* measurement,
                                                 const COrvStringT& code) {
    if (measurement == nullptr || station == nullptr) return COrvStringT();
    const COrvStringT coordinates = observedPointCoordinates(station, code);
    if (coordinates.IsEmpty()) return COrvStringT();  // written before: neither note nor record

    COrvStringT note = L" HD: ";
    note += d(measurement->valueAt(1), kDistanceDecimals);
    note += L", LR: ";
    note += d(measurement->valueAt(2), kDistanceDecimals);
    note += L", VD: ";
    note += d(measurement->valueAt(0), kDistanceDecimals);
    COrvStringT records = noteRecord(note, eNoteOS);
    records += coordinates;
    return records;
}

COrvStringT CSDRRawGenerator::residualNotes(double residualNorth, double residualEast, double residualHeight) {
    const struct {
        const wchar_t* label;
        double value;
    } residuals[] = {
        {L"NMResidual N:", residualNorth}, {L"NMResidual E:", residualEast}, {L"NMResidual H:", residualHeight}};
    COrvStringT lines;
    for (const auto& residual : residuals) {
        lines += recordNumber(13);
        lines += residual.label;
        lines += d(residual.value, kDistanceDecimals);
        lines += kLineEnd;
    }
    return lines;
}

}  // namespace orv::ie
