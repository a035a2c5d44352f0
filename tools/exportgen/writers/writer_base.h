// What every format writer shares: the interface the converter drives, and a base that writes
// the generators' texts, names the record being written when a character cannot be encoded,
// and composes the host's own notes (stake-out differences, level runs) for formats whose
// generators have no records for them.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/generators.h"
#include "base/record_sink.h"
#include "base/warnings.h"
#include "job/job.h"

namespace exportgen {

class FormatWriter {
public:
    virtual ~FormatWriter() = default;
    /// The header records and the known points; called once the job's header members are read.
    virtual void begin() = 0;
    /// The records of one set-up.
    virtual void setup(const Setup& setup) = 0;
    /// The records of the job's level runs, after every set-up.
    virtual void levelRuns() = 0;
    /// After the level runs: adds the warnings known only at the end (what was counted).
    virtual void end() {}
    /// What the format could not carry, as warnings.
    [[nodiscard]] virtual WarningList& warnings() = 0;
    /// The lines written so far.
    [[nodiscard]] virtual std::size_t records() const = 0;
};

/// How often a generator stores a point's coordinates: a known point once per name, a staked
/// point each time it is staked (a second stake-out of a point stores where it landed again).
enum class Store { oncePerName, always };

class WriterBase : public FormatWriter {
public:
    [[nodiscard]] WarningList& warnings() override { return m_warnings; }
    [[nodiscard]] std::size_t records() const override { return m_lines; }

protected:
    /// The writer of `generator`'s format. The job is read-only: the writers of several formats
    /// read it at once, each on its own thread.
    WriterBase(const Generator& generator, const Job& job, RecordSink& sink);

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

    /// A warning about what is written at `where` (a JSON path, or a record when empty).
    void warn(const std::string& what, const std::string& where);
    /// Observations the format has no record for, counted by measurement kind and reported once
    /// at the end with the first one's place (at once under --strict).
    void leftOut(int kind, const std::string& where);
    void end() override;

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

    /// "$.setups[3]" and "$.setups[3].shots[7]": the place of a set-up's part for a warning.
    [[nodiscard]] static std::string setupPath(const Setup& setup);
    [[nodiscard]] static std::string itemPath(const Setup& setup, const char* list, std::size_t index);

    /// The host's note on a staked point: "Stake <design>: dN … dE … dH …", the differences
    /// staked minus design in the file's distance units.
    [[nodiscard]] COrvStringT stakeText(const Stakeout& stake) const;
    /// The host's note texts of the level runs, for formats without level records: per run
    /// "Level run <name> [<description>]: start <point> EL <height>", then per reading
    /// "BS <point> rod <reading> HI <collimation>" or "FS <point> rod <reading> EL <height>",
    /// every figure in the file's distance units.
    [[nodiscard]] std::vector<COrvStringT> levelRunTexts() const;

    /// A distance of the host's notes in the units and at the precision of the file's other
    /// distances. Here metres with 4 decimals; a writer whose generator writes distances in the
    /// job's units writes its notes the same way.
    [[nodiscard]] virtual COrvStringT noteDistance(double metres) const;

    const Job& m_job;
    RecordSink& m_sink;

private:
    // The factory borrows these for the generator's whole life; each writer has its own, so that
    // nothing a generator is given is shared between threads.
    orv::ie::DexSettings m_settings;
    orv::ie::DexJobInfo m_info;
    orv::ie::DexObservationInfo m_observation;

    [[nodiscard]] COrvStringT levelRunHead(const LevelRun& run) const;
    [[nodiscard]] COrvStringT levelReadingText(const LevelReading& reading) const;

    [[noreturn]] void noGenerator() const;

    const char* m_format;
    std::function<std::string()> m_describe;
    const Setup* m_setup = nullptr;
    const char* m_part = "header";
    const COrvStringT* m_name = nullptr;
    std::size_t m_records = 0;
    std::size_t m_lines = 0;
    WarningList m_warnings;
    struct LeftOut {
        std::size_t count = 0;
        std::string first;
    };
    LeftOut m_leftOut[16];  ///< by measurement kind
    struct Hash {
        std::size_t operator()(const COrvStringT& text) const noexcept {
            return std::hash<std::wstring_view>()(text.view());
        }
    };
    std::unordered_map<COrvStringT, COrvStringT, Hash> m_writtenBy;  ///< written name -> first given name
    std::unordered_set<COrvStringT, Hash> m_reported;                ///< given names already reported
};

}  // namespace exportgen
