// Quolt/Pashk: the seven header lines, then per set-up: station, backsight, resection,
// sights each followed by its measurement, coordinates, control codes and note; stake-outs
// and level runs with the host's notes.
#include "writers/quoltpashk_writer.h"

#include <cmath>
#include <functional>
#include <string>

#include "base/generators.h"
#include "base/problems.h"
#include "base/text.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// Sight kinds of the generator's "BS", "FS" and "SS" lines.
constexpr int kBacksightSight = eSightBacksight;
// Measurement kinds of its "SD", "HD", "HV" and "XYZ" lines.
constexpr int kSlopeMeasurement = eKindAnglesAndSlopeDistance, kHorizontalMeasurement = eKindAngleAndHorizontalDistance,
              kAnglesMeasurement = eKindAnglesOnly, kCoordinatesLine = 4;

class QuoltPashkWriter : public WriterBase {
public:
    QuoltPashkWriter(const Generator& generator, const Job& job, RecordSink& sink) : WriterBase(generator, job, sink) {
        // The Quolt/Pashk format's factory makes a CQuoltPashkRawDataGenerator.
        m_generator.reset(
            created(static_cast<CQuoltPashkRawDataGenerator*>(generator.createVemraFamily(factoryInputs()))));
    }

private:
    void writeHeader() override {
        COrvStringT lines[7];
        m_generator->writeHeaderRecords(lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], lines[6]);
        for (const auto& text : lines) emit(text);
        // JOB holds the name and both texts, UNITS both units, SCALE the grid scale and TEMP the
        // temperature and pressure.
        const Where job = [] { return std::string("$.job"); };
        for (const COrvStringT* text : {&m_job.info.jobName, &m_job.info.jobText2, &m_job.info.jobText3}) {
            if (!text->IsEmpty()) wrote(Item::jobText, Fate::recorded, job);
        }
        wrote(
            Item::unit, Fate::recorded, [] { return std::string("$.units"); }, 2);
        const Where observation = [] { return std::string("$.observation"); };
        double value = 0.0, other = 0.0;
        ETemperatureUnits temperatureUnits{};
        EPressureUnits pressureUnits{};
        if (m_job.observation.getTemperature(value, temperatureUnits))
            wrote(Item::atmosphere, Fate::recorded, observation);
        if (m_job.observation.getPressure(value, pressureUnits)) wrote(Item::atmosphere, Fate::recorded, observation);
        if (m_job.observation.getEllToGridScaleAndElevation(value, other)) {
            wrote(Item::atmosphere, Fate::recorded, observation);
        }
    }

    void writeSetup(const Setup& s) override {
        atSetup(s);
        // The station line's instrument height has no empty form: a set-up without one is left
        // out whole, every part of it counted.
        if (!s.hi.known()) return warn("the set-up has no instrument height and is left out", setupPath(s));
        COrvStringT out;
        m_generator->writeStation(out, s.station, s.code, s.hi.value);
        emit(out);
        const Where station = [&s] { return utf8(s.station); };
        if (!s.code.IsEmpty()) wrote(Item::code, Fate::recorded, station);
        note(s.note, station);
        if (s.backsight.kind != Backsight::Kind::none) {
            backsight(s, s.backsight);
        } else if (s.orientation.known()) {
            // The resection or the first sight it was worked out from goes with its records.
            wrote(Item::orientation, s.orientation.origin, station);
        }
        int number = 0;  // of the observations written
        std::size_t index = 0;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            const std::size_t which = index++;
            resectionObservation(obs, number, [this, &s, which] { return itemPath(s, "resection", which); });
        }
        std::size_t next = 0;  // the next reorientation to write
        for (std::size_t i = 0; i < s.shots.size(); ++i) {
            for (; next < s.reorientations.size() && s.reorientations[next].firstShot <= i; ++next) {
                backsight(s, s.reorientations[next]);
            }
            const Observation& shot = s.shots[i];
            at("observation to", &shot.sight.targetName());
            observation(shot, [this, &s, i] { return itemPath(s, "shots", i); });
        }
        for (; next < s.reorientations.size(); ++next) backsight(s, s.reorientations[next]);
        std::size_t i = 0;
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            const Where where = [this, &s, i] { return itemPath(s, "stakeouts", i); };
            ++i;
            if (!observation(stake.shot, where)) continue;
            const COrvStringT text = stakeText(stake);
            if (text.IsEmpty()) continue;  // where it landed against its design is unknown
            emitNote(text);
            wrote(Item::stakeout, stake.differences.origin, where);
        }
    }

    void writeLevelRuns() override {
        atLevelRuns(nullptr);
        levelRunNotes([this](const COrvStringT& text) { emitNote(text); });
    }

    const char* notCarried(Item item) const override {
        switch (item) {
            case Item::stationPosition:
                return "Quolt/Pashk carries no station coordinates";
            case Item::knownPoint:
                return "Quolt/Pashk has no record for known points";
            case Item::residual:
                return "Quolt/Pashk writes no resection residuals";
            case Item::stakeout:
                return "where it landed against its design is unknown";
            case Item::attribute:
                return "Quolt/Pashk has no field for them";
            case Item::code:
            case Item::controlCode:
                return "Quolt/Pashk writes the first code of a sight only and has no record of a known point";
            default:
                return WriterBase::notCarried(item);
        }
    }

    // The generator's own distance text: the job's units (international feet stay
    // international, every other feet unit is US survey feet), 4 decimals like the
    // measurement and coordinate lines.
    COrvStringT noteDistance(double metres) const override { return m_generator->distToString(metres, 4); }

    void emitNote(const COrvStringT& text) {
        COrvStringT out;
        m_generator->writeNote(out, text);
        emit(out);
    }

    void note(const COrvStringT& text, const Where& where) {
        emitNote(text);
        noteWritten(text, where);
    }

    // A sight line as measured, never with a generated name.
    void sight(int kind, const COrvStringT& name, const COrvStringT& code, double hr) {
        COrvStringT out;
        m_generator->writeSight(out, kind, false, name, code, COrvStringT(), hr);
        emit(out);
    }

    // The "BKB" line, and for a backsight point its "BS" line and measurement. A bearing-only
    // backsight has no point; the generator names it. A backsight whose bearing is unknown has
    // no "BKB" line, whose fields are angles.
    void backsight(const Setup& s, const Backsight& bs) {
        at("backsight", &bs.point);
        const Where station = [&s] { return utf8(s.station); };
        const bool bearingOnly = bs.kind == Backsight::Kind::bearing;
        const Figure orientation = bs.orientation();
        if (orientation.known()) {
            COrvStringT out;
            m_generator->writeBacksightBearing(out, bearingOnly, bs.point, bs.azimuth.value, bs.circle.value);
            emit(out);
            wrote(Item::orientation, orientation.origin, station);
        } else {
            leftOut(Item::orientation, "the backsight's bearing is unknown, so it has no BKB line", station);
        }
        if (bearingOnly || !bs.hr.known()) return;
        sight(kBacksightSight, bs.point, COrvStringT(), bs.hr.value);
        if (bs.measured && measurement(*bs.sight.measurement(), station)) {
            wrote(observationItem(bs.sight.measurement()->kind()), Fate::recorded, station);
        }
    }

    // "RES_OBS" with the slope distance, then the measurement; nothing for a measurement that has
    // no record. A horizontal distance and height difference give the slope distance they make;
    // angles alone have none, and the field, which a reader checks against the measurement, holds 0.
    void resectionObservation(const Observation& obs, int& number, const Where& where) {
        if (!obs.measured()) return;
        const DexTSRawMeasurement& m = obs.measurement();
        if (!hasRecord(m.kind())) return leftOut(observationItem(m.kind()), kNoRecord, where);
        const double slope = m.kind() == kSlopeMeasurement        ? m.valueAt(2)
                             : m.kind() == kHorizontalMeasurement ? std::hypot(m.valueAt(1), m.valueAt(2))
                                                                  : 0.0;
        COrvStringT out;
        m_generator->writeResectionObservation(out, obs.sight.targetName(), ++number, slope);
        emit(out);
        if (measurement(m, where)) observationWritten(obs, where);
    }

    static bool hasRecord(int kind) noexcept {
        return kind == kSlopeMeasurement || kind == kHorizontalMeasurement || kind == kAnglesMeasurement;
    }

    // SD, HD and HV lines for the kinds that have them; a horizontal angle or a distance alone
    // has no measurement record in this format. True when a line was written.
    bool measurement(const DexTSRawMeasurement& m, const Where& where) {
        const int kind = m.kind();
        if (!hasRecord(kind)) {
            leftOut(observationItem(kind), kNoRecord, where);
            return false;
        }
        // The format books a horizontal angle as a circle reading: an angle left reads round from zero.
        const double horizontal = needsCircleReading(&m) ? asCircleReading(m).valueAt(0) : m.valueAt(0);
        COrvStringT out;
        m_generator->writeMeasurement(out, kind, 0, horizontal, m.valueAt(1), m.valueAt(2));
        emit(out);
        return true;
    }

    // The sight line (its target height has no empty form: a sight without one is left out), the
    // measurement, the target's coordinates, control codes and note. A sight line alone is a sight
    // without a measurement. True when the sight was written.
    bool observation(const Observation& shot, const Where& where) {
        if (!shot.hr.known()) {
            leftOut(observationItem(shot.kind()), "its target height is unknown", where);
            return false;
        }
        sight(shot.sight.sightKind(), shot.sight.targetName(), shot.code, shot.hr.value);
        if (!shot.measured()) {
            wrote(Item::observationUnmeasured, Fate::recorded, where);
        } else if (measurement(shot.measurement(), where)) {
            observationWritten(shot, where);
        }
        if (shot.coords.known()) coordinatesLine(shot.coords.at);
        controlCodes(shot.sight, where);
        note(shot.sight.getNote(), where);
        return true;
    }

    void coordinatesLine(const Point3& p) {
        COrvStringT out;
        m_generator->writeMeasurement(out, kCoordinatesLine, 0, p.n, p.e, p.h);
        emit(out);
    }

    // The name of the sight's first code on its sight line, then the control codes and first
    // code string of that code.
    void controlCodes(const DexTSRawFS& sight, const Where& where) {
        const DexCodeValues* code = sight.codes.getCode(0);
        if (code == nullptr) return;
        if (code->getDescription() != nullptr && !code->getDescription()->codeName().IsEmpty()) {
            wrote(Item::code, Fate::recorded, where);
        }
        COrvStringT out;
        m_generator->writeControlCodes(out, code->getControlCode(eControlCode1), code->getControlCode(eControlCode2),
                                       code->getCodeStringAt(0));
        emit(out);
        if (code->getDescription() == nullptr) return;
        for (const auto which : {eControlCode1, eControlCode2}) {
            if (!code->getControlCode(which).IsEmpty()) wrote(Item::controlCode, Fate::recorded, where);
        }
    }

    std::unique_ptr<CQuoltPashkRawDataGenerator> m_generator;
};

}  // namespace

std::unique_ptr<FormatWriter> makeQuoltPashkWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<QuoltPashkWriter>(generator, job, sink);
}

}  // namespace exportgen
