#include "readers/raw_input.h"

#include <charconv>

#include "base/problems.h"
#include "base/text.h"

namespace exportgen {

RawLines::RawLines(std::string_view text) noexcept : m_text(text) {
    if (m_text.substr(0, 3) == "\xEF\xBB\xBF") m_next = 3;
}

bool RawLines::next() noexcept {
    if (m_next >= m_text.size()) return false;
    const std::size_t start = m_next;
    std::size_t end = start;
    while (end < m_text.size() && m_text[end] != '\n' && m_text[end] != '\r') ++end;
    m_line = m_text.substr(start, end - start);
    m_offset = start;
    ++m_number;
    m_next = end;
    if (m_next < m_text.size() && m_text[m_next] == '\r') ++m_next;
    if (m_next < m_text.size() && m_text[m_next] == '\n' && (m_next == end || m_text[end] == '\r')) ++m_next;
    return true;
}

RawInput::RawInput(std::string_view text, std::string source, Warn warn, bool mapped)
    : m_text(text), m_source(std::move(source)), m_warn(std::move(warn)), m_pages(text, mapped) {}

void RawInput::malformed(const RawLines& at, std::size_t column, const std::string& what) const {
    m_refusedAt = at.offset() + column;
    throw HostError(kExitJson,
                    m_source + ":" + std::to_string(at.number()) + ":" + std::to_string(column + 1) + ": " + what);
}

void RawInput::warn(const RawLines& at, const std::string& what) const {
    if (m_warn) m_warn(what, at.offset());
}

bool isDecimal(std::string_view text) noexcept {
    std::size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    const std::size_t start = at;
    std::size_t digits = 0, whole = 0;
    bool point = false, leading = true;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            ++digits;
            leading = leading && c == '0';
            if (!point && !leading) ++whole;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    // Only a number of more than 308 whole digits can pass the largest double.
    if (whole <= 308) return true;
    double value = 0.0;
    const auto result = std::from_chars(text.data() + start, text.data() + text.size(), value);
    return result.ec != std::errc::result_out_of_range;
}

namespace {

bool startsWith(std::string_view text, std::string_view prefix) noexcept {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// A figure as the generators write one: a number, or nothing for a figure they have not.
bool figureOrNone(std::string_view text) noexcept { return text.empty() || isDecimal(text); }

// `label` followed by a figure and nothing else.
bool labelled(std::string_view text, std::string_view label) noexcept {
    return startsWith(text, label) && figureOrNone(text.substr(label.size()));
}

// An offset record turned into a note: its first field's tag (a horizontal or zenith angle, a
// slope distance), a figure and the end or the next field.
bool offsetFields(std::string_view text) noexcept {
    static constexpr std::string_view kTags[] = {"AR", "AL", "ZE", "SD"};
    for (const std::string_view tag : kTags) {
        if (!startsWith(text, tag)) continue;
        const std::string_view rest = text.substr(tag.size());
        const std::size_t comma = rest.find(',');
        return figureOrNone(rest.substr(0, comma));
    }
    return false;
}

// The heights an offset note starts with: "HI<figure>,HR<figure>" and the end or more fields.
bool offsetHeights(std::string_view text) noexcept {
    if (!startsWith(text, "HI")) return false;
    const std::size_t hr = text.find(",HR");
    if (hr == std::string_view::npos || !isDecimal(text.substr(2, hr - 2))) return false;
    const std::string_view rest = text.substr(hr + 3);
    return isDecimal(rest.substr(0, rest.find(',')));
}

}  // namespace

const char* generatorNoteKind(std::string_view text) noexcept {
    static constexpr std::string_view kQuality[] = {
        "Horizontal Angle Error: ",
        "Zenith Angle Error: ",
        "Slope Distance Error: ",
        "Horizontal Angle Error compares to the average: ",
        "Zenith Angle Error compares to the average: ",
        "Slope Distance Error compares to the average: ",
        "Horizontal Angle Worst Residual: ",
        "Zenith Angle Worst Residual: ",
        "Slope Distance Worst Residual: ",
    };
    static constexpr std::string_view kOffsets[] = {
        "Perpendicular Distance Offset: ", "Left/Right Distance Offset: ", "Elevation Distance Offset: "};
    if (startsWith(text, "BS check ") || startsWith(text, "BS Circle Check : ")) return "a backsight check note";
    if (labelled(text, "Backsight HR:")) return "a backsight target height note";
    for (const std::string_view label : kQuality) {
        if (labelled(text, label)) return "a resection quality note";
    }
    if (labelled(text, "HR")) return "a target height note";
    if (text == "BEG" || text == "END") return "a marker note";
    if (text == "C3" || startsWith(text, "RECALL ")) return "a recall note";
    for (const std::string_view label : kOffsets) {
        if (labelled(text, label)) return "an offset note";
    }
    if (startsWith(text, "OF,") || startsWith(text, "OF--") || offsetHeights(text) || offsetFields(text)) {
        return "an offset note";
    }
    return nullptr;
}

bool parseDecimal(std::string_view text, double& value) noexcept {
    if (!isDecimal(text)) return false;
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if (negative) value = -value;
    return true;
}

std::size_t characterLength(std::string_view text, std::size_t at) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned code = 0;
    unsigned minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1FU, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0FU, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07U, minimum = 0x10000;
    } else {
        return 1;
    }
    if (at + length > text.size()) return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 1;
        code = (code << 6) | (byte(at + i) & 0x3FU);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 1;
    return length;
}

