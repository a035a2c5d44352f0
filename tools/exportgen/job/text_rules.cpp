#include "job/text_rules.h"

#include <cstdio>
#include <cstring>

namespace exportgen {

std::uint8_t TextRules::indexOf(const char* format) {
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (std::strcmp(m_names[i], format) == 0) return static_cast<std::uint8_t>(i + 1);
    }
    m_names.push_back(format);
    return static_cast<std::uint8_t>(m_names.size());
}

void TextRules::reserve(const char* format, TextKind kind, std::string_view bytes) {
    const std::uint8_t index = indexOf(format);
    for (const char c : bytes) {
        std::uint8_t& slot = m_format[static_cast<std::size_t>(kind) * 256 + static_cast<unsigned char>(c)];
        if (slot == 0) slot = index;
    }
}

void TextRules::reserveControls(const char* format) {
    std::string controls;
    for (int c = 0; c < 0x20; ++c) controls += static_cast<char>(c);
    controls += '\x7f';
    for (std::size_t kind = 0; kind < kTextKinds; ++kind) reserve(format, static_cast<TextKind>(kind), controls);
}

const char* textKindName(TextKind kind) {
    switch (kind) {
        case TextKind::name:
            return "point name";
        case TextKind::code:
            return "code";
        case TextKind::attribute:
            return "attribute";
        case TextKind::note:
            return "note";
        case TextKind::text:
            return "text";
    }
    return "text";
}

std::string shownCharacter(unsigned char byte) {
    if (byte >= 0x20 && byte < 0x7f) return std::string("'") + static_cast<char>(byte) + "'";
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(byte));
    std::string text = code;
    if (byte == '\n') text += " (line feed)";
    if (byte == '\r') text += " (carriage return)";
    if (byte == '\t') text += " (tab)";
    return text;
}

}  // namespace exportgen
