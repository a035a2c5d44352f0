// Point lists as the office keeps them and other programs write them: one point a line, its
// name, northing, easting, height and code in columns separated by commas, semicolons, tabs or
// blanks. A header row names the columns; a list without one gives their order as letters
// ("PNEZD", "PENZD", ...).
#pragma once

#include <string>
#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// Reads the point list of `input` into known points of `builder` (in its input units), each at
/// its line. `columns`: the order of the columns, letters P (name), N, E, Z (height) and D
/// (code), "-" for a column to pass over, a header row then passed over; empty: the header row
/// names them, and a list without one is PNEZD (unless each line holds three numbers and
/// nothing else, which is refused as ambiguous). Heights and codes may be left out: a point
/// without a height is known in plan only. A name given twice is one point when the entries
/// agree within 0.5 mm or a unit of their last decimal (a warning; the first entry kept),
/// else a JobError naming both lines. Throws SettingError for bad `columns` and the errors of
/// RawInput for a line that cannot be read.
void readPointList(RawInput& input, const std::string& columns, JobBuilder& builder);

/// True when `head` (the first bytes of a file) looks like a point list: its first line that
/// is not blank has a name and at least two numbers, or names the columns.
bool looksLikePointList(std::string_view head);

}  // namespace exportgen
