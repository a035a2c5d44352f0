// Placement: where each station stands and how each set-up's circle is oriented, worked out once
// for every input, and the figures that follow from them (a resection's residuals, where a
// stake-out landed against its design, a level run's heights). Nothing is adjusted: this is a
// converter, and a figure the input states is never worked out again over it.
//
// A station's position comes from the first of these that applies:
//   1. its recorded coordinates;
//   2. a known point of that name (the job's own or a point list's): recorded;
//   3. a traverse: the foresight of an earlier placed and oriented set-up, the first such sight
//      in file order (later sights to the station are checks, their misclosure warned): derived;
//   4. a free station fitted to its resection's sights to known points: derived;
//   5. --assume: the first set-up no rule places stands at the assumed point: derived.
// Otherwise it is absent.
//
// A set-up's orientation (azimuth = circle reading + orientation) comes from the first of
// these that applies:
//   1. a recorded backsight bearing, with the circle reading on it;
//   2. the bearing to a placed backsight point;
//   3. the first observation to a placed point (later ones are checks, their misclosure warned);
//   4. the resection;
//   5. --assume: the given bearing, or the circle reading on the backsight taken as its bearing.
// A later orientation record orients the shots after it only. A measured backsight never
// orients: it is an observation, and its difference from the circle reading is warned.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "job/job.h"

namespace exportgen {

/// --assume N,E,Z[,BEARING]: the local frame of the first set-up nothing else places.
struct AssumedFrame {
    Point3 station;
    std::optional<double> bearing;  ///< decimal degrees; without it the backsight's circle reading
};

class Placement {
public:
    /// Told of what placement notices: a misclosure, a measured backsight that disagrees with its
    /// circle reading. `where` names the station or the point.
    using Warn = std::function<void(const std::string& what, const Place& where)>;

    Placement(const Job& job, std::optional<AssumedFrame> assumed, Warn warn);

    /// Places and orients `setup` from what it records and what the set-ups before it gave,
    /// fills the figures that follow, and remembers its station and foresights for the next.
    void place(Setup& setup);
    /// The heights of the job's level runs that the readings do not record.
    void levelRuns(std::vector<LevelRun>& runs) const;

    /// The local frame of --assume, before the first set-up.
    void assume(const AssumedFrame& frame) { m_assumed = frame; }
    /// A placed point of this name so far: a known point, or a station placed by a set-up.
    [[nodiscard]] const Point3* placed(std::string_view name) const;

private:
    void position(Setup& setup);
    /// Places a free station by the fit of its resection: false when the resection sights no
    /// placed point; a JobError at the set-up when it sights some but cannot fix the station.
    bool fixFreeStation(Setup& setup) const;
    void orient(Setup& setup);
    void orientBacksight(const Setup& setup, Backsight& backsight) const;
    /// The known point or placed station of this name, or null.
    [[nodiscard]] const KnownPoint* pointNamed(std::string_view name) const;
    bool orientOnFirstObservation(Setup& setup);
    void resection(Setup& setup);
    void stakeouts(Setup& setup) const;
    void learn(const Setup& setup);
    void check(const std::string& name, const Point3& observed, const Place& where);

    const Job& m_job;
    std::optional<AssumedFrame> m_assumed;
    Warn m_warn;
    /// Placed stations that are no known points, as a backsight to them names them: the station's
    /// name, position, note and code.
    std::unordered_map<std::string, KnownPoint> m_stations;
    struct Target {
        Point3 at;
        std::string from;  ///< the station it was sighted from
        bool hasHeight = true;
    };
    std::unordered_map<std::string, Target> m_foresights;  ///< the first placed foresight to each name
};

}  // namespace exportgen
