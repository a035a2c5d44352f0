// The plan of a job: what `exportgen plot` draws. The plan listens to the job as the pipeline
// hands it on, set-up by set-up, and keeps only compact arrays of what it will draw (positions
// in the job's units, a few flags, the names it may label); the extent, the scale and so the
// SVG are known only at the end, when write() draws it all.
//
// What is drawn follows the job's recorded, derived and absent values, and nothing else:
//   - a known point is a triangle;
//   - a station is a filled circle where its position is recorded, a hollow one where
//     placement worked it out (traverse, free station, --assume), and is not drawn at all where
//     nothing places it (the legend names it);
//   - a sight is a thin line from its station to where the measurement puts the target, with a
//     dot there; a sight that gives no position (a direction alone, a distance alone) is drawn
//     at the target's recorded coordinates when the input states them, else not at all;
//   - a backsight is a dashed line to its point, or a tick along its bearing;
//   - a stake-out is an arrow from where the point was staked to its design point, labelled
//     with the horizontal miss and the cut or fill;
//   - a resection's residuals are vectors at the known points, at a stated exaggeration;
//   - a level run's points are diamonds where the job places them (a known point, a station).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/record_sink.h"
#include "job/job.h"

namespace exportgen::plot {

enum class Labels { none, stations, all };

struct PlanOptions {
    /// Which names are written: none, the stations and known points, or every point.
    Labels labels = Labels::all;
    /// The size of the picture in pixels: the SVG's width and height, nothing else.
    int width = 1200, height = 900;
    /// The input's name for the title block.
    std::string input;
    /// The run's date for the title block (--now); empty: none, so that the same input gives the
    /// same bytes.
    std::string runDate;
    /// --assume was given (the legend then does not suggest it).
    bool assumed = false;
};

/// Beyond this many sights, targets are dots alone: no sight lines, no target names.
constexpr std::uint64_t kMaxSightLines = 100000;
/// At most this many names are written; the rest are counted in the legend.
constexpr std::size_t kMaxLabels = 2000;
/// A coordinate farther than this from zero (in the job's units) is not drawn: no survey
/// reaches it, and the plan's arithmetic stays far from overflow.
constexpr double kMaxCoordinate = 1e12;

/// A position on the plan: easting and northing in the job's units.
struct XY {
    double e = 0.0, n = 0.0;
};

/// A name kept for a label: a piece of Plan's name store.
struct NameRef {
    std::uint32_t offset = 0, length = 0;
};

class Plan {
public:
    explicit Plan(PlanOptions options);

    /// The job's header is read: its texts, units and known points.
    void begin(const Job& job);
    /// One placed set-up.
    void setup(const Setup& setup);
    /// Every set-up was given: the level runs.
    void end(const Job& job);
    /// Draws the plan as one SVG document; returns its lines.
    std::size_t write(RecordSink& sink) const;

    /// What could not be drawn, for the warnings of the run.
    struct Missing {
        std::uint64_t stations = 0;     ///< distinct stations with no position
        std::uint64_t sights = 0;       ///< sights whose target has no position
        std::uint64_t stakeouts = 0;    ///< stake-outs without the staked or the design position
        std::uint64_t levelPoints = 0;  ///< distinct level run points the job does not place
        std::uint64_t outOfRange = 0;   ///< positions not finite or beyond kMaxCoordinate
        std::string firstStation;       ///< the first station with no position
    };
    [[nodiscard]] const Missing& missing() const noexcept { return m_missing; }
    /// The stations drawn, by how their position is known.
    [[nodiscard]] std::uint64_t stationsRecorded() const noexcept { return m_recordedStations; }
    [[nodiscard]] std::uint64_t stationsDerived() const noexcept { return m_derivedStations; }
    /// The sights, and those drawn (with a target position).
    [[nodiscard]] std::uint64_t sights() const noexcept { return m_sights; }
    [[nodiscard]] std::uint64_t sightsDrawn() const noexcept { return m_sightsDrawn; }
    /// The set-ups whose station is drawn from a recorded position, from a derived one, and not
    /// drawn.
    [[nodiscard]] const std::uint64_t* setupPositions() const noexcept { return m_setupPositions; }
    [[nodiscard]] std::uint64_t knownPointsDrawn() const noexcept { return m_knownPoints.size(); }

private:
    friend class PlanDrawing;

