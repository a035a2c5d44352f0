// The units an input gives its values in. The job model holds metres and decimal degrees, so
// every distance, height, coordinate and angle of an input is converted as it is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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
    /// A length in metres back in the input's distance unit (for messages: the last bits may
    /// differ from the figure the input wrote).
    [[nodiscard]] double fromMetres(double metres) const noexcept;
    /// An angle in decimal degrees back in the input's angle unit (as fromMetres).
    [[nodiscard]] double fromDegrees(double degrees) const noexcept;
};

/// The units a user states for an input (--input-units); either may be left out.
struct StatedUnits {
    std::optional<orv::ie::EDistUnits> distance;
    std::optional<orv::ie::EAngleUnits> angle;
    [[nodiscard]] bool empty() const noexcept { return !distance && !angle; }
};

/// The word of a job file's "inputUnits" for a distance unit ("usSurveyFeet") and for an angle
/// unit ("gons"; degrees of either style are "decimalDegrees", packed ones "packedDms").
[[nodiscard]] const char* unitWord(orv::ie::EDistUnits unit) noexcept;
[[nodiscard]] const char* unitWord(orv::ie::EAngleUnits unit) noexcept;
/// The distance unit, or the angle unit, a word of "inputUnits" names; none for another word.
[[nodiscard]] std::optional<orv::ie::EDistUnits> distanceUnitOfWord(std::string_view word) noexcept;
[[nodiscard]] std::optional<orv::ie::EAngleUnits> angleUnitOfWord(std::string_view word) noexcept;
/// Every word, for messages: "metres, usSurveyFeet, ..." and "decimalDegrees, gons, ...".
[[nodiscard]] std::string distanceWords();
[[nodiscard]] std::string angleWords();

/// --input-units as given: "DIST,ANGLE", or either word alone, in the words of "inputUnits"
/// ("usSurveyFeet,gons", "mils"). Throws SettingError("input-units", ...) for anything else,
/// listing the words.
[[nodiscard]] StatedUnits statedUnits(std::string_view text);

/// A unit as messages name it after a value: "metres", "US survey feet", "international feet";
/// "degrees", "gons", "mils", "DMS" (packed degrees, minutes and seconds).
[[nodiscard]] const char* unitName(orv::ie::EDistUnits unit) noexcept;
[[nodiscard]] const char* unitName(orv::ie::EAngleUnits unit) noexcept;
/// A value as messages show it in an input's unit: to 10 significant digits, so that a figure
/// converted to metres or degrees and back shows as the input wrote it ("7000", "-82.5").
[[nodiscard]] std::string shownFigure(double value);

}  // namespace exportgen
