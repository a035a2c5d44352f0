// The formats the host writes: one table that every command, the replay of scripts and the
// fuzz drivers read, so a format is named, created and listed in this one place.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "contracts/dex_data.h"
#include "job/text_rules.h"
#include "readers/raw_input.h"
#include "writers/writer_base.h"

namespace orv::ie {
class CRW5Generator;
class CVemraRawDataGenerator;
}  // namespace orv::ie

namespace exportgen {

/// What a generator's factory call takes: the units and information of the job, and the
/// options only some formats have (the others ignore them).
struct GeneratorInputs {
    orv::ie::DexSettings* settings = nullptr;
    orv::ie::DexJobInfo* job = nullptr;
    orv::ie::DexObservationInfo* observation = nullptr;  ///< Vemra family and Quolt/Pashk
    const orv::ie::FreeNumericNames* names = nullptr;    ///< RW5 and Quolt/Pashk: free numeric names
    bool forceNames = false;                             ///< RW5
    bool rbMode = false;                                 ///< RW5
    bool useNumericNames = false;                        ///< Quolt/Pashk
};

/// The root class a format's generator derives from, which fixes the calls it takes.
enum class GeneratorFamily { rw5, vemra };

/// The groups of generator operations a replay script may call, as bit flags: each group adds
/// the operations of one generator class to those of its base.
enum ReplayOperations : unsigned {
    kRw5Operations = 1U << 0,
    kSdrOperations = 1U << 1,
    kVemraOperations = 1U << 2,
    kApaSimaOperations = 1U << 3,
    kDrevanOperations = 1U << 4,
    kQuoltPashkOperations = 1U << 5,
};

/// The characters a format's record grammar reserves in each kind of text field, beyond the
/// control characters that no format carries (null: none).
struct ReservedCharacters {
    const char* name = nullptr;
    const char* code = nullptr;
    const char* attribute = nullptr;
    const char* note = nullptr;
    const char* text = nullptr;
};

struct FormatEntry;

/// Makes the writer of a format for a job; throws HostError(kExitInternal) when the generator
/// cannot be created.
using MakeWriter = std::unique_ptr<FormatWriter> (*)(const FormatEntry& format, Job& job, Output& output);

struct FormatEntry {
    const char* name;         ///< the command-line name, also a replay script's "generator"
    const char* suffix;       ///< the file name suffix that `convert --all` gives the format
    const char* displayName;  ///< the format's name for people
    GeneratorFamily family;
    /// The factory call of a GeneratorFamily::rw5 format (null for the other family); the
    /// caller owns the generator, null when it cannot be created.
    orv::ie::CRW5Generator* (*createRw5Family)(const GeneratorInputs& inputs);
    /// The factory call of a GeneratorFamily::vemra format (null for the other family).
    orv::ie::CVemraRawDataGenerator* (*createVemraFamily)(const GeneratorInputs& inputs);
    MakeWriter makeWriter;
    /// The ReplayOperations groups a replay script may call on the generator.
    unsigned replayOperations;
    /// The generator's report of the fields it had to cut (the SDR generator's reportStatus()),
    /// for the replay's JSON results; null for formats without one.
    int (*reportStatus)(const orv::ie::CRW5Generator& generator);
    /// What the records cannot carry inside a text field.
    ReservedCharacters reserved;
    /// Reads a file of the format into a job (null: the format is not read).
    ReadRaw read;
    /// True when `head`, the first bytes of a file (up to 4 KiB), look like the format's first
    /// records: how an input without a known suffix is recognised.
    bool (*looksLike)(std::string_view head);
};

/// Every format, in the order of the help texts and of `convert --all`.
const std::vector<FormatEntry>& formats();
/// The format named `name` on the command line; null for an unknown name.
const FormatEntry* findFormat(const std::string& name);
/// The command-line names as a list for people: "a, b or c" with `lastJoin` " or ", or
/// "a, b, c" with ", ".
std::string formatNameList(const char* lastJoin);

/// The characters the formats named in `names` cannot carry, by kind of text: the union of
/// their rules, each character noted with the first format that reserves it.
TextRules textRulesFor(const std::vector<std::string>& names);

/// The writer of the format named `name` for `job`, writing to `output`; throws
/// HostError(kExitUsage) for an unknown name.
std::unique_ptr<FormatWriter> makeFormatWriter(const std::string& name, Job& job, Output& output);

}  // namespace exportgen
