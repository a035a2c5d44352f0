#include "baseline.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace bench::baseline {

namespace {

char* put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// `value` as exactly `digits` digits with leading zeros (value < 10^digits).
char* putDigits(char* out, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + digits;
}

char* putFixed(char* out, double value, int decimals) {
    char* end = std::to_chars(out, out + 64, value, std::chars_format::fixed, decimals).ptr;
    // A negative value that rounds to zero is written without its sign.
    if (*out == '-' && std::all_of(out + 1, end, [](char c) { return c == '0' || c == '.'; })) {
        std::memmove(out, out + 1, static_cast<std::size_t>(end - out - 1));
        --end;
    }
    return end;
}

// Packed degrees-minutes-seconds with 5 decimals, "D.MMSSs": the magnitude rounded once to a
// tenth of a second, then split, so no group shows 60.
char* putPackedDms5(char* out, double degrees) {
    constexpr std::uint64_t kTenthsPerDegree = 36000;
    const double magnitude = std::fabs(degrees);
    auto whole = static_cast<std::uint64_t>(std::floor(magnitude));
    const double fraction = magnitude - std::floor(magnitude);
    auto rest = static_cast<std::uint64_t>(std::floor(fraction * kTenthsPerDegree + 0.5));
    if (rest >= kTenthsPerDegree) {
        ++whole;
        rest -= kTenthsPerDegree;
    }
    if (degrees < 0.0 && (whole != 0 || rest != 0)) *out++ = '-';
    out = std::to_chars(out, out + 24, whole).ptr;
    *out++ = '.';
    out = putDigits(out, static_cast<unsigned>(rest / 600), 2);
    out = putDigits(out, static_cast<unsigned>(rest % 600 / 10), 2);
    return putDigits(out, static_cast<unsigned>(rest % 10), 1);
}

// A field of `width` characters: the text, then blanks (a longer text is cut).
char* putLeft(char* out, const char* first, const char* last, std::size_t width) {
    auto length = static_cast<std::size_t>(last - first);
    if (length > width) length = width;
    std::memmove(out, first, length);
    std::memset(out + length, ' ', width - length);
    return out + width;
}

char* putLeft(char* out, std::string_view text, std::size_t width) {
    return putLeft(out, text.data(), text.data() + text.size(), width);
}

char* putRight(char* out, std::string_view text, std::size_t width) {
    if (text.size() >= width) return put(out, text.substr(0, width));
    std::memset(out, ' ', width - text.size());
    return put(out + width - text.size(), text);
}

// A number field: the number written in place, then padded to 16.
char* putFixedField(char* out, double value, int decimals) {
    char* end = putFixed(out, value, decimals);
    return putLeft(out, out, end, 16);
}

char* putObservationLine(char* out, const Shot& shot) {
    out = put(out, "09");
    out = put(out, shot.zenith > 0.0 && shot.zenith < 180.0 ? "F1" : "F2");
    out = putRight(out, shot.station, 16);
    out = putRight(out, shot.target, 16);
    out = putFixedField(out, shot.slope, 4);
    out = putFixedField(out, shot.zenith, 6);
    out = putFixedField(out, shot.horizontal, 6);
    out = putLeft(out, shot.code, 16);
    return put(out, "\r\n");
}

char* putNote(char* out, std::string_view kind, std::string_view nameField, std::size_t nameWidth,
              std::string_view text) {
    out = put(out, "13");
    out = put(out, kind);
    char* field = out;
    if (nameWidth > 0) out = putLeft(out, nameField, nameWidth);
    out = put(out, text);
    out = putLeft(field, field, out, 60);
    return put(out, "\r\n");
}

}  // namespace

std::size_t rw5ForesightLine(char* out, const Shot& shot) {
    char* const start = out;
    out = put(out, shot.zenith > 0.0 && shot.zenith < 180.0 ? "FD" : "FR");
    out = put(out, ",OP");
    out = put(out, shot.station);
    out = put(out, ",FP");
    out = put(out, shot.target);
    double horizontal = shot.horizontal;
    out = put(out, horizontal >= 0.0 ? ",AR" : ",AL");
    horizontal = std::fabs(horizontal);
    if (horizontal >= 360.0) horizontal = std::fmod(horizontal, 360.0);
    out = putPackedDms5(out, horizontal);
    out = put(out, ",ZE");
    out = putPackedDms5(out, shot.zenith);
    out = put(out, ",SD");
    out = putFixed(out, shot.slope, 4);
    out = put(out, ",--");
    out = put(out, shot.code);
    *out++ = ' ';
    out = put(out, shot.control);
    out = put(out, "\r\n");
    return static_cast<std::size_t>(out - start);
}

std::size_t sdrObservationLine(char* out, const Shot& shot) {
    return static_cast<std::size_t>(putObservationLine(out, shot) - out);
}

std::size_t sdrObservationWithNotes(char* out, const Shot& shot) {
    char* const start = out;
    out = putObservationLine(out, shot);
    if (shot.code.size() > 16) out = putNote(out, "FC", {}, 0, shot.code);
    for (int i = 0; i < 3; ++i) {
        if (!shot.attributeValues[i].empty()) {
            out = putNote(out, "AT", shot.attributeNames[i], 20, shot.attributeValues[i]);
        }
    }
    return static_cast<std::size_t>(out - start);
}

std::size_t fixed(char* out, double value, int decimals) {
    return static_cast<std::size_t>(putFixed(out, value, decimals) - out);
}

std::size_t packedDms5(char* out, double degrees) {
    return static_cast<std::size_t>(putPackedDms5(out, degrees) - out);
}

std::size_t leftField(char* out, std::string_view text, std::size_t width) {
    return static_cast<std::size_t>(putLeft(out, text, width) - out);
}

}  // namespace bench::baseline
