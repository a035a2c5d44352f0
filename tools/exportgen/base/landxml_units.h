// The units of LandXML as both its reader and its writer see them: the names of its linear and
// angular units, their factors, and the packed degrees-minutes-seconds angle ("decimal
// dd.mm.ss": 89.24114876 is 89 degrees 24 minutes 11.4876 seconds).
//
// Angles are the instrument's: a horizontal angle is the clockwise circle reading, and an
// azimuth runs clockwise from north, in writing and in reading.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace exportgen::landxml {

/// Metres per US survey foot and per international foot.
constexpr double kUsFoot = 1200.0 / 3937.0;
constexpr double kFoot = 0.3048;

/// The angular units LandXML names. A file that names none is in radians.
enum class Angular { radians, grads, decimalDegrees, packedDms };

[[nodiscard]] inline const char* angularName(Angular unit) noexcept {
    switch (unit) {
        case Angular::radians:
            return "radians";
        case Angular::grads:
            return "grads";
        case Angular::decimalDegrees:
            return "decimal degrees";
        case Angular::packedDms:
            return "decimal dd.mm.ss";
    }
    return "radians";
}

/// Appends `value` with up to 15 significant digits, trailing zeros dropped ("120.0065",
/// "5000"), never in the process locale: a value read from a decimal of up to 15 digits is
/// written as it was read. -0 is written as 0. The caller passes finite values only.
inline void appendNumber(std::string& out, double value) {
    if (value == 0.0) value = 0.0;
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    out.append(buffer, result.ptr);
}

/// Millionths of an arc second in a degree: the packed angle's resolution.
constexpr double kMicroSecondsPerDegree = 3600.0 * 1e6;
/// Below this many degrees the packed angle is made from whole millionths of a second.
constexpr double kLargestPackedExactly = 1e6;

/// Appends `degrees` as a packed angle D.MMSSssssss, the seconds to a millionth, trailing
/// zeros after MMSS dropped. A value of a million degrees or more (no instrument reads one) is
/// packed in floating point.
inline void appendPackedDms(std::string& out, double degrees) {
    const bool negative = degrees < 0.0;
    const double magnitude = std::fabs(degrees);
    if (!(magnitude < kLargestPackedExactly)) {
        const double whole = std::floor(magnitude);
        const double minutes = std::floor((magnitude - whole) * 60.0);
        const double seconds = ((magnitude - whole) * 60.0 - minutes) * 60.0;
        appendNumber(out, (negative ? -1.0 : 1.0) * (whole + minutes / 100.0 + seconds / 10000.0));
        return;
    }
    const auto micro = static_cast<std::uint64_t>(std::llround(magnitude * kMicroSecondsPerDegree));
    if (micro == 0) {
        out += "0.0000";
        return;
    }
    if (negative) out += '-';
    const std::uint64_t whole = micro / 3600000000ULL;
    std::uint64_t rest = micro % 3600000000ULL;
    const std::uint64_t minutes = rest / 60000000ULL;
    rest %= 60000000ULL;
    const std::uint64_t seconds = rest / 1000000ULL;
    std::uint64_t fraction = rest % 1000000ULL;
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, whole);
    out.append(buffer, result.ptr);
    out += '.';
    out += static_cast<char>('0' + minutes / 10);
    out += static_cast<char>('0' + minutes % 10);
    out += static_cast<char>('0' + seconds / 10);
    out += static_cast<char>('0' + seconds % 10);
    if (fraction == 0) return;
    char digits[6];
    for (int i = 5; i >= 0; --i, fraction /= 10) digits[i] = static_cast<char>('0' + fraction % 10);
    int length = 6;
    while (digits[length - 1] == '0') --length;
    out.append(digits, static_cast<std::size_t>(length));
}

/// The degrees of a packed angle D.MMSSsss as written (digits, an optional sign and point);
/// false for any other text. Its minutes and seconds are read from the digits themselves, so a
/// packed angle read and packed again is the same text.
inline bool unpackDms(std::string_view text, double& degrees) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    std::string_view after = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() && after.empty()) return false;
    for (const std::string_view part : {whole, after}) {
        for (const char c : part) {
            if (c < '0' || c > '9') return false;
        }
    }
    // Up to a millionth of a second, as this writer packs angles, the angle is a whole number of
    // millionths divided once: the same double as the decimal degrees it was packed from.
    if (whole.size() <= 6 && after.size() <= 10) {
        std::uint64_t micro = 0;
        for (const char c : whole) micro = micro * 10 + static_cast<std::uint64_t>(c - '0');
        std::uint64_t field = 0;
        for (std::size_t i = 0; i < 10; ++i) {
            field = field * 10 + static_cast<std::uint64_t>(i < after.size() ? after[i] - '0' : 0);
        }
        // field is MMSSssssss: minutes, seconds and millionths of a second.
        micro = micro * 3600000000ULL + field / 100000000ULL * 60000000ULL + field % 100000000ULL;
        const double value = static_cast<double>(micro) / kMicroSecondsPerDegree;
        degrees = negative ? -value : value;
        return true;
    }
    double value = 0.0;
    if (!whole.empty() && std::from_chars(whole.data(), whole.data() + whole.size(), value).ec != std::errc()) {
        return false;
    }
    // Minutes are the first two digits after the point, seconds the next two, then their decimals.
    const auto digit = [&after](std::size_t i) { return i < after.size() ? after[i] - '0' : 0; };
    const double minutes = digit(0) * 10 + digit(1);
    double seconds = digit(2) * 10 + digit(3);
    if (after.size() > 4) {
        // "0." and the decimals of the second, read as one number.
        std::string decimals = "0.";
        decimals.append(after.substr(4, 40));
        double fraction = 0.0;
        std::from_chars(decimals.data(), decimals.data() + decimals.size(), fraction);
        seconds += fraction;
    }
    value += minutes / 60.0 + seconds / 3600.0;
    degrees = negative ? -value : value;
    return std::isfinite(degrees);
}

}  // namespace exportgen::landxml
