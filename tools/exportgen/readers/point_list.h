// Point lists as the office keeps them: one point a line, its name, northing, easting, height and
// code in columns separated by commas, semicolons or tabs. A header row names the columns; a
// list without one gives their order as letters ("PNEZD", "PENZD", ...).
#pragma once

#include <string>
#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// Reads the point list of `input` into known points of `builder` (in its input units), each at
/// its line. `columns`: the order of the columns of a list without a header row, letters P
/// (name), N, E, Z (height) and D (code), "-" for a column to pass over; empty: the header row
/// names them, and a list without one is PNEZD. Heights and codes may be left out: a point
/// without a height is known in plan only. Throws SettingError for bad `columns` and the errors
/// of RawInput for a line that cannot be read.
void readPointList(RawInput& input, const std::string& columns, JobBuilder& builder);

/// True when `head` (the first bytes of a file) looks like a point list: its first line that
/// is not blank has a name and at least two numbers, or names the columns.
bool looksLikePointList(std::string_view head);

}  // namespace exportgen
