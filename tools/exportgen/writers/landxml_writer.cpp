// LandXML 1.2: the root with the clock's date and time, the units, the program that wrote the
// job, the known points as control points, then one Survey: its header (the job's texts and
// atmosphere), the instrument, and per set-up an InstrumentSetup and an ObservationGroup holding
// the resection's sights, the backsight, each observation as a RawObservation (its target, codes
// as Features, notes as FieldNotes), later backsights before the shots they orient, and the
// stake-outs. The design points staked out follow the Survey in a CgPoints of their own.
//
// LandXML has no level runs without a made-up station, no residuals, no ppm and no elevation for
// a scale factor: those are left out and counted. Mils and feet-and-inches are written in
// decimal degrees and feet, and the atmosphere in the units the unit system allows, each
// conversion counted as derived.
#include "writers/landxml_writer.h"

#include <charconv>
#include <cmath>
#include <set>
#include <string>
#include <unordered_set>

#include "base/atmosphere.h"
#include "base/landxml_units.h"
#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"

namespace exportgen {

using namespace orv::ie;

namespace {

constexpr const char* kNamespace = "http://www.landxml.org/schema/LandXML-1.2";

// A character XML 1.0 cannot hold, even escaped.
bool forbidden(wchar_t c) {
    const auto code = static_cast<std::uint32_t>(c);
    return (code < 0x20 && code != 0x9 && code != 0xA && code != 0xD) || (code >= 0xD800 && code <= 0xDFFF) ||
           code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
}

// Appends `text` as UTF-8 escaped for an attribute value in double quotes or element content. In
// an attribute a tab or line break is a character reference, so that it reads back as itself. A
// character XML cannot hold at all (the job's texts hold none: every format reserves the control
// characters) becomes U+FFFD.
void appendEscaped(std::string& out, std::wstring_view text) {
    for (const wchar_t c : text) {
        switch (c) {
            case L'&':
                out += "&amp;";
                continue;
            case L'<':
                out += "&lt;";
                continue;
            case L'>':
                out += "&gt;";
                continue;
            case L'"':
                out += "&quot;";
                continue;
            case L'\t':
                out += "&#9;";
                continue;
            case L'\n':
                out += "&#10;";
                continue;
            case L'\r':
                out += "&#13;";
                continue;
            default:
                break;
        }
        if (static_cast<std::uint32_t>(c) < 0x80) {
            out += static_cast<char>(c);
        } else {
            const wchar_t safe = forbidden(c) ? static_cast<wchar_t>(0xFFFD) : c;
            appendUtf8(out, std::wstring_view(&safe, 1));
        }
    }
}

void appendInteger(std::string& out, long long value, int width = 0) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    for (int pad = width - static_cast<int>(result.ptr - buffer); pad > 0; --pad) out += '0';
    out.append(buffer, result.ptr);
}

class LandXmlWriter : public WriterBase {
public:
    LandXmlWriter(const Generator& generator, const Job& job, RecordSink& sink) : WriterBase(generator, job, sink) {
        const EDistUnits distance = job.settings.getDistUnits(job.info);
        m_imperial = distance != eMeters;
        m_usFeet = distance == eUSFeet || distance == eUSFeetInches;
        m_toFile = distance == eMeters ? 1.0 : m_usFeet ? 1.0 / landxml::kUsFoot : 1.0 / landxml::kFoot;
        const EAngleUnits angle = job.settings.getAngleUnits(job.info);
        m_angular = angle == eGons                               ? landxml::Angular::grads
                    : angle == eMils || angle == eDecimalDegrees ? landxml::Angular::decimalDegrees
                                                                 : landxml::Angular::packedDms;
        m_out.reserve(1 << 16);
    }

    [[nodiscard]] std::size_t records() const override { return m_lines; }

private:
    // ---- the header

