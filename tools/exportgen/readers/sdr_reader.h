// The SDR reader: a file of fixed-width SDR records read back into a job.
//
// Every record is a two-digit record number, a two-letter derivation code and fields of fixed
// width (names right-aligned in 16 characters, values and codes left-aligned in 16, note texts in
// 60). The reader takes what the SDR writer writes and gives the job that writes it again:
// known points ("08"), set-ups ("02" with the "03NM" target heights, the "07TP" backsight and its
// measurement), observations ("09F1"/"09F2" with "13FC" and "13AT" notes and a "13NM" note),
// resection observations (an observation followed by its three residual notes), stake-outs (an
// observation followed by the "13SO" notes and the staked point's coordinates) and level runs
// ("13NM" run note, "61LV" to "64LV"). What the host computed (backsight azimuths, residuals,
// stake-out differences, level heights) is recognised and left to be computed again.
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// Reads the SDR file `input` into `parts`. A record the reader does not know, or one the job has
/// no place for, is skipped with a warning naming its line; a malformed record (a number that is
/// not one, a record cut short before a field it needs) is an error naming its line and column.
void readSdr(const RawInput& input, JobParts& parts);

/// True when `head`, the first bytes of a file, begins with SDR records: lines of two digits
/// and a two-letter derivation code.
[[nodiscard]] bool looksLikeSdr(std::string_view head);

}  // namespace exportgen
