#include "job/geometry.h"

#include <cmath>

#include "contracts/text_services.h"
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

bool freeStation(const std::vector<FreeStationSight>& sights, double hi, StationFit& fit) {
    // The sights in the instrument's own frame (north along the circle's zero) and the known
    // points, each with their centroid.
    struct Pair {
        double n, e, knownN, knownE, height;
    };
    std::vector<Pair> pairs;
    double pn = 0.0, pe = 0.0, qn = 0.0, qe = 0.0;
    for (const FreeStationSight& sight : sights) {
        double horizontal = 0.0, rise = 0.0;
        if (!reduce(sight.measurement, horizontal, rise) || !std::isfinite(horizontal)) continue;
        const double direction = sight.measurement.valueAt(0) * kRadians;
        Pair pair{horizontal * std::cos(direction), horizontal * std::sin(direction), sight.known.n, sight.known.e,
                  sight.known.h + sight.hr - rise - hi};
        pn += pair.n, pe += pair.e, qn += pair.knownN, qe += pair.knownE;
        pairs.push_back(pair);
    }
    if (pairs.size() < 2) return false;
    const auto count = static_cast<double>(pairs.size());
    pn /= count, pe /= count, qn /= count, qe /= count;
    // The rotation that best carries the centred polar figures onto the centred points.
    double sumSin = 0.0, sumCos = 0.0, height = 0.0, spread = 0.0;
    for (const Pair& pair : pairs) {
        const double an = pair.n - pn, ae = pair.e - pe, bn = pair.knownN - qn, be = pair.knownE - qe;
        sumSin += an * be - ae * bn;
        sumCos += an * bn + ae * be;
        spread += an * an + ae * ae;
        height += pair.height;
    }
    if (!(spread > 0.0)) return false;  // every sight at one place: no direction to turn
    const double theta = std::atan2(sumSin, sumCos);
    fit.station.n = qn - (pn * std::cos(theta) - pe * std::sin(theta));
    fit.station.e = qe - (pn * std::sin(theta) + pe * std::cos(theta));
    fit.station.h = height / count;
    fit.orientation = ::toRange(theta / kRadians, 0.0, 360.0);
    return std::isfinite(fit.station.n) && std::isfinite(fit.station.e) && std::isfinite(fit.station.h);
}

}  // namespace exportgen