    void writeHeader() override {
        m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LandXML xmlns=\"";
        m_out += kNamespace;
        m_out += "\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:schemaLocation=\"";
        m_out += kNamespace;
        m_out += ' ';
        m_out += kNamespace;
        m_out += "/LandXML-1.2.xsd\" version=\"1.2\"";
        clock();
        m_out += ">\n";
        units();
        if (!m_job.info.appName.IsEmpty()) {
            m_out += " <Application";
            text("name", m_job.info.appName);
            if (!m_job.info.appVersion.IsEmpty()) text("version", m_job.info.appVersion);
            m_out += "/>\n";
        }
        knownPoints();
        m_out += " <Survey>\n";
        surveyHeader();
        m_out += "  <Equipment>\n   <InstrumentDetails id=\"i1\"";
        if (!m_job.observation.instrument.IsEmpty()) text("model", m_job.observation.instrument);
        m_out += ">\n    <Corrections/>\n   </InstrumentDetails>\n  </Equipment>\n";
        if (m_job.observation.obsConstant != 0.0 && std::isfinite(m_job.observation.obsConstant)) {
            // The prism constant, in millimetres in the job, in the file's linear unit here.
            m_out += "  <TargetSetup id=\"t1\"";
            distance("prismConstant", m_job.observation.obsConstant / 1000.0);
            m_out += "/>\n";
        }
        flush();
    }

    // The root's date and time: the clock's (--now fixes it).
    void clock() {
        const base::CTime now = base::CTime::GetCurrentTime();
        m_out += " date=\"";
        appendInteger(m_out, now.GetYear(), 4);
        m_out += '-';
        appendInteger(m_out, now.GetMonth(), 2);
        m_out += '-';
        appendInteger(m_out, now.GetDay(), 2);
        m_out += "\" time=\"";
        appendInteger(m_out, now.GetHour(), 2);
        m_out += ':';
        appendInteger(m_out, now.GetMinute(), 2);
        m_out += ':';
        appendInteger(m_out, now.GetSecond(), 2);
        m_out += '"';
    }

    // Metric or Imperial with every attribute the schema asks for. LandXML has no mils (written
    // in decimal degrees) nor feet and inches (written in feet).
    void units() {
        const Where where = [] { return std::string("$.units"); };
        const EDistUnits distance = m_job.settings.getDistUnits(m_job.info);
        const EAngleUnits angle = m_job.settings.getAngleUnits(m_job.info);
        const bool inches = distance == eUSFeetInches || distance == eInternationalFeetInches;
        if (inches) {
            warn(std::string("distances in ") + (m_usFeet ? "US survey" : "international") +
                     " feet and inches are written in decimal feet",
                 "$.units.distance");
        }
        wrote(Item::unit, inches ? Fate::derived : Fate::recorded, where);
        if (angle == eMils) warn("angles in mils are written in decimal degrees: LandXML has no mils", "$.units.angle");
        wrote(Item::unit, angle == eMils ? Fate::derived : Fate::recorded, where);

        const char* angular = landxml::angularName(m_angular);
        m_out += " <Units>\n  ";
        m_out += m_imperial ? "<Imperial areaUnit=\"squareFoot\" linearUnit=\""
                            : "<Metric areaUnit=\"squareMeter\" linearUnit=\"meter";
        if (m_imperial) m_out += m_usFeet ? "USSurveyFoot" : "foot";
        m_out += m_imperial ? "\" volumeUnit=\"cubicFeet\" temperatureUnit=\"fahrenheit\" pressureUnit=\"inHG\""
                            : "\" volumeUnit=\"cubicMeter\" temperatureUnit=\"celsius\" pressureUnit=\"";
        if (!m_imperial) m_out += pressureInMmHg() ? "mmHG\"" : "HPA\"";
        m_out += " angularUnit=\"";
        m_out += angular;
        m_out += "\" directionUnit=\"";
        m_out += angular;
        m_out += "\" elevationUnit=\"";
        m_out += m_imperial ? "feet" : "meter";
        m_out += "\"/>\n </Units>\n";
    }

    [[nodiscard]] bool pressureInMmHg() const {
        double value = 0.0;
        EPressureUnits units{};
        return !m_imperial && m_job.observation.getPressure(value, units) && units == eMillimetresHg;
    }

