// Text helpers of the host: UTF-8 to and from COrvStringT, and locale-independent numbers.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "contracts/orv_string.h"

namespace exportgen {

/// A UTF-8 text (already checked by the JSON reader) as a wide text.
COrvStringT wideFromUtf8(std::string_view text);
/// Appends `text` encoded as UTF-8 to `out`.
void appendUtf8(std::string& out, std::wstring_view text);
std::string utf8(const COrvStringT& text);

/// `text` with its ASCII capitals made small ("RW5" is "rw5"); other bytes as they are.
std::string lowerAscii(std::string_view text);

/// The shortest text that reads back as `value` ("nan", "inf", "-inf" for non-finite values).
std::string shortestNumber(double value);
/// A value of a job or script as an error message quotes it: a number, true, false or null as
/// written; a text in quotes, escaped as in JSON and cut after 40 characters ("…" marks the
/// cut); an array or object by its size ("an array of 3 items"). Always one short line, and
/// never a walk through the value, however deeply it nests.
std::string shown(const nlohmann::json& value);
/// A name or text from a job or script (an operation, a field, a point) shown the same way.
std::string shownName(std::string_view text);

/// Whether `day` is a day of `month` (1 to 12) of `year` in the Gregorian calendar.
[[nodiscard]] bool isCalendarDate(int year, int month, int day) noexcept;
/// Whether hours, minutes and seconds are a time of day (hours below 24, the others below 60).
[[nodiscard]] bool isTimeOfDay(int hours, int minutes, int seconds) noexcept;

/// A figure of the host's own note texts that is not known ("Stake D: dN 0.0100 dE -0.0050 dH
/// unknown" of a point staked in plan only).
inline constexpr std::string_view kUnknownFigure = "unknown";

/// `value` with `decimals` decimals, for the host's own note texts.
COrvStringT fixed(double value, int decimals);

}  // namespace exportgen
