#include "contracts/text_services.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <limits>
#include <mutex>
#include <optional>

#include "contracts/text_format.h"

namespace {

// True when the number text holds a digit other than zero.
bool hasNonZeroDigit(const char* first, const char* last) noexcept {
    return std::any_of(first, last, [](char c) { return c >= '1' && c <= '9'; });
}

// Appends the fixed text of a finite value, without "-" when all its digits are zero.
void appendFixed(COrvStringT& out, double value, int decimals) {
    // The common case straight from a small buffer; the general conversion needs a big one.
    char text[orv::detail::kShortFixedSize];
    if (const char* first = orv::detail::writeFixedShort(text + sizeof text, value, decimals)) {
        if (*first == '-' && !hasNonZeroDigit(first, text + sizeof text)) ++first;
        orv::detail::appendAscii(out, first, static_cast<std::size_t>(text + sizeof text - first));
        return;
    }
    char buffer[orv::detail::kFixedBufferSize];
    std::size_t size = orv::detail::writeFixed(buffer, value, decimals);
    const char* first = buffer;
    if (*first == '-' && !hasNonZeroDigit(first, buffer + size)) ++first;
    orv::detail::appendAscii(out, first, static_cast<std::size_t>(buffer + size - first));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Number texts

namespace orv_formats {

void AppendDouble(COrvStringT& out, double value, int decimals) {
    if (std::isfinite(value)) appendFixed(out, value, decimals);
}

void AppendInt(COrvStringT& out, long long value) {
    char buffer[24];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    orv::detail::appendAscii(out, buffer, static_cast<std::size_t>(end - buffer));
}

COrvStringT DoubleToString(double value, int decimals) {
    COrvStringT text;
    AppendDouble(text, value, decimals);
    return text;
}

COrvStringT IntToString(int value) {
    COrvStringT text;
    AppendInt(text, value);
    return text;
}

}  // namespace orv_formats

// ---------------------------------------------------------------------------------------------
// Rounding

namespace orv::math {

namespace {

// True when |value| lies exactly half-way between two multiples of 10^-decimals: then
// value × 2 × 10^decimals is an odd integer, which for a double m × 2^e (m odd) holds exactly
// when e == -(decimals + 1), since 5^decimals × m is odd.
bool isExactTie(double value, int decimals) noexcept {
    if (value == 0.0) return false;
    int exponent = 0;
    double mantissa = std::frexp(std::fabs(value), &exponent);  // value = mantissa × 2^exponent
    auto bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
    exponent -= 53;
    while ((bits & 1U) == 0) {
        bits >>= 1;
        ++exponent;
    }
    return exponent == -(decimals + 1);
}

double parse(const char* first, const char* last) noexcept {
    double result = 0.0;
    std::from_chars(first, last, result);
    return result;
}

}  // namespace

double round_prec(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    if (decimals < 0) {
        double scale = std::pow(10.0, -static_cast<double>(decimals));  // INT_MIN too
        return std::isfinite(scale) ? std::round(value / scale) * scale : 0.0;
    }
    if (decimals >= detail::kMaxDecimals) return value;
    double magnitude = std::fabs(value);
    char buffer[detail::kFixedBufferSize + 2];
    std::size_t size = 0;
    if (isExactTie(magnitude, decimals)) {
        // The text with one decimal more is exact and ends in 5: drop it and round up.
        size = detail::writeFixed(buffer, magnitude, decimals + 1) - 1;
        std::size_t i = size;
        while (i > 0) {
            --i;
            if (buffer[i] == '.') continue;
            if (buffer[i] != '9') {
                ++buffer[i];
                break;
            }
            buffer[i] = '0';
            if (i == 0) {
                std::copy_backward(buffer, buffer + size, buffer + size + 1);
                buffer[0] = '1';
                ++size;
            }
        }
    } else {
        size = detail::writeFixed(buffer, magnitude, decimals);
    }
    double rounded = parse(buffer, buffer + size);
    return std::copysign(rounded, value);
}

int toIntSaturated(double value) noexcept {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace orv::math

// ---------------------------------------------------------------------------------------------
// Clock and short date

namespace base {

namespace {

std::mutex g_clockMutex;
std::optional<CTime> g_fixedTime;

CTime localNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
#if defined(_WIN32)
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    return CTime(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
}

}  // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second) noexcept
    : m_year(year), m_month(month), m_day(day), m_hour(hour), m_minute(minute), m_second(second) {}

CTime CTime::GetCurrentTime() {
    {
        std::lock_guard<std::mutex> lock(g_clockMutex);
        if (g_fixedTime) return *g_fixedTime;
    }
    return localNow();
}

void CTime::SetFixedCurrentTime(const CTime& time) {
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_fixedTime = time;
}

void CTime::ClearFixedCurrentTime() {
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_fixedTime.reset();
}

}  // namespace base

namespace orv::platform {

namespace {

constexpr const wchar_t* kDefaultShortDate = L"M/d/yyyy";
std::mutex g_patternMutex;
COrvStringT g_shortDatePattern(kDefaultShortDate);

// Appends `value` with at least `digits` digits.
void appendPadded(COrvStringT& out, int value, int digits) {
    const long long magnitude = value < 0 ? -static_cast<long long>(value) : value;  // INT_MIN too
    COrvStringT text;
    orv_formats::AppendInt(text, magnitude);
    if (value < 0) out += L'-';
    out += COrvStringT(L'0', digits - text.GetLength());
    out += text;
}

COrvStringT expandPattern(const COrvStringT& pattern, const base::CTime& now) {
    COrvStringT out;
    const int length = pattern.GetLength();
    for (int i = 0; i < length;) {
        wchar_t ch = pattern.GetAt(i);
        int run = 1;
        while (i + run < length && pattern.GetAt(i + run) == ch) ++run;
        if (ch == L'\'') {  // quoted literal text
            int end = pattern.Find(L'\'', i + 1);
            if (end < 0) end = length;
            out += pattern.Mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (ch == L'd') {
            appendPadded(out, now.GetDay(), run >= 2 ? 2 : 1);
        } else if (ch == L'M') {
            appendPadded(out, now.GetMonth(), run >= 2 ? 2 : 1);
        } else if (ch == L'y') {
            if (run <= 2) {
                appendPadded(out, ((now.GetYear() % 100) + 100) % 100, run);
            } else {
                appendPadded(out, now.GetYear(), 4);
            }
        } else {
            out += COrvStringT(ch, run);
        }
        i += run;
    }
    return out;
}

}  // namespace

int GetDateFormatW(unsigned long, unsigned long, const void*, const wchar_t* picture, wchar_t* buffer, int size) {
    COrvStringT pattern;
    if (picture != nullptr) {
        pattern = picture;
    } else {
        std::lock_guard<std::mutex> lock(g_patternMutex);
        pattern = g_shortDatePattern;
    }
    COrvStringT text = expandPattern(pattern, base::CTime::GetCurrentTime());
    if (buffer == nullptr || size <= text.GetLength()) return 0;
    std::copy(text.GetString(), text.GetString() + text.GetLength(), buffer);
    buffer[text.GetLength()] = L'\0';
    return text.GetLength() + 1;
}

void SetShortDatePattern(const wchar_t* pattern) {
    std::lock_guard<std::mutex> lock(g_patternMutex);
    g_shortDatePattern = pattern == nullptr ? kDefaultShortDate : pattern;
}

}  // namespace orv::platform

// ---------------------------------------------------------------------------------------------
// Angle maths

double toRange(double value, double low, double high) noexcept {
    // Most angles already lie in [0, high): the general steps below would give the value back
    // unchanged (fmod of a smaller value is that value), so skip them. -0.0 still becomes 0.
    if (low == 0.0 && value >= 0.0 && value < high && high <= std::numeric_limits<double>::max()) {
        return value + 0.0;
    }
    double width = high - low;
    if (!std::isfinite(value) || !std::isfinite(width) || !(width > 0.0)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    double offset = std::fmod(value - low, width);  // exact
    if (offset < 0.0) offset += width;
    double result = offset + low;
    if (result >= high || !std::isfinite(result)) result = low;
    return result == 0.0 ? 0.0 : result;  // no negative zero
}

double Rad2Deg(double radians, bool normalize) noexcept {
    double degrees = radians * orv::ie::kDegreesPerRadian;
    return normalize ? toRange(degrees, 0.0, 360.0) : degrees;
}

double ModDeg360(double degrees, bool) noexcept { return toRange(degrees, 0.0, 360.0); }

// ---------------------------------------------------------------------------------------------
// Report utilities

namespace orv::ie::utils {

namespace {

// 1 US survey foot is 1200/3937 m; 1 international foot is 0.3048 m.
constexpr double kUsSurveyFeetNumerator = 3937.0;
constexpr double kUsSurveyFeetDenominator = 1200.0;
constexpr double kMetresPerInternationalFoot = 0.3048;

// Units of the last written digit of a packed DMS text with `decimals` decimals (0 to 15),
// per degree: 1°, 10', 1', 10", 1", 0.1" …
constexpr std::uint64_t kPackedUnitsPerDegree[] = {
    1,        6,         60,         360,         3600,         36000,         360000,         3600000,
    36000000, 360000000, 3600000000, 36000000000, 360000000000, 3600000000000, 36000000000000, 360000000000000};
// Writes `value` as exactly `digits` decimal digits with leading zeros; returns the end.
char* writeDigits(char* out, std::uint64_t value, int digits) noexcept {
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + digits;
}

// Writes minutes (2 digits), whole seconds (2) and `secondDecimals` decimals of a second from
// `rest`, the angle's part below a degree in units of its last digit. Each case divides by a
// constant, which compiles to a multiplication: a division by a variable costs tens of cycles,
// and two angles of every observation line go through here.
template <std::uint64_t PerSecond>
char* writeMinutesSecondsIn(char* out, std::uint64_t rest, int secondDecimals) noexcept {
    constexpr std::uint64_t kPerMinute = 60 * PerSecond;
    out = writeDigits(out, rest / kPerMinute, 2);
    out = writeDigits(out, rest % kPerMinute / PerSecond, 2);
    return writeDigits(out, rest % PerSecond, secondDecimals);
}

char* writeMinutesSeconds(char* out, std::uint64_t rest, int secondDecimals) noexcept {
    switch (secondDecimals) {
        case 0:
            return writeMinutesSecondsIn<1>(out, rest, 0);
        case 1:
            return writeMinutesSecondsIn<10>(out, rest, 1);
        case 2:
            return writeMinutesSecondsIn<100>(out, rest, 2);
        case 3:
            return writeMinutesSecondsIn<1000>(out, rest, 3);
        case 4:
            return writeMinutesSecondsIn<10000>(out, rest, 4);
        case 5:
            return writeMinutesSecondsIn<100000>(out, rest, 5);
        case 6:
            return writeMinutesSecondsIn<1000000>(out, rest, 6);
        case 7:
            return writeMinutesSecondsIn<10000000>(out, rest, 7);
        case 8:
            return writeMinutesSecondsIn<100000000>(out, rest, 8);
        case 9:
            return writeMinutesSecondsIn<1000000000>(out, rest, 9);
        case 10:
            return writeMinutesSecondsIn<10000000000>(out, rest, 10);
        default:
            return writeMinutesSecondsIn<100000000000>(out, rest, 11);
    }
}

// Appends the packed degrees-minutes-seconds of a finite angle below 1e9 degrees. The digits
// are put together in a char buffer and widened into `out` in one go.
void appendPackedDms(COrvStringT& out, double degrees, int decimals) {
    // Digits past the 11th decimal of a second exceed a double's precision; they are zeros.
    constexpr int kComputed = 15;
    const int computed = std::min(decimals, kComputed);
    const std::uint64_t units = kPackedUnitsPerDegree[computed];
    const double magnitude = std::fabs(degrees);
    // Both values are non-negative and far below 2^63, so converting truncates exactly as
    // floor would, without a call of the maths library.
    auto whole = static_cast<std::uint64_t>(magnitude);
    const double fraction = magnitude - static_cast<double>(whole);
    auto rest = static_cast<std::uint64_t>(fraction * static_cast<double>(units) + 0.5);
    if (rest >= units) {  // the rounding carried into the degrees
        ++whole;
        rest -= units;
    }
    char text[40];
    char* end = text;
    if (degrees < 0.0 && (whole != 0 || rest != 0)) *end++ = '-';
    end = std::to_chars(end, text + sizeof text, whole).ptr;
    if (decimals > 0) {
        *end++ = '.';
        if (computed == 1) {
            end = writeDigits(end, rest, 1);  // tens of minutes
        } else if (computed == 2) {
            end = writeDigits(end, rest, 2);
        } else if (computed == 3) {
            end = writeDigits(end, rest / 6, 2);  // minutes, then tens of seconds
            end = writeDigits(end, rest % 6, 1);
        } else {
            end = writeMinutesSeconds(end, rest, computed - 4);
        }
    }
    orv::detail::appendAscii(out, text, static_cast<std::size_t>(end - text));
    if (decimals > computed) orv::detail::appendFill(out, L'0', static_cast<std::size_t>(decimals - computed));
}

}  // namespace

void appendReportString(COrvStringT& out, wchar_t fill, int width, bool alignRight, const COrvStringT& text,
                        bool keepLonger) {
    width = std::min(width, kMaxFieldWidth);
    const int length = text.GetLength();
    if (length > width && !keepLonger) {
        out += text.view().substr(0, static_cast<std::size_t>(std::max(width, 0)));
        return;
    }
    const auto pad = static_cast<std::size_t>(width > length ? width - length : 0);
    // The fill goes straight into `out`: no temporary text per field.
    if (alignRight) orv::detail::appendFill(out, fill, pad);
    out += text;
    if (!alignRight) orv::detail::appendFill(out, fill, pad);
}

COrvStringT getReportString(wchar_t fill, int width, bool alignRight, const COrvStringT& text, bool keepLonger) {
    COrvStringT out;
    appendReportString(out, fill, width, alignRight, text, keepLonger);
    return out;
}

double fromMetersFactor(double metres, EDistUnits units) noexcept {
    switch (units) {
        case eUSFeet:
        case eUSFeetInches:
            // Multiplying first keeps typical values exact until the one division.
            return metres * kUsSurveyFeetNumerator / kUsSurveyFeetDenominator;
        case eInternationalFeet:
        case eInternationalFeetInches:
            return metres / kMetresPerInternationalFoot;
        default:
            return metres;
    }
}

COrvStringT distByStyleToString(EDistUnits style, double metres, int decimals) {
    double value = style == eUSFeet || style == eInternationalFeet ? fromMetersFactor(metres, style) : metres;
    return orv_formats::DoubleToString(value, decimals);
}

COrvStringT angleByStyleToString(EAngleUnits style, double degrees, int decimals) {
    if (!std::isfinite(degrees)) return COrvStringT();
    switch (style) {
        case eGons:
            return orv_formats::DoubleToString(degrees * 10.0 / 9.0, decimals);
        case eMils:
            return orv_formats::DoubleToString(degrees * 160.0 / 9.0, decimals);
        case eDegMinSec:
            if (std::fabs(degrees) < 1e9) {
                // At most as many decimals as every other number text: past them all digits are zeros.
                COrvStringT text;
                appendPackedDms(text, degrees, std::clamp(decimals, 0, orv::detail::kMaxDecimals));
                return text;
            }
            return orv_formats::DoubleToString(degrees, decimals);
        default:
            return orv_formats::DoubleToString(degrees, decimals);
    }
}

COrvStringT coordsByStyleToString(ECoordsStyle, double value, int decimals, ECoordsSign) {
    return orv_formats::DoubleToString(value, decimals);
}

double fromCelsius(double celsius, ETemperatureUnits units) noexcept {
    return units == eFahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

double fromHpa(double hpa, EPressureUnits units) noexcept {
    switch (units) {
        case eMillimetresHg:
            return hpa * 0.750061683;
        case eInchesHg:
            return hpa * 0.0295299831;
        default:
            return hpa;
    }
}

double angleToDecDeg(double value, EAngleUnits units) noexcept {
    switch (units) {
        case eGons:
            return value * 9.0 / 10.0;
        case eMils:
            return value * 9.0 / 160.0;
        case eDegMinSec: {
            if (!std::isfinite(value)) return std::numeric_limits<double>::quiet_NaN();
            // A small allowance keeps 0.29 (stored as 0.28999…) at 29 minutes, not 28.
            constexpr double kAllowance = 1e-9;
            double magnitude = std::fabs(value);
            double degrees = std::floor(magnitude + kAllowance);
            double minutesText = std::max(0.0, (magnitude - degrees) * 100.0);
            double minutes = std::floor(minutesText + kAllowance);
            double seconds = std::max(0.0, (minutesText - minutes) * 100.0);
            double result = degrees + minutes / 60.0 + seconds / 3600.0;
            return value < 0.0 ? -result : result;
        }
        default:
            return value;
    }
}

int getMbcsLength(const COrvStringT& text) noexcept {
    long long bytes = 0;
    const std::wstring_view view = text.view();
    for (std::size_t i = 0; i < view.size(); ++i) {
        auto code = static_cast<std::uint32_t>(view[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            bool high = code >= 0xD800 && code <= 0xDBFF;
            if (high && i + 1 < view.size()) {
                auto next = static_cast<std::uint32_t>(view[i + 1]);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    bytes += 4;
                    ++i;
                    continue;
                }
            }
        }
        if (code < 0x80)
            bytes += 1;
        else if (code < 0x800)
            bytes += 2;
        else if (code < 0x10000 || code > 0x10FFFF)
            bytes += 3;  // an invalid code becomes U+FFFD
        else
            bytes += 4;
    }
    return static_cast<int>(std::min<long long>(bytes, INT_MAX));
}

}  // namespace orv::ie::utils
