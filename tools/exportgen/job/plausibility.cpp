#include "job/plausibility.h"

#include <cmath>

#include "contracts/dex_data.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// The full circle in the angle unit an input writes, as a message names it.
std::string fullCircle(EAngleUnits unit) {
    switch (unit) {
        case eGons:
            return "400 gons";
        case eMils:
            return "6400 mils";
        default:
            return "360 degrees";
    }
}

}  // namespace

MeasuredValue measuredValue(int kind, std::size_t index) noexcept {
    switch (kind) {
        case eKindAnglesAndSlopeDistance:  // horizontal angle, zenith, slope distance
            return index == 0 ? MeasuredValue::angle : index == 1 ? MeasuredValue::zenith : MeasuredValue::distance;
        case eKindAngleAndHorizontalDistance:  // horizontal angle, horizontal distance, height difference
            return index == 0 ? MeasuredValue::angle : index == 1 ? MeasuredValue::distance : MeasuredValue::other;
        case eKindAnglesOnly:
            return index == 0 ? MeasuredValue::angle : MeasuredValue::zenith;
        case eKindHorizontalAngleOnly:
            return MeasuredValue::angle;
        case eKindZenithOnly:
            return MeasuredValue::zenith;
        case eKindSlopeDistanceOnly:
        case eKindHorizontalDistanceOnly:
            return MeasuredValue::distance;
        default:
            return MeasuredValue::other;
    }
}

std::string implausibleMeasurement(int kind, std::size_t index, double converted, double given,
                                   const InputUnits& units) {
    if (converted == noValue) return {};
    switch (measuredValue(kind, index)) {
        case MeasuredValue::distance:
            if (!(converted < 0.0)) return {};
            return "negative distance " + shownFigure(given) + " " + unitName(units.distance);
        case MeasuredValue::zenith:
            // 0 and the full circle both point straight up.
            if (converted >= 0.0 && converted <= 360.0) return {};
            return "zenith " + shownFigure(given) + " " + unitName(units.angle) + " is outside 0 to " +
                   fullCircle(units.angle);
        default:
            return {};
    }
}

std::string implausibleHeight(const char* what, double metres, double given, const InputUnits& units) {
    if (metres == noValue || !(std::fabs(metres) > kHighestHeight)) return {};
    return std::string(what) + " " + shownFigure(given) + " " + unitName(units.distance) + " is beyond a kilometre";
}

}  // namespace exportgen
