// The RW5 reader: an RW5 raw file into the job builder, every value with its place in the file,
// so that writing the job again as RW5 gives the same bytes (docs/formats/rw5.md, "Reading",
// says what comes back, what is skipped and what stays unknown).
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// The job that an RW5 file holds, told to `builder`: the header and mode records as the job's
/// texts and units, every stored point that is no staked point as a known point, the level-run
/// notes as level runs, then every set-up as soon as it is complete, with its heights,
/// orientation records, resection, observations and stake-outs. An unknown record, field or
/// note is skipped with a warning; a malformed record is an error naming its line and column.
void buildRw5(RawInput& input, JobBuilder& builder);

/// True when `head` (the first bytes of a file) reads as RW5: every whole line a note ("--") or
/// a record of two capital letters and a comma, and at least one of the records that start
/// every RW5 file or set-up (the job, mode, occupy or stored-point records).
bool looksLikeRw5(std::string_view head);

}  // namespace exportgen
