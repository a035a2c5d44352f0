// The job as the host holds it while converting: the header parts (units, job and
// observation information, known points, level runs) for the whole run, and one set-up at a
// time. Values are in metres and decimal degrees, whatever units the input gave them in.
//
// Each coordinate, orientation, height and measurement is one of three things: recorded (the
// input states it, at a place of the input), derived (worked out by placement from what the
// input states) or absent (nothing says it). A writer writes a recorded value as it is, a
// derived one with a warning, and an absent one as its format's no-value, or leaves it out;
// it never writes a value that is not there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/units.h"
#include "contracts/dex_data.h"
#include "job/geometry.h"
#include "job/items.h"

namespace exportgen {

/// A place in the inputs: the input (kJobInput, or a point list of --points) and the byte
/// offset of the value there.
struct Place {
    std::uint32_t input = 0;
    std::size_t offset = 0;
};
constexpr std::uint32_t kJobInput = 0;
constexpr std::uint32_t kPointsInput = 1;

/// One figure (a height, an angle) and where it comes from.
struct Figure {
    double value = 0.0;
    Origin origin = Origin::absent;

    [[nodiscard]] bool known() const noexcept { return origin != Origin::absent; }
    /// The value, or the generators' no-value when it is absent.
    [[nodiscard]] double orNoValue() const noexcept { return known() ? value : orv::ie::noValue; }
    void set(double v, Origin o) noexcept { value = v, origin = o; }
    [[nodiscard]] static Figure recorded(double v) noexcept { return {v, Origin::recorded}; }
};

/// A point on the ground (or a difference of two) and where it comes from. A point known in plan
/// only (a 2-D point) has no height.
struct Located {
    Point3 at;
    Origin origin = Origin::absent;
    bool hasHeight = true;  ///< when known: the height is known too

    [[nodiscard]] bool known() const noexcept { return origin != Origin::absent; }
    void set(const Point3& p, Origin o, bool height = true) noexcept { at = p, origin = o, hasHeight = height; }
};

/// The point, or the generators' no-value in each coordinate that is absent.
[[nodiscard]] inline Point3 coordinatesOrNoValue(const Located& located) noexcept {
    if (!located.known()) return {orv::ie::noValue, orv::ie::noValue, orv::ie::noValue};
    return {located.at.n, located.at.e, located.hasHeight ? located.at.h : orv::ie::noValue};
}

struct KnownPoint {
    orv::ie::DexDesignPoint design;  ///< station (name, coordinates, note) and codes
    COrvStringT code;                ///< the first code's name, for formats with one code field
    Point3 coords;                   ///< recorded: a known point is one the input places
    bool hasHeight = true;           ///< false for a point known in plan only (its height no-value in `design`)
    Place place;
};

/// A sight from the station: a shot, a resection observation or a staked point.
struct Observation {
    orv::ie::DexTSRawFS
        sight;         ///< target, measurement (none: not measured), codes, note; kind 2 foresight, 3 side shot
    Figure hr;         ///< target height
    COrvStringT code;  ///< the first code's name
    Located coords;    ///< the target: as the input states it, or worked out from the set-up
    Located residual;  ///< a resection observation: the measured target minus the known point
    Place place;

    [[nodiscard]] bool measured() const noexcept { return sight.measurement() != nullptr; }
    /// The measurement; only when measured().
    [[nodiscard]] const orv::ie::DexTSRawMeasurement& measurement() const { return *sight.measurement(); }
    /// The measurement's kind, or kUnmeasured.
    [[nodiscard]] int kind() const noexcept { return measured() ? sight.measurement()->kind() : kUnmeasured; }
    static constexpr int kUnmeasured = -1;
};

/// An orientation record of a set-up: a backsight to a point or by a bearing, with the circle
/// reading on it. It orients the set-up's shots from `firstShot` on, until the next one.
struct Backsight {
    enum class Kind { none, point, bearing } kind = Kind::none;
    COrvStringT point;  ///< the backsight point (Kind::point)
    Figure azimuth;     ///< of the backsight direction: a stated bearing, or from the two points' positions
    Figure circle;      ///< the horizontal circle reading on it: stated, or the measured backsight's
    Figure hr;
    bool measured = false;              ///< a measurement to the backsight point was taken
    orv::ie::DexTSRawBS sight;          ///< Kind::point: the sight with the known point and measurement
    orv::ie::DexTSRawBkb bearingSight;  ///< Kind::bearing
    std::size_t firstShot = 0;
    Place place;

    /// Azimuth = horizontal angle + orientation, for the shots it orients.
    [[nodiscard]] Figure orientation() const noexcept;
};

struct Stakeout {
    COrvStringT design;  ///< the design point's name
    Observation shot;    ///< the staked point as measured; its coords where it landed
    Located designCoords;
    Located differences;  ///< staked minus design
};

/// The worst residual of each kind over a resection's observations.
struct WorstResiduals {
    Residual value;
    Origin origin = Origin::absent;
};

struct Setup {
    std::size_t index = 0;
    COrvStringT station;
    Place place;
    Located coords;
    Figure hi;
    COrvStringT code;
    COrvStringT note;
    Backsight backsight;
    /// Orientation records after the first, each orienting the shots from its firstShot on.
    std::vector<Backsight> reorientations;
    /// Azimuth = horizontal angle + orientation, for the shots before the first reorientation
    /// (and the resection and stake-outs): from the backsight, a first observation to a placed
    /// point or the resection.
    Figure orientation;
    std::vector<Observation> resection;
    WorstResiduals worstResiduals;
    std::vector<Observation> shots;
    std::vector<Stakeout> stakeouts;
    /// What the set-up holds, kind by kind, once it is placed (counted once for every writer).
    JobCount items;

    /// The orientation of shot `index`.
    [[nodiscard]] Figure orientationOfShot(std::size_t index) const noexcept;
};

struct LevelReading {
    COrvStringT point;
    bool backsight = true;  ///< a backsight reading (on a point of known height), else a foresight
    double rod = 0.0;
    Figure distance;  ///< sight length
    COrvStringT code;
    Figure collimation;  ///< height of the instrument's line of sight after this reading
    Figure elevation;    ///< the point's height
    Figure rise;         ///< foresight: height difference from the previous point
    Place place;
};

struct LevelRun {
    COrvStringT name;
    COrvStringT description;
    COrvStringT start;
    Figure startElevation;
    std::vector<LevelReading> readings;
    Place place;
};

class Job {
public:
    Job();

    orv::ie::DexSettings settings;
    orv::ie::DexJobInfo info;
    orv::ie::DexObservationInfo observation;
    std::vector<KnownPoint> points;
    std::vector<LevelRun> levelRuns;
    InputUnits input;
    /// The job's own creation date and time as written ("job.created"), with their places.
    struct Created {
        bool present = false;
        std::string date, time;
        Place datePlace, timePlace;
        bool hasTime = false;
    } created;
    /// The input wrote each point's codes as one text, a description its reader split into codes
    /// and control codes (a field book's "TREE OAK 12 SPREAD 8"): a format with a single code
    /// field writes that text whole.
    bool codesAsText = false;
    /// Where the job begins in its input (a message about the job as a whole names it).
    Place root;
    /// The known points by name: the index into `points` of the name's entry.
    std::unordered_map<std::string, std::size_t> pointIndex;

    /// The known point named `name`, or null.
    [[nodiscard]] const KnownPoint* find(std::string_view name) const;
};

}  // namespace exportgen
