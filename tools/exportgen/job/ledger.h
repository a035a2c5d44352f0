// The account of a conversion. For each kind of item a job holds (station positions,
// orientations, observations by measurement kind, known points, ...) it counts the items in the
// job and what the input recorded of them, and for each output what became of every one:
// written as recorded, written as derived, written as the format's no-value, or left out. The
// four add up to the items in the job; a kind left out or written as derived has had its
// warning.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "job/job.h"

namespace exportgen {

/// The kind's name in the ledger's JSON ("stationPositions").
const char* itemKey(Item item);
/// The kind for people, in the singular and the plural ("station position").
const char* itemName(Item item, std::size_t count);
/// The observation kind of a measurement kind (Observation::kUnmeasured for none).
Item observationItem(int measurementKind);

enum class Fate : std::uint8_t { recorded, derived, noValue, leftOut };
constexpr std::size_t kFates = 4;

/// The items of the job's header: its texts, atmosphere, units and known points.
void countHeader(const Job& job, JobCount& count);
/// The items of one set-up.
void countSetup(const Setup& setup, JobCount& count);
/// The items of the job's level runs.
void countLevelRuns(const Job& job, JobCount& count);
/// The codes, control codes and attributes of a code list.
void countCodes(const orv::ie::DexCodesDataInterface& codes, JobCount& count);

/// What one output made of each kind.
class Ledger {
public:
    struct Entry {
        std::array<std::uint64_t, kFates> fates{};
        std::string firstDerived;  ///< where the first derived item was written
        std::string firstLeftOut;  ///< where the first item was left out
        std::string firstNoValue;  ///< where the first item was written as no-value
        /// Of the items written as no-value, those the format has no field for: nothing was
        /// written and nothing lost (an unknown position in a format without coordinates).
        std::uint64_t silent = 0;
        [[nodiscard]] std::uint64_t count(Fate fate) const { return fates[static_cast<std::size_t>(fate)]; }
        [[nodiscard]] std::uint64_t sum() const { return fates[0] + fates[1] + fates[2] + fates[3]; }
    };

    /// One item of `item` written with `fate`; `where` is asked for the first of each fate that
    /// is worth a warning.
    template <class Where>
    void add(Item item, Fate fate, const Where& where, std::uint64_t count = 1) {
        Entry& entry = m_entries[static_cast<std::size_t>(item)];
        if (fate == Fate::derived && entry.count(fate) == 0) entry.firstDerived = where();
        if (fate == Fate::leftOut && entry.count(fate) == 0) entry.firstLeftOut = where();
        if (fate == Fate::noValue && entry.count(fate) == entry.silent) entry.firstNoValue = where();
        entry.fates[static_cast<std::size_t>(fate)] += count;
    }
    /// Absent items of a kind the format has no field for: counted as no-value, without a word.
    void silent(Item item, std::uint64_t count) {
        Entry& entry = m_entries[static_cast<std::size_t>(item)];
        entry.fates[static_cast<std::size_t>(Fate::noValue)] += count;
        entry.silent += count;
    }
    /// An item written as it is: recorded or derived by its origin, no-value when absent.
    template <class Where>
    void written(Item item, Origin origin, const Where& where) {
        add(item,
            origin == Origin::recorded  ? Fate::recorded
            : origin == Origin::derived ? Fate::derived
                                        : Fate::noValue,
            where);
    }
    [[nodiscard]] const Entry& entry(Item item) const { return m_entries[static_cast<std::size_t>(item)]; }

private:
    std::array<Entry, kItems> m_entries{};
};

}  // namespace exportgen
