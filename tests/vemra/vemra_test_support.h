// Shared helpers of the Vemra family and Quolt/Pashk tests: a job with its settings, a fixed
// device clock and short date, and the virtual-table entry of a member function.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "contracts/dex_data.h"
#include "contracts/text_services.h"
#include "support/text.h"

namespace vemratest {

using namespace orv::ie;  // NOLINT(google-build-using-namespace): test helpers

/// The three data objects a generator borrows, with the units set alike in the settings
/// (which give the generator's units) and in the job (which gives the angle letter).
struct Job {
    DexSettings settings;
    DexJobInfo info;
    DexObservationInfo observation;

    explicit Job(EDistUnits dist = eMeters, EAngleUnits angle = eDegrees) {
        settings.setDistUnits(dist);
        settings.setAngleUnits(angle);
        info.setDistUnits(dist);
        info.setAngleUnits(angle);
    }
};

/// Fixes the device clock and short-date pattern for one test and restores both afterwards.
class DeviceClock {
public:
    DeviceClock(const base::CTime& now, const wchar_t* pattern) {
        base::CTime::SetFixedCurrentTime(now);
        orv::platform::SetShortDatePattern(pattern);
    }
    ~DeviceClock() {
        base::CTime::ClearFixedCurrentTime();
        orv::platform::SetShortDatePattern(nullptr);
    }
    DeviceClock(const DeviceClock&) = delete;
    DeviceClock& operator=(const DeviceClock&) = delete;
};

// GCC and clang follow the Itanium C++ ABI on Windows too (mingw-w64); Microsoft's compiler,
// and clang in its place (clang-cl), follow Microsoft's.
#if defined(__GNUC__) && !defined(_MSC_VER)
constexpr bool kItaniumAbi = true;
#else
constexpr bool kItaniumAbi = false;
#endif

/// The virtual-table entry that a pointer to a virtual member function designates, on the
/// Itanium C++ ABI (1 + the entry's byte offset in the pointer's first word); -1 when the
/// pointer does not designate a virtual function.
template <class MemberFunction>
std::ptrdiff_t vtableEntry(MemberFunction function) {
    struct Representation {
        std::uintptr_t ptr;
        std::ptrdiff_t adj;
    };
    static_assert(sizeof(MemberFunction) == sizeof(Representation), "unexpected member pointer layout");
    Representation representation{};
    std::memcpy(&representation, &function, sizeof representation);
    if ((representation.ptr & 1U) == 0) return -1;
    return static_cast<std::ptrdiff_t>((representation.ptr - 1) / sizeof(void*));
}

/// Interface slot k (slot 0 the destructor) is table entry k + 1 for k >= 1, because the
/// virtual destructor takes two entries (complete and deleting).
template <class MemberFunction>
std::ptrdiff_t slotOf(MemberFunction function) {
    const std::ptrdiff_t entry = vtableEntry(function);
    return entry < 1 ? -1 : entry - 1;
}

/// The slots of several member functions, for comparison with slotRange.
template <class... MemberFunctions>
std::vector<std::ptrdiff_t> slotsOf(MemberFunctions... functions) {
    return {slotOf(functions)...};
}

/// The slots first to last.
inline std::vector<std::ptrdiff_t> slotRange(std::ptrdiff_t first, std::ptrdiff_t last) {
    std::vector<std::ptrdiff_t> slots;
    for (std::ptrdiff_t slot = first; slot <= last; ++slot) slots.push_back(slot);
    return slots;
}

inline std::string text(const COrvStringT& value) { return testsupport::narrow(value); }

}  // namespace vemratest
