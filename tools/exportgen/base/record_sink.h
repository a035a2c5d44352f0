// Where a writer's records go: the writers know nothing of files or encodings, only that each
// text they hand over is written in order. An output file (output/output.h) is one; a test may
// keep the texts in memory.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "contracts/orv_string.h"

namespace exportgen {

class RecordSink {
public:
    virtual ~RecordSink() = default;
    /// Where a text goes in the output, named for a message: `at` is the index in the text of the
    /// character the message is about.
    using Describe = std::function<std::string(std::size_t at)>;
    /// Appends a text; `describe` names the place, asked only when the text cannot be written
    /// (a character the output's encoding cannot hold).
    virtual void text(const COrvStringT& text, const Describe& describe) = 0;
    /// Appends bytes as they are (UTF-8).
    virtual void bytes(std::string_view utf8) = 0;
};

}  // namespace exportgen
