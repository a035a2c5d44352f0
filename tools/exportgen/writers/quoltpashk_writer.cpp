// Quolt/Pashk: the seven header lines, then per set-up: station, backsight, resection,
// sights each followed by its measurement, coordinates, control codes and note; stake-outs
// and level runs with the host's notes.
#include "writers/quoltpashk_writer.h"

#include <functional>
#include <string>

#include "base/generators.h"
#include "base/problems.h"
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

    void begin() override {
        COrvStringT lines[7];
        m_generator->writeHeaderRecords(lines[0], lines[1], lines[2], lines[3], lines[4], lines[5], lines[6]);
        for (const auto& text : lines) emit(text);
    }

    void setup(const Setup& s) override {
        atSetup(s);
        COrvStringT out;
        m_generator->writeStation(out, s.station, s.code, s.hi);
        emit(out);
        note(s.note);
        backsight(s.backsight);
        int number = 0;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            m_where = [&s, number] { return itemPath(s, "resection", static_cast<std::size_t>(number)); };
            resectionObservation(obs, ++number);
        }
        std::size_t i = 0;
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            m_where = [&s, i] { return itemPath(s, "shots", i); };
            ++i;
            observation(shot);
        }
        i = 0;
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            m_where = [&s, i] { return itemPath(s, "stakeouts", i); };
            ++i;
            observation(stake.shot);
            note(stakeText(stake));
        }
    }

    void levelRuns() override {
        atLevelRuns(nullptr);
        for (const COrvStringT& text : levelRunTexts()) note(text);
    }

private:
    // The generator's own distance text: the job's units (international feet stay
    // international, every other feet unit is US survey feet), 4 decimals like the
    // measurement and coordinate lines.
    COrvStringT noteDistance(double metres) const override { return m_generator->distToString(metres, 4); }

    void note(const COrvStringT& text) {
        COrvStringT out;
        m_generator->writeNote(out, text);
        emit(out);
    }

    // A sight line as measured, never with a generated name.
    void sight(int kind, const COrvStringT& name, const COrvStringT& code, double hr) {
        COrvStringT out;
        m_generator->writeSight(out, kind, false, name, code, COrvStringT(), hr);
        emit(out);
    }

    // The "BKB" line, and for a backsight point its "BS" line and measurement. A bearing-only
    // backsight has no point; the generator names it.
    void backsight(const Backsight& bs) {
        if (bs.kind == Backsight::Kind::none) return;
        at("backsight", &bs.point);
        m_where = [] { return std::string(); };
        const bool bearingOnly = bs.kind == Backsight::Kind::bearing;
        COrvStringT out;
        m_generator->writeBacksightBearing(out, bearingOnly, bs.point, bs.azimuth, bs.circle);
        emit(out);
        if (bearingOnly) return;
        sight(kBacksightSight, bs.point, COrvStringT(), bs.hr);
        if (bs.measured) measurement(*bs.sight.measurement());
    }

    // "RES_OBS" with the slope distance, then the measurement.
    void resectionObservation(const Observation& obs, int number) {
        COrvStringT out;
        m_generator->writeResectionObservation(out, obs.sight.targetName(), number, obs.measurement().valueAt(2));
        emit(out);
        measurement(obs.measurement());
    }

    // SD, HD and HV lines for the kinds that have them; a horizontal angle or a distance alone
    // has no measurement record in this format.
    void measurement(const DexTSRawMeasurement& m) {
        const int kind = m.kind();
        if (kind != kSlopeMeasurement && kind != kHorizontalMeasurement && kind != kAnglesMeasurement) {
            leftOut(kind, m_where());
            return;
        }
        COrvStringT out;
        m_generator->writeMeasurement(out, kind, 0, m.valueAt(0), m.valueAt(1), m.valueAt(2));
        emit(out);
    }

    void observation(const Observation& shot) {
        sight(shot.sight.sightKind(), shot.sight.targetName(), shot.code, shot.hr);
        measurement(shot.measurement());
        if (shot.hasCoords) coordinatesLine(shot.coords);
        controlCodes(shot.sight);
        note(shot.sight.getNote());
    }

    void coordinatesLine(const Point3& p) {
        COrvStringT out;
        m_generator->writeMeasurement(out, kCoordinatesLine, 0, p.n, p.e, p.h);
        emit(out);
    }

    // The control codes and the name of the sight's first code.
    void controlCodes(const DexTSRawFS& sight) {
        const DexCodeValues* code = sight.codes.getCode(0);
        if (code == nullptr) return;
        COrvStringT out;
        m_generator->writeControlCodes(out, code->getControlCode(eControlCode1), code->getControlCode(eControlCode2),
                                       code->getCodeStringAt(0));
        emit(out);
    }

    std::unique_ptr<CQuoltPashkRawDataGenerator> m_generator;
    std::function<std::string()> m_where = [] { return std::string(); };  ///< the sight's JSON path
};

}  // namespace

std::unique_ptr<FormatWriter> makeQuoltPashkWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<QuoltPashkWriter>(generator, job, sink);
}

}  // namespace exportgen
