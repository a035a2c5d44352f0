// Locale-independent number writing shared by the text services and COrvStringT::Format.
// Internal to the contracts layer.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "contracts/orv_string.h"

namespace orv::detail {

/// The largest number of decimals written: a double has at most 1074 binary fraction digits,
/// so every decimal past this one is a zero.
constexpr int kMaxDecimals = 1074;

/// Direct writing into a COrvStringT's buffer, for the number writers of this layer.
struct StringWriter {
    /// Lengthens `text` by `count` characters (left unset: the caller writes every one of
    /// them) and returns where they start.
    static wchar_t* extend(COrvStringT& text, std::size_t count) {
        const std::size_t length = text.m_length;
        if (count > std::size_t{text.m_capacity} - length) text.growForAppend(count);
        text.setLength(length + count);
        return text.data() + length;
    }
};

/// Appends the ASCII characters [first, first + count) widened to wchar_t.
inline void appendAscii(COrvStringT& out, const char* first, std::size_t count) {
    wchar_t* to = StringWriter::extend(out, count);
    for (std::size_t i = 0; i < count; ++i) to[i] = static_cast<unsigned char>(first[i]);
}

/// Appends `count` copies of `fill`.
inline void appendFill(COrvStringT& out, wchar_t fill, std::size_t count) {
    wchar_t* to = StringWriter::extend(out, count);
    for (std::size_t i = 0; i < count; ++i) to[i] = fill;
}

/// Writes `value` (finite) as printf "%.*f" does, correctly rounded, into `buffer`, which
/// must hold kFixedBufferSize characters; returns the number of characters written. A
/// negative zero result keeps its "-" here; callers decide.
constexpr std::size_t kFixedBufferSize = 1 + 309 + 1 + kMaxDecimals + 8;
std::size_t writeFixed(char* buffer, double value, int decimals) noexcept;

/// The fast case of writeFixed, the one of nearly every record value: a magnitude below 1e10
/// with 0 to 9 decimals. Writes the text backwards so that it ends just before `end` (room for
/// kShortFixedSize characters) and returns its first character; null outside the fast case.
constexpr std::size_t kShortFixedSize = 24;
char* writeFixedShort(char* end, double value, int decimals) noexcept;

/// printf-style formatting into `out` (replacing nothing: the text is appended).
void formatInto(COrvStringT& out, const wchar_t* format, std::va_list args);

}  // namespace orv::detail
