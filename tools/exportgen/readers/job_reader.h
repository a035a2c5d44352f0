// Reading a job file without ever holding it as one document: a light scan finds where the
// top-level members and each set-up lie in the text, then each of them is parsed on its own by
// simdjson's On-Demand parser into a small tree (json_value.h) that is handed over and dropped.
// A job of a million observations is therefore never indexed or held in memory at once, and the
// pages of a mapped file are given back as the reader passes them.
//
// The members come in a fixed order whatever their order in the file: "inputUnits" (the units
// every later value is given in), "units", "job",
// "observation", "points", "levelRuns" and any other member, then the set-ups one at a time. So
// a job written by a serializer that sorts its keys reads as any other.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "readers/json_value.h"

namespace exportgen {

class JsonParse;

/// What the reader finds.
class JobEvents {
public:
    virtual ~JobEvents() = default;
    /// A top-level member other than "setups" (or "setups" when it is not an array).
    virtual void member(std::string_view key, const JsonValue& value) = 0;
    /// After every other member, before the first set-up; `hasSetups` tells whether the file has
    /// a "setups" member at all, and `root` is the offset of the job's object.
    virtual void setupsBegin(bool hasSetups, std::size_t root) = 0;
    /// One element of "setups", with its index: walked from `parse` (readers/json_parse.h).
    virtual void setup(std::size_t index, JsonParse& parse) = 0;
};

/// Reads `text`, a whole job document. Malformed JSON throws HostError(kExitJson) naming
/// `source`, the line and the column; a JobError thrown by `events` becomes a HostError whose
/// message starts with the same location. When `mapped`, the text is a file mapping (InputText)
/// whose pages the reader gives back once it has read past them.
void readJob(std::string_view text, const std::string& source, JobEvents& events, bool mapped);

/// "SOURCE:LINE:COLUMN" of the byte at `offset` of `text` (lines and columns count from 1,
/// columns in bytes).
std::string location(std::string_view text, const std::string& source, std::size_t offset);

/// The content of an input file: mapped into memory when it is a regular file, else read.
class InputText {
public:
    InputText() = default;
    InputText(InputText&& other) noexcept;
    InputText& operator=(InputText&&) = delete;
    ~InputText();
    [[nodiscard]] std::string_view text() const noexcept;
    /// True when the text is a mapping of the file.
    [[nodiscard]] bool mapped() const noexcept { return m_map != nullptr; }
    /// A text in memory that outlives the InputText (an input a program or a test hands over).
    [[nodiscard]] static InputText borrowed(std::string_view text);

private:
    friend InputText readFile(const std::string& path);
    void* m_map = nullptr;
    std::size_t m_size = 0;
    std::string m_owned;
    const char* m_borrowed = nullptr;  // with m_size: a text in memory
};

/// The content of the file at `path`; throws HostError(kExitInput) when it cannot be read.
InputText readFile(const std::string& path);

}  // namespace exportgen
