// The SDR reader: a file of fixed-width SDR records read into the job builder.
//
// Every record is a two-digit record number, a two-letter derivation code and fields of fixed
// width (names right-aligned in 16 characters, values and codes left-aligned in 16, note texts in
// 60). The reader takes the records the SDR generator writes: the program line and the job and
// mode lines of the header, stored points ("08"), set-ups ("02", the "03NM" target heights, the
// "07TP" orientation records and a measurement to the backsight), observations ("09F1"/"09F2"
// with their "13FC", "13AT" and "13NM" notes), resection observations (an observation followed by
// its three residual notes), stake-outs (an observation followed by the "13SO" notes and the
// staked point's coordinates) and level runs ("13NM" run note, "61LV" to "64LV"). Every figure
// is taken as the file states it; what the file does not state is left absent for placement.
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

/// Reads the SDR file `input` into `builder`: the header, headerDone() and each set-up as soon
/// as it is complete (the caller finishes the builder). A record the reader does not know, or
/// one the job has no place for, is skipped with a warning naming its line; a malformed record
/// (a number that is not one, a record cut short before a field it needs) is an error naming
/// its line and column.
void buildSdr(RawInput& input, JobBuilder& builder);

/// True when `head`, the first bytes of a file, begins with SDR records: lines of two digits
/// and a two-letter derivation code, among them the job and mode lines of the generator's header.
[[nodiscard]] bool looksLikeSdr(std::string_view head);

}  // namespace exportgen