    // The known points, as control points: name, code, note and coordinates (northing, easting,
    // elevation). A CgPoint has one code and no attributes.
    void knownPoints() {
        if (m_job.points.empty()) return;
        m_out += " <CgPoints name=\"control\">\n";
        std::size_t i = 0;
        for (const KnownPoint& point : m_job.points) {
            const std::size_t index = i++;
            const Where where = [index] { return "$.points[" + std::to_string(index) + "]"; };
            const DexStation& station = point.design.getStation();
            if (!inFileUnit(point.coords, point.hasHeight)) {
                leftOut(Item::knownPoint, kBeyondUnit, where);
                continue;
            }
            m_out += "  <CgPoint";
            text("name", station.name());
            if (!point.code.IsEmpty()) text("code", point.code);
            if (!station.getNotes().IsEmpty()) text("desc", station.getNotes());
            m_out += " pntSurv=\"control\" role=\"control point\">";
            coordinates(point.coords, point.hasHeight);
            m_out += "</CgPoint>\n";
            wrote(Item::knownPoint, Fate::recorded, where);
            if (!point.code.IsEmpty()) wrote(Item::code, Fate::recorded, where);
            noteWritten(station.getNotes(), where);
        }
        m_out += " </CgPoints>\n";
    }

    // The job's name (required), its second text as the description, its third as a field note;
    // the atmosphere in the units of the unit system.
    void surveyHeader() {
        const Where where = [] { return std::string("$.job"); };
        const DexJobInfo& info = m_job.info;
        m_out += "  <SurveyHeader";
        text("name", info.jobName);
        if (!info.jobName.IsEmpty()) wrote(Item::jobText, Fate::recorded, where);
        if (!info.jobText2.IsEmpty()) {
            text("desc", info.jobText2);
            wrote(Item::jobText, Fate::recorded, where);
        }
        atmosphere();
        if (info.jobText3.IsEmpty()) {
            m_out += "/>\n";
            return;
        }
        m_out += ">\n   <FieldNote>";
        appendEscaped(m_out, info.jobText3.view());
        m_out += "</FieldNote>\n  </SurveyHeader>\n";
        wrote(Item::jobText, Fate::recorded, where);
    }

    void atmosphere() {
        const Where where = [] { return std::string("$.observation"); };
        const DexObservationInfo& o = m_job.observation;
        double value = 0.0, elevation = 0.0;
        ETemperatureUnits temperatureUnits{};
        if (o.getTemperature(value, temperatureUnits) && std::isfinite(value)) {
            const bool converted = m_imperial != (temperatureUnits == eFahrenheit);
            m_out += " temperature=\"";
            landxml::appendNumber(m_out, m_imperial ? value / 5.0 * 9.0 + 32.0 : value);
            m_out += '"';
            if (converted) {
                warn(std::string("the temperature is written in ") + (m_imperial ? "Fahrenheit" : "Celsius") +
                         ", the unit of the file's unit system",
                     "$.observation.temperatureUnits");
            }
            wrote(Item::atmosphere, converted ? Fate::derived : Fate::recorded, where);
        }
        EPressureUnits pressureUnits{};
        if (o.getPressure(value, pressureUnits) && std::isfinite(value)) {
            // Metric allows hectopascals and millimetres of mercury, Imperial inches of mercury.
            const bool converted = m_imperial ? pressureUnits != eInchesHg : pressureUnits == eInchesHg;
            m_out += " pressure=\"";
            landxml::appendNumber(m_out, m_imperial         ? value * 0.0295299831
                                         : pressureInMmHg() ? value * 0.750061683
                                                            : value);
            m_out += '"';
            if (converted) {
                warn(std::string("the pressure is written in ") + (m_imperial ? "inches of mercury" : "hectopascals") +
                         ", a unit of the file's unit system",
                     "$.observation.pressureUnits");
            }
            wrote(Item::atmosphere, converted ? Fate::derived : Fate::recorded, where);
        }
        if (o.getPpm(value)) leftOut(Item::atmosphere, "LandXML has no place for a ppm correction", where);
        if (o.getEllToGridScaleAndElevation(value, elevation)) {
            if (elevation == 0.0 && std::isfinite(value)) {
                m_out += " scaleFactor=\"";
                landxml::appendNumber(m_out, value);
                m_out += '"';
                wrote(Item::atmosphere, Fate::recorded, where);
            } else {
                leftOut(Item::atmosphere, "LandXML has no place for the elevation a scale factor holds at", where);
            }
        }
    }

