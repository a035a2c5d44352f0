// Readers of the Vemra family: Vemra, its ApaSima dialect (four entry lines ahead of the same
// records) and its Drevan dialect (its own observation record). One reader takes all three; the
// dialect says which observation record and which angle digits to expect.
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

enum class VemraDialect { vemra, apaSima, drevan };

/// The job that a file of `dialect` holds, told to `builder`: the header, then each set-up as
/// soon as its station's records end.
void buildVemraFamily(VemraDialect dialect, RawInput& input, JobBuilder& builder);

void buildVemra(RawInput& input, JobBuilder& builder);
void buildApaSima(RawInput& input, JobBuilder& builder);
void buildDrevan(RawInput& input, JobBuilder& builder);

/// Whether the start of a file looks like the dialect. A file of a header and stations alone
/// (no observation record) could be Vemra or Drevan: it counts as Vemra.
bool looksLikeVemra(std::string_view head);
bool looksLikeApaSima(std::string_view head);
bool looksLikeDrevan(std::string_view head);

}  // namespace exportgen