    struct Mark {
        XY at;
        NameRef name;
    };
    struct Station {
        XY at;
        NameRef name;
        bool recorded = false;  ///< else derived
    };
    /// A target: a shot's, a staked point's or a resection sight's (to a known point, which has
    /// its own triangle: no dot).
    struct Target {
        XY at;
        NameRef name;
        enum Kind : std::uint8_t { shot, staked, resection } kind = shot;
    };
    /// The targets of one set-up, [first, end) of m_targets; station: index into m_stations, or
    /// kNone when the station is not drawn (then no sight lines).
    struct SetupSights {
        std::uint32_t station;
        std::size_t first, end;
    };
    struct Tick {
        XY at;
        double azimuth;  ///< degrees
    };
    struct Segment {
        XY from, to;
    };
    struct Stake {
        XY staked, design;
        NameRef name;       ///< the staked point's
        double horizontal;  ///< the horizontal miss, metres
        double rise;        ///< staked minus design height, metres; NaN when unknown
    };
    struct Vector {
        XY at;
        double dn, de;  ///< the residual, in the job's units
    };
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

    /// A position of the model (metres) on the plan (the job's units), or false when it is not
    /// finite or out of range (counted).
    bool onPlan(const Point3& metres, XY& at);
    /// The same, uncounted.
    bool toPlan(const Point3& metres, XY& at) const;
    void extend(const XY& at);
    NameRef keepName(const COrvStringT& name);
    NameRef keepName(std::string_view utf8);
    [[nodiscard]] std::string_view name(const NameRef& ref) const { return {m_names.data() + ref.offset, ref.length}; }
    /// The station of `setup` drawn (index), or kNone.
    std::uint32_t station(const Setup& setup);
    void sight(const Setup& setup, const Observation& obs, const XY* from, const Figure& orientation,
               Target::Kind kind);
    void backsight(const Backsight& backsight, const XY& from);
    [[nodiscard]] double metres(double units) const noexcept { return units * m_metresPerUnit; }

    PlanOptions m_options;
    // The header.
    std::string m_jobName, m_jobText2, m_jobText3, m_created, m_distanceUnits, m_angleUnits, m_unitSymbol;
    double m_metresPerUnit = 1.0;
    // What is drawn.
    std::string m_names;  ///< the names kept for labels, one after another
    std::vector<Mark> m_knownPoints;
    std::vector<Station> m_stations;
    std::unordered_map<std::string, std::uint32_t> m_stationIndex;  ///< station name -> m_stations
    std::vector<Target> m_targets;
    std::vector<SetupSights> m_setups;
    std::vector<Segment> m_backsightLines;
    std::vector<Tick> m_backsightTicks;
    std::vector<Stake> m_stakes;
    std::vector<Vector> m_residuals;
    std::vector<Mark> m_levelPoints;
    XY m_min{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    XY m_max{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    // What the job held, and what could not be drawn.
    JobCount m_count;
    std::uint64_t m_setupCount = 0, m_sights = 0, m_sightsDrawn = 0, m_sightLines = 0;
    std::uint64_t m_recordedStations = 0, m_derivedStations = 0;
    std::uint64_t m_residualsMissing = 0;
    std::uint64_t m_setupPositions[3] = {0, 0, 0};
    Missing m_missing;
    std::unordered_set<std::string> m_unplaced;  ///< the stations with no position
    std::vector<std::string> m_unplacedShown;    ///< the first of them, for the legend
};

}  // namespace exportgen::plot