    // ---- a set-up

    void writeSetup(const Setup& s) override {
        atSetup(s);
        const Where station = [this, &s] { return setupPath(s); };
        if (!s.hi.known() || !std::isfinite(s.hi.value * m_toFile)) {
            throw HostError(kExitJson, setupPath(s) + ": the set-up at " + shownName(utf8(s.station)) +
                                           (s.hi.known() ? " has an instrument height beyond the file's unit"
                                                         : " has no instrument height") +
                                           ", and LandXML requires one of every set-up");
        }
        m_id.clear();
        appendInteger(m_id, static_cast<long long>(s.index) + 1);
        m_out += "  <InstrumentSetup id=\"s";
        m_out += m_id;
        m_out += "\" instrumentDetailsID=\"i1\"";
        text("stationName", s.station);
        distance("instrumentHeight", s.hi.value);
        // Without a backsight, the set-up's orientation is the azimuth of its circle's zero.
        const bool oriented = s.backsight.kind == Backsight::Kind::none && s.orientation.known();
        if (oriented) angle("orientationAzimuth", s.orientation.value, s.orientation.origin == Origin::derived);
        m_out += ">\n";
        if (s.coords.known() && !inFileUnit(s.coords.at, s.coords.hasHeight)) {
            leftOut(Item::stationPosition, kBeyondUnit, station);
        } else {
            if (s.coords.known()) {
                m_out += "   <InstrumentPoint";
                if (s.coords.origin == Origin::derived) m_out += " role=\"calculated\"";
                m_out += '>';
                coordinates(s.coords.at, s.coords.hasHeight);
                m_out += "</InstrumentPoint>\n";
            }
            wrote(Item::stationPosition, s.coords.origin, station);
        }
        if (!s.note.IsEmpty()) {
            m_out += "   ";
            fieldNote(s.note);
            noteWritten(s.note, station);
        }
        if (!s.code.IsEmpty()) {
            m_out += "   <Feature";
            text("code", s.code);
            m_out += "/>\n";
            wrote(Item::code, Fate::recorded, station);
        }
        m_out += "  </InstrumentSetup>\n  <ObservationGroup id=\"g";
        m_out += m_id;
        m_out += "\" setupID=\"s";
        m_out += m_id;
        m_out += "\">\n";

        std::size_t i = 0;
        for (const Observation& obs : s.resection) {
            const std::size_t index = i++;
            at("resection observation to", &obs.sight.targetName());
            const Where where = [this, &s, index] { return itemPath(s, "resection", index); };
            observation(obs, "resection", nullptr, where);
            if (obs.residual.known()) {
                leftOut(Item::residual, "LandXML has no place for a resection's residuals", where);
            }
        }
        if (s.worstResiduals.origin != Origin::absent) {
            leftOut(Item::residual, "LandXML has no place for a resection's residuals", station);
        }
        if (s.backsight.kind != Backsight::Kind::none) {
            backsight(s, s.backsight);
        } else if (oriented) {
            wrote(Item::orientation, s.orientation.origin, station);
        } else {
            wrote(Item::orientation, Origin::absent, station);
        }
        std::size_t next = 0;  // the next reorientation to write
        for (i = 0; i < s.shots.size(); ++i) {
            for (; next < s.reorientations.size() && s.reorientations[next].firstShot <= i; ++next) {
                backsight(s, s.reorientations[next]);
            }
            const Observation& shot = s.shots[i];
            at("observation to", &shot.sight.targetName());
            observation(shot, shot.sight.sightKind() == eSightForesight ? "traverse" : "sideshot", nullptr,
                        [this, &s, i] { return itemPath(s, "shots", i); });
        }
        for (; next < s.reorientations.size(); ++next) backsight(s, s.reorientations[next]);
        i = 0;
        for (const Stakeout& stake : s.stakeouts) {
            const std::size_t index = i++;
            at("stake-out of", &stake.design);
            const Where where = [this, &s, index] { return itemPath(s, "stakeouts", index); };
            observation(stake.shot, "sideshot", &stake, where);
            wrote(Item::stakeout, stake.differences.known() ? stake.differences.origin : Origin::absent, where);
            if (stake.designCoords.known() && inFileUnit(stake.designCoords.at, stake.designCoords.hasHeight) &&
                m_designNames.insert(utf8(stake.design)).second) {
                m_design += "  <CgPoint";
                text(m_design, "name", stake.design);
                m_design += " role=\"to stake out\">";
                coordinates(m_design, stake.designCoords.at, stake.designCoords.hasHeight);
                m_design += "</CgPoint>\n";
            }
        }
        m_out += "  </ObservationGroup>\n";
        flush();
    }

