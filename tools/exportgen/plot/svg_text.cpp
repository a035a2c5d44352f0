#include "plot/svg_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace exportgen::plot {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kEllipsis[] = "\xE2\x80\xA6";     // U+2026

// The length of the UTF-8 sequence at the start of `text` and its code point; 0 when the bytes
// there are no well-formed UTF-8 (overlong forms and surrogates included).
std::size_t decode(std::string_view text, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Whether XML 1.0 holds the character, and a plan should show it as it is: not a control
// character (a line break in a name would break the label), nor a non-character.
bool drawable(char32_t code) {
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) return false;
    return code != 0xFFFE && code != 0xFFFF;
}

}  // namespace

bool appendFixed(std::string& out, double value, int decimals) {
    if (!std::isfinite(value)) return false;
    char buffer[400];  // the largest double has 309 digits before the point
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals < 0 ? 0 : decimals);
    const char* begin = buffer;
    if (buffer[0] == '-') {
        bool zero = true;
        for (const char* at = buffer + 1; at < result.ptr && zero; ++at) zero = *at == '0' || *at == '.';
        if (zero) ++begin;
    }
    out.append(begin, static_cast<std::size_t>(result.ptr - begin));
    return true;
}

void appendXmlText(std::string& out, std::string_view utf8, std::size_t maxCharacters) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        if (characters == maxCharacters) {
            out += kEllipsis;
            return;
        }
        char32_t code = 0;
        const std::size_t length = decode(utf8.substr(at), code);
        ++characters;
        if (length == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        switch (code) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (drawable(code)) {
                    out.append(utf8.data() + at, length);
                } else {
                    out += kReplacement;
                }
        }
        at += length;
    }
}

SvgOut& SvgOut::count(unsigned long long value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_buffer.append(buffer, result.ptr);
    return *this;
}

void SvgOut::flush() {
    if (m_buffer.empty()) return;
    m_lines += static_cast<std::size_t>(std::count(m_buffer.begin(), m_buffer.end(), '\n'));
    m_sink.bytes(m_buffer);
    m_handed += m_buffer.size();
    m_buffer.clear();
}

}  // namespace exportgen::plot
