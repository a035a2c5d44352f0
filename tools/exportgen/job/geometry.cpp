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
    if (target(station, hi, hr, orientation, m, computed)) {
        r.position = {computed.n - known.n, computed.e - known.e, computed.h - known.h};
    }
    // The line of sight runs from the instrument axis (station height + hi) to the target on
    // the known point (its height + hr).
    const double dn = known.n - station.n, de = known.e - station.e;
    const double rise = known.h + hr - station.h - hi;
    const double horizontal = std::hypot(dn, de);
    const double direction = signedAngle(azimuth(station, known) - orientation - m.valueAt(0));
    const double zenith = std::atan2(horizontal, rise) * 180.0 / kPi;
    const double slope = std::hypot(horizontal, rise);
    switch (m.kind()) {
        case orv::ie::eKindAnglesAndSlopeDistance:
            r.horizontal = direction;
            r.zenith = zenith - m.valueAt(1);
            r.slope = slope - m.valueAt(2);
            break;
        case orv::ie::eKindAngleAndHorizontalDistance:
            // The zenith and slope distance the horizontal distance and height difference make.
            r.horizontal = direction;
            r.zenith = zenith - std::atan2(m.valueAt(1), m.valueAt(2)) * 180.0 / kPi;
            r.slope = slope - std::hypot(m.valueAt(1), m.valueAt(2));
            break;
        case orv::ie::eKindAnglesOnly:
            r.horizontal = direction;
            r.zenith = zenith - m.valueAt(1);
            break;
        case orv::ie::eKindHorizontalAngleOnly:
            r.horizontal = direction;
            break;
        case orv::ie::eKindZenithOnly:
            r.zenith = zenith - m.valueAt(0);
            break;
        case orv::ie::eKindSlopeDistanceOnly:
            r.slope = slope - m.valueAt(0);
            break;
        default:
            break;
    }
    return r;
}

Point3 stakeDelta(const Point3& staked, const Point3& design) {
    return {staked.n - design.n, staked.e - design.e, staked.h - design.h};
}

FreeStationUse freeStationUse(const orv::ie::DexTSRawMeasurement& m) noexcept {
    int distance = 0;
    switch (m.kind()) {
        case orv::ie::eKindAnglesAndSlopeDistance:
            distance = 2;
            break;
        case orv::ie::eKindAngleAndHorizontalDistance:
            distance = 1;
            break;
        case orv::ie::eKindAnglesOnly:
        case orv::ie::eKindHorizontalAngleOnly:
            return FreeStationUse::noDistance;
        default:
            return FreeStationUse::noDirection;
    }
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(m.valueAt(i))) return FreeStationUse::notANumber;
    }
    if (m.valueAt(distance) == 0.0) return FreeStationUse::zeroDistance;
    if (m.valueAt(distance) < 0.0) return FreeStationUse::negativeDistance;
    return FreeStationUse::usable;
}

FreeStationFault freeStation(const std::vector<FreeStationSight>& sights, std::optional<double> hi, StationFit& fit) {
    // The sights in the instrument's own frame (north along the circle's zero) and the known
    // points, each with their centroid.
    struct Pair {
        double n, e, knownN, knownE;
    };
    std::vector<Pair> pairs;
    double pn = 0.0, pe = 0.0, qn = 0.0, qe = 0.0, height = 0.0;
    std::size_t heights = 0;
    for (const FreeStationSight& sight : sights) {
        double horizontal = 0.0, rise = 0.0;
        if (freeStationUse(sight.measurement) != FreeStationUse::usable ||
            !reduce(sight.measurement, horizontal, rise)) {
            continue;
        }
        const double direction = sight.measurement.valueAt(0) * kRadians;
        const Pair pair{horizontal * std::cos(direction), horizontal * std::sin(direction), sight.known.n,
                        sight.known.e};
        pn += pair.n, pe += pair.e, qn += pair.knownN, qe += pair.knownE;
        pairs.push_back(pair);
        if (hi && sight.height) {
            height += sight.known.h + sight.hr - rise - *hi;
            ++heights;
        }
    }
    if (pairs.size() < 2) return FreeStationFault::tooFew;
    // A rotation needs a direction on each side: two known points apart, and two sights that
    // measure the point apart. Each is compared with the first, so that a hostile job of many
    // sights costs no more than their number.
    const Pair& first = pairs.front();
    bool pointsApart = false, vectorsApart = false;
    for (const Pair& pair : pairs) {
        pointsApart =
            pointsApart || std::hypot(pair.knownN - first.knownN, pair.knownE - first.knownE) > kFreeStationTolerance;
        vectorsApart = vectorsApart || std::hypot(pair.n - first.n, pair.e - first.e) > kFreeStationTolerance;
    }
    if (!pointsApart) return FreeStationFault::onePlace;
    if (!vectorsApart) return FreeStationFault::oneVector;
    const auto count = static_cast<double>(pairs.size());
    pn /= count, pe /= count, qn /= count, qe /= count;
    // The rotation that best carries the centred polar figures onto the centred points.
    double sumSin = 0.0, sumCos = 0.0, spread = 0.0, knownSpread = 0.0;
    for (const Pair& pair : pairs) {
        const double an = pair.n - pn, ae = pair.e - pe, bn = pair.knownN - qn, be = pair.knownE - qe;
        sumSin += an * be - ae * bn;
        sumCos += an * bn + ae * be;
        spread += an * an + ae * ae;
        knownSpread += bn * bn + be * be;
    }
    if (!std::isfinite(sumSin) || !std::isfinite(sumCos) || !std::isfinite(spread) || !std::isfinite(knownSpread)) {
        return FreeStationFault::notFinite;
    }
    // The misfit at rotation t is a constant less 2 (sumCos cos t + sumSin sin t): when both sums
    // vanish beside the figures' sizes, every rotation fits alike.
    if (std::hypot(sumSin, sumCos) <= 1e-12 * std::sqrt(spread) * std::sqrt(knownSpread)) {
        return FreeStationFault::noRotation;
    }
    const double theta = std::atan2(sumSin, sumCos);
    fit.station.n = qn - (pn * std::cos(theta) - pe * std::sin(theta));
    fit.station.e = qe - (pn * std::sin(theta) + pe * std::cos(theta));
    fit.hasHeight = heights > 0;
    fit.station.h = fit.hasHeight ? height / static_cast<double>(heights) : 0.0;
    fit.orientation = ::toRange(theta / kRadians, 0.0, 360.0);
    if (!std::isfinite(fit.station.n) || !std::isfinite(fit.station.e) || !std::isfinite(fit.station.h) ||
        !std::isfinite(fit.orientation)) {
        return FreeStationFault::notFinite;
    }
    return FreeStationFault::none;
}

}  // namespace exportgen
