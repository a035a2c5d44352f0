// Plane surveying geometry of the host: azimuths, the target of an observation, and the
// figures of stake-outs and resections. Northing, easting and height in metres; angles in
// decimal degrees; azimuths clockwise from north.
#pragma once

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

}  // namespace exportgen
