// The slot of a virtual operation in its class's virtual table, for the tests that pin the
// order of the generators' interfaces.
//
// On the Itanium C++ ABI (GCC and clang, mingw-w64's on Windows included) a pointer to a virtual member function holds
// 1 plus the operation's byte offset in the virtual table. The virtual destructor takes two entries there (complete and
// deleting), so slot k of the interface (k >= 1, slot 0 being the deleting destructor) is table entry k + 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace testsupport {

template <class MemberFunction>
int slotOf(MemberFunction member) {
    static_assert(sizeof(MemberFunction) == 2 * sizeof(std::uintptr_t), "Itanium member pointers only");
    struct {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    } raw{};
    std::memcpy(&raw, &member, sizeof raw);
    if ((raw.pointer & 1U) == 0) return -1;  // not a virtual function
    return static_cast<int>((raw.pointer - 1) / sizeof(void*)) - 1;
}

}  // namespace testsupport
