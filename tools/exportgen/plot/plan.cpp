#include "plot/plan.h"

#include <cmath>

#include "base/text.h"
#include "job/ledger.h"

namespace exportgen::plot {

namespace {

// Names longer than this are cut in the store (a label shows far fewer characters).
constexpr std::size_t kKeptNameBytes = 200;
// The store of names stays below this; names past it are not labelled.
constexpr std::size_t kMaxNameStore = std::size_t(1) << 30;
// The stations named in the legend as not drawn; the rest are counted.
constexpr std::size_t kShownUnplaced = 8;

const char* distanceName(orv::ie::EDistUnits units) {
    switch (units) {
        case orv::ie::eUSFeet:
        case orv::ie::eUSFeetInches:
            return "US survey feet";
        case orv::ie::eInternationalFeet:
        case orv::ie::eInternationalFeetInches:
            return "international feet";
        default:
            return "metres";
    }
}

const char* angleName(orv::ie::EAngleUnits units) {
    switch (units) {
        case orv::ie::eGons:
            return "gons";
        case orv::ie::eMils:
            return "mils";
        case orv::ie::eDecimalDegrees:
            return "decimal degrees";
        default:
            return "degrees";
    }
}

}  // namespace

Plan::Plan(PlanOptions options) : m_options(std::move(options)) {}

bool Plan::toPlan(const Point3& metres, XY& at) const {
    at = {metres.e / m_metresPerUnit, metres.n / m_metresPerUnit};
    return std::isfinite(at.e) && std::isfinite(at.n) && std::fabs(at.e) <= kMaxCoordinate &&
           std::fabs(at.n) <= kMaxCoordinate;
}

bool Plan::onPlan(const Point3& metres, XY& at) {
    if (toPlan(metres, at)) return true;
    ++m_missing.outOfRange;
    return false;
}

void Plan::extend(const XY& at) {
    m_min = {std::min(m_min.e, at.e), std::min(m_min.n, at.n)};
    m_max = {std::max(m_max.e, at.e), std::max(m_max.n, at.n)};
}

NameRef Plan::keepName(std::string_view utf8) {
    if (m_options.labels == Labels::none) return {};
    const std::size_t length = std::min(utf8.size(), kKeptNameBytes);
    if (m_names.size() + length > kMaxNameStore) return {};
    const NameRef ref{static_cast<std::uint32_t>(m_names.size()), static_cast<std::uint32_t>(length)};
    m_names.append(utf8.data(), length);
    return ref;
}

NameRef Plan::keepName(const COrvStringT& name) {
    if (m_options.labels == Labels::none) return {};
    std::string text;
    appendUtf8(text, name.view().substr(0, kKeptNameBytes));
    return keepName(text);
}

void Plan::begin(const Job& job) {
    const orv::ie::EDistUnits distance = job.settings.getDistUnits(job.info);
    m_distanceUnits = distanceName(distance);
    m_angleUnits = angleName(job.settings.getAngleUnits(job.info));
    const bool usFeet = distance == orv::ie::eUSFeet || distance == orv::ie::eUSFeetInches;
    const bool feet = distance == orv::ie::eInternationalFeet || distance == orv::ie::eInternationalFeetInches;
    m_metresPerUnit = usFeet ? 1200.0 / 3937.0 : feet ? 0.3048 : 1.0;
    m_unitSymbol = usFeet ? "US ft" : feet ? "ft" : "m";
    m_jobName = utf8(job.info.jobName);
    m_jobText2 = utf8(job.info.jobText2);
    m_jobText3 = utf8(job.info.jobText3);
    if (job.created.present) m_created = job.created.date + (job.created.hasTime ? " " + job.created.time : "");
    countHeader(job, m_count);
    m_knownPoints.reserve(job.points.size());
    for (std::size_t i = 0; i < job.points.size(); ++i) {
        const KnownPoint& point = job.points[i];
        const COrvStringT& pointName = point.design.getStation().name();
        // A name given twice is one point: its last entry counts.
        const auto entry = job.pointIndex.find(utf8(pointName));
        if (entry != job.pointIndex.end() && entry->second != i) continue;
        XY at;
        if (!onPlan(point.coords, at)) continue;
        extend(at);
        m_knownPoints.push_back({at, keepName(pointName)});
    }
}

std::uint32_t Plan::station(const Setup& setup) {
    std::string stationName = utf8(setup.station);
    XY at;
    if (!setup.coords.known()) {
        if (m_unplaced.insert(stationName).second) {
            if (m_missing.stations++ == 0) m_missing.firstStation = stationName;
            if (m_unplacedShown.size() < kShownUnplaced) m_unplacedShown.push_back(stationName);
        }
        return kNone;
    }
    if (!onPlan(setup.coords.at, at)) return kNone;
    const bool recorded = setup.coords.origin == Origin::recorded;
    // A station occupied again is drawn once, filled when any set-up records its position.
    if (const auto it = m_stationIndex.find(stationName); it != m_stationIndex.end()) {
        Station& known = m_stations[it->second];
        if (known.at.e == at.e && known.at.n == at.n) {
            if (recorded && !known.recorded) {
                known.recorded = true;
                ++m_recordedStations, --m_derivedStations;
            }
            return it->second;
        }
    }
    const auto index = static_cast<std::uint32_t>(m_stations.size());
    m_stations.push_back({at, keepName(stationName), recorded});
    m_stationIndex[stationName] = index;
    ++(recorded ? m_recordedStations : m_derivedStations);
    extend(at);
    return index;
}

void Plan::sight(const Setup& setup, const Observation& obs, const XY* from, const Figure& orientation,
                 Target::Kind kind) {
    ++m_sights;
    // Where the measurement puts the target: the plan needs no heights, so unknown instrument
    // and target heights change nothing here.
    Point3 target;
    bool placed = false;
    if (from != nullptr && orientation.known() && obs.measured()) {
        placed = exportgen::target(setup.coords.at, setup.hi.known() ? setup.hi.value : 0.0,
                                   obs.hr.known() ? obs.hr.value : 0.0, orientation.value, obs.measurement(), target);
    }
    if (!placed && obs.coords.known()) {
        target = obs.coords.at;
        placed = true;
    }
    if (!placed) {
        ++m_missing.sights;
        return;
    }
    XY at;
    if (!onPlan(target, at)) return;
    extend(at);
    ++m_sightsDrawn;
    if (from != nullptr) ++m_sightLines;
    // Names of targets are kept while their labels may still be drawn.
    const bool labelled = m_options.labels == Labels::all && m_sights <= kMaxSightLines && kind != Target::resection;
    m_targets.push_back({at, labelled ? keepName(obs.sight.targetName()) : NameRef{}, kind});
}

void Plan::backsight(const Backsight& backsight, const XY& from) {
    if (backsight.kind == Backsight::Kind::none) return;
    if (const orv::ie::DexDesignPoint* point = backsight.sight.getBSPoint();
        backsight.kind == Backsight::Kind::point && point != nullptr) {
        const orv::ie::DexStation& station = point->getStation();
        XY to;
        if (toPlan({station.northing, station.easting, 0.0}, to)) {
            m_backsightLines.push_back({from, to});
            return;
        }
    }
    if (backsight.azimuth.known() && std::isfinite(backsight.azimuth.value)) {
        m_backsightTicks.push_back({from, backsight.azimuth.value});
    }
}

void Plan::setup(const Setup& setup) {
    ++m_setupCount;
    m_count.add(setup.items);
    const std::uint32_t index = station(setup);
    ++m_setupPositions[index == kNone ? 2 : setup.coords.origin == Origin::recorded ? 0 : 1];
    const XY* from = index == kNone ? nullptr : &m_stations[index].at;
    SetupSights sights{index, m_targets.size(), 0};
    if (from != nullptr) {
        backsight(setup.backsight, *from);
        for (const Backsight& again : setup.reorientations) backsight(again, *from);
    }
    for (std::size_t i = 0; i < setup.shots.size(); ++i) {
        sight(setup, setup.shots[i], from, setup.orientationOfShot(i), Target::shot);
    }
    for (const Observation& obs : setup.resection) {
        sight(setup, obs, from, setup.orientation, Target::resection);
        // The residual at the known point it was measured to.
        XY at;
        if (!obs.residual.known() || !obs.coords.known() || !onPlan(obs.coords.at, at)) {
            ++m_residualsMissing;
            continue;
        }
        const double dn = obs.residual.at.n / m_metresPerUnit, de = obs.residual.at.e / m_metresPerUnit;
        if (std::isfinite(dn) && std::isfinite(de)) m_residuals.push_back({at, dn, de});
    }
    for (const Stakeout& stake : setup.stakeouts) {
        sight(setup, stake.shot, from, setup.orientation, Target::staked);
        XY staked, design;
        if (!stake.shot.coords.known() || !stake.designCoords.known() || !onPlan(stake.shot.coords.at, staked) ||
            !onPlan(stake.designCoords.at, design)) {
            ++m_missing.stakeouts;
            continue;
        }
        extend(staked);
        extend(design);
        Point3 delta = stakeDelta(stake.shot.coords.at, stake.designCoords.at);
        bool heights = stake.shot.coords.hasHeight && stake.designCoords.hasHeight;
        if (stake.differences.known()) delta = stake.differences.at, heights = stake.differences.hasHeight;
        m_stakes.push_back({staked, design, keepName(stake.shot.sight.targetName()), std::hypot(delta.n, delta.e),
                            heights ? delta.h : std::numeric_limits<double>::quiet_NaN()});
    }
    sights.end = m_targets.size();
    m_setups.push_back(sights);
}

void Plan::end(const Job& job) {
    countLevelRuns(job, m_count);
    std::unordered_set<std::string> seen;
    for (const LevelRun& run : job.levelRuns) {
        for (const LevelReading& reading : run.readings) {
            std::string pointName = utf8(reading.point);
            if (!seen.insert(pointName).second) continue;
            // Where the job places the point: a known point, else a station placed by a set-up.
            const XY* at = nullptr;
            XY known;
            if (const KnownPoint* point = job.find(pointName)) {
                if (toPlan(point->coords, known)) at = &known;
            } else if (const auto it = m_stationIndex.find(pointName); it != m_stationIndex.end()) {
                at = &m_stations[it->second].at;
            }
            if (at == nullptr) {
                ++m_missing.levelPoints;
                continue;
            }
            m_levelPoints.push_back({*at, keepName(pointName)});
        }
    }
}

}  // namespace exportgen::plot
