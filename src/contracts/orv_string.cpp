#include "contracts/orv_string.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <limits>
#include <new>

#include "contracts/text_format.h"

namespace {

std::size_t clampIndex(int index, std::size_t size) noexcept {
    if (index <= 0) return 0;
    return std::min(static_cast<std::size_t>(index), size);
}

int indexOrMinusOne(std::size_t at) noexcept { return at == std::wstring_view::npos ? -1 : static_cast<int>(at); }

constexpr std::size_t kMaxLength = std::numeric_limits<std::uint32_t>::max() - 1;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Storage

void COrvStringT::grow(std::size_t minimum) {
    if (minimum > kMaxLength) throw std::bad_alloc();
    std::size_t capacity =
        std::max<std::size_t>(minimum, std::min<std::size_t>(2 * std::size_t{m_capacity}, kMaxLength));
    // Blocks at and above the first append size come in the classes 63, 127, 255… characters,
    // so that a record that grows a little past a class does not reallocate at once.
    if (capacity >= kFirstAppendCapacity && capacity < kMaxLength / 2) {
        std::size_t rounded = kFirstAppendCapacity;
        while (rounded < capacity) rounded = 2 * rounded + 1;
        capacity = rounded;
    }
    void* block = orv_operator_new((capacity + 1) * sizeof(wchar_t));
    if (block == nullptr) throw std::bad_alloc();
    auto* buffer = static_cast<wchar_t*>(block);
    std::wmemcpy(buffer, data(), m_length + 1);
    release();
    m_heap = buffer;
    m_capacity = static_cast<std::uint32_t>(capacity);
}

void COrvStringT::growForAppend(std::size_t count) {
    if (count > kMaxLength - m_length) throw std::bad_alloc();
    grow(std::max(m_length + count, kFirstAppendCapacity));
}

void COrvStringT::release() noexcept {
    if (onHeap()) orv_operator_delete(m_heap);
}

std::size_t COrvStringT::lengthOf(const wchar_t* text) noexcept { return text == nullptr ? 0 : std::wcslen(text); }

void COrvStringT::assign(const wchar_t* text, std::size_t length) {
    if (length > m_capacity) {
        // `text` may lie in this string's own buffer: copy it before the old buffer goes.
        COrvStringT fresh;
        fresh.grow(length);
        std::wmemcpy(fresh.data(), text, length);
        fresh.setLength(length);
        release();
        m_capacity = kInlineCapacity;
        take(fresh);
        return;
    }
    std::wmemmove(data(), text, length);
    setLength(length);
}

void COrvStringT::appendLong(const wchar_t* text, std::size_t length) {
    if (length == 0) return;
    if (length > kMaxLength - m_length) throw std::bad_alloc();
    const std::size_t total = m_length + length;
    if (total > m_capacity) {
        COrvStringT fresh;
        fresh.grow(
            std::max({total, std::min<std::size_t>(2 * std::size_t{m_capacity}, kMaxLength), kFirstAppendCapacity}));
        std::wmemcpy(fresh.data(), data(), m_length);
        std::wmemcpy(fresh.data() + m_length, text, length);  // `text` may be in the old buffer
        fresh.setLength(total);
        release();
        m_capacity = kInlineCapacity;
        take(fresh);
        return;
    }
    std::wmemmove(data() + m_length, text, length);
    setLength(total);
}

// ---------------------------------------------------------------------------------------------
// Construction and assignment

COrvStringT::COrvStringT(wchar_t ch, int count) : COrvStringT() {
    if (count <= 0) return;
    const auto length = static_cast<std::size_t>(count);
    if (length > m_capacity) grow(length);
    std::wmemset(data(), ch, length);
    setLength(length);
}

COrvStringT& COrvStringT::operator=(const wchar_t* text) {
    if (text == nullptr) {
        Empty();
    } else {
        assign(text, lengthOf(text));  // safe even when `text` points into this string
    }
    return *this;
}

// ---------------------------------------------------------------------------------------------
// Queries

COrvStringT COrvStringT::Left(int count) const { return COrvStringT(data(), clampIndex(count, m_length)); }

COrvStringT COrvStringT::Mid(int first, int count) const {
    std::size_t begin = clampIndex(first, m_length);
    std::size_t available = m_length - begin;
    std::size_t length = count < 0 ? available : std::min(available, static_cast<std::size_t>(count));
    return COrvStringT(data() + begin, length);
}

int COrvStringT::Find(wchar_t ch, int start) const noexcept {
    return indexOrMinusOne(view().find(ch, clampIndex(start, m_length)));
}

int COrvStringT::Find(const wchar_t* text, int start) const noexcept {
    if (text == nullptr) return -1;
    return indexOrMinusOne(view().find(std::wstring_view(text), clampIndex(start, m_length)));
}

int COrvStringT::FindOneOf(const wchar_t* characters) const noexcept {
    if (characters == nullptr || *characters == L'\0') return -1;
    return indexOrMinusOne(view().find_first_of(std::wstring_view(characters)));
}

int COrvStringT::Compare(const wchar_t* text) const noexcept {
    return compareRuns(data(), m_length, text == nullptr ? L"" : text, lengthOf(text));
}

// ---------------------------------------------------------------------------------------------
// Editing

int COrvStringT::Delete(int index, int count) {
    if (count > 0 && index >= 0 && static_cast<std::size_t>(index) < m_length) {
        const auto first = static_cast<std::size_t>(index);
        const std::size_t removed = std::min<std::size_t>(static_cast<std::size_t>(count), m_length - first);
        std::wmemmove(data() + first, data() + first + removed, m_length - first - removed);
        setLength(m_length - removed);
    }
    return GetLength();
}

int COrvStringT::Remove(wchar_t ch, bool) {
    wchar_t* begin = data();
    wchar_t* end = std::remove(begin, begin + m_length, ch);
    const auto removed = static_cast<int>(begin + m_length - end);
    setLength(static_cast<std::size_t>(end - begin));
    return removed;
}

int COrvStringT::Replace(wchar_t from, wchar_t to, bool) {
    int replaced = 0;
    wchar_t* text = data();
    for (std::size_t i = 0; i < m_length; ++i) {
        if (text[i] == from) {
            text[i] = to;
            ++replaced;
        }
    }
    return replaced;
}

void COrvStringT::MakeUpper() {
    wchar_t* text = data();
    for (std::size_t i = 0; i < m_length; ++i) {
        wchar_t& ch = text[i];
        bool latin = ch >= L'a' && ch <= L'z';
        bool latin1 = ch >= 0xE0 && ch <= 0xFE && ch != 0xF7;  // à..þ without the division sign
        if (latin || latin1) ch = static_cast<wchar_t>(ch - 0x20);
    }
}

void COrvStringT::Format(const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    COrvStringT result;
    orv::detail::formatInto(result, format, args);
    va_end(args);
    *this = std::move(result);
}

wchar_t* COrvStringT::GetBufferSetLength(int length) {
    const std::size_t wanted = length > 0 ? static_cast<std::size_t>(length) : 0;
    if (wanted > m_capacity) grow(wanted);
    if (wanted > m_length) std::wmemset(data() + m_length, L'\0', wanted - m_length);
    setLength(wanted);
    return data();
}

void COrvStringT::ReleaseBuffer(int length) {
    if (length < 0) {
        setLength(std::wcslen(data()));  // the buffer always ends with a zero
    } else {
        setLength(std::min(static_cast<std::size_t>(length), std::size_t{m_length}));
    }
}

// ---------------------------------------------------------------------------------------------
// Concatenation

COrvStringT operator+(const COrvStringT& a, const COrvStringT& b) {
    COrvStringT result;
    result.Reserve(static_cast<std::size_t>(a.GetLength()) + static_cast<std::size_t>(b.GetLength()));
    result += a;
    result += b;
    return result;
}

COrvStringT operator+(const COrvStringT& a, const wchar_t* b) {
    COrvStringT result(a);
    result += b;
    return result;
}

COrvStringT operator+(const wchar_t* a, const COrvStringT& b) {
    COrvStringT result(a);
    result += b;
    return result;
}

COrvStringT operator+(COrvStringT&& a, const COrvStringT& b) {
    a += b;
    return std::move(a);
}

COrvStringT operator+(COrvStringT&& a, const wchar_t* b) {
    a += b;
    return std::move(a);
}
