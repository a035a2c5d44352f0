#include "job/ledger.h"

namespace exportgen {

namespace {

struct Names {
    const char* key;
    const char* one;
    const char* many;
};

constexpr Names kNames[kItems] = {
    {"stationPositions", "station position", "station positions"},
    {"orientations", "orientation", "orientations"},
    {"slopeDistanceObservations", "slope-distance observation", "slope-distance observations"},
    {"horizontalDistanceObservations", "horizontal-distance observation", "horizontal-distance observations"},
    {"anglesOnlyObservations", "angles-only observation", "angles-only observations"},
    {"directionOnlyObservations", "direction-only observation", "direction-only observations"},
    {"distanceOnlyObservations", "distance-only observation", "distance-only observations"},
    {"otherObservations", "observation of another kind", "observations of other kinds"},
    {"unmeasuredSights", "sight without a measurement", "sights without a measurement"},
    {"knownPoints", "known point", "known points"},
    {"stakeouts", "stake-out", "stake-outs"},
    {"residuals", "resection residual", "resection residuals"},
    {"levelRuns", "level run", "level runs"},
    {"codes", "code", "codes"},
    {"controlCodes", "control code", "control codes"},
    {"attributes", "attribute", "attributes"},
    {"notes", "note", "notes"},
    {"jobTexts", "job text", "job texts"},
    {"atmosphere", "atmosphere value", "atmosphere values"},
    {"units", "unit", "units"},
};

void countNote(const COrvStringT& note, JobCount& count) {
    if (!note.IsEmpty()) count.add(Item::note, Origin::recorded);
}

void countSight(const Observation& obs, JobCount& count) {
    count.add(observationItem(obs.kind()), Origin::recorded);
    countCodes(obs.sight.codes, count);
    countNote(obs.sight.getNote(), count);
}

}  // namespace

const char* itemKey(Item item) { return kNames[static_cast<std::size_t>(item)].key; }

const char* itemName(Item item, std::size_t count) {
    const Names& names = kNames[static_cast<std::size_t>(item)];
    return count == 1 ? names.one : names.many;
}

Item observationItem(int kind) {
    switch (kind) {
        case orv::ie::eKindAnglesAndSlopeDistance:
            return Item::observationSlope;
        case orv::ie::eKindAngleAndHorizontalDistance:
            return Item::observationHorizontal;
        case orv::ie::eKindAnglesOnly:
            return Item::observationAngles;
        case orv::ie::eKindHorizontalAngleOnly:
            return Item::observationDirection;
        case orv::ie::eKindSlopeDistanceOnly:
            return Item::observationDistance;
        case Observation::kUnmeasured:
            return Item::observationUnmeasured;
        default:
            return Item::observationOther;
    }
}

void countCodes(const orv::ie::DexCodesDataInterface& codes, JobCount& count) {
    for (int i = 0; i < codes.getNumberOfCodes(); ++i) {
        const orv::ie::DexCodeValues* code = codes.getCode(i);
        if (code == nullptr) continue;
        const orv::ie::DexCodeDescription* description = code->getDescription();
        if (description == nullptr) continue;
        if (!description->codeName().IsEmpty()) count.add(Item::code, Origin::recorded);
        for (const auto which : {orv::ie::eControlCode1, orv::ie::eControlCode2}) {
            if (code->hasControlCode(which)) count.add(Item::controlCode, Origin::recorded);
        }
        count.add(Item::attribute, Origin::recorded, static_cast<std::uint64_t>(description->getSize()));
    }
}

void countHeader(const Job& job, JobCount& count) {
    for (const COrvStringT* text : {&job.info.jobName, &job.info.jobText2, &job.info.jobText3}) {
        if (!text->IsEmpty()) count.add(Item::jobText, Origin::recorded);
    }
    double value = 0.0, other = 0.0;
    orv::ie::ETemperatureUnits temperatureUnits{};
    orv::ie::EPressureUnits pressureUnits{};
    if (job.observation.getTemperature(value, temperatureUnits)) count.add(Item::atmosphere, Origin::recorded);
    if (job.observation.getPressure(value, pressureUnits)) count.add(Item::atmosphere, Origin::recorded);
    if (job.observation.getPpm(value)) count.add(Item::atmosphere, Origin::recorded);
    if (job.observation.getEllToGridScaleAndElevation(value, other)) count.add(Item::atmosphere, Origin::recorded);
    count.add(Item::unit, Origin::recorded, 2);  // distances and angles
    for (const KnownPoint& point : job.points) {
        count.add(Item::knownPoint, Origin::recorded);
        countCodes(point.design.codes, count);
        countNote(point.design.getStation().getNotes(), count);
    }
}

void countSetup(const Setup& setup, JobCount& count) {
    count.add(Item::stationPosition, setup.coords.origin);
    count.add(Item::orientation, setup.orientation.origin);
    for (const Backsight& again : setup.reorientations) count.add(Item::orientation, again.orientation().origin);
    if (!setup.code.IsEmpty()) count.add(Item::code, Origin::recorded);
    countNote(setup.note, count);
    if (setup.backsight.measured && setup.backsight.sight.measurement() != nullptr) {
        count.add(observationItem(setup.backsight.sight.measurement()->kind()), Origin::recorded);
    }
    for (const Backsight& again : setup.reorientations) {
        if (again.measured && again.sight.measurement() != nullptr) {
            count.add(observationItem(again.sight.measurement()->kind()), Origin::recorded);
        }
    }
    for (const Observation& obs : setup.resection) {
        countSight(obs, count);
        if (obs.residual.known()) count.add(Item::residual, obs.residual.origin);
    }
    if (setup.worstResiduals.origin != Origin::absent) count.add(Item::residual, setup.worstResiduals.origin);
    for (const Observation& shot : setup.shots) countSight(shot, count);
    for (const Stakeout& stake : setup.stakeouts) {
        countSight(stake.shot, count);
        count.add(Item::stakeout, stake.differences.origin);
    }
}

void countLevelRuns(const Job& job, JobCount& count) {
    for (const LevelRun& run : job.levelRuns) {
        Origin origin = Origin::recorded;
        for (const LevelReading& reading : run.readings) {
            for (const Figure* figure : {&reading.collimation, &reading.elevation}) {
                if (figure->origin == Origin::derived && origin == Origin::recorded) origin = Origin::derived;
                if (figure->origin == Origin::absent) origin = Origin::absent;
            }
            if (!reading.code.IsEmpty()) count.add(Item::code, Origin::recorded);
        }
        count.add(Item::levelRun, origin == Origin::absent ? Origin::derived : origin);
    }
}

}  // namespace exportgen
