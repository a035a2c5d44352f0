#include "contracts/text_format.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace orv::detail {

namespace {

// "00" to "99": two digits are written per division by 100.
constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// Writes the two lowest digits of `value` before `first`; returns the new first character.
char* putPair(char* first, std::uint64_t value) noexcept {
    const char* pair = kDigitPairs + 2 * (value % 100);
    *--first = pair[1];
    *--first = pair[0];
    return first;
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
#endif

}  // namespace

// The common case of the records: a magnitude below 1e10 with at most 9 decimals. The value is
// m × 2^e exactly; m × 10^decimals fits in 128 bits, so shifting it right by -e and looking at
// the bits shifted out rounds exactly as printf does (to nearest, an exact half to even).
char* writeFixedShort(char* end, double value, int decimals) noexcept {
#if defined(__SIZEOF_INT128__)
    if (decimals < 0 || decimals > 9 || !(std::fabs(value) < 1e10)) return nullptr;
    // m and e straight from the bits of the double (a subnormal has no implicit leading 1).
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased != 0) mantissa |= std::uint64_t{1} << 52;
    const int shift = biased != 0 ? 1075 - biased : 1074;  // magnitude = mantissa × 2^-shift
    const Wide scaled = static_cast<Wide>(mantissa) * kPowersOfTen[decimals];
    std::uint64_t digits = 0;
    if (shift <= 0) {
        digits = static_cast<std::uint64_t>(scaled << -shift);
    } else if (shift < 128) {
        digits = static_cast<std::uint64_t>(scaled >> shift);
        const Wide rest = scaled & ((static_cast<Wide>(1) << shift) - 1);
        const Wide half = static_cast<Wide>(1) << (shift - 1);
        if (rest > half || (rest == half && (digits & 1U) != 0)) ++digits;
    }  // else: far below half a unit of the last decimal, so it rounds to 0

