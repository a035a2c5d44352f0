// The Quolt/Pashk keyword file read back into a job: each line a keyword padded to eight
// columns, then its values separated by commas.
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// Reads a Quolt/Pashk file into `builder`: the header and the level runs, then each set-up as
/// soon as the next station line ends it.
void buildQuoltPashk(RawInput& input, JobBuilder& builder);

/// Whether the first bytes of a file look like a Quolt/Pashk file: lines that start with the
/// format's keywords laid out in their eight columns.
[[nodiscard]] bool looksLikeQuoltPashk(std::string_view head);

}  // namespace exportgen
