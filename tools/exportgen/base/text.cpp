#include "base/text.h"

#include <charconv>
#include <cmath>
#include <iterator>

#include "contracts/text_services.h"

namespace exportgen {

namespace {

constexpr std::size_t kQuotedCharacters = 40;

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Decodes UTF-8 into `out`, which has room for text.size() characters; returns the count.
std::size_t decodeUtf8(std::string_view text, wchar_t* out) {
    wchar_t* at = out;
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            *at++ = static_cast<wchar_t>(byte);
            ++i;
            continue;
        }
        int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
        unsigned long code = extra > 0 ? (byte & (0x3Fu >> extra)) : byte;
        std::size_t k = 1;
        for (; k <= static_cast<std::size_t>(extra) && i + k < text.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        }
        *at++ = static_cast<wchar_t>(code);
        i += k;
    }
    return static_cast<std::size_t>(at - out);
}

}  // namespace

std::string shownName(std::string_view text) {
    // Cut after kQuotedCharacters UTF-8 characters (a continuation byte starts none).
    std::size_t characters = 0;
    std::size_t cut = 0;
    for (; cut < text.size(); ++cut) {
        const bool starts = (static_cast<unsigned char>(text[cut]) & 0xC0U) != 0x80U;
        if (starts && characters++ == kQuotedCharacters) break;
    }
    std::string result =
        nlohmann::json(std::string(text.substr(0, cut))).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (cut < text.size()) result.insert(result.size() - 1, "\u2026");  // "…", in UTF-8
    return result;
}

std::string shown(const nlohmann::json& value) {
    if (value.is_array()) return "an array of " + counted(value.size(), "item", "items");
    if (value.is_object()) return "an object of " + counted(value.size(), "member", "members");
    if (value.is_string()) return shownName(value.get_ref<const std::string&>());
    return value.dump();  // a number, true, false or null
}

COrvStringT wideFromUtf8(std::string_view text) {
    // Names, codes and notes are short: decoded on the stack, then copied once.
    wchar_t buffer[128];
    if (text.size() <= std::size(buffer)) return COrvStringT(std::wstring_view(buffer, decodeUtf8(text, buffer)));
    std::wstring wide(text.size(), L'\0');
    wide.resize(decodeUtf8(text, wide.data()));
    return COrvStringT(std::wstring_view(wide));
}

void appendUtf8(std::string& out, std::wstring_view text) {
    const std::size_t start = out.size();
    // Records are mostly ASCII: then one pass finds it out and one copies, both in wide steps.
    unsigned long all = 0;
    for (wchar_t ch : text) all |= static_cast<unsigned long>(ch);
    if (all < 0x80) {
        out.resize(start + text.size());
        char* at = out.data() + start;
        for (std::size_t i = 0; i < text.size(); ++i) at[i] = static_cast<char>(text[i]);
        return;
    }
    // Else size the text for the worst case once and write in place.
    out.resize(start + text.size() * 4);
    char* at = out.data() + start;
    for (wchar_t ch : text) {
        auto code = static_cast<unsigned long>(ch);
        if (code < 0x80) {
            *at++ = static_cast<char>(code);
        } else if (code < 0x800) {
            *at++ = static_cast<char>(0xC0 | (code >> 6));
            *at++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *at++ = static_cast<char>(0xE0 | (code >> 12));
            *at++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *at++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *at++ = static_cast<char>(0xF0 | ((code >> 18) & 0x07));
            *at++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *at++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *at++ = static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
}

std::string utf8(const COrvStringT& text) {
    std::string out;
    appendUtf8(out, text.view());
    return out;
}

std::string shortestNumber(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

COrvStringT fixed(double value, int decimals) { return orv_formats::DoubleToString(value, decimals); }

bool isCalendarDate(int year, int month, int day) noexcept {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= (month == 2 && leap ? 29 : kDays[month - 1]);
}

bool isTimeOfDay(int hours, int minutes, int seconds) noexcept {
    return hours >= 0 && hours < 24 && minutes >= 0 && minutes < 60 && seconds >= 0 && seconds < 60;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return out;
}

}  // namespace exportgen
