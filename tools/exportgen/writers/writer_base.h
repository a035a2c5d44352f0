// What every format writer shares: the interface the converter drives, and a base that writes
// the generators' texts, names the record being written when a character cannot be encoded,
// and composes the host's own notes (stake-out differences, level runs) for formats whose
// generators have no records for them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "job/job.h"
#include "output/output.h"

namespace exportgen {

struct FormatEntry;

class FormatWriter {
public:
    virtual ~FormatWriter() = default;
    /// The header records and the known points; called once the job's header members are read.
    virtual void begin() = 0;
    /// The records of one set-up.
    virtual void setup(const Setup& setup) = 0;
    /// The records of the job's level runs, after every set-up.
    virtual void levelRuns() = 0;
    /// A warning for the user once the job is written (empty when there is none).
    [[nodiscard]] virtual std::string warning() const { return {}; }
};

/// How often a generator stores a point's coordinates: a known point once per name, a staked
/// point each time it is staked (a second stake-out of a point stores where it landed again).
enum class Store { oncePerName, always };

class WriterBase : public FormatWriter {
protected:
    WriterBase(const FormatEntry& format, Job& job, Output& output);

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

    Job& m_job;
    Output& m_output;

private:
    [[nodiscard]] COrvStringT levelRunHead(const LevelRun& run) const;
    [[nodiscard]] COrvStringT levelReadingText(const LevelReading& reading) const;

    const char* m_format;
    std::function<std::string()> m_describe;
    const Setup* m_setup = nullptr;
    const char* m_part = "header";
    const COrvStringT* m_name = nullptr;
    std::size_t m_records = 0;
};

}  // namespace exportgen
