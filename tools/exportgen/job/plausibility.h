// Values no instrument gives: a negative distance, a zenith outside the circle, an instrument or
// target height beyond a kilometre. They are written as given, and reported. The test is made
// on the value in metres and degrees, as the job holds it; the report shows the value in the
// unit the input gave it in ("zenith 7000 mils is outside 0 to 6400 mils").
#pragma once

#include <cstddef>
#include <string>

#include "base/units.h"

namespace exportgen {

/// The highest instrument or target height an instrument is set up with, in metres.
constexpr double kHighestHeight = 1000.0;

/// What value `index` of a measurement of `kind` (orv::ie::EMeasurementKind) is.
enum class MeasuredValue { angle, zenith, distance, other };
[[nodiscard]] MeasuredValue measuredValue(int kind, std::size_t index) noexcept;

/// The warning for value `index` of a measurement of `kind`: `converted` in metres or degrees,
/// `given` as the input wrote it in `units`. Empty when the value is plausible, and for the
/// generators' no-value.
[[nodiscard]] std::string implausibleMeasurement(int kind, std::size_t index, double converted, double given,
                                                 const InputUnits& units);

/// The warning for an instrument or target height (`what`): `metres` as the job holds it,
/// `given` as the input wrote it. Empty when plausible.
[[nodiscard]] std::string implausibleHeight(const char* what, double metres, double given, const InputUnits& units);

}  // namespace exportgen
