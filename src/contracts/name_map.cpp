#include "contracts/name_map.h"

#include <cstring>
#include <limits>
#include <new>

#include "contracts/heap.h"

namespace orv {

namespace {

// A block: the given name's length, the written name's length (kSame when it is the given
// name), then the characters of both.
constexpr std::uint32_t kSame = std::numeric_limits<std::uint32_t>::max();

std::wstring_view keyOf(const std::uint32_t* block) noexcept {
    return {reinterpret_cast<const wchar_t*>(block + 2), block[0]};
}

std::wstring_view valueOf(const std::uint32_t* block) noexcept {
    if (block[1] == kSame) return keyOf(block);
    return {reinterpret_cast<const wchar_t*>(block + 2) + block[0], block[1]};
}

void* allocate(std::size_t bytes) {
    void* memory = orv_operator_new(bytes);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

std::uint32_t* makeBlock(std::wstring_view key, std::wstring_view value) {
    if (key.size() >= kSame || value.size() >= kSame) throw std::bad_alloc();
    const bool same = key == value;
    const std::size_t characters = key.size() + (same ? 0 : value.size());
    auto* block = static_cast<std::uint32_t*>(allocate(2 * sizeof(std::uint32_t) + characters * sizeof(wchar_t)));
    block[0] = static_cast<std::uint32_t>(key.size());
    block[1] = same ? kSame : static_cast<std::uint32_t>(value.size());
    auto* text = reinterpret_cast<wchar_t*>(block + 2);
    if (!key.empty()) std::memcpy(text, key.data(), key.size() * sizeof(wchar_t));
    if (!same && !value.empty()) std::memcpy(text + key.size(), value.data(), value.size() * sizeof(wchar_t));
    return block;
}

}  // namespace

NameMap::~NameMap() {
    for (std::size_t i = 0; i < m_capacity; ++i) orv_operator_delete(m_slots[i].block);
    orv_operator_delete(m_slots);
}

std::uint64_t NameMap::hashOf(std::wstring_view text) noexcept {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the character codes
    for (const wchar_t ch : text) {
        hash ^= static_cast<std::uint32_t>(ch);
        hash *= 1099511628211ULL;
    }
    return hash;
}

NameMap::Slot* NameMap::slotOf(std::wstring_view name) const noexcept {
    if (m_count == 0) return nullptr;
    const std::uint64_t hash = hashOf(name);
    for (std::size_t i = hash & (m_capacity - 1);; i = (i + 1) & (m_capacity - 1)) {
        Slot& slot = m_slots[i];
        if (slot.block == nullptr) return nullptr;
        if (slot.hash == hash && keyOf(slot.block) == name) return &slot;
    }
}

bool NameMap::find(const COrvStringT& name, COrvStringT& value) const {
    const Slot* slot = slotOf(name.view());
    if (slot == nullptr) return false;
    value = COrvStringT(valueOf(slot->block));
    return true;
}

void NameMap::insert(const COrvStringT& name, const COrvStringT& value) { put(name.view(), value.view(), false); }

void NameMap::assign(const COrvStringT& name, const COrvStringT& value) { put(name.view(), value.view(), true); }

void NameMap::put(std::wstring_view name, std::wstring_view value, bool replace) {
    if (Slot* slot = slotOf(name)) {
        if (!replace) return;
        std::uint32_t* block = makeBlock(name, value);
        orv_operator_delete(slot->block);
        slot->block = block;
        return;
    }
    if (2 * (m_count + 1) > m_capacity) grow();  // at most half full, so probes stay short
    std::uint32_t* block = makeBlock(name, value);
    const std::uint64_t hash = hashOf(name);
    std::size_t i = hash & (m_capacity - 1);
    while (m_slots[i].block != nullptr) i = (i + 1) & (m_capacity - 1);
    m_slots[i] = {hash, block};
    ++m_count;
}

void NameMap::grow() {
    const std::size_t capacity = m_capacity == 0 ? 16 : 2 * m_capacity;
    if (capacity > std::numeric_limits<std::size_t>::max() / sizeof(Slot)) throw std::bad_alloc();
    auto* slots = static_cast<Slot*>(allocate(capacity * sizeof(Slot)));
    for (std::size_t i = 0; i < capacity; ++i) slots[i] = {0, nullptr};
    for (std::size_t j = 0; j < m_capacity; ++j) {
        if (m_slots[j].block == nullptr) continue;
        std::size_t i = m_slots[j].hash & (capacity - 1);
        while (slots[i].block != nullptr) i = (i + 1) & (capacity - 1);
        slots[i] = m_slots[j];
    }
    orv_operator_delete(m_slots);
    m_slots = slots;
    m_capacity = capacity;
}

}  // namespace orv
