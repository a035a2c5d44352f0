// Which characters the chosen output formats cannot carry in each kind of text field, as data:
// the format registry fills it, the job reader checks every text against it. A record grammar
// reserves its separators (the comma between the fields of an RW5 or Quolt/Pashk record), and
// no format can hold a line break or another control character inside a field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace exportgen {

/// The kinds of text a job holds, each written into its own kind of field.
enum class TextKind : std::uint8_t {
    name,       ///< a point name: station, target, known point, design point, level point
    code,       ///< a code's name, a set-up's or reading's code
    attribute,  ///< an attribute's name or value, a code string or control code
    note,       ///< a note of a point, a set-up or an observation
    text,       ///< the job's texts (name, texts 2 and 3, application, instrument), a level run's name
};
constexpr std::size_t kTextKinds = 5;

/// The character that --sanitize writes in place of a reserved one: a blank, which every
/// format carries in every text field.
constexpr char kSanitizeReplacement = ' ';

class TextRules {
public:
    TextRules() { m_format.fill(0); }

    /// Marks `bytes` reserved in texts of `kind` by the format `format` (a name that outlives
    /// the rules, like those of the format table).
    void reserve(const char* format, TextKind kind, std::string_view bytes);
    /// Marks the control characters (U+0000 to U+001F and U+007F) reserved in every kind.
    void reserveControls(const char* format);

    /// The position of the first reserved byte of `text`, or npos when the text is clean: one
    /// table lookup per byte. Reserved characters are ASCII, so no byte of a multi-byte UTF-8
    /// character ever matches.
    [[nodiscard]] std::size_t firstReserved(TextKind kind, std::string_view text) const noexcept {
        const std::uint8_t* row = &m_format[static_cast<std::size_t>(kind) * 256];
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (row[static_cast<unsigned char>(text[i])] != 0) return i;
        }
        return std::string_view::npos;
    }
    /// The format that reserves `byte` in `kind` (the first one listed), or null.
    [[nodiscard]] const char* formatReserving(TextKind kind, unsigned char byte) const noexcept {
        const std::uint8_t index = m_format[static_cast<std::size_t>(kind) * 256 + byte];
        return index == 0 ? nullptr : m_names[index - 1];
    }

private:
    std::uint8_t indexOf(const char* format);

    std::array<std::uint8_t, kTextKinds * 256> m_format;  ///< 0 free, else 1 + index into m_names
    std::vector<const char*> m_names;
};

/// The kind of a text for people: "point name", "code", "attribute", "note", "text".
const char* textKindName(TextKind kind);
/// A character for a message: ',' as "','", a control character as "U+000A (line feed)".
std::string shownCharacter(unsigned char byte);

}  // namespace exportgen
