#include "base/units.h"

#include "contracts/text_services.h"

namespace exportgen {

using namespace orv::ie;

double InputUnits::metres(double value) const noexcept {
    switch (distance) {
        case eUSFeet:
        case eUSFeetInches:
            // Multiplying first keeps typical values exact until the one division, as the
            // contracts' conversion the other way does.
            return value * 1200.0 / 3937.0;
        case eInternationalFeet:
        case eInternationalFeetInches:
            return value * 0.3048;
        default:
            return value;
    }
}

double InputUnits::degrees(double value) const noexcept {
    return angle == eDecimalDegrees ? value : utils::angleToDecDeg(value, angle);
}

}  // namespace exportgen
