#include "job/placement.h"

#include <algorithm>
#include <cmath>

#include "base/problems.h"
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

// A fit can pass through sights that disagree: a wrong point, a target on the wrong mark, a
// blunder in a distance. The sight the fit leaves farthest from its known point is named when it
// misses by more than a check sight may.
void warnOfWorstFit(const Placement::Warn& warn, const Setup& setup, const std::vector<FreeStationSight>& sights,
                    const std::vector<std::string>& names, const StationFit& fit) {
    double worst = 0.0;
    std::size_t worstAt = 0;
    for (std::size_t i = 0; i < sights.size(); ++i) {
        // Where the sight lands in plan: the heights play no part.
        Point3 landed;
        if (!target(fit.station, 0.0, 0.0, fit.orientation, sights[i].measurement, landed)) continue;
        const double miss = std::hypot(landed.n - sights[i].known.n, landed.e - sights[i].known.e);
        if (miss > worst) worst = miss, worstAt = i;
    }
    if (!(worst > kHorizontalTolerance)) return;
    warn("free station " + shownName(utf8(setup.station)) + ": the fit leaves its sight to " +
             shownName(names[worstAt]) + " " + metresText(worst) + " m from the known point (more than " +
             metresText(kHorizontalTolerance) + " m); a wrong point or a blunder in the sights is likely",
         setup.place);
}

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

// Names for a message: "A", "A" and "B", "A", "B" and "C"; past four, how many more.
std::string namesText(const std::vector<std::string>& names) {
    constexpr std::size_t kShown = 4;
    std::string text;
    const std::size_t shown = std::min(names.size(), kShown);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += shownName(names[i]);
    }
    if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " more";
    return text;
}

// A free station that cannot be fixed is an error about the job at its set-up: a position made
// up from sights that fix nothing would be written as if measured.
[[noreturn]] void refuseFreeStation(const Setup& setup, const std::string& message) {
    throw JobError(setup.place.offset, message, kExitJob, setup.place.input);
}

