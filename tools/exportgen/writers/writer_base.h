// What every format writer shares: the interface the pipeline drives, and a base that writes
// the generators' texts, names the record being written when a character cannot be encoded,
// keeps the ledger of what became of every item of the job, and composes the host's own notes
// (stake-out differences, level runs) for formats whose generators have no records for them.
//
// The ledger: a writer says what it wrote of each item, as recorded, as derived or as its
// format's no-value (wrote()), or what it left out and why (leftOut()). What a part of the job
// (the header, a set-up, the level runs) holds and the writer did not account for is left out
// because the format does not carry it (notCarried()). At the end each kind written as derived,
// as no-value or left out has one warning.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/generators.h"
#include "base/record_sink.h"
#include "base/warnings.h"
#include "job/job.h"
#include "job/ledger.h"

namespace exportgen {

class FormatWriter {
public:
    virtual ~FormatWriter() = default;
    /// The header records and the known points; called once the job's header is read.
    virtual void begin() = 0;
    /// The records of one set-up.
    virtual void setup(const Setup& setup) = 0;
    /// The records of the job's level runs, after every set-up.
    virtual void levelRuns() = 0;
    /// After the level runs: adds the warnings known only at the end (what was counted).
    virtual void end() = 0;
    /// What the format could not carry, as warnings.
    [[nodiscard]] virtual WarningList& warnings() = 0;
    /// The lines written so far.
    [[nodiscard]] virtual std::size_t records() const = 0;
    /// What became of each item of the job.
    [[nodiscard]] virtual const Ledger& ledger() const = 0;
};

/// How a writer names a place of the input in a warning ("field.rw5:12"); null for a job file,
/// whose places are named by their JSON paths.
using PlaceNamer = std::function<std::string(const Place& at)>;

/// How often a generator stores a point's coordinates: a known point once per name, a staked
/// point each time it is staked (a second stake-out of a point stores where it landed again).
enum class Store { oncePerName, always };

/// Whether a format that books horizontal angles as circle readings, from 0 up to 360 degrees,
/// must bring `m` round: its horizontal angle is an angle turned to the left (negative). The
/// no-value and non-finite values stay what they are.
[[nodiscard]] bool needsCircleReading(const orv::ie::DexTSRawMeasurement* m) noexcept;
/// `m` with its horizontal angle read clockwise from zero: -30 is 330.
[[nodiscard]] orv::ie::DexTSRawMeasurement asCircleReading(const orv::ie::DexTSRawMeasurement& m);

/// `sight` as such a format writes it: itself when its angle is a circle reading already, else a
/// copy in `scratch` with the angle brought round.
template <class Sight>
const Sight& withCircleReading(const Sight& sight, Sight& scratch) {
    if (!needsCircleReading(sight.measurement())) return sight;
    scratch = sight;
    scratch.setMeasurement(asCircleReading(*sight.measurement()));
    return scratch;
}

/// Whether a point's codes say more than one code name: a second code, or a control code.
[[nodiscard]] bool codesSayMore(const orv::ie::DexCodesDataInterface& codes) noexcept;
/// A point's codes as one description, as a field book writes them: each code's name and its
/// control codes in order, joined by single blanks ("TREE OAK 12 SPREAD 8").
[[nodiscard]] COrvStringT codesDescription(const orv::ie::DexCodesDataInterface& codes);
/// `codes` as one code named by their description, which carries every code's attributes in
/// order: what a format that writes the first code of a point writes of them all.
[[nodiscard]] orv::ie::DexCodesDataInterface codesAsOne(const orv::ie::DexCodesDataInterface& codes);

class WriterBase : public FormatWriter {
public:
    /// The reason an observation is left out when its measurement kind has no record.
    static constexpr const char* kNoRecord = "no record in this format";

