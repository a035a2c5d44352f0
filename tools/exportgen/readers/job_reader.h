// Reading a job file in one pass without building the whole document: every top-level member
// but "setups" is handed over whole, and the set-ups one at a time, so a job of a million
// observations never lives in memory at once.
//
// There are two readers. The fast one (makeFastJobReader) parses the file itself into a small
// compact document per value and takes well-formed JSON only; at anything else it stops with
// CompactJsonRefused and the caller reads the job again with the nlohmann-based reader
// (makeJobReader), which reports malformed JSON with its line and column.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "readers/compact_json.h"

namespace exportgen {

/// What a reader finds, in the order of the file. Each value comes as the document of the
/// reader that read it.
class JobEvents {
public:
    virtual ~JobEvents() = default;
    /// A top-level member other than "setups" (or "setups" when it is not an array).
    virtual void member(const std::string& key, nlohmann::json&& value) = 0;
    virtual void member(const std::string& key, const CompactValue& value) = 0;
    /// The start of the "setups" array.
    virtual void setupsBegin() = 0;
    /// One element of "setups", with its index.
    virtual void setup(std::size_t index, nlohmann::json&& value) = 0;
    virtual void setup(std::size_t index, const CompactValue& value) = 0;
    /// The end of the document.
    virtual void end() = 0;
};

class JobReader {
public:
    virtual ~JobReader() = default;
    /// Reads `text`, a whole job document. Malformed JSON throws HostError(kExitJson) naming
    /// `source`, the line and the column; a document that is not an object throws
    /// HostError(kExitJob). When `mapped`, the text is a file mapping (InputText) whose pages
    /// the reader may give back once it has read past them.
    virtual void read(std::string_view text, const std::string& source, JobEvents& events, bool mapped) = 0;
};

/// The reader on nlohmann::json's SAX interface.
std::unique_ptr<JobReader> makeJobReader();
/// The fast reader; it throws CompactJsonRefused where the other throws HostError(kExitJson),
/// and also for a document that is not an object and for a number beyond the double range,
/// which it leaves to the other reader.
std::unique_ptr<JobReader> makeFastJobReader();

/// Parses a small whole document (replay scripts); malformed JSON throws HostError(kExitJson).
nlohmann::json parseDocument(std::string_view text, const std::string& source);

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

private:
    friend InputText readFile(const std::string& path);
    void* m_map = nullptr;
    std::size_t m_size = 0;
    std::string m_owned;
};

/// The content of the file at `path`; throws HostError(kExitInput) when it cannot be read.
InputText readFile(const std::string& path);

}  // namespace exportgen
