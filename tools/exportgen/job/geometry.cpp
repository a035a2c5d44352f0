#include "job/geometry.h"

#include <cmath>

#include "contracts/units.h"

namespace exportgen {

namespace {
constexpr double kRadians = orv::ie::kRadiansPerDegree;
using orv::ie::kPi;
}  // namespace

double azimuth(const Point3& from, const Point3& to) {
    double degrees = std::atan2(to.e - from.e, to.n - from.n) / kRadians;
    if (degrees < 0) degrees += 360.0;
    return degrees >= 360.0 ? degrees - 360.0 : degrees;
}

bool reduce(const orv::ie::DexTSRawMeasurement& m, double& horizontal, double& rise) {
    if (m.kind() == orv::ie::eKindAnglesAndSlopeDistance) {
        const double zenith = m.valueAt(1) * kRadians;
        horizontal = m.valueAt(2) * std::sin(zenith);
        rise = m.valueAt(2) * std::cos(zenith);
        return true;
    }
    if (m.kind() == orv::ie::eKindAngleAndHorizontalDistance) {
        horizontal = m.valueAt(1);
        rise = m.valueAt(2);
        return true;
    }
    return false;
}

bool target(const Point3& station, double hi, double hr, double orientation, const orv::ie::DexTSRawMeasurement& m,
            Point3& result) {
    double horizontal = 0.0, rise = 0.0;
    if (!reduce(m, horizontal, rise)) return false;
    const double direction = (m.valueAt(0) + orientation) * kRadians;
    result.n = station.n + horizontal * std::cos(direction);
    result.e = station.e + horizontal * std::sin(direction);
    result.h = station.h + hi + rise - hr;
    return true;
}

double signedAngle(double degrees) {
    double value = std::fmod(degrees + 180.0, 360.0);
    if (value < 0) value += 360.0;
    return value - 180.0;
}

Residual residualOf(const Point3& station, double hi, double orientation, const Point3& known, double hr,
                    const orv::ie::DexTSRawMeasurement& m) {
    Residual r;
    Point3 computed;
    target(station, hi, hr, orientation, m, computed);
    r.position = {computed.n - known.n, computed.e - known.e, computed.h - known.h};
    // The line of sight runs from the instrument axis (station height + hi) to the target on
    // the known point (its height + hr).
    const double dn = known.n - station.n, de = known.e - station.e;
    const double rise = known.h + hr - station.h - hi;
    const double horizontal = std::hypot(dn, de);
    r.horizontal = signedAngle(azimuth(station, known) - orientation - m.valueAt(0));
    r.zenith = std::atan2(horizontal, rise) * 180.0 / kPi - m.valueAt(1);
    r.slope = std::hypot(horizontal, rise) - m.valueAt(2);
    return r;
}

Point3 stakeDelta(const Point3& staked, const Point3& design) {
    return {staked.n - design.n, staked.e - design.e, staked.h - design.h};
}

}  // namespace exportgen
