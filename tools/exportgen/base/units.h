// The units an input gives its values in. The job model holds metres and decimal degrees, so
// every distance, height, coordinate and angle of an input is converted as it is read.
#pragma once

#include "contracts/units.h"

namespace exportgen {

/// The units the job file gives its values in ("inputUnits"); the job model holds metres and
/// decimal degrees, so every distance, height, coordinate and angle is converted as it is read.
/// Prism constants are not: they are millimetres in every unit system.
struct InputUnits {
    orv::ie::EDistUnits distance = orv::ie::eMeters;
    orv::ie::EAngleUnits angle = orv::ie::eDecimalDegrees;
    /// A distance, height or coordinate in metres.
    [[nodiscard]] double metres(double value) const noexcept;
    /// An angle (direction, zenith, bearing, circle reading) in decimal degrees.
    [[nodiscard]] double degrees(double value) const noexcept;
};

}  // namespace exportgen
