// A compact JSON document for reading big job files fast: a pull parser over the text that
// puts one value (a set-up, a header member) into a flat array of nodes, reused from value to
// value, so that reading a set-up costs no allocation once the array has grown to the largest
// set-up. Texts without escapes stay where they are in the file; numbers are converted with
// std::from_chars as the reader meets them.
//
// The parser takes strict JSON only, as the host's nlohmann-based reader does (RFC 8259, UTF-8
// checked byte by byte, surrogate pairs in \u escapes), and turns numbers into the same doubles
// that reader gives (an integer that fits 64 bits is converted from the integer, so "-0" is +0).
// A member named twice in one object counts once, with its last value, as in nlohmann's
// document. Anything the parser does not take (malformed JSON, a number beyond the double
// range) throws CompactJsonRefused: the caller then reads the job with the nlohmann-based
// reader, which gives the user's error message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace exportgen {

/// The first eight bytes of a member name as one number (zeros after a shorter name): most
/// names of a job are that short, and two names whose lengths and tags are equal are then the
/// same without comparing them further.
inline std::uint64_t nameTag(std::string_view name) noexcept {
    std::uint64_t tag = 0;
    const std::size_t n = name.size() < 8 ? name.size() : 8;
    for (std::size_t i = 0; i < n; ++i) tag |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
    return tag;
}

/// True when the name `a` with the tag `aTag` is `b` with the tag `bTag`.
inline bool sameName(std::string_view a, std::uint64_t aTag, std::string_view b, std::uint64_t bTag) noexcept {
    return a.size() == b.size() && aTag == bTag && (a.size() <= 8 || a.substr(8) == b.substr(8));
}

/// Thrown by the compact reader for anything it does not take.
class CompactJsonRefused : public std::runtime_error {
public:
    explicit CompactJsonRefused(const char* what) : std::runtime_error(what) {}
};

/// One value of a CompactDocument. The values of an array or object follow it in the node
/// array, each member's value carrying the member's name.
class CompactValue {
public:
    enum class Type : std::uint8_t { null, boolean, number, string, array, object };

    [[nodiscard]] Type type() const noexcept { return m_type; }
    [[nodiscard]] bool isNull() const noexcept { return m_type == Type::null; }
    [[nodiscard]] bool isString() const noexcept { return m_type == Type::string; }
    [[nodiscard]] bool isArray() const noexcept { return m_type == Type::array; }
    [[nodiscard]] bool isObject() const noexcept { return m_type == Type::object; }

    /// A boolean's value (false for any other type).
    [[nodiscard]] bool boolean() const noexcept { return m_type == Type::boolean && m_flag; }
    /// A number's value (0 for any other type).
    [[nodiscard]] double number() const noexcept { return m_type == Type::number ? m_number : 0.0; }
    /// A string's text, escapes decoded (empty for any other type).
    [[nodiscard]] std::string_view text() const noexcept {
        return m_type == Type::string ? std::string_view(m_text, m_length) : std::string_view();
    }
    /// The name of the member this value is, in an object (empty in an array or at the root).
    [[nodiscard]] std::string_view key() const noexcept { return {m_key, m_keyLength}; }
    /// The number of items of an array or members of an object as written, those named again
    /// later included (0 for other types).
    [[nodiscard]] std::size_t size() const noexcept { return m_count; }
    /// True for an object member whose name comes again later in the object: the later one
    /// counts.
    [[nodiscard]] bool shadowed() const noexcept { return m_shadowed; }

    /// nameTag(key()), kept from the parse.
    [[nodiscard]] std::uint64_t keyTag() const noexcept { return m_keyTag; }

    /// The member named `name` of an object (the last of that name); null when there is none
    /// or this is no object.
    [[nodiscard]] const CompactValue* find(std::string_view name) const noexcept {
        if (m_type != Type::object) return nullptr;
        const std::uint64_t tag = nameTag(name);
        for (const CompactValue& member : *this) {
            if (!member.m_shadowed && sameName(member.key(), member.m_keyTag, name, tag)) return &member;
        }
        return nullptr;
    }
    /// The item at `index` of an array (or the member at that position of an object); null
    /// outside.
    [[nodiscard]] const CompactValue* at(std::size_t index) const noexcept;

    /// The items of an array or members of an object, in the order of the file (shadowed
    /// members included).
    class Iterator {
    public:
        explicit Iterator(const CompactValue* at) noexcept : m_at(at) {}
        const CompactValue& operator*() const noexcept { return *m_at; }
        const CompactValue* operator->() const noexcept { return m_at; }
        Iterator& operator++() noexcept {
            m_at += m_at->m_span;
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return m_at == other.m_at; }
        bool operator!=(const Iterator& other) const noexcept { return m_at != other.m_at; }

    private:
        const CompactValue* m_at;
    };
    [[nodiscard]] Iterator begin() const noexcept { return Iterator(this + 1); }
    [[nodiscard]] Iterator end() const noexcept { return Iterator(this + m_span); }

private:
    friend class CompactDocument;

    const char* m_key = nullptr;
    std::uint64_t m_keyTag = 0;
    union {
        const char* m_text = nullptr;
        double m_number;
    };
    std::uint32_t m_keyLength = 0;
    std::uint32_t m_length = 0;  // a string's length
    std::uint32_t m_count = 0;   // items or members
    std::uint32_t m_span = 1;    // nodes of this value, itself included
    Type m_type = Type::null;
    bool m_flag = false;
    bool m_shadowed = false;
};

/// The nodes of one value at a time, and the pull parser that fills them.
class CompactDocument {
public:
    /// Reads `text` from its start.
    explicit CompactDocument(std::string_view text) noexcept : m_at(text.data()), m_end(text.data() + text.size()) {}

    /// The position in the text.
    [[nodiscard]] const char* position() const noexcept { return m_at; }
    /// Skips a UTF-8 byte order mark at the start of the text.
    void skipByteOrderMark() noexcept;
    /// Skips white space; true when the text is then at its end.
    bool atEnd() noexcept;
    /// Takes `ch` after white space; false (and nothing taken) when the next character differs.
    bool take(char ch) noexcept;
    /// Reads a string after white space into `out` (escapes decoded).
    void string(std::string& out);
    /// Reads the next value after white space. The value and its nodes stay valid until the
    /// next call.
    const CompactValue& value();

private:
    void skipSpace() noexcept;
    std::string_view scanString();
    std::string_view decodeString(const char* start);
    void scanNumber(CompactValue& node);
    [[nodiscard]] double numberOf(const char* start, bool negative, bool integral, std::uint64_t digits,
                                  int exponent) const;
    void literal(const char* word, std::size_t length);
    void member(std::size_t object);
    [[noreturn]] static void refuse(const char* why);

    const char* m_at;
    const char* m_end;
    std::vector<CompactValue> m_nodes;
    std::vector<std::uint32_t> m_open;  // the arrays and objects being read
    std::deque<std::string> m_decoded;  // texts with escapes, decoded
    std::string m_scratch;
};

}  // namespace exportgen