    void begin() final;
    void setup(const Setup& setup) final;
    void levelRuns() final;
    void end() final;
    [[nodiscard]] WarningList& warnings() override { return m_warnings; }
    [[nodiscard]] std::size_t records() const override { return m_lines; }
    [[nodiscard]] const Ledger& ledger() const override { return m_ledger; }
    /// How places of the input are named in warnings; before begin().
    void setPlaceNamer(PlaceNamer namer) { m_namer = std::move(namer); }

protected:
    /// The writer of `generator`'s format. The job is read-only: the writers of several formats
    /// read it at once, each on its own thread.
    WriterBase(const Generator& generator, const Job& job, RecordSink& sink);

    virtual void writeHeader() = 0;
    virtual void writeSetup(const Setup& setup) = 0;
    virtual void writeLevelRuns() = 0;
    virtual void writeEnd() {}
    /// Why the format leaves out the items of `item` that it has no place for.
    [[nodiscard]] virtual const char* notCarried(Item item) const;

    /// What the format's factory is given: the writer's own copies of the job's settings,
    /// information and observation (the RW5 family ignores the observation).
    [[nodiscard]] GeneratorInputs factoryInputs();
    /// `generator`, which the format's factory made; HostError(kExitInternal) when it made none.
    template <class Generator>
    [[nodiscard]] Generator* created(Generator* generator) const {
        if (generator == nullptr) noGenerator();
        return generator;
    }

    /// Writes a text as the generator returned it; an empty text writes nothing.
    void emit(const COrvStringT& text);
    /// Writes a record that carries no line end, ended with "\r\n".
    void line(COrvStringT text);

    /// The part of the job being written, for the context of an encoding error.
    void at(const char* part, const COrvStringT* name);
    void atSetup(const Setup& setup);
    /// Leaves the set-ups: the level runs follow.
    void atLevelRuns(const COrvStringT* name);

    /// "rw5 record 12 (set-up 3 at "S1", observation to "P7")".
    [[nodiscard]] std::string describe() const;
    /// The output line of the character at `at` of the text being written, in the same terms:
    /// "rw5 line 4 (set-up 0 at "S1", station "S1")".
    [[nodiscard]] std::string describeLine(std::size_t at) const;
    /// " (set-up 3 at "S1", observation to "P7")": where in the job the writer is.
    [[nodiscard]] std::string context() const;

    /// A warning about what is written at `where` (a place, or a record when empty).
    void warn(const std::string& what, const std::string& where);

    // ---- the ledger

    using Where = std::function<std::string()>;
    /// An item written as it is: recorded or derived by its origin, as no-value when absent.
    void wrote(Item item, Origin origin, const Where& where, std::uint64_t count = 1);
    /// An item written with `fate`.
    void wrote(Item item, Fate fate, const Where& where, std::uint64_t count = 1);
    /// An item left out, with the reason ("its orientation is unknown"): one warning per kind and
    /// reason at the end, with the first one's place (at once under --strict).
    void leftOut(Item item, const char* reason, const Where& where, std::uint64_t count = 1);
    /// An observation written, or left out when its kind has no record in this format.
    void observationWritten(const Observation& obs, const Where& where);
    /// The codes, control codes and attributes of `codes`, each written or left out.
    void codesWritten(const orv::ie::DexCodesDataInterface& codes, bool controlCodes, bool attributes,
                      const Where& where);
    /// Whether a format with a single code field writes `codes` as one description
    /// (codesDescription): the input wrote them as one text, which says more than one code.
    [[nodiscard]] bool writtenAsDescription(const orv::ie::DexCodesDataInterface& codes) const noexcept {
        return m_job.codesAsText && codesSayMore(codes);
    }
    /// A note written, when it has a text.
    void noteWritten(const COrvStringT& note, const Where& where);

    /// A point name `given` that the file holds as `written` (cut to its field, or changed by the
    /// generator's own rules): reported once per name, and so are two names written as one.
    /// `registerAsIs`: a name written unchanged also claims its text (a name exactly as wide as
    /// a field that cuts the others), so that a later cut name meeting it is reported.
    /// `where` gives the place, asked only for a warning.
    void watchName(const COrvStringT& given, const COrvStringT& written, const char* why, bool registerAsIs,
                   const std::function<std::string()>& where);

