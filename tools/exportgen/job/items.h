// The kinds of item a job holds, and how many of each a part of the job holds: what the ledger
// of a conversion (job/ledger.h) accounts for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace exportgen {

/// Where a value of the job comes from.
enum class Origin : std::uint8_t {
    absent,    ///< nothing states it
    recorded,  ///< the input states it
    derived,   ///< worked out from what the input states
};

enum class Item : std::uint8_t {
    stationPosition,
    orientation,
    observationSlope,       ///< horizontal angle, zenith, slope distance
    observationHorizontal,  ///< horizontal angle, horizontal distance, height difference
    observationAngles,      ///< horizontal angle and zenith
    observationDirection,   ///< a horizontal angle alone
    observationDistance,    ///< a slope distance alone
    observationOther,       ///< another measurement kind
    observationUnmeasured,  ///< a sight without a measurement
    knownPoint,
    stakeout,  ///< where a stake-out landed against its design
    residual,  ///< the residuals of a resection's observation, or of its worst
    levelRun,
    code,
    controlCode,
    attribute,
    note,
    jobText,  ///< the job's name, its texts, the program that wrote it
    atmosphere,
    unit,
};
constexpr std::size_t kItems = static_cast<std::size_t>(Item::unit) + 1;

/// What the job holds of each kind: the items, and those the input recorded. A set-up holds one
/// station position and one orientation (each maybe absent) and one more orientation per
/// orientation record after the first; every other item is counted where the job has it.
struct JobCount {
    std::array<std::uint64_t, kItems> total{};
    std::array<std::uint64_t, kItems> read{};
    std::array<std::uint64_t, kItems> absent{};  ///< of the total, those nothing gives

    void add(Item item, Origin origin, std::uint64_t count = 1) {
        total[static_cast<std::size_t>(item)] += count;
        if (origin == Origin::recorded) read[static_cast<std::size_t>(item)] += count;
        if (origin == Origin::absent) absent[static_cast<std::size_t>(item)] += count;
    }
    void add(const JobCount& other) {
        for (std::size_t i = 0; i < kItems; ++i) {
            total[i] += other.total[i], read[i] += other.read[i], absent[i] += other.absent[i];
        }
    }
    [[nodiscard]] std::uint64_t of(Item item) const { return total[static_cast<std::size_t>(item)]; }
};

}  // namespace exportgen
