// The RW5 reader: an RW5 raw file back into a job document, so that writing it again as RW5
// gives the same bytes (docs/formats/rw5.md, "Reading", says what comes back and what cannot).
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// The job that an RW5 file holds: header and mode lines as the job's texts and units, stored
/// points before the first set-up as known points, every set-up with its heights, backsight,
/// resection, observations and stake-outs, and the level-run notes as level runs. An unknown
/// record or a note that belongs to nothing is skipped with a warning; a malformed record is an
/// error naming its line and column.
void readRw5(const RawInput& input, JobParts& parts);

/// True when `head` (the first bytes of a file) reads as RW5: every whole line a note ("--") or
/// a record of two capital letters and a comma, and at least one of the records that start
/// every RW5 file or set-up (the job, mode, occupy or stored-point records).
bool looksLikeRw5(std::string_view head);

}  // namespace exportgen
