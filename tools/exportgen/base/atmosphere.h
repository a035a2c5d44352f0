// The atmosphere of a job in the units the library takes. DexObservationInfo holds the
// temperature in degrees Celsius and the pressure in hectopascals, each with the unit a format
// is to state it in; a job gives its values in that unit, so they are converted on the way in
// and the format converts them back.
#pragma once

#include "contracts/units.h"

namespace exportgen {

/// A temperature given in `units`, in degrees Celsius (68 °F is 20 °C). Divided before it is
/// multiplied, so that no finite temperature overflows.
[[nodiscard]] inline double celsiusFrom(double value, orv::ie::ETemperatureUnits units) noexcept {
    return units == orv::ie::eFahrenheit ? (value - 32.0) / 9.0 * 5.0 : value;
}

/// A pressure given in `units`, in hectopascals, by the factors the formats write it with
/// (0.750061683 mmHg and 0.0295299831 inHg to the hectopascal), so that a pressure written in
/// the unit it was given in comes back as it was given (29.92 inHg is 1013.2 hPa).
[[nodiscard]] inline double hectopascalsFrom(double value, orv::ie::EPressureUnits units) noexcept {
    switch (units) {
        case orv::ie::eMillimetresHg:
            return value / 0.750061683;
        case orv::ie::eInchesHg:
            return value / 0.0295299831;
        default:
            return value;
    }
}

}  // namespace exportgen
