// COrvStringT: the wide-character string of every text that enters or leaves a generator.
//
// It knows its length (a text may hold any wchar_t, the zero character included), keeps its
// storage on the utility heap, and offers the small set of operations the records use.
// Indexes and counts are ints, as the records use them; a negative or too large index or
// count is brought into range and never reads outside the text. Lengths, indexes and counts
// are in wchar_t units: where wchar_t has 16 bits (Windows) a character outside the basic
// plane is a surrogate pair, two units, and a cut may fall between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/heap.h"

namespace orv::detail {
struct StringWriter;
}

class COrvStringT {
public:
    COrvStringT() noexcept { m_inline[0] = L'\0'; }
    COrvStringT(const COrvStringT& text) : COrvStringT() {
        if (text.onHeap()) {
            assign(text.m_heap, text.m_length);
        } else {
            copyInline(text);
        }
    }
    COrvStringT(COrvStringT&& text) noexcept : COrvStringT() { take(text); }
    /// The text up to its terminating zero; null gives the empty text.
    COrvStringT(const wchar_t* text) : COrvStringT() {  // NOLINT(google-explicit-constructor): texts convert freely
        if (text != nullptr) appendTerminated(text);
    }
    /// `count` copies of `ch`; none when `count` is 0 or less.
    COrvStringT(wchar_t ch, int count);
    /// The first `length` characters of `text` (zero characters included).
    COrvStringT(const wchar_t* text, std::size_t length) : COrvStringT() {
        if (text != nullptr) assign(text, length);
    }
    explicit COrvStringT(std::wstring_view text) : COrvStringT() { assign(text.data(), text.size()); }
    ~COrvStringT() { release(); }

    COrvStringT& operator=(const COrvStringT& text) {
        if (this == &text) return *this;
        if (!onHeap() && !text.onHeap()) {
            copyInline(text);
        } else {
            assign(text.data(), text.m_length);
        }
        return *this;
    }
    COrvStringT& operator=(COrvStringT&& text) noexcept {
        if (this != &text) {
            release();
            take(text);
        }
        return *this;
    }
    COrvStringT& operator=(const wchar_t* text);
    COrvStringT& operator=(wchar_t ch) {
        assign(&ch, 1);
        return *this;
    }

    COrvStringT& operator+=(const COrvStringT& text) {
        append(text.data(), text.m_length);
        return *this;
    }
    COrvStringT& operator+=(const wchar_t* text) {
        if (text != nullptr) appendTerminated(text);
        return *this;
    }
    COrvStringT& operator+=(wchar_t ch) {
        if (m_length == m_capacity) grow(m_length + 1);
        data()[m_length] = ch;
        data()[++m_length] = L'\0';
        return *this;
    }
    COrvStringT& operator+=(std::wstring_view text) {
        append(text.data(), text.size());
        return *this;
    }

    [[nodiscard]] int GetLength() const noexcept { return static_cast<int>(m_length); }
    [[nodiscard]] bool IsEmpty() const noexcept { return m_length == 0; }
    /// The character at `index`, or 0 outside the text.
    [[nodiscard]] wchar_t GetAt(int index) const noexcept {
        return index >= 0 && static_cast<std::size_t>(index) < m_length ? data()[index] : L'\0';
    }
    [[nodiscard]] const wchar_t* GetString() const noexcept { return data(); }
    operator const wchar_t*() const noexcept { return data(); }  // NOLINT(google-explicit-constructor)
    [[nodiscard]] std::wstring_view view() const noexcept { return {data(), m_length}; }

    /// The first `count` characters (the whole text when it is shorter, none when `count` < 1).
    [[nodiscard]] COrvStringT Left(int count) const;
    /// `count` characters from `first` (to the end when `count` is negative).
    [[nodiscard]] COrvStringT Mid(int first, int count = -1) const;

    /// Index of the first `ch` at or after `start`, -1 when there is none.
    [[nodiscard]] int Find(wchar_t ch, int start = 0) const noexcept;
    /// Index of the first occurrence of `text` at or after `start`, -1 when there is none.
    [[nodiscard]] int Find(const wchar_t* text, int start = 0) const noexcept;
    /// Index of the first character that is one of `characters`, -1 when there is none.
    [[nodiscard]] int FindOneOf(const wchar_t* characters) const noexcept;

    /// Removes `count` characters from `index`; returns the new length.
    int Delete(int index, int count = 1);
    /// Removes every `ch`; returns how many were removed. The flag is accepted and not read.
    int Remove(wchar_t ch, bool = false);
    /// Replaces every `from` by `to`; returns how many were replaced. The flag is not read.
    int Replace(wchar_t from, wchar_t to, bool = false);
    /// Upper-cases the basic Latin and Latin-1 letters in place; other characters stay.
    void MakeUpper();
    void Empty() noexcept {
        m_length = 0;
        data()[0] = L'\0';
    }

    /// 0 when equal, negative when this text orders first, positive otherwise; characters are
    /// compared by code, a shorter text orders before a longer one that starts with it.
    [[nodiscard]] int Compare(const wchar_t* text) const noexcept;
    [[nodiscard]] int Compare(const COrvStringT& text) const noexcept {
        return compareRuns(data(), m_length, text.data(), text.m_length);
    }

    /// printf-style formatting, independent of the process locale. Conversions: d i u x X
    /// (with the length modifiers h l ll), f F e E g G (double), c (wide character), s and ls
    /// (wide text), %%; flags - + blank 0 #, width and precision (also as *).
    void Format(const wchar_t* format, ...);