    // The digits from the last decimal backwards, two at a time: the decimals, the point, then
    // the integer digits (at least one).
    char* first = end;
    int decimalsLeft = decimals;
    for (; decimalsLeft >= 2; decimalsLeft -= 2) {
        first = putPair(first, digits);
        digits /= 100;
    }
    if (decimalsLeft == 1) {
        *--first = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    if (decimals > 0) *--first = '.';
    for (; digits >= 100; digits /= 100) first = putPair(first, digits);
    if (digits >= 10) {
        first = putPair(first, digits);
    } else {
        *--first = static_cast<char>('0' + digits);
    }
    if ((bits >> 63) != 0) *--first = '-';
    return first;
#else
    (void)end;
    (void)value;
    (void)decimals;
    return nullptr;
#endif
}

std::size_t writeFixed(char* buffer, double value, int decimals) noexcept {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    char text[kShortFixedSize];
    if (const char* first = writeFixedShort(text + sizeof text, value, decimals)) {
        const auto size = static_cast<std::size_t>(text + sizeof text - first);
        std::memcpy(buffer, first, size);
        return size;
    }
    auto result = std::to_chars(buffer, buffer + kFixedBufferSize, value, std::chars_format::fixed, decimals);
    return static_cast<std::size_t>(result.ptr - buffer);
}

namespace {

// One parsed conversion of a format text: flags, width, precision, length and letter.
struct Spec {
    bool left = false;
    bool plus = false;
    bool blank = false;
    bool zero = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;  // -1: none given
    int length = 0;      // 0 none, 1 h, 2 l, 3 ll
    wchar_t conversion = 0;
};

int readNumber(const wchar_t*& p) {
    long long n = 0;
    while (*p >= L'0' && *p <= L'9') {
        n = std::min<long long>(n * 10 + (*p - L'0'), INT_MAX);
        ++p;
    }
    return static_cast<int>(n);
}

// Pads `body` (with its sign or prefix in the first `prefixLength` characters) to the width.
void appendPadded(COrvStringT& out, const Spec& spec, const char* body, std::size_t size, std::size_t prefixLength,
                  bool zeroAllowed) {
    std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    std::size_t pad = width > size ? width - size : 0;
    if (spec.left) {
        appendAscii(out, body, size);
        appendFill(out, L' ', pad);
    } else if (spec.zero && zeroAllowed) {
        appendAscii(out, body, prefixLength);
        appendFill(out, L'0', pad);
        appendAscii(out, body + prefixLength, size - prefixLength);
    } else {
        appendFill(out, L' ', pad);
        appendAscii(out, body, size);
    }
}

char signCharacter(bool negative, const Spec& spec) {
    if (negative) return '-';
    if (spec.plus) return '+';
    if (spec.blank) return ' ';
    return 0;
}

void formatInteger(COrvStringT& out, const Spec& spec, std::uintmax_t magnitude, bool negative) {
    char buffer[96];
    char* p = buffer;
    char sign = spec.conversion == L'u' || spec.conversion == L'x' || spec.conversion == L'X'
                    ? 0
                    : signCharacter(negative, spec);
    if (sign != 0) *p++ = sign;
    if (spec.alternate && magnitude != 0 && (spec.conversion == L'x' || spec.conversion == L'X')) {
        *p++ = '0';
        *p++ = static_cast<char>(spec.conversion);
    }
    std::size_t prefix = static_cast<std::size_t>(p - buffer);
    int base = spec.conversion == L'x' || spec.conversion == L'X' ? 16 : 10;
    char digits[64];
    // The decimal conversion has its own, faster form: use it for the common base.
    auto end = base == 10 ? std::to_chars(digits, digits + sizeof digits, magnitude).ptr
                          : std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr;
    std::size_t count = static_cast<std::size_t>(end - digits);
    if (spec.precision == 0 && magnitude == 0) count = 0;
    if (spec.conversion == L'X')
        std::transform(digits, digits + count, digits,
                       [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
    std::size_t minimum = spec.precision > 0 ? std::min<std::size_t>(static_cast<std::size_t>(spec.precision), 40) : 0;
    for (std::size_t i = count; i < minimum; ++i) *p++ = '0';
    p = std::copy(digits, digits + count, p);
    appendPadded(out, spec, buffer, static_cast<std::size_t>(p - buffer), prefix, spec.precision < 0);
}

void formatFloating(COrvStringT& out, const Spec& spec, double value) {
    char local[kFixedBufferSize + 16];
    char* p = local;
    bool negative = std::signbit(value);
    char sign = signCharacter(negative, spec);
    if (sign != 0) *p++ = sign;
    std::size_t prefix = static_cast<std::size_t>(p - local);
    bool upper = spec.conversion == L'F' || spec.conversion == L'E' || spec.conversion == L'G';
    double magnitude = std::fabs(value);
    if (!std::isfinite(value)) {
        const char* text = std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        p = std::copy(text, text + 3, p);
        appendPadded(out, spec, local, static_cast<std::size_t>(p - local), prefix, false);
        return;
    }
    int precision = spec.precision < 0 ? 6 : std::min(spec.precision, kMaxDecimals);
    std::chars_format style = std::chars_format::fixed;
    if (spec.conversion == L'e' || spec.conversion == L'E') style = std::chars_format::scientific;
    if (spec.conversion == L'g' || spec.conversion == L'G') style = std::chars_format::general;
    char* limit = local + sizeof local;
    p = std::to_chars(p, limit, magnitude, style, precision).ptr;
    if (upper)
        std::transform(local + prefix, p, local + prefix,
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    if (spec.alternate && precision == 0 && style == std::chars_format::fixed && p < limit) *p++ = '.';
    appendPadded(out, spec, local, static_cast<std::size_t>(p - local), prefix, true);
}

void formatText(COrvStringT& out, const Spec& spec, const wchar_t* text) {
    if (text == nullptr) text = L"(null)";
    std::size_t size = std::wcslen(text);
    if (spec.precision >= 0) size = std::min(size, static_cast<std::size_t>(spec.precision));
    std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    std::size_t pad = width > size ? width - size : 0;
    if (!spec.left) appendFill(out, L' ', pad);
    out += std::wstring_view(text, size);
    if (spec.left) appendFill(out, L' ', pad);
}

// Parses the conversion after a "%"; returns false for an unknown one.
bool parseSpec(const wchar_t*& p, Spec& spec, std::va_list& args) {
    for (;; ++p) {
        if (*p == L'-')
            spec.left = true;
        else if (*p == L'+')
            spec.plus = true;
        else if (*p == L' ')
            spec.blank = true;
        else if (*p == L'0')
            spec.zero = true;
        else if (*p == L'#')
            spec.alternate = true;
        else
            break;
    }
    if (*p == L'*') {
        ++p;
        int width = va_arg(args, int);
        if (width < 0) {
            spec.left = true;
            width = width == INT_MIN ? INT_MAX : -width;
        }
        spec.width = width;
    } else {
        spec.width = readNumber(p);
    }
    if (*p == L'.') {
        ++p;
        if (*p == L'*') {
            ++p;
            int precision = va_arg(args, int);
            spec.precision = precision < 0 ? -1 : precision;
        } else {
            spec.precision = readNumber(p);
        }
    }
    // Widths past a screenful are clamped, so a hostile format cannot ask for gigabytes.
    spec.width = std::min(spec.width, 4096);
    while (*p == L'h' || *p == L'l') {
        spec.length = *p == L'h' ? 1 : spec.length + 2;
        ++p;
    }
    spec.conversion = *p;
    switch (spec.conversion) {
        case L'd':
        case L'i':
        case L'u':
        case L'x':
        case L'X':
        case L'c':
        case L's':
        case L'f':
        case L'F':
        case L'e':
        case L'E':
        case L'g':
        case L'G':
            return true;
        default:
            return false;
    }
}

void formatOne(COrvStringT& out, const Spec& spec, std::va_list& args) {
    switch (spec.conversion) {
        case L'd':
        case L'i': {
            long long v = spec.length >= 4   ? va_arg(args, long long)
                          : spec.length >= 2 ? va_arg(args, long)
                                             : va_arg(args, int);
            if (spec.length == 1) v = static_cast<short>(v);
            std::uintmax_t magnitude = v < 0 ? 0 - static_cast<std::uintmax_t>(v) : static_cast<std::uintmax_t>(v);
            formatInteger(out, spec, magnitude, v < 0);
            break;
        }
        case L'u':
        case L'x':
        case L'X': {
            unsigned long long v = spec.length >= 4   ? va_arg(args, unsigned long long)
                                   : spec.length >= 2 ? va_arg(args, unsigned long)
                                                      : va_arg(args, unsigned int);
            if (spec.length == 1) v = static_cast<unsigned short>(v);
            formatInteger(out, spec, v, false);
            break;
        }
        case L'c': {
            wchar_t text[2] = {static_cast<wchar_t>(va_arg(args, int)), L'\0'};
            Spec plain = spec;
            plain.precision = 1;
            if (text[0] == L'\0') {
                out += L'\0';
            } else {
                formatText(out, plain, text);
            }
            break;
        }
        case L's':
            formatText(out, spec, va_arg(args, const wchar_t*));
            break;
        default:
            formatFloating(out, spec, va_arg(args, double));
            break;
    }
}

}  // namespace

void formatInto(COrvStringT& out, const wchar_t* format, std::va_list args) {
    if (format == nullptr) return;
    std::va_list local;
    va_copy(local, args);
    const wchar_t* p = format;
    while (*p != L'\0') {
        const wchar_t* literal = p;
        while (*p != L'\0' && *p != L'%') ++p;
        out += std::wstring_view(literal, static_cast<std::size_t>(p - literal));
        if (*p == L'\0') break;
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        Spec spec;
        if (!parseSpec(p, spec, local)) {
            // An unknown conversion is written as it stands and consumes no argument.
            if (*p != L'\0') ++p;
            out += std::wstring_view(start, static_cast<std::size_t>(p - start));
            continue;
        }
        ++p;
        formatOne(out, spec, local);
    }
    va_end(local);
}

}  // namespace orv::detail
