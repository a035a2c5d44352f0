// The job as the host holds it while converting: the header parts (units, job and
// observation information, known points) for the whole run, and one set-up at a time. Values
// are in metres and decimal degrees, whatever units the input gave them in.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/units.h"
#include "contracts/dex_data.h"
#include "job/geometry.h"

namespace exportgen {

struct KnownPoint {
    orv::ie::DexDesignPoint design;  ///< station (name, coordinates, note) and codes
    COrvStringT code;                ///< the first code's name, for formats with one code field
    Point3 coords;
};

/// A sight from the station: a shot, the measured backsight, a resection observation or a
/// staked point.
struct Observation {
    orv::ie::DexTSRawFS sight;  ///< target, measurement, codes, note; kind 2 foresight, 3 side shot
    double hr = 0.0;            ///< target height
    COrvStringT code;           ///< the first code's name
    bool hasCoords = false;     ///< the target's coordinates are known
    Point3 coords;
    /// A resection observation: how far the measurement misses the known point, as the
    /// instrument recorded it (else computed from the set-up).
    bool hasResidual = false;
    Point3 residual;
    [[nodiscard]] const orv::ie::DexTSRawMeasurement& measurement() const { return *sight.measurement(); }
};

struct Backsight {
    enum class Kind { none, point, bearing } kind = Kind::none;
    COrvStringT point;     ///< the backsight point (Kind::point)
    double azimuth = 0.0;  ///< the azimuth of the backsight direction
    double circle = 0.0;   ///< the horizontal circle reading on it
    double hr = 0.0;
    bool measured = false;              ///< a measurement to the backsight point was taken
    orv::ie::DexTSRawBS sight;          ///< Kind::point: the sight with the known point and measurement
    orv::ie::DexTSRawBkb bearingSight;  ///< Kind::bearing
};

struct Stakeout {
    COrvStringT design;  ///< the design point's name
    Observation shot;    ///< the staked point as measured
    Point3 designCoords;
    Point3 staked;  ///< the staked point's coordinates, recorded or from the measurement
    /// Staked minus design as the instrument recorded them; else computed from the coordinates.
    bool hasDifferences = false;
    Point3 recordedDifferences;
    /// Staked minus design.
    [[nodiscard]] Point3 differences() const {
        return hasDifferences ? recordedDifferences : stakeDelta(staked, designCoords);
    }
};

struct Setup {
    std::size_t index = 0;
    COrvStringT station;
    Point3 coords;
    double hi = 0.0;
    COrvStringT code;
    COrvStringT note;
    Backsight backsight;
    /// Azimuth = horizontal angle + orientation: from the backsight, else from the resection,
    /// else 0 (circle zero to north).
    double orientation = 0.0;
    std::vector<Observation> resection;
    /// The resection's worst residuals (horizontal angle, zenith, slope distance) as the
    /// instrument recorded them; else computed from its observations.
    bool hasWorstResiduals = false;
    Residual worstResiduals;
    std::vector<Observation> shots;
    std::vector<Stakeout> stakeouts;
};

struct LevelReading {
    COrvStringT point;
    bool backsight = true;  ///< a backsight reading (on a point of known height), else a foresight
    double rod = 0.0;
    double distance = orv::ie::noValue;  ///< sight length, noValue when not given
    COrvStringT code;
    double collimation = 0.0;  ///< height of the instrument's line of sight after this reading
    double elevation = 0.0;    ///< the point's height
    double rise = 0.0;         ///< foresight: height difference from the previous point
};

struct LevelRun {
    COrvStringT name;
    COrvStringT description;
    COrvStringT start;
    double startElevation = 0.0;
    std::vector<LevelReading> readings;
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
    /// The job's own creation date and time as written ("job.created"), with their offsets.
    struct Created {
        bool present = false;
        std::string date, time;
        std::size_t dateOffset = 0, timeOffset = 0;
        bool hasTime = false;
    } created;
    /// The known points by name: the index into `points` of the name's entry.
    std::unordered_map<std::string, std::size_t> pointIndex;

    /// The known point named `name`, or null.
    [[nodiscard]] const KnownPoint* find(std::string_view name) const;
};

}  // namespace exportgen
