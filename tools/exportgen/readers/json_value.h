// One value of a job file (a set-up, a header member) as a flat array of nodes, filled by the job
// reader from simdjson's On-Demand parser and reused from value to value, so that reading a
// set-up costs no allocation once the array has grown to the largest set-up. Texts point into
// the parser's string buffer and stay valid until the next value is read. Every node keeps the
// byte offset of its value in the file, so that an error about it can name its line and column.
#pragma once

#include <cstddef>
#include <cstdint>
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

/// One value. The values of an array or object follow it in the node array, each member's value
/// carrying the member's name.
class JsonValue {
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
    /// nameTag(key()), kept from the parse.
    [[nodiscard]] std::uint64_t keyTag() const noexcept { return m_keyTag; }
    /// The number of items of an array or members of an object as written, those named again
    /// later included (0 for other types).
    [[nodiscard]] std::size_t size() const noexcept { return m_count; }
    /// True for an object member whose name comes again later in the object: the later one
    /// counts.
    [[nodiscard]] bool shadowed() const noexcept { return m_shadowed; }
    /// The byte offset of the value in its file.
    [[nodiscard]] std::size_t offset() const noexcept { return m_offset; }

    /// The member named `name` of an object (the last of that name); null when there is none
    /// or this is no object.
    [[nodiscard]] const JsonValue* find(std::string_view name) const noexcept;
    /// The item at `index` of an array; null outside.
    [[nodiscard]] const JsonValue* at(std::size_t index) const noexcept;

    /// The items of an array or members of an object, in the order of the file (shadowed
    /// members included).
    class Iterator {
    public:
        explicit Iterator(const JsonValue* at) noexcept : m_at(at) {}
        const JsonValue& operator*() const noexcept { return *m_at; }
        const JsonValue* operator->() const noexcept { return m_at; }
        Iterator& operator++() noexcept {
            m_at += m_at->m_span;
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return m_at == other.m_at; }
        bool operator!=(const Iterator& other) const noexcept { return m_at != other.m_at; }

    private:
        const JsonValue* m_at;
    };
    [[nodiscard]] Iterator begin() const noexcept { return Iterator(this + 1); }
    [[nodiscard]] Iterator end() const noexcept { return Iterator(this + m_span); }

private:
    friend class JsonTreeBuilder;

    const char* m_key = nullptr;
    std::uint64_t m_keyTag = 0;
    union {
        const char* m_text = nullptr;
        double m_number;
    };
    std::size_t m_offset = 0;
    std::uint32_t m_keyLength = 0;
    std::uint32_t m_length = 0;  // a string's length
    std::uint32_t m_count = 0;   // items or members
    std::uint32_t m_span = 1;    // nodes of this value, itself included
    Type m_type = Type::null;
    bool m_flag = false;
    bool m_shadowed = false;
};

}  // namespace exportgen
