#include "job/geometry.h"

#include <cmath>

namespace exportgen {

namespace {
constexpr double kRadians = 3.14159265358979323846 / 180.0;
}

double azimuth(const Point3& from, const Point3& to) {
    double degrees = std::atan2(to.e - from.e, to.n - from.n) / kRadians;
    if (degrees < 0) degrees += 360.0;
    return degrees >= 360.0 ? degrees - 360.0 : degrees;
}

bool reduce(const orv::ie::DexTSRawMeasurement& m, double& horizontal, double& rise) {
    if (m.kind() == 0) {
        const double zenith = m.valueAt(1) * kRadians;
        horizontal = m.valueAt(2) * std::sin(zenith);
        rise = m.valueAt(2) * std::cos(zenith);
        return true;
    }
    if (m.kind() == 1) {
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

}  // namespace exportgen
