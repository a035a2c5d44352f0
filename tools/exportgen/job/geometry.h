// Plane surveying geometry of the host: azimuths, the target of an observation, and the
// figures of stake-outs and resections. Northing, easting and height in metres; angles in
// decimal degrees; azimuths clockwise from north.
#pragma once

#include <optional>
#include <vector>

#include "contracts/dex_data.h"

namespace exportgen {

struct Point3 {
    double n = 0.0, e = 0.0, h = 0.0;
};

/// The azimuth from `from` to `to` in [0, 360).
double azimuth(const Point3& from, const Point3& to);

/// The horizontal distance and height difference (instrument axis to target) of a
/// measurement of kind 0 (horizontal angle, zenith, slope distance) or 1 (horizontal angle,
/// horizontal distance, height difference); false for other kinds.
bool reduce(const orv::ie::DexTSRawMeasurement& m, double& horizontal, double& rise);

/// The target of a measurement of kind 0 or 1 from `station` with instrument height `hi`,
/// target height `hr` and the orientation `orientation` (azimuth = horizontal angle +
/// orientation); false for other kinds.
bool target(const Point3& station, double hi, double hr, double orientation, const orv::ie::DexTSRawMeasurement& m,
            Point3& result);

/// An angle brought into [-180, 180).
double signedAngle(double degrees);

/// How far a resection observation to a known point misses it.
struct Residual {
    /// The target computed from the measurement minus the known point: a position error in
    /// metres (all zero when the target cannot be computed, see target()).
    Point3 position;
    /// The figures computed from the known point minus the measured ones: the horizontal angle
    /// in [-180, 180) and the zenith in degrees, the slope distance in metres.
    double horizontal = 0.0, zenith = 0.0, slope = 0.0;
};

/// The residuals of the measurement `m` from `station` with instrument height `hi` and
/// orientation `orientation` to the known point `known` sighted with target height `hr`: each
/// figure the measurement gives (kind 0: horizontal angle, zenith, slope distance; kind 1 the
/// horizontal angle and the zenith and slope distance its horizontal distance and height
/// difference make; angles only, a direction, a zenith or a slope distance alone what they
/// measure). A figure the measurement does not give, and the position where the target cannot
/// be computed (see target()), stay zero.
Residual residualOf(const Point3& station, double hi, double orientation, const Point3& known, double hr,
                    const orv::ie::DexTSRawMeasurement& m);

/// What a sight gives the fit of a free station: a horizontal vector (a horizontal angle with a
/// distance, kind 0 or 1), or why it gives none.
enum class FreeStationUse {
    usable,
    noDistance,        ///< a direction alone, or with a zenith
    noDirection,       ///< no horizontal angle: a distance alone, a zenith alone, another kind
    notANumber,        ///< a figure that is no finite number
    zeroDistance,      ///< a distance of 0: the point is where the instrument stands, in no direction
    negativeDistance,  ///< a distance below 0
};
[[nodiscard]] FreeStationUse freeStationUse(const orv::ie::DexTSRawMeasurement& m) noexcept;

/// A sight of a free station to a known point: the point, the target height, the measurement.
struct FreeStationSight {
    Point3 known;
    double hr = 0.0;
    /// The sight gives the station's height: the known point's height and the target height are
    /// known. Without it the sight places the station in plan only.
    bool height = true;
    orv::ie::DexTSRawMeasurement measurement;
};

/// Where a free station stands and how its circle is oriented.
struct StationFit {
    Point3 station;
    bool hasHeight = false;    ///< some sight gave the height (with the instrument height known)
    double orientation = 0.0;  ///< azimuth = horizontal angle + orientation, in [0, 360)
};

/// Why the sights of a free station fix no position.
enum class FreeStationFault {
    none,
    tooFew,      ///< fewer than two usable sights
    onePlace,    ///< every known point within kFreeStationTolerance of the first: no direction to turn
    oneVector,   ///< every sight measures the same vector: no direction to turn
    noRotation,  ///< every rotation fits alike (a symmetric figure measured as its mirror image)
    notFinite,   ///< figures too large to work with
};

/// Points, and measured vectors, closer than this are one for a free station (metres).
constexpr double kFreeStationTolerance = 0.001;

/// A free station: the position and orientation that fit, by least squares, the horizontal
/// angles and distances of `sights` to their known points: the rotation and translation that
/// carry the polar figures onto the points (the scale is kept at 1). Sights that are not
/// usable (freeStationUse()) are passed over. The height is the mean of what each sight with a
/// height gives with the instrument height `hi`; absent without `hi` or such a sight. Fills `fit`
/// and returns FreeStationFault::none, or says why the sights fix nothing.
FreeStationFault freeStation(const std::vector<FreeStationSight>& sights, std::optional<double> hi, StationFit& fit);

/// Where a stake-out landed against its design: staked minus design (north, east, height).
Point3 stakeDelta(const Point3& staked, const Point3& design);

}  // namespace exportgen
