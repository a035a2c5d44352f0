// The point-name map of the generators: the name a host gives, mapped to the name written. A
// generator keeps every name it has seen for its whole life (a target never gets a second output
// name), so a job of a million points holds a million entries: each is one block on the utility
// heap with both texts packed in it (the written name not stored again when it is the same as
// the given one), found through an open-addressing table of hashes. Names are equal when their
// characters are, code by code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "contracts/orv_string.h"

namespace orv {

class NameMap {
public:
    NameMap() noexcept = default;
    ~NameMap();
    NameMap(const NameMap&) = delete;
    NameMap& operator=(const NameMap&) = delete;

    /// True when `name` has an entry.
    [[nodiscard]] bool contains(const COrvStringT& name) const noexcept { return slotOf(name.view()) != nullptr; }
    /// The name written for `name`, in `value`; false (and `value` unchanged) when it has none.
    [[nodiscard]] bool find(const COrvStringT& name, COrvStringT& value) const;
    /// Gives `name` the entry `value` unless it has one.
    void insert(const COrvStringT& name, const COrvStringT& value);
    /// Gives `name` the entry `value`, replacing the one it had.
    void assign(const COrvStringT& name, const COrvStringT& value);
    [[nodiscard]] std::size_t size() const noexcept { return m_count; }

private:
    struct Slot {
        std::uint64_t hash;
        std::uint32_t* block;  // null: empty slot
    };

    static std::uint64_t hashOf(std::wstring_view text) noexcept;
    [[nodiscard]] Slot* slotOf(std::wstring_view name) const noexcept;
    void put(std::wstring_view name, std::wstring_view value, bool replace);
    void grow();

    Slot* m_slots = nullptr;
    std::size_t m_capacity = 0;  // a power of two, or 0
    std::size_t m_count = 0;
};

}  // namespace orv
