// RW5: header, stored known points, then per set-up: resection, occupy, heights, backsight,
// observations (a later backsight before the shots it orients) and stake-outs; level runs as
// notes. RW5's distance, height and coordinate fields write the generator's no-value as an empty
// field, its angle fields cannot: a record whose angle is unknown is left out.
#include "writers/rw5_writer.h"

#include <cmath>
#include <string>

#include "base/generators.h"
#include "base/problems.h"
#include "base/text.h"
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

private:
    void writeHeader() override {
        COrvStringT comment, jobLine, mode;
        m_generator->header(comment, jobLine, mode);
        emit(comment);
        emit(jobLine);
        emit(mode);
        const Where header = [] { return std::string("$.job"); };
        if (!m_job.info.jobName.IsEmpty()) wrote(Item::jobText, Fate::recorded, header);
        units();
        std::size_t i = 0;
        for (const KnownPoint& point : m_job.points) knownPoint(point, i++);
    }

    void writeSetup(const Setup& s) override {
        atSetup(s);
        resection(s);
        at("station", &s.station);
        const Point3 place = coordinatesOrNoValue(s.coords);
        emit(m_generator->occupy(COrvStringT(), s.station, s.note, place.n, place.e, place.h, s.hi.orNoValue()));
        const Where station = [&s] { return utf8(s.station); };
        wrote(Item::stationPosition, s.coords.origin, station);
        noteWritten(s.note, station);
        orientation(s);
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
            observation(stake.shot, where);
            const Point3 landed = coordinatesOrNoValue(stake.shot.coords);
            const DexStation staked(stake.shot.sight.targetName(), landed.n, landed.e, landed.h);
            storePoint(staked, stakeText(stake), Store::always);
            wrote(Item::stakeout, stake.differences.known() ? stake.differences.origin : Origin::absent, where);
        }
    }

    void writeLevelRuns() override {
        atLevelRuns(nullptr);
        levelRunNotes([this](const COrvStringT& text) { emit(m_generator->noteLine(text)); });
    }

    const char* notCarried(Item item) const override {
        switch (item) {
            case Item::residual:
                return "RW5 writes the worst residuals of a resection only";
            case Item::attribute:
                return "RW5 has no field for them";
            case Item::code:
                return "RW5 writes one code a point and none for a set-up";
            default:
                return WriterBase::notCarried(item);
        }
    }

    // The generator's own distance text: the job's units (international feet stay
    // international, every other feet unit is US survey feet), 4 decimals like the coordinates.
    COrvStringT noteDistance(double metres) const override { return m_generator->d(metres, 4); }

    // The units the records cannot state: angles are degrees, minutes and seconds or gons, and
    // distances metres, international feet or US survey feet.
    void units() {
        const Where where = [] { return std::string("$.units"); };
        const EAngleUnits angle = m_job.settings.getAngleUnits(m_job.info);
        const bool angleConverted = angle == eMils || angle == eDecimalDegrees;
        if (angleConverted) {
            warn(std::string("angles in ") + (angle == eMils ? "mils" : "decimal degrees") +
                     " are written as degrees, minutes and seconds",
                 "$.units.angle");
        }
        wrote(Item::unit, angleConverted ? Fate::derived : Fate::recorded, where);
        const EDistUnits distance = m_job.settings.getDistUnits(m_job.info);
        const bool distanceConverted = distance != eMeters && distance != eInternationalFeet && distance != eUSFeet;
        if (distanceConverted) {
            warn(std::string("distances in ") +
                     (distance == eInternationalFeetInches ? "international feet and inches"
                                                           : "US survey feet and inches") +
                     " are written as US survey feet",
                 "$.units.distance");
        }
        wrote(Item::unit, distanceConverted ? Fate::derived : Fate::recorded, where);
    }

    // A known point stored with its first code and its note.
    void knownPoint(const KnownPoint& point, std::size_t index) {
        const DexStation& station = point.design.getStation();
        at("known point", &station.name());
        COrvStringT note = point.code;
        if (!station.getNotes().IsEmpty()) note += note.IsEmpty() ? station.getNotes() : L" " + station.getNotes();
        storePoint(station, note, Store::oncePerName);
        const Where where = [index] { return "$.points[" + std::to_string(index) + "]"; };
        wrote(Item::knownPoint, Fate::recorded, where);
        if (!point.code.IsEmpty()) wrote(Item::code, Fate::recorded, where);
        noteWritten(station.getNotes(), where);
    }

    void storePoint(const DexStation& station, const COrvStringT& note, Store store) {
        emit(m_generator->storePoint(L"SP", station.name(), &station, note, 4, store == Store::always));
    }

    // The target height ahead of a sight, written only when it changed.
    void targetHeight(const Figure& hr) { emit(m_generator->lsHiHr(hr.orNoValue(), true)); }

    // The set-up's orientation: its backsight record, or the resection or first observation it
    // was worked out from.
    void orientation(const Setup& s) {
        const Where station = [&s] { return utf8(s.station); };
        if (s.backsight.kind != Backsight::Kind::none) return backsight(s, s.backsight);
        if (s.orientation.known()) {
            wrote(Item::orientation, s.orientation.origin, station);
        } else {
            leftOut(Item::orientation, "unknown: no backsight, resection or sight to a placed point orients it",
                    station);
        }
    }

    // The backsight by point or by bearing, and the measurement to a backsight point. The BK
    // record's bearing and circle reading are angles: a backsight whose bearing is unknown has
    // no record.
    void backsight(const Setup& s, const Backsight& bs) {
        at("backsight", &bs.point);
        const Where station = [&s] { return utf8(s.station); };
        targetHeight(bs.hr);
        const bool bearingOnly = bs.kind == Backsight::Kind::bearing;
        const Figure orientation = bs.orientation();
        if (orientation.known()) {
            emit(m_generator->backsight(bs.point, bearingOnly, bs.circle.value, bs.azimuth.value));
            wrote(Item::orientation, orientation.origin, station);
        } else {
            leftOut(Item::orientation, "the backsight's bearing is unknown, so RW5 has no backsight record for it",
                    station);
        }
        if (!bearingOnly && bs.measured) {
            emit(m_generator->backsightObs(bs.point, 0, bs.sight.measurement(), bs.hr.orNoValue()) + kLineEnd);
            wrote(observationItem(bs.sight.measurement()->kind()), Fate::recorded, station);
        }
    }

    void observation(const Observation& shot, const Where& where) {
        if (!shot.measured()) return;  // an angle field cannot be empty: no record
        targetHeight(shot.hr);
        emit(m_generator->sightNoteLine(&shot.sight, nullptr));
        emit(m_generator->noteLine(shot.sight.getNote()));
        observationWritten(shot, where);
        codesWritten(shot.sight.codes, true, false, where);
        noteWritten(shot.sight.getNote(), where);
    }

    // The resection's observations, then the worst residual of each kind over them, as recorded
    // or worked out. The record holds a circle reading with a zenith and slope distance, with a
    // horizontal distance and height difference, or alone: a direction. Any other measurement
    // would have its first value written as the circle reading; it is left out instead.
    void resection(const Setup& s) {
        if (s.resection.empty()) return;
        std::size_t i = 0;
        for (const Observation& obs : s.resection) {
            const std::size_t index = i++;
            if (!obs.measured()) continue;
            at("resection observation to", &obs.sight.targetName());
            const Where where = [this, &s, index] { return itemPath(s, "resection", index); };
            const int kind = obs.kind();
            if (kind != eKindAnglesAndSlopeDistance && kind != eKindAngleAndHorizontalDistance &&
                kind != eKindHorizontalAngleOnly) {
                leftOut(observationItem(kind),
                        kind == eKindAnglesOnly ? "the resection record holds no zenith without a distance"
                                                : "the resection record has no place for it",
                        where);
                continue;
            }
            emit(m_generator->resection(obs.sight.targetName(), obs.sight.measurement()));
            observationWritten(obs, where);
        }
        const WorstResiduals& worst = s.worstResiduals;
        if (worst.origin == Origin::absent) return;
        emit(m_generator->worstResidualNotes(worst.value.horizontal, worst.value.zenith, worst.value.slope));
        wrote(Item::residual, worst.origin, [&s] { return utf8(s.station); });
    }

    std::unique_ptr<CRW5Generator> m_generator;
};

}  // namespace

std::unique_ptr<FormatWriter> makeRw5Writer(const Generator& generator, const Job& job, RecordSink& sink) {
    return std::make_unique<Rw5Writer>(generator, job, sink);
}

}  // namespace exportgen