namespace {

// The whole number of `digits` decimal digits of `text` from `at`; -1 when one is no digit.
int digitsAt(std::string_view text, std::size_t at, std::size_t digits) noexcept {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

bool isMonthDayYear(std::string_view text) noexcept {
    return text.size() == 10 && text[2] == '-' && text[5] == '-' && isDate(text, '-', "mdy");
}

bool isDate(std::string_view text, char separator, const char* order) noexcept {
    int parts[3] = {-1, -1, -1};
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = i < 2 ? text.find(separator, at) : text.size();
        if (end == std::string_view::npos || end == at || end - at > 4) return false;
        parts[i] = digitsAt(text, at, end - at);
        if (parts[i] < 0) return false;
        at = end + 1;
    }
    int year = 0, month = 0, day = 0;
    for (int i = 0; i < 3; ++i) {
        (order[i] == 'y' ? year : order[i] == 'm' ? month : day) = parts[i];
    }
    return isCalendarDate(year, month, day);
}

bool isImpossibleDate(std::string_view text, char separator, const char* order) noexcept {
    std::size_t parts = 1;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == separator) {
            if (at == 0 || text[at - 1] == separator) return false;
            ++parts;
        } else if (text[at] < '0' || text[at] > '9') {
            return false;
        }
    }
    return parts == 3 && !text.empty() && text.back() != separator && !isDate(text, separator, order);
}

bool isImpossibleTime(std::string_view text) noexcept {
    int parts[3] = {0, 0, 0};
    std::size_t count = 0, digits = 0;
    for (const char c : text) {
        if (c == ':') {
            if (digits == 0 || ++count == 3) return false;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 4) {
            parts[count] = parts[count] * 10 + (c - '0');
            ++digits;
        } else {
            return false;
        }
    }
    return count >= 1 && digits > 0 && !isTimeOfDay(parts[0], parts[1], parts[2]);
}

bool isClockTime(std::string_view text) noexcept {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
    const int hours = digitsAt(text, 0, 2), minutes = digitsAt(text, 3, 2), seconds = digitsAt(text, 6, 2);
    return hours >= 0 && minutes >= 0 && seconds >= 0 && isTimeOfDay(hours, minutes, seconds);
}

bool isPackedDms(std::string_view number) noexcept {
    const std::size_t point = number.find('.');
    if (point == std::string_view::npos) return true;
    const std::string_view fraction = number.substr(point + 1);
    return !(fraction.size() > 0 && fraction[0] > '5') && !(fraction.size() > 2 && fraction[2] > '5');
}

}  // namespace exportgen
