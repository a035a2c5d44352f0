#include "job/placement.h"

#include <cmath>

#include "base/text.h"
#include "contracts/text_services.h"
#include "contracts/units.h"

namespace exportgen {

namespace {

using orv::ie::kPi;

// A check that misses by more than this is worth a surveyor's look: more than a traverse's
// ordinary misclosure, far less than a wrong point or a wrong orientation.
constexpr double kHorizontalTolerance = 0.05;  // metres
constexpr double kVerticalTolerance = 0.10;    // metres
// A measured backsight that reads more than this off the circle reading set on it.
constexpr double kCircleTolerance = 1.0 / 60.0;  // degrees: one minute of arc

std::string metresText(double value) { return utf8(fixed(value, 3)); }

// The origin of a figure worked out from others: derived, unless any is absent.
Origin combined(Origin a, Origin b) {
    if (a == Origin::absent || b == Origin::absent) return Origin::absent;
    return a == Origin::recorded && b == Origin::recorded ? Origin::recorded : Origin::derived;
}

// Whether a measurement gives a horizontal angle.
bool hasDirection(const orv::ie::DexTSRawMeasurement& m) {
    const int kind = m.kind();
    return kind == orv::ie::eKindAnglesAndSlopeDistance || kind == orv::ie::eKindAngleAndHorizontalDistance ||
           kind == orv::ie::eKindAnglesOnly || kind == orv::ie::eKindHorizontalAngleOnly;
}

}  // namespace

Figure Backsight::orientation() const noexcept {
    Figure result;
    result.origin = combined(azimuth.origin, circle.origin);
    if (result.known()) result.value = azimuth.value - circle.value;
    // The orientation itself is always a difference the job works out, but from stated values
    // it states nothing new: it is as recorded as they are.
    return result;
}

Figure Setup::orientationOfShot(std::size_t shot) const noexcept {
    Figure result = orientation;
    for (const Backsight& again : reorientations) {
        if (again.firstShot <= shot) result = again.orientation();
    }
    return result;
}

Placement::Placement(const Job& job, std::optional<AssumedFrame> assumed, Warn warn)
    : m_job(job), m_assumed(std::move(assumed)), m_warn(std::move(warn)) {}

const KnownPoint* Placement::pointNamed(std::string_view name) const {
    if (const KnownPoint* point = m_job.find(name)) return point;
    const auto it = m_stations.find(std::string(name));
    return it == m_stations.end() ? nullptr : &it->second;
}

const Point3* Placement::placed(std::string_view name) const {
    const KnownPoint* point = pointNamed(name);
    return point != nullptr ? &point->coords : nullptr;
}

void Placement::place(Setup& setup) {
    position(setup);
    orient(setup);
    resection(setup);
    stakeouts(setup);
    learn(setup);
}

void Placement::position(Setup& setup) {
    if (setup.coords.known()) return;
    const std::string station = utf8(setup.station);
    if (const KnownPoint* point = m_job.find(station)) {
        setup.coords.set(point->coords, Origin::recorded, point->hasHeight);
        return;
    }
    if (const auto it = m_stations.find(station); it != m_stations.end()) {
        // A station occupied again stands where it stood.
        setup.coords.set(it->second.coords, Origin::derived, it->second.hasHeight);
        return;
    }
    if (const auto it = m_foresights.find(station); it != m_foresights.end()) {
        setup.coords.set(it->second.at, Origin::derived, it->second.hasHeight);
        return;
    }
    // A free station: two or more known points of its resection, sighted with distances.
    if (setup.backsight.kind == Backsight::Kind::none && !setup.resection.empty()) {
        std::vector<FreeStationSight> sights;
        for (const Observation& obs : setup.resection) {
            const Point3* known = obs.measured() ? placed(utf8(obs.sight.targetName())) : nullptr;
            if (known == nullptr || !obs.hr.known()) continue;
            sights.push_back({*known, obs.hr.value, obs.measurement()});
        }
        StationFit fit;
        if (setup.hi.known() && freeStation(sights, setup.hi.value, fit)) {
            setup.coords.set(fit.station, Origin::derived);
            setup.orientation.set(fit.orientation, Origin::derived);
            return;
        }
    }
    if (m_assumed) {
        setup.coords.set(m_assumed->station, Origin::derived);
        if (m_assumed->bearing) {
            // The bearing given is the backsight's azimuth (or, without a backsight, the circle's zero).
            const double circle = setup.backsight.circle.known() ? setup.backsight.circle.value : 0.0;
            setup.orientation.set(*m_assumed->bearing - circle, Origin::derived);
        } else {
            // The circle reading on the backsight taken as its bearing: the circle's zero is north.
            setup.orientation.set(0.0, Origin::derived);
        }
        m_assumed.reset();
    }
}

void Placement::orientBacksight(const Setup& setup, Backsight& backsight) const {
    if (backsight.kind == Backsight::Kind::point) {
        const KnownPoint* point = pointNamed(utf8(backsight.point));
        if (point == nullptr && !backsight.azimuth.known()) {
            m_warn("backsight point " + shownName(utf8(backsight.point)) +
                       " is neither a known point nor a placed station: the set-up at " +
                       shownName(utf8(setup.station)) + " has no bearing from it",
                   backsight.place);
        }
        // The sight names the point it was taken to, with its codes, as the formats write it.
        if (point != nullptr && backsight.sight.getBSPoint() == nullptr) backsight.sight.setBSPoint(point->design);
        if (point != nullptr && !backsight.azimuth.known() && setup.coords.known()) {
            backsight.azimuth.set(azimuth(setup.coords.at, point->coords), Origin::derived);
        }
    }
    if (!backsight.circle.known() && backsight.measured && backsight.sight.measurement() != nullptr &&
        hasDirection(*backsight.sight.measurement())) {
        // The circle read on the backsight is what its measurement read.
        backsight.circle.set(backsight.sight.measurement()->valueAt(0), Origin::recorded);
    }
}

void Placement::orient(Setup& setup) {
    Backsight& backsight = setup.backsight;
    if (backsight.kind != Backsight::Kind::none) {
        orientBacksight(setup, backsight);
        if (backsight.measured && backsight.circle.origin == Origin::recorded &&
            backsight.sight.measurement() != nullptr && hasDirection(*backsight.sight.measurement())) {
            const double off = signedAngle(backsight.sight.measurement()->valueAt(0) - backsight.circle.value);
            if (std::fabs(off) > kCircleTolerance) {
                m_warn("the measured backsight to " + shownName(utf8(backsight.point)) + " reads " +
                           shortestNumber(off * 3600.0) + " seconds off the circle reading set on it; the set-up at " +
                           shownName(utf8(setup.station)) + " is oriented on the circle reading",
                       backsight.place);
            }
        }
        if (!setup.orientation.known()) {
            const Figure orientation = backsight.orientation();
            if (orientation.known()) setup.orientation = orientation;
        }
    }
    for (Backsight& again : setup.reorientations) orientBacksight(setup, again);
    if (!setup.orientation.known()) orientOnFirstObservation(setup);
}

bool Placement::orientOnFirstObservation(Setup& setup) {
    if (!setup.coords.known()) return false;
    for (const Observation& shot : setup.shots) {
        if (!shot.measured() || !hasDirection(shot.measurement())) continue;
        const Point3* point = placed(utf8(shot.sight.targetName()));
        if (point == nullptr) continue;
        setup.orientation.set(azimuth(setup.coords.at, *point) - shot.measurement().valueAt(0), Origin::derived);
        return true;
    }
    return false;
}

void Placement::resection(Setup& setup) {
    if (setup.resection.empty()) return;
    // Without a backsight, a resection on a station of known position is oriented by the mean of
    // azimuth minus circle reading over its sights to known points.
    if (!setup.orientation.known() && setup.coords.known()) {
        double sumSin = 0.0, sumCos = 0.0;
        for (const Observation& obs : setup.resection) {
            const Point3* known = obs.measured() ? placed(utf8(obs.sight.targetName())) : nullptr;
            if (known == nullptr || !hasDirection(obs.measurement())) continue;
            const double difference = (azimuth(setup.coords.at, *known) - obs.measurement().valueAt(0)) * kPi / 180.0;
            sumSin += std::sin(difference);
            sumCos += std::cos(difference);
        }
        if (sumSin != 0.0 || sumCos != 0.0) {
            setup.orientation.set(std::atan2(sumSin, sumCos) * 180.0 / kPi, Origin::derived);
        }
    }
    const bool placedAndOriented = setup.coords.known() && setup.orientation.known() && setup.hi.known();
    Residual worst;
    bool any = false;
    for (Observation& obs : setup.resection) {
        const Point3* known = placed(utf8(obs.sight.targetName()));
        if (known == nullptr) {
            m_warn("resection point " + shownName(utf8(obs.sight.targetName())) + " is not a known point", obs.place);
        }
        if (known != nullptr && !obs.coords.known()) obs.coords.set(*known, Origin::recorded);
        if (!placedAndOriented || known == nullptr || !obs.measured() || !obs.hr.known()) continue;
        const Residual r = residualOf(setup.coords.at, setup.hi.value, setup.orientation.value, *known, obs.hr.value,
                                      obs.measurement());
        if (!obs.residual.known()) obs.residual.set(r.position, Origin::derived, setup.coords.hasHeight);
        if (std::fabs(r.horizontal) > std::fabs(worst.horizontal)) worst.horizontal = r.horizontal;
        if (std::fabs(r.zenith) > std::fabs(worst.zenith)) worst.zenith = r.zenith;
        if (std::fabs(r.slope) > std::fabs(worst.slope)) worst.slope = r.slope;
        any = true;
    }
    if (setup.worstResiduals.origin == Origin::absent && any) {
        setup.worstResiduals.value = worst;
        setup.worstResiduals.origin = Origin::derived;
    }
}

void Placement::stakeouts(Setup& setup) const {
    for (Stakeout& stake : setup.stakeouts) {
        if (!stake.designCoords.known()) {
            if (const KnownPoint* design = pointNamed(utf8(stake.design))) {
                stake.designCoords.set(design->coords, Origin::recorded, design->hasHeight);
            } else {
                m_warn("stake-out design point " + shownName(utf8(stake.design)) + " is not a known point",
                       stake.shot.place);
            }
        }
        Observation& shot = stake.shot;
        const Figure orientation = setup.orientation;
        Point3 landed;
        if (!shot.coords.known() && setup.coords.known() && orientation.known() && setup.hi.known() &&
            shot.hr.known() && shot.measured() &&
            target(setup.coords.at, setup.hi.value, shot.hr.value, orientation.value, shot.measurement(), landed)) {
            shot.coords.set(landed, Origin::derived, setup.coords.hasHeight);
        }
        if (!stake.differences.known() && shot.coords.known() && stake.designCoords.known()) {
            stake.differences.set(stakeDelta(shot.coords.at, stake.designCoords.at), Origin::derived,
                                  shot.coords.hasHeight && stake.designCoords.hasHeight);
        }
    }
}

void Placement::check(const std::string& name, const Point3& observed, const Place& where) {
    const Point3* expected = placed(name);
    Point3 first;
    if (expected == nullptr) {
        const auto it = m_foresights.find(name);
        if (it == m_foresights.end()) return;
        first = it->second.at;
        expected = &first;
    }
    const double horizontal = std::hypot(observed.n - expected->n, observed.e - expected->e);
    const double vertical = observed.h - expected->h;
    if (horizontal > kHorizontalTolerance || std::fabs(vertical) > kVerticalTolerance) {
        m_warn("a sight to " + shownName(name) + " misses where it stands by " + metresText(horizontal) +
                   " m horizontally and " + metresText(vertical) + " m in height",
               where);
    }
}

void Placement::learn(const Setup& setup) {
    const std::string station = utf8(setup.station);
    if (setup.coords.known() && m_job.find(station) == nullptr && m_stations.count(station) == 0) {
        KnownPoint& point = m_stations[station];
        point.coords = setup.coords.at;
        point.hasHeight = setup.coords.hasHeight;
        point.code = setup.code;
        point.place = setup.place;
        const Point3& p = setup.coords.at;
        point.design.setStation(orv::ie::DexStation(setup.station, p.n, p.e, p.h, setup.note));
        if (!setup.code.IsEmpty()) {
            point.design.codes.addCode(orv::ie::DexCodeValues(orv::ie::DexCodeDescription(setup.code)));
        }
    }
    if (!setup.coords.known() || !setup.hi.known()) return;
    for (std::size_t i = 0; i < setup.shots.size(); ++i) {
        const Observation& shot = setup.shots[i];
        const Figure orientation = setup.orientationOfShot(i);
        Point3 observed;
        if (!orientation.known() || !shot.hr.known() || !shot.measured() ||
            !target(setup.coords.at, setup.hi.value, shot.hr.value, orientation.value, shot.measurement(), observed)) {
            continue;
        }
        const std::string name = utf8(shot.sight.targetName());
        if (placed(name) != nullptr || m_foresights.count(name) != 0) {
            check(name, observed, shot.place);
        } else if (shot.sight.sightKind() == orv::ie::eSightForesight) {
            m_foresights.emplace(name, Target{observed, station, setup.coords.hasHeight});
        }
    }
}

void Placement::levelRuns(std::vector<LevelRun>& runs) const {
    for (LevelRun& run : runs) {
        if (!run.startElevation.known()) {
            const KnownPoint* start = pointNamed(utf8(run.start));
            if (start != nullptr && start->hasHeight) {
                run.startElevation.set(start->coords.h, Origin::recorded);
            } else {
                m_warn("level run start " + shownName(utf8(run.start)) + " is not a point of known height", run.place);
            }
        }
        // Heights carried along the run: a backsight sees a point of known height (the start, a
        // known point or a point a foresight of this run reached).
        std::unordered_map<std::string, Figure> heights{{utf8(run.start), run.startElevation}};
        Figure collimation = run.startElevation;
        Figure previous = run.startElevation;
        for (LevelReading& reading : run.readings) {
            const std::string name = utf8(reading.point);
            if (reading.backsight) {
                // The point's height as the run or the job knows it; a level records the height
                // of collimation it worked out, and the run goes on from that.
                reading.elevation = Figure();
                if (const auto it = heights.find(name); it != heights.end()) {
                    reading.elevation = it->second;
                } else if (const KnownPoint* point = pointNamed(name); point != nullptr && point->hasHeight) {
                    reading.elevation.set(point->coords.h, Origin::recorded);
                } else {
                    m_warn("level backsight on " + shownName(name) + ", a point of unknown height", reading.place);
                }
                if (!reading.collimation.known() && reading.elevation.known()) {
                    reading.collimation.set(reading.elevation.value + reading.rod, Origin::derived);
                }
                reading.rise.set(0.0, Origin::derived);
                collimation = reading.collimation;
            } else {
                reading.collimation = collimation;
                // The rise is from the height the readings give, even where the level recorded
                // the point's height in its own digits.
                Figure worked;
                if (collimation.known()) worked.set(collimation.value - reading.rod, Origin::derived);
                if (!reading.rise.known() && worked.known() && previous.known()) {
                    reading.rise.set(worked.value - previous.value, Origin::derived);
                }
                if (!reading.elevation.known()) reading.elevation = worked;
                if (reading.elevation.known()) heights[name] = reading.elevation;
            }
            previous = reading.elevation;
        }
    }
}

}  // namespace exportgen