    /// Whether some name was written otherwise than given: until then a name written as given
    /// needs no check.
    [[nodiscard]] bool namesChanged() const noexcept { return !m_writtenBy.empty(); }

    /// The place of a set-up or of its part for a warning: "$.setups[3]" and
    /// "$.setups[3].shots[7]" for a job file, the input's line for a raw file.
    [[nodiscard]] std::string setupPath(const Setup& setup) const;
    [[nodiscard]] std::string itemPath(const Setup& setup, const char* list, std::size_t index,
                                       const Place& place) const;
    [[nodiscard]] std::string itemPath(const Setup& setup, const char* list, std::size_t index) const;
    /// The place of a level reading for a warning: "$.levelRuns[0].readings[2]", or its line.
    [[nodiscard]] std::string readingPath(std::size_t run, std::size_t reading, const Place& place) const;

    /// The host's note on a staked point: "Stake <design>: dN … dE … dH …", the differences
    /// staked minus design in the file's distance units; a figure that is unknown reads
    /// "unknown" ("dH unknown" for a point staked in plan only).
    [[nodiscard]] COrvStringT stakeText(const Stakeout& stake) const;
    /// The host's note texts of one level run, for formats without level records: per run
    /// "Level run <name> [<description>]: start <point> EL <height>", then per reading
    /// "BS <point> rod <reading> HI <collimation>" or "FS <point> rod <reading> EL <height>",
    /// every figure in the file's distance units; a height that is unknown is left out of its
    /// text.
    [[nodiscard]] std::vector<COrvStringT> levelRunTexts(const LevelRun& run) const;
    /// The level runs as the host's notes, each run accounted for.
    void levelRunNotes(const std::function<void(const COrvStringT&)>& write);

    /// A distance of the host's notes in the units and at the precision of the file's other
    /// distances. Here metres with 4 decimals; a writer whose generator writes distances in the
    /// job's units writes its notes the same way.
    [[nodiscard]] virtual COrvStringT noteDistance(double metres) const;

    const Job& m_job;
    RecordSink& m_sink;

private:
    [[nodiscard]] COrvStringT levelRunHead(const LevelRun& run) const;
    [[nodiscard]] COrvStringT levelReadingText(const LevelReading& reading) const;
    /// What the part counted holds and the writer did not account for is left out.
    void settle(const JobCount& part, const Where& where);
    void account(Item item, std::uint64_t count);

    [[noreturn]] void noGenerator() const;

    // The factory borrows these for the generator's whole life; each writer has its own, so that
    // nothing a generator is given is shared between threads.
    orv::ie::DexSettings m_settings;
    orv::ie::DexJobInfo m_info;
    orv::ie::DexObservationInfo m_observation;

    const char* m_format;
    RecordSink::Describe m_describe;
    const COrvStringT* m_emitting = nullptr;  ///< the text being handed to the sink
    PlaceNamer m_namer;
    const Setup* m_setup = nullptr;
    const char* m_part = "header";
    const COrvStringT* m_name = nullptr;
    std::size_t m_records = 0;
    std::size_t m_lines = 0;
    WarningList m_warnings;
    Ledger m_ledger;
    std::array<std::uint64_t, kItems> m_accounted{};  ///< in the part being written
    struct Omission {
        Item item;
        const char* reason;
        std::uint64_t count = 0;
        std::string first;
    };
    std::vector<Omission> m_omissions;  ///< left out, by kind and reason
    struct Hash {
        std::size_t operator()(const COrvStringT& text) const noexcept {
            return std::hash<std::wstring_view>()(text.view());
        }
    };
    std::unordered_map<COrvStringT, COrvStringT, Hash> m_writtenBy;  ///< written name -> first given name
    std::unordered_set<COrvStringT, Hash> m_reported;                ///< given names already reported
};

}  // namespace exportgen
