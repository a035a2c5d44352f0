// The formats the host reads and writes: one row per format with its names, suffix, the test
// that tells a file of it by its first bytes, its reader, its writer, its generator and the
// characters its records reserve. Every command asks this table; no command lists formats of
// its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/generators.h"
#include "base/record_sink.h"
#include "job/job.h"
#include "job/text_rules.h"
#include "readers/raw_input.h"
#include "writers/writer_base.h"

namespace exportgen {

/// The characters a format's record grammar reserves in each kind of text field, beyond the
/// control characters that no format carries (null: none).
struct ReservedCharacters {
    const char* name = nullptr;
    const char* code = nullptr;
    const char* attribute = nullptr;
    const char* note = nullptr;
    const char* text = nullptr;
};

/// Makes the writer of a format for a job; throws HostError(kExitInternal) when the generator
/// cannot be created.
using MakeWriter = std::unique_ptr<FormatWriter> (*)(const Generator& generator, const Job& job, RecordSink& sink);

struct FormatEntry {
    const char* name;         ///< the command-line name, also a replay script's "generator"
    const char* suffix;       ///< the file name suffix that `convert --all` gives the format
    const char* displayName;  ///< the format's name for people
    /// The library's generator of the format; null for a format the host writes itself (LandXML).
    const Generator* generator;
    MakeWriter makeWriter;
    /// What the records cannot carry inside a text field.
    ReservedCharacters reserved;
    /// Reads a file of the format into the job builder (null: the format is not read).
    BuildRaw build;
    /// True when `head`, the first bytes of a file (up to 4 KiB), look like the format's first
    /// records: how an input without a known suffix is recognised.
    bool (*looksLike)(std::string_view head);

    /// Whether files of the format are read.
    [[nodiscard]] bool readable() const noexcept { return build != nullptr; }
};

/// Every format, in the order of the help texts and of `convert --all`.
const std::vector<FormatEntry>& formats();
/// The format whose suffix ends the file name of `path` (in any case: out.RW5 is RW5); null for
/// any other name, "-" and the empty path.
const FormatEntry* formatOfPath(const std::string& path);
/// The format named `name` on the command line; null for an unknown name.
const FormatEntry* findFormat(const std::string& name);
/// The command-line names as a list for people: "a, b or c" with `lastJoin` " or ", or
/// "a, b, c" with ", ".
std::string formatNameList(const char* lastJoin);

/// The characters the formats named in `names` cannot carry, by kind of text: the union of
/// their rules, each character noted with the first format that reserves it.
TextRules textRulesFor(const std::vector<std::string>& names);

/// The writer of the format named `name` for `job`, writing to `sink`; throws
/// HostError(kExitUsage) for an unknown name.
std::unique_ptr<FormatWriter> makeFormatWriter(const std::string& name, const Job& job, RecordSink& sink);

}  // namespace exportgen