    // A backsight: its bearing (azimuth), the circle reading on it, its target height and point;
    // then the measurement to the point. The circle reading is required: a backsight without one
    // is left out.
    void backsight(const Setup& s, const Backsight& bs) {
        at("backsight", &bs.point);
        const Where station = [this, &s] { return setupPath(s); };
        if (!bs.circle.known()) {
            leftOut(Item::orientation, "a LandXML backsight needs its circle reading, which is unknown", station);
        } else {
            m_out += "   <Backsight";
            if (bs.azimuth.known()) angle("azimuth", bs.azimuth.value);
            if (bs.hr.known()) distance("targetHeight", bs.hr.value);
            angle("circle", bs.circle.value);
            if (bs.kind == Backsight::Kind::point) {
                m_out += ">\n    <BacksightPoint";
                text("name", bs.point);
                m_out += "/>\n   </Backsight>\n";
            } else {
                m_out += "/>\n";
            }
            wrote(Item::orientation, bs.orientation().origin, station);
        }
        if (bs.kind != Backsight::Kind::point || !bs.measured || bs.sight.measurement() == nullptr) return;
        m_out += "   <RawObservation setupID=\"s";
        m_out += m_id;
        m_out += "\" purpose=\"backsight\"";
        if (bs.hr.known()) distance("targetHeight", bs.hr.value);
        measurement(*bs.sight.measurement());
        m_out += ">\n    <TargetPoint";
        text("name", bs.point);
        m_out += "/>\n   </RawObservation>\n";
        wrote(observationItem(bs.sight.measurement()->kind()), Fate::recorded, station);
    }

    // A sight as a RawObservation: the figures of its measurement kind, its target (where it
    // lies when known), its codes and its note; a stake-out's target names the design point and
    // its note the differences.
    void observation(const Observation& obs, const char* purpose, const Stakeout* stake, const Where& where) {
        if (obs.measured() && !hasRecord(obs.kind())) {
            leftOut(observationItem(obs.kind()), kNoRecord, where);
            return;
        }
        m_out += "   <RawObservation setupID=\"s";
        m_out += m_id;
        m_out += "\" purpose=\"";
        m_out += purpose;
        m_out += '"';
        if (obs.hr.known()) distance("targetHeight", obs.hr.value);
        if (obs.measured()) measurement(obs.measurement());
        m_out += ">\n    <TargetPoint";
        text("name", obs.sight.targetName());
        if (stake != nullptr) {
            text("pntRef", stake->design);
            m_out += " role=\"staked out\"";
        }
        if (obs.coords.known() && inFileUnit(obs.coords.at, obs.coords.hasHeight)) {
            m_out += '>';
            coordinates(obs.coords.at, obs.coords.hasHeight);
            m_out += "</TargetPoint>\n";
        } else {
            m_out += "/>\n";
        }
        observationWritten(obs, where);
        features(obs.sight.codes, where);
        if (!obs.sight.getNote().IsEmpty()) {
            m_out += "    ";
            fieldNote(obs.sight.getNote());
            noteWritten(obs.sight.getNote(), where);
        }
        if (stake != nullptr && stake->differences.known()) {
            m_out += "    ";
            fieldNote(stakeText(*stake));
        }
        m_out += "   </RawObservation>\n";
    }

    static bool hasRecord(int kind) {
        switch (kind) {
            case eKindAnglesAndSlopeDistance:
            case eKindAngleAndHorizontalDistance:
            case eKindAnglesOnly:
            case eKindHorizontalAngleOnly:
            case eKindZenithOnly:
            case eKindSlopeDistanceOnly:
            case eKindHorizontalDistanceOnly:
                return true;
            default:
                return false;
        }
    }

