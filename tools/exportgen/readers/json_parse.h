// One value of a job file as simdjson's On-Demand parser gives it, for a reader that walks it
// straight into the job model instead of building a tree of it: the value, the byte offset in the
// file of any of its tokens, and the error the parser met.
#pragma once

#include <simdjson.h>

#include <cstddef>

namespace exportgen {

class JsonParse {
public:
    virtual ~JsonParse() = default;
    /// The value, ready to be walked once.
    [[nodiscard]] virtual simdjson::ondemand::value& value() = 0;
    /// The byte offset in the file of a token of the value (`raw_json_token().data()`).
    [[nodiscard]] virtual std::size_t offset(const char* token) const noexcept = 0;
    /// Throws the error the parser reported (malformed JSON at its place); returns on success.
    virtual void check(simdjson::error_code error, const char* at) = 0;
};

}  // namespace exportgen
