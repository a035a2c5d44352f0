#include "fuzz_input.h"

#include <climits>
#include <cstring>
#include <limits>

namespace fuzzing {

namespace {

using Limits = std::numeric_limits<double>;

// Doubles that survey data and failed computations bring: the no-value mark (the largest
// finite double), non-finite values, zeros of both signs, the edges of the subnormal range,
// the edges of the integer conversions, angles on the circle's seams, and magnitudes on either
// side of the fast and packed-angle paths of the number writers.
const double kNumbers[] = {
    0.0,
    -0.0,
    1.0,
    -1.0,
    0.5,
    -0.5,
    1.5,
    0.0005,
    -0.0005,
    0.00005,
    90.0,
    180.0,
    270.0,
    360.0,
    -360.0,
    359.99999999,
    400.0,
    6400.0,
    0.29,
    10.999999,
    88.5111,
    179.9999999999,
    1e-9,
    1e9,
    -1e9,
    999999999.99999,
    1e10,
    1e15,
    9007199254740993.0,
    1e19,
    18446744073709551616.0,
    2147483647.5,
    -2147483648.5,
    2147483648.0,
    6371000.0,
    -6371000.0,
    1e300,
    -1e300,
    1e308,
    Limits::max(),
    -Limits::max(),
    Limits::min(),
    -Limits::min(),
    Limits::denorm_min(),
    -Limits::denorm_min(),
    Limits::infinity(),
    -Limits::infinity(),
    Limits::quiet_NaN(),
    -Limits::quiet_NaN(),
    Limits::signaling_NaN(),
    Limits::epsilon(),
    1200.0 / 3937.0,
    0.3048,
    1013.25,
    -273.15,
    12345.6789,
};

const int kIntegers[] = {
    0,     1,       2,  3,  4,  5,  6,   7,     8,       9,           10,      11,          12,
    13,    16,      17, 18, 19, 20, 60,  64,    99,      100,         1074,    1075,        4096,
    65535, 1000000, -1, -2, -3, -4, -17, -1074, INT_MAX, INT_MAX - 1, INT_MIN, INT_MIN + 1,
};

// Characters with a meaning in one of the formats (field openers and separators, line ends,
// the name and code separators), control characters, the zero character, letters outside
// ASCII, the two surrogate halves on their own, characters outside the Basic Multilingual
// Plane, and values no Unicode text holds.
const wchar_t kCharacters[] = {
    L'A',
    L'b',
    L'1',
    L'0',
    L'9',
    L' ',
    L'_',
    L'+',
    L'*',
    L',',
    L'.',
    L'/',
    L'-',
    L'#',
    L'!',
    L'"',
    L'%',
    L'\'',
    L'(',
    L')',
    L':',
    L'\r',
    L'\n',
    L'\t',
    L'\0',
    0x01,
    0x1B,
    0x7F,
    0x80,
    0xA0,
    0xDF,
    0xE9,
    0xFF,
    0x20AC,
    0x2028,
    0xFEFF,
    0xFFFD,
    0xFFFF,
    static_cast<wchar_t>(0xD800),
    static_cast<wchar_t>(0xDBFF),
    static_cast<wchar_t>(0xDC00),
    static_cast<wchar_t>(0xDFFF),
    static_cast<wchar_t>(0x1F600),
    static_cast<wchar_t>(0x10FFFF),
    static_cast<wchar_t>(0x110000),
    static_cast<wchar_t>(0x7FFFFFFF),
    static_cast<wchar_t>(-1),
};

template <class T, std::size_t N>
constexpr std::size_t lengthOf(const T (&)[N]) noexcept {
    return N;
}

}  // namespace

std::uint8_t FuzzInput::byte() noexcept { return m_position < m_size ? m_data[m_position++] : 0; }

std::size_t FuzzInput::pick(std::size_t count) noexcept { return count == 0 ? 0 : byte() % count; }

std::uint64_t FuzzInput::raw(int bytes) noexcept {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes && i < 8; ++i) value |= static_cast<std::uint64_t>(byte()) << (8 * i);
    return value;
}

double FuzzInput::number() noexcept {
    const std::uint8_t choice = byte();
    if (choice < 200) return kNumbers[choice % lengthOf(kNumbers)];
    if (choice < 230) return static_cast<double>(static_cast<std::int16_t>(raw(2))) / 8.0;  // plain survey values
    const std::uint64_t bits = raw(8);
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int FuzzInput::integer() noexcept {
    const std::uint8_t choice = byte();
    if (choice < 220) return kIntegers[choice % lengthOf(kIntegers)];
    return static_cast<int>(static_cast<std::uint32_t>(raw(4)));
}

int FuzzInput::count(int limit) noexcept { return limit <= 0 ? 0 : static_cast<int>(byte() % (limit + 1)); }

wchar_t FuzzInput::character() noexcept {
    const std::uint8_t choice = byte();
    if (choice < 128) return static_cast<wchar_t>(choice);  // plain ASCII, control characters included
    if (choice < 240) return kCharacters[choice % lengthOf(kCharacters)];
    return static_cast<wchar_t>(static_cast<std::uint32_t>(raw(4)));
}

COrvStringT FuzzInput::text() {
    const std::uint8_t shape = byte();
    if (shape < 32) return COrvStringT();
    COrvStringT result;
    if (shape < 224) {  // a few characters, as names and codes are
        const int length = shape % 24;
        for (int i = 0; i < length; ++i) result += character();
        return result;
    }
    // A long run: one or two characters repeated, up to a few thousand.
    const int length = static_cast<int>(raw(2) % 6000);
    const wchar_t first = character();
    const wchar_t second = flag() ? character() : first;
    result.Reserve(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) result += (i % 7 == 6) ? second : first;
    return result;
}

std::vector<COrvStringT> FuzzInput::texts(int limit) {
    std::vector<COrvStringT> list(static_cast<std::size_t>(count(limit)));
    for (COrvStringT& item : list) item = text();
    return list;
}

}  // namespace fuzzing