    // The figures of a measurement; directFace where a zenith says the face: a zenith strictly
    // between 0 and 180 degrees is face 1, any other (0 and 180 included) face 2.
    void measurement(const DexTSRawMeasurement& m) {
        const auto value = [&m](int i) { return m.valueAt(i); };
        switch (m.kind()) {
            case eKindAnglesAndSlopeDistance:
                angle("horizAngle", value(0));
                angle("zenithAngle", value(1));
                distance("slopeDistance", value(2));
                face(value(1));
                break;
            case eKindAngleAndHorizontalDistance:
                angle("horizAngle", value(0));
                distance("horizDistance", value(1));
                distance("vertDistance", value(2));
                break;
            case eKindAnglesOnly:
                angle("horizAngle", value(0));
                angle("zenithAngle", value(1));
                face(value(1));
                break;
            case eKindHorizontalAngleOnly:
                angle("horizAngle", value(0));
                break;
            case eKindZenithOnly:
                angle("zenithAngle", value(0));
                face(value(0));
                break;
            case eKindSlopeDistanceOnly:
                distance("slopeDistance", value(0));
                break;
            case eKindHorizontalDistanceOnly:
                distance("horizDistance", value(0));
                break;
            default:
                break;
        }
    }

    void face(double zenith) {
        if (!std::isfinite(zenith)) return;
        const double z = std::fmod(std::fmod(zenith, 360.0) + 360.0, 360.0);
        m_out += z > 0.0 && z < 180.0 ? " directFace=\"true\"" : " directFace=\"false\"";
    }

    // Each code as a Feature: its code, its first code string as the Feature's name, its
    // attributes as Properties and its control codes as Features named control1 and control2.
    void features(const DexCodesDataInterface& codes, const Where& where) {
        for (int i = 0; i < codes.getNumberOfCodes(); ++i) {
            const DexCodeValues* code = codes.getCode(i);
            const DexCodeDescription* description = code == nullptr ? nullptr : code->getDescription();
            if (description == nullptr) continue;
            m_out += "    <Feature";
            text("code", description->codeName());
            if (code->getNumberOfTheCodeStrings() > 0) text("name", code->getCodeStringAt(0));
            const bool control = code->hasControlCode(eControlCode1) || code->hasControlCode(eControlCode2);
            if (description->getSize() == 0 && !control) {
                m_out += "/>\n";
                continue;
            }
            m_out += ">\n";
            for (int a = 0; a < description->getSize(); ++a) {
                m_out += "     <Property";
                text("label", description->getAttrDescriptionAt(a)->text);
                text("value", code->getAttrAt(a));
                m_out += "/>\n";
            }
            for (const auto which : {eControlCode1, eControlCode2}) {
                if (!code->hasControlCode(which)) continue;
                m_out += which == eControlCode1 ? "     <Feature name=\"control1\"" : "     <Feature name=\"control2\"";
                text("code", code->getControlCode(which));
                m_out += "/>\n";
            }
            m_out += "    </Feature>\n";
        }
        codesWritten(codes, true, true, where);
    }

    // ---- the end

    // A level run's readings are heights along a line of points, which LandXML 1.2 holds only as
    // observations from made-up set-ups: the runs and their codes are left out.
    void writeLevelRuns() override {
        atLevelRuns(nullptr);
        std::size_t r = 0;
        for (const LevelRun& run : m_job.levelRuns) {
            const Where where = [index = r++] { return "$.levelRuns[" + std::to_string(index) + "]"; };
            leftOut(Item::levelRun, kNoLevelRuns, where);
            for (const LevelReading& reading : run.readings) {
                if (!reading.code.IsEmpty()) leftOut(Item::code, kNoLevelRuns, where);
            }
        }
    }
    static constexpr const char* kNoLevelRuns = "LandXML 1.2 has no element for a level run without a made-up station";

    void writeEnd() override {
        m_out += " </Survey>\n";
        if (!m_design.empty()) {
            m_out += " <CgPoints name=\"design\">\n";
            m_out += m_design;
            m_out += " </CgPoints>\n";
        }
        m_out += "</LandXML>\n";
        flush();
    }