// Why a sight of a free station gives it nothing, as a message says it.
const char* unusable(FreeStationUse use) {
    switch (use) {
        case FreeStationUse::noDistance:
            return "no distance";
        case FreeStationUse::noDirection:
            return "no horizontal angle";
        case FreeStationUse::notANumber:
            return "a figure that is no number";
        case FreeStationUse::zeroDistance:
            return "a distance of 0";
        case FreeStationUse::negativeDistance:
            return "a negative distance";
        case FreeStationUse::usable:
            break;
    }
    return "";
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
    // A free station: no backsight, and a resection of two or more known points with distances.
    if (setup.backsight.kind == Backsight::Kind::none && !setup.resection.empty() && fixFreeStation(setup)) return;
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

bool Placement::fixFreeStation(Setup& setup) const {
    std::vector<FreeStationSight> sights;
    std::vector<std::string> used;      // the usable sights' points, in order
    std::vector<std::string> distinct;  // the same, each name once
    std::vector<std::string> notUsed;   // "NAME" (why), for the message
    std::size_t notUsedCount = 0;
    bool anyPlaced = false, anyMeasured = false, directionsOnly = true;
    for (const Observation& obs : setup.resection) {
        const std::string name = utf8(obs.sight.targetName());
        const KnownPoint* point = pointNamed(name);
        const FreeStationUse use = obs.measured() ? freeStationUse(obs.measurement()) : FreeStationUse::noDirection;
        anyPlaced = anyPlaced || point != nullptr;
        if (obs.measured()) {
            anyMeasured = true;
            directionsOnly = directionsOnly && use == FreeStationUse::noDistance;
        }
        const char* why = point == nullptr                ? "an unknown point"
                          : !obs.measured()               ? "not measured"
                          : use != FreeStationUse::usable ? unusable(use)
                          : !std::isfinite(point->coords.n) || !std::isfinite(point->coords.e)
                              ? "coordinates that are no numbers"
                              : nullptr;
        if (why != nullptr) {
            if (++notUsedCount <= 4) notUsed.push_back(shownName(name) + " (" + why + ")");
            continue;
        }
        FreeStationSight sight;
        sight.known = point->coords;
        sight.hr = obs.hr.value;
        sight.height = point->hasHeight && obs.hr.known();
        sight.measurement = obs.measurement();
        sights.push_back(std::move(sight));
        used.push_back(name);
        if (std::find(distinct.begin(), distinct.end(), name) == distinct.end()) distinct.push_back(name);
    }
    // A resection to none of the points the job knows leaves the station to --assume, or absent:
    // a job without coordinates (a raw file of measurements alone) is a job like another.
    if (!anyPlaced) return false;
    const std::string station = "free station " + shownName(utf8(setup.station)) + ": ";
    const std::string needs = "a free station needs two known points measured with distances";
    if (anyMeasured && directionsOnly) {
        refuseFreeStation(setup, station + "its resection measures directions only; " + needs +
                                     " (a resection of directions alone is not supported)");
    }
    StationFit fit;
    const FreeStationFault fault =
        distinct.size() < 2
            ? FreeStationFault::tooFew
            : freeStation(sights, setup.hi.known() ? std::optional<double>(setup.hi.value) : std::nullopt, fit);
    switch (fault) {
        case FreeStationFault::none:
            break;
        case FreeStationFault::tooFew: {
            std::string message = station + "its resection has ";
            if (used.empty()) {
                message += "no usable sight";
            } else if (used.size() == 1) {
                message += "1 usable sight (to " + shownName(used.front()) + ")";
            } else {
                message += std::to_string(used.size()) + " usable sights, " + (used.size() == 2 ? "both" : "all") +
                           " to " + shownName(used.front());
            }
            message += "; " + needs;
            if (!notUsed.empty()) {
                message += "; not usable: ";
                for (std::size_t i = 0; i < notUsed.size(); ++i) message += (i > 0 ? ", " : "") + notUsed[i];
                if (notUsedCount > notUsed.size()) {
                    message += " and " + std::to_string(notUsedCount - notUsed.size()) + " more";
                }
            }
            refuseFreeStation(setup, message);
        }
        case FreeStationFault::onePlace:
            refuseFreeStation(
                setup, station + "its known points " + namesText(distinct) +
                           " coincide, so no rotation can be fitted; a free station needs two known points apart");
        case FreeStationFault::oneVector:
            refuseFreeStation(
                setup,
                station + "its sights to " + namesText(distinct) +
                    " measure the same vector (horizontal angle and distance), so no rotation can be fitted onto "
                    "the known points");
        case FreeStationFault::noRotation:
            refuseFreeStation(setup, station + "no rotation fits its sights to " + namesText(distinct) +
                                         " better than another (as when the figure they measure is a mirror image "
                                         "of the known points')");
        case FreeStationFault::notFinite:
            refuseFreeStation(setup,
                              station + "its sights to " + namesText(distinct) + " give no position in finite numbers");
    }
    setup.coords.set(fit.station, Origin::derived, fit.hasHeight);
    setup.orientation.set(fit.orientation, Origin::derived);
    warnOfWorstFit(m_warn, setup, sights, used, fit);
    return true;
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
    bool gotHorizontal = false, gotZenith = false, gotSlope = false;
    for (Observation& obs : setup.resection) {
        const KnownPoint* point = pointNamed(utf8(obs.sight.targetName()));
        if (point == nullptr) {
            m_warn("resection point " + shownName(utf8(obs.sight.targetName())) + " is not a known point", obs.place);
        }
        if (point != nullptr && !obs.coords.known()) obs.coords.set(point->coords, Origin::recorded, point->hasHeight);
        if (!placedAndOriented || point == nullptr || !obs.measured() || !obs.hr.known()) continue;
        const Residual r = residualOf(setup.coords.at, setup.hi.value, setup.orientation.value, point->coords,
                                      obs.hr.value, obs.measurement());
        // Heights at both ends give the residual's height, the zenith's and the distance's.
        const bool heights = setup.coords.hasHeight && point->hasHeight;
        Point3 landed;
        if (!obs.residual.known() &&
            target(setup.coords.at, setup.hi.value, obs.hr.value, setup.orientation.value, obs.measurement(), landed)) {
            obs.residual.set(r.position, Origin::derived, heights);
        }
        // Each worst residual is over the sights that measure its figure; a zenith and a slope
        // distance need heights at both ends.
        const int kind = obs.kind();
        const bool direction = hasDirection(obs.measurement());
        const bool zenith = heights && (kind == orv::ie::eKindAnglesAndSlopeDistance ||
                                        kind == orv::ie::eKindAngleAndHorizontalDistance ||
                                        kind == orv::ie::eKindAnglesOnly || kind == orv::ie::eKindZenithOnly);
        const bool slope =
            heights && (kind == orv::ie::eKindAnglesAndSlopeDistance ||
                        kind == orv::ie::eKindAngleAndHorizontalDistance || kind == orv::ie::eKindSlopeDistanceOnly);
        if (direction && (!gotHorizontal || std::fabs(r.horizontal) > std::fabs(worst.horizontal))) {
            worst.horizontal = r.horizontal;
        }
        if (zenith && (!gotZenith || std::fabs(r.zenith) > std::fabs(worst.zenith))) worst.zenith = r.zenith;
        if (slope && (!gotSlope || std::fabs(r.slope) > std::fabs(worst.slope))) worst.slope = r.slope;
        gotHorizontal = gotHorizontal || direction;
        gotZenith = gotZenith || zenith;
        gotSlope = gotSlope || slope;
    }
    if (setup.worstResiduals.origin != Origin::absent || !(gotHorizontal || gotZenith || gotSlope)) return;
    // A figure that no sight measures has no worst residual: the no-value, never a zero.
    if (!gotHorizontal) worst.horizontal = orv::ie::noValue;
    if (!gotZenith) worst.zenith = orv::ie::noValue;
    if (!gotSlope) worst.slope = orv::ie::noValue;
    setup.worstResiduals.value = worst;
    setup.worstResiduals.origin = Origin::derived;
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
