// The job as the host holds it while converting: the header parts (units, job and
// observation information, known points) for the whole run, and one set-up at a time.
// Built from JSON values (readers/json_value.h) that have passed the job schema; the checks the
// schema cannot make (a named point that is not known) throw JobError with the JSON path and the
// offset of the value in the file.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cli/errors.h"
#include "contracts/dex_data.h"
#include "job/geometry.h"
#include "job/text_rules.h"
#include "readers/json_value.h"

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

/// Receives what the job reader noticed and let pass: a reserved character replaced under
/// --sanitize (`source` the format that reserves it) or an implausible value (`source` "job");
/// `where` is the JSON path, `offset` the value's byte offset in the file.
using JobWarning =
    std::function<void(const char* source, const std::string& what, const std::string& where, std::size_t offset)>;

/// How the texts of a job are checked as they are read: against the reserved characters of the
/// chosen formats, each found one an error (JobError naming the JSON path) or, with `sanitize`,
/// replaced by kSanitizeReplacement and reported.
struct TextCheck {
    const TextRules* rules = nullptr;  ///< null: no text is checked
    bool sanitize = false;
    JobWarning warn;  ///< also told of implausible values; may be empty
};

/// The units the job file gives its values in ("inputUnits"); the job model holds metres and
/// decimal degrees, so every distance, height, coordinate and angle is converted as it is read.
/// Prism constants are not: they are millimetres in every unit system.
struct InputUnits {
    orv::ie::EDistUnits distance = orv::ie::eMeters;
    orv::ie::EAngleUnits angle = orv::ie::eDecimalDegrees;
    /// A distance, height or coordinate in metres.
    [[nodiscard]] double metres(double value) const noexcept;
    /// An angle (direction, zenith, bearing, circle reading) in decimal degrees.
    [[nodiscard]] double degrees(double value) const noexcept;
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
    /// When set, a named point that is not known is added to it and the job goes on with what it
    /// has (a check of the whole job); else it throws JobError.
    JobProblems* problems = nullptr;

    /// Takes a top-level member other than "setups" (already validated).
    void apply(std::string_view key, const JsonValue& value);
    /// The set-up at `index` of "setups" (already validated).
    [[nodiscard]] Setup makeSetup(const JsonValue& value, std::size_t index);
    [[nodiscard]] const KnownPoint* find(std::string_view name) const;
    /// Sets how texts are checked; before the first member is applied.
    void setTextCheck(TextCheck check) { m_check = std::move(check); }
    /// The entry at `index` of "points" (already validated).
    void applyPoint(const JsonValue& entry, std::size_t index);

private:
    void applyUnits(const JsonValue& value);
    void applyInputUnits(const JsonValue& value);
    void applyJob(const JsonValue& value);
    void applyObservation(const JsonValue& value);
    void applyPoints(const JsonValue& value);
    void applyLevelRuns(const JsonValue& value);

    void unknownPoint(const JsonValue& at, const std::string& path, std::string_view name) const;

    /// A known point or, failing that, a traverse station known from an earlier set-up.
    [[nodiscard]] const KnownPoint* findForSetup(std::string_view name) const;
    [[nodiscard]] bool freeStationOf(const JsonValue& value, StationFit& fit) const;
    void learnStation(const Setup& setup, std::string_view name);

    std::unordered_map<std::string, std::size_t> m_byName;
    TextCheck m_check;
    std::unordered_map<std::string, KnownPoint> m_stations;  ///< traverse stations with coordinates
    std::unordered_map<std::string, Point3> m_foresights;    ///< foresight targets as observed
};

}  // namespace exportgen