    const char* notCarried(Item item) const override {
        switch (item) {
            case Item::code:
                return "a LandXML control point (CgPoint) carries one code";
            case Item::controlCode:
            case Item::attribute:
                return "a LandXML control point (CgPoint) carries neither control codes nor attributes";
            default:
                return WriterBase::notCarried(item);
        }
    }

    // The host's notes (a stake-out's differences) in the file's linear unit.
    COrvStringT noteDistance(double metres) const override { return fixed(metres * m_toFile, 4); }

    // ---- pieces

    void text(const char* name, const COrvStringT& value) { text(m_out, name, value); }
    static void text(std::string& out, const char* name, const COrvStringT& value) {
        out += ' ';
        out += name;
        out += "=\"";
        appendEscaped(out, value.view());
        out += '"';
    }

    void fieldNote(const COrvStringT& note) {
        m_out += "<FieldNote>";
        appendEscaped(m_out, note.view());
        m_out += "</FieldNote>\n";
    }

    // A distance, height or coordinate in the file's linear unit; nothing for a value that is
    // not finite there (the largest double in feet).
    void distance(const char* name, double metres) {
        const double value = metres * m_toFile;
        if (!std::isfinite(value)) return;
        m_out += ' ';
        m_out += name;
        m_out += "=\"";
        landxml::appendNumber(m_out, value);
        m_out += '"';
    }

    // An angle in the file's angular unit. A worked-out angle (a free station's orientation) is
    // rounded to 1e-10 of its unit, far below what an instrument resolves: worked out again from
    // the angles as written, it is the same text.
    void angle(const char* name, double degrees, bool derived = false) {
        if (!std::isfinite(degrees)) return;
        m_out += ' ';
        m_out += name;
        m_out += "=\"";
        const auto rounded = [derived](double value) {
            return derived && std::fabs(value) < 1e6 ? std::round(value * 1e10) / 1e10 : value;
        };
        switch (m_angular) {
            case landxml::Angular::grads:
                landxml::appendNumber(m_out, rounded(degrees / 0.9));
                break;
            case landxml::Angular::packedDms:
                landxml::appendPackedDms(m_out, degrees);
                break;
            default:
                landxml::appendNumber(m_out, rounded(degrees));
                break;
        }
        m_out += '"';
    }

    static constexpr const char* kBeyondUnit = "its coordinates are beyond what the file's linear unit holds";

    // Whether the coordinates are finite numbers in the file's linear unit.
    [[nodiscard]] bool inFileUnit(const Point3& at, bool height) const {
        return std::isfinite(at.n * m_toFile) && std::isfinite(at.e * m_toFile) &&
               (!height || std::isfinite(at.h * m_toFile));
    }

    // Northing, easting and, when known, elevation, as LandXML orders them.
    void coordinates(const Point3& at, bool height) { coordinates(m_out, at, height); }
    void coordinates(std::string& out, const Point3& at, bool height) const {
        const double values[3] = {at.n * m_toFile, at.e * m_toFile, at.h * m_toFile};
        const int count = height ? 3 : 2;
        for (int k = 0; k < count; ++k) {
            if (!std::isfinite(values[k])) return;
        }
        for (int k = 0; k < count; ++k) {
            if (k > 0) out += ' ';
            landxml::appendNumber(out, values[k]);
        }
    }

    void flush() {
        for (const char c : m_out) m_lines += c == '\n' ? 1 : 0;
        m_sink.bytes(m_out);
        m_out.clear();
    }

    bool m_imperial = false;
    bool m_usFeet = false;
    double m_toFile = 1.0;  ///< the file's linear unit per metre
    landxml::Angular m_angular = landxml::Angular::packedDms;
    std::string m_out;     ///< the text of the part being written
    std::string m_id;      ///< the number of the set-up being written
    std::string m_design;  ///< the design points staked out, as CgPoints
    std::unordered_set<std::string> m_designNames;
    std::size_t m_lines = 0;
};

}  // namespace

std::unique_ptr<FormatWriter> makeLandXmlWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<LandXmlWriter>(generator, job, sink);
}

}  // namespace exportgen
