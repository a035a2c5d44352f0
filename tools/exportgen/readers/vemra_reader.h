// Readers of the Vemra family: Vemra, its ApaSima dialect (four entry lines ahead of the same
// records) and its Drevan dialect (its own observation record). One reader takes all three; the
// dialect says which observation record and which angle digits to expect.
#pragma once

#include <string_view>

#include "readers/raw_input.h"

namespace exportgen {

enum class VemraDialect { vemra, apaSima, drevan };

/// The job that a file of `dialect` holds.
void readVemraFamily(VemraDialect dialect, const RawInput& input, JobParts& parts);

void readVemra(const RawInput& input, JobParts& parts);
void readApaSima(const RawInput& input, JobParts& parts);
void readDrevan(const RawInput& input, JobParts& parts);

/// Whether the start of a file looks like the dialect. A file of a header and stations alone
/// (no observation record) could be Vemra or Drevan: it counts as Vemra.
bool looksLikeVemra(std::string_view head);
bool looksLikeApaSima(std::string_view head);
bool looksLikeDrevan(std::string_view head);

}  // namespace exportgen