    /// Makes the text `length` characters long and returns its buffer for writing.
    wchar_t* GetBufferSetLength(int length);
    /// Ends a write through the buffer: the text keeps `length` characters, or runs up to its
    /// first zero character when `length` is -1.
    void ReleaseBuffer(int length = -1);

    /// Makes room for `capacity` characters without changing the text.
    void Reserve(std::size_t capacity) {
        if (capacity > m_capacity) grow(capacity);
    }

    friend bool operator==(const COrvStringT& a, const COrvStringT& b) noexcept { return a.view() == b.view(); }
    friend bool operator!=(const COrvStringT& a, const COrvStringT& b) noexcept { return !(a == b); }
    friend bool operator==(const COrvStringT& a, const wchar_t* b) noexcept { return a.Compare(b) == 0; }
    friend bool operator!=(const COrvStringT& a, const wchar_t* b) noexcept { return a.Compare(b) != 0; }

private:
    friend struct orv::detail::StringWriter;

    // Short texts (most field values and point names) live inside the object; longer ones on
    // the utility heap. The buffer always holds a terminating zero after the text.
    static constexpr std::size_t kInlineCapacity = 15;
    // Appends of a few characters are the bulk of record building: they copy character by
    // character in place, which costs less than a call of the library's block copy.
    static constexpr std::size_t kShortRun = 8;
    // A text that outgrows the inline buffer by appending is a record being built: its first
    // block holds a typical record line (256 bytes), so a line is allocated once, not three times.
    static constexpr std::size_t kFirstAppendCapacity = 63;

    [[nodiscard]] bool onHeap() const noexcept { return m_capacity != kInlineCapacity; }
    [[nodiscard]] wchar_t* data() noexcept { return onHeap() ? m_heap : m_inline; }
    [[nodiscard]] const wchar_t* data() const noexcept { return onHeap() ? m_heap : m_inline; }
    // Copies an inline text whole, buffer and all: one fixed-size copy, no length arithmetic.
    void copyInline(const COrvStringT& text) noexcept {
        m_length = text.m_length;
        for (std::size_t i = 0; i <= kInlineCapacity; ++i) m_inline[i] = text.m_inline[i];
    }
    void assign(const wchar_t* text, std::size_t length);
    void append(const wchar_t* text, std::size_t length) {
        if (length <= kShortRun && length <= std::size_t{m_capacity} - m_length) {
            // `text` lies before the end of the text if it is in this buffer: no overlap.
            wchar_t* out = data() + m_length;
            for (std::size_t i = 0; i < length; ++i) out[i] = text[i];
            setLength(m_length + length);
            return;
        }
        appendLong(text, length);
    }
    void appendLong(const wchar_t* text, std::size_t length);
    // Appends a zero-terminated text. Measured in place rather than by wcslen: for a literal,
    // once inlined, the length is a constant and the copy a few moves.
    void appendTerminated(const wchar_t* text) {
        std::size_t length = 0;
        while (text[length] != L'\0') ++length;
        append(text, length);
    }
    static std::size_t lengthOf(const wchar_t* text) noexcept;
    // The order of Compare: character codes first, then length. Written out, because point
    // names are short and differ early, and a name-map lookup compares a dozen of them: a loop
    // in place beats a library call each time.
    static int compareRuns(const wchar_t* a, std::size_t aLength, const wchar_t* b, std::size_t bLength) noexcept {
        const std::size_t common = aLength < bLength ? aLength : bLength;
        for (std::size_t i = 0; i < common; ++i) {
            if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        }
        return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
    }
    void grow(std::size_t minimum);         // reallocates to at least `minimum` characters
    void growForAppend(std::size_t count);  // makes room for `count` more characters, as appending does
    void setLength(std::size_t length) noexcept {
        m_length = static_cast<std::uint32_t>(length);
        data()[length] = L'\0';
    }
    void release() noexcept;
    // Moves `text` into this empty string.
    void take(COrvStringT& text) noexcept {
        if (text.onHeap()) {
            m_length = text.m_length;
            m_capacity = text.m_capacity;
            m_heap = text.m_heap;
            text.m_capacity = kInlineCapacity;
        } else {
            m_capacity = kInlineCapacity;
            copyInline(text);
        }
        text.m_length = 0;
        text.m_inline[0] = L'\0';
    }

    std::uint32_t m_length = 0;
    std::uint32_t m_capacity = kInlineCapacity;
    union {
        wchar_t* m_heap;
        wchar_t m_inline[kInlineCapacity + 1];
    };
};

[[nodiscard]] COrvStringT operator+(const COrvStringT& a, const COrvStringT& b);
[[nodiscard]] COrvStringT operator+(const COrvStringT& a, const wchar_t* b);
[[nodiscard]] COrvStringT operator+(const wchar_t* a, const COrvStringT& b);
[[nodiscard]] COrvStringT operator+(COrvStringT&& a, const COrvStringT& b);
[[nodiscard]] COrvStringT operator+(COrvStringT&& a, const wchar_t* b);

/// An ordered sequence of texts, as the recall list receives it.
using COrvStringTVector = std::vector<COrvStringT>;

namespace orv {

/// Strict ordering of point-name maps: COrvStringT::Compare of the keys.
struct CompareText {
    bool operator()(const COrvStringT& a, const COrvStringT& b) const noexcept { return a.Compare(b) < 0; }
};

}  // namespace orv
