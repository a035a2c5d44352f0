// Text helpers of the host: UTF-8 to and from COrvStringT, and locale-independent numbers.
#pragma once

#include <string>
#include <string_view>

#include "contracts/orv_string.h"

namespace exportgen {

/// A UTF-8 text (already checked by the JSON reader) as a wide text.
COrvStringT wideFromUtf8(std::string_view text);
/// Appends `text` encoded as UTF-8 to `out`.
void appendUtf8(std::string& out, std::wstring_view text);
std::string utf8(const COrvStringT& text);

/// The shortest text that reads back as `value` ("nan", "inf", "-inf" for non-finite values).
std::string shortestNumber(double value);
/// `value` with `decimals` decimals, for the host's own note texts.
COrvStringT fixed(double value, int decimals);

}  // namespace exportgen
