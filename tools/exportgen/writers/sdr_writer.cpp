// SDR: the comment line of the header, coordinate records of the known points, then per
// set-up: station, target height, backsight, resection observations with their residuals,
// observations and stake-outs with their notes; level runs with the level records.
#include "writers/sdr_writer.h"

#include <functional>
#include <string>

#include "base/generators.h"
#include "base/problems.h"
#include "sdr/CSDRRawGenerator.h"

namespace exportgen {

using namespace orv::ie;

namespace {

class SdrWriter : public WriterBase {
public:
    SdrWriter(const Generator& generator, const Job& job, RecordSink& sink) : WriterBase(generator, job, sink) {
        // The SDR format's factory makes a CSDRRawGenerator.
        m_generator.reset(created(static_cast<CSDRRawGenerator*>(generator.createRw5Family(factoryInputs()))));
    }

    void begin() override {
        COrvStringT comment, jobLine, mode;
        m_generator->header(comment, jobLine, mode);
        emit(comment);  // the job and mode lines are RW5 records; the SDR file keeps the comment only
        if (m_job.settings.getAngleUnits(m_job.info) == eDegMinSec) {
            warn("angles in packed degrees, minutes and seconds are written as decimal degrees", "$.units.angle");
        }
        std::size_t i = 0;
        for (const KnownPoint& point : m_job.points) {
            const DexStation& station = point.design.getStation();
            at("known point", &station.name());
            name(station.name(), [i] { return "$.points[" + std::to_string(i) + "].name"; });
            ++i;
            coordinates(station, point.code, Store::oncePerName);
        }
    }

    void setup(const Setup& s) override {
        atSetup(s);
        name(s.station, [&s] { return setupPath(s) + ".station"; });
        emit(m_generator->occupy(L"NM", s.station, s.code, s.coords.n, s.coords.e, s.coords.h, s.hi));
        emit(m_generator->noteLine(s.note));
        backsight(s);
        std::size_t i = 0;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            name(obs.sight.targetName(), [&s, i] { return itemPath(s, "resection", i) + ".to"; });
            ++i;
            observation(obs);
            const Point3 miss =
                obs.hasResidual
                    ? obs.residual
                    : residualOf(s.coords, s.hi, s.orientation, obs.coords, obs.hr, obs.measurement()).position;
            emit(m_generator->residualNotes(miss.n, miss.e, miss.h));
        }
        i = 0;
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            name(shot.sight.targetName(), [&s, i] { return itemPath(s, "shots", i) + ".to"; });
            ++i;
            observation(shot);
        }
        i = 0;
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            name(stake.shot.sight.targetName(), [&s, i] { return itemPath(s, "stakeouts", i) + ".to"; });
            ++i;
            stakeout(stake);
        }
    }

    void levelRuns() override {
        int number = 0;
        for (const LevelRun& run : m_job.levelRuns) {
            atLevelRuns(&run.name);
            const int r = number;
            name(run.start, [r] { return "$.levelRuns[" + std::to_string(r) + "].start"; });
            emit(m_generator->levelRunNote(run.name, run.description));
            emit(m_generator->levelStartRecords(run.start, run.startElevation, COrvStringT(), ++number));
            int index = 0;
            for (const LevelReading& reading : run.readings) {
                at("level reading on", &reading.point);
                const int k = index;
                name(reading.point, [r, k] {
                    return "$.levelRuns[" + std::to_string(r) + "].readings[" + std::to_string(k) + "].point";
                });
                levelReading(reading, ++index);
            }
        }
    }

    // The generator notes that some field was longer than its column; the names were reported
    // one by one, anything else is reported here.
    void end() override {
        WriterBase::end();
        if (m_generator->reportStatus() == CSDRRawGenerator::kFieldOverflow && !namesChanged()) {
            warn("a field was longer than its 16-character column and was cut to fit",
                 "the generator does not say which");
        }
    }

private:
    // Names are written in 16-character columns: a longer one is cut, and two names that share
    // their first 16 characters become one.
    static constexpr int kNameWidth = 16;

    void name(const COrvStringT& text, const std::function<std::string()>& where) {
        const int length = text.GetLength();
        if (length < kNameWidth && !namesChanged()) return;
        watchName(text, length > kNameWidth ? text.Left(kNameWidth) : text, "is cut to its 16-character column",
                  length == kNameWidth, where);
    }

    void coordinates(const DexStation& station, const COrvStringT& code, Store store) {
        emit(m_generator->coordinateRecord(L"08TP", station.name(), &station, code, 4, store == Store::always, false));
    }

    // The backsight by point or by bearing, and the measurement to a backsight point.
    void backsight(const Setup& s) {
        const Backsight& bs = s.backsight;
        if (bs.kind == Backsight::Kind::none) return;
        at("backsight", &bs.point);
        if (bs.kind == Backsight::Kind::point) name(bs.point, [&s] { return setupPath(s) + ".backsight.point"; });
        emit(m_generator->lsHiHr(bs.hr, true));
        const bool bearingOnly = bs.kind == Backsight::Kind::bearing;
        emit(m_generator->backsight(bs.point, bearingOnly, bs.azimuth, bs.circle));
        if (!bearingOnly && bs.measured) emit(m_generator->sightNoteLine(&bs.sight, nullptr));
    }

    void observation(const Observation& shot) {
        emit(m_generator->lsHiHr(shot.hr, true));
        emit(m_generator->sightNoteLine(&shot.sight, nullptr));
        emit(m_generator->noteLine(shot.sight.getNote()));
    }

    // The staked point as measured, the generator's notes of where it landed against the
    // design, and its coordinates.
    void stakeout(const Stakeout& stake) {
        observation(stake.shot);
        const Point3 delta = stake.differences();
        emit(m_generator->stakeoutNotes(stake.design, stake.shot.sight.targetName(), delta.n, delta.e, delta.h));
        const DexStation staked(stake.shot.sight.targetName(), stake.staked.n, stake.staked.e, stake.staked.h);
        coordinates(staked, stake.shot.code, Store::always);
    }

    // 63LV backsight / 64LV foresight: rod reading, sight length, code, reading number,
    // backsight flag, height of collimation; a foresight adds the point's height and its rise
    // from the previous point.
    void levelReading(const LevelReading& reading, int index) {
        const DexTSRawMeasurement values(reading.backsight ? 0 : 1,
                                         {reading.elevation, reading.distance, reading.rise});
        emit(m_generator->levelReadingRecord(reading.point, reading.rod, &values, reading.collimation, reading.code,
                                             reading.backsight, index));
    }

    std::unique_ptr<CSDRRawGenerator> m_generator;
};

}  // namespace

std::unique_ptr<FormatWriter> makeSdrWriter(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<SdrWriter>(generator, job, sink);
}

}  // namespace exportgen
