// Plane surveying geometry of the host: azimuths, the target of an observation, and the
// figures of stake-outs and resections. Northing, easting and height in metres; angles in
// decimal degrees; azimuths clockwise from north.
#pragma once

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

/// The residuals of the measurement `m` (kind 0: horizontal angle, zenith, slope distance) from
/// `station` with instrument height `hi` and orientation `orientation` to the known point
/// `known` sighted with target height `hr`. The zenith and slope figures read the measurement's
/// second and third values whatever its kind.
Residual residualOf(const Point3& station, double hi, double orientation, const Point3& known, double hr,
                    const orv::ie::DexTSRawMeasurement& m);

/// A sight of a free station to a known point: the point, the target height, the measurement.
struct FreeStationSight {
    Point3 known;
    double hr = 0.0;
    orv::ie::DexTSRawMeasurement measurement;
};

/// Where a free station stands and how its circle is oriented.
struct StationFit {
    Point3 station;
    double orientation = 0.0;  ///< azimuth = horizontal angle + orientation, in [0, 360)
};

/// A free station: the position and orientation that fit, by least squares, the horizontal
/// angles and distances of `sights` (kind 0 or 1) to their known points: the rotation and
/// translation that carry the polar figures onto the points (the scale is kept at 1). The height
/// is the mean of what each sight gives with instrument height `hi`. Needs two sights or more
/// with a distance, not at one place; false otherwise.
bool freeStation(const std::vector<FreeStationSight>& sights, double hi, StationFit& fit);

/// Where a stake-out landed against its design: staked minus design (north, east, height).
Point3 stakeDelta(const Point3& staked, const Point3& design);

}  // namespace exportgen
