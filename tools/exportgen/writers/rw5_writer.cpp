// RW5: header, stored known points, then per set-up: resection, occupy, heights, backsight,
// observations and stake-outs; level runs as notes.
#include "writers/rw5_writer.h"

#include <cmath>
#include <string>

#include "base/generators.h"
#include "base/problems.h"
#include "contracts/text_services.h"
#include "rw5/CRW5Generator.h"

namespace exportgen {

using namespace orv::ie;

namespace {

class Rw5Writer : public WriterBase {
public:
    Rw5Writer(const Generator& generator, const Job& job, RecordSink& sink) : WriterBase(generator, job, sink) {
        // Numeric names the generator gives unnamed points skip the names of the known points.
        FreeNumericNames names;
        for (const KnownPoint& point : job.points) names.reserve(point.design.getStation().name());
        GeneratorInputs inputs = factoryInputs();
        inputs.names = &names;
        m_generator.reset(created(generator.createRw5Family(inputs)));
    }

    void begin() override {
        COrvStringT comment, jobLine, mode;
        m_generator->header(comment, jobLine, mode);
        emit(comment);
        emit(jobLine);
        emit(mode);
        units();
        for (const KnownPoint& point : m_job.points) knownPoint(point);
    }

    void setup(const Setup& s) override {
        atSetup(s);
        resection(s);
        at("station", &s.station);
        emit(m_generator->occupy(COrvStringT(), s.station, s.note, s.coords.n, s.coords.e, s.coords.h, s.hi));
        backsight(s.backsight);
        for (const Observation& shot : s.shots) {
            at("observation to", &shot.sight.targetName());
            observation(shot);
        }
        for (const Stakeout& stake : s.stakeouts) {
            at("stake-out of", &stake.design);
            observation(stake.shot);
            const DexStation staked(stake.shot.sight.targetName(), stake.staked.n, stake.staked.e, stake.staked.h);
            storePoint(staked, stakeText(stake), Store::always);
        }
    }

    void levelRuns() override {
        atLevelRuns(nullptr);
        for (const COrvStringT& text : levelRunTexts()) emit(m_generator->noteLine(text));
    }

private:
    // The generator's own distance text: the job's units (international feet stay
    // international, every other feet unit is US survey feet), 4 decimals like the coordinates.
    COrvStringT noteDistance(double metres) const override { return m_generator->d(metres, 4); }

    // The units the records cannot state: angles are degrees, minutes and seconds or gons, and
    // distances metres, international feet or US survey feet.
    void units() {
        const EAngleUnits angle = m_job.settings.getAngleUnits(m_job.info);
        if (angle == eMils || angle == eDecimalDegrees) {
            warn(std::string("angles in ") + (angle == eMils ? "mils" : "decimal degrees") +
                     " are written as degrees, minutes and seconds",
                 "$.units.angle");
        }
        const EDistUnits distance = m_job.settings.getDistUnits(m_job.info);
        if (distance != eMeters && distance != eInternationalFeet && distance != eUSFeet) {
            warn(std::string("distances in ") +
                     (distance == eInternationalFeetInches ? "international feet and inches"
                                                           : "US survey feet and inches") +
                     " are written as US survey feet",
                 "$.units.distance");
        }
    }

    // A known point stored with its code and note.
    void knownPoint(const KnownPoint& point) {
        const DexStation& station = point.design.getStation();
        at("known point", &station.name());
        COrvStringT note = point.code;
        if (!station.getNotes().IsEmpty()) note += note.IsEmpty() ? station.getNotes() : L" " + station.getNotes();
        storePoint(station, note, Store::oncePerName);
    }

    void storePoint(const DexStation& station, const COrvStringT& note, Store store) {
        emit(m_generator->storePoint(L"SP", station.name(), &station, note, 4, store == Store::always));
    }

    // The target height ahead of a sight, written only when it changed.
    void targetHeight(double hr) { emit(m_generator->lsHiHr(hr, true)); }

    // The backsight by point or by bearing, and the measurement to a backsight point.
    void backsight(const Backsight& bs) {
        if (bs.kind == Backsight::Kind::none) return;
        at("backsight", &bs.point);
        targetHeight(bs.hr);
        const bool bearingOnly = bs.kind == Backsight::Kind::bearing;
        emit(m_generator->backsight(bs.point, bearingOnly, bs.circle, bs.azimuth));
        if (!bearingOnly && bs.measured) {
            emit(m_generator->backsightObs(bs.point, 0, bs.sight.measurement(), bs.hr) + orv::ie::kLineEnd);
        }
    }

    void observation(const Observation& shot) {
        targetHeight(shot.hr);
        emit(m_generator->sightNoteLine(&shot.sight, nullptr));
        emit(m_generator->noteLine(shot.sight.getNote()));
    }

    // The resection's observations, then the worst residual of each kind over them (the one
    // of largest size, with its sign), or those the instrument recorded.
    void resection(const Setup& s) {
        if (s.resection.empty()) return;
        Residual worst;
        for (const Observation& obs : s.resection) {
            at("resection observation to", &obs.sight.targetName());
            emit(m_generator->resection(obs.sight.targetName(), obs.sight.measurement()));
            const Residual r = residualOf(s.coords, s.hi, s.orientation, obs.coords, obs.hr, obs.measurement());
            if (std::fabs(r.horizontal) > std::fabs(worst.horizontal)) worst.horizontal = r.horizontal;
            if (std::fabs(r.zenith) > std::fabs(worst.zenith)) worst.zenith = r.zenith;
            if (std::fabs(r.slope) > std::fabs(worst.slope)) worst.slope = r.slope;
        }
        if (s.hasWorstResiduals) worst = s.worstResiduals;
        emit(m_generator->worstResidualNotes(worst.horizontal, worst.zenith, worst.slope));
    }

    std::unique_ptr<CRW5Generator> m_generator;
};

}  // namespace

std::unique_ptr<FormatWriter> makeRw5Writer(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<Rw5Writer>(generator, job, sink);
}

}  // namespace exportgen
