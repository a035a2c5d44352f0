#include "readers/job_reader.h"

#include <fcntl.h>
#include <simdjson.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "readers/json_parse.h"
#include "readers/pages.h"
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/problems.h"

namespace exportgen {

namespace {

namespace ondemand = simdjson::ondemand;

// "[json.exception.parse_error.101] parse error at line 3, column 5: syntax error ..." becomes
// "SOURCE:3:5: malformed JSON: syntax error ...".
// The first byte of [at, end) that does not start a well-formed UTF-8 sequence (the shortest form,
// no surrogates, nothing above U+10FFFF); null when there is none.
const char* firstBadUtf8(const char* at, const char* end) {
    while (at < end) {
        const auto lead = static_cast<unsigned char>(*at);
        std::size_t length = 1;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (lead < 0x80) {
            ++at;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return at;
        }
        if (static_cast<std::size_t>(end - at) < length) return at;
        const auto second = static_cast<unsigned char>(at[1]);
        if (second < low || second > high) return at;
        for (std::size_t i = 2; i < length; ++i) {
            if ((static_cast<unsigned char>(at[i]) & 0xC0U) != 0x80U) return at;
        }
        at += length;
    }
    return nullptr;
}

// A character as a message names it: '{', or a byte outside printable ASCII as \xHH.
std::string quoted(char ch) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte >= 0x20 && byte < 0x7F) return std::string("'") + ch + "'";
    static const char hex[] = "0123456789ABCDEF";
    return std::string("'\\x") + hex[byte >> 4] + hex[byte & 15] + "'";
}

// Where the reader is in the text, and the errors it reports there.
class Source {
public:
    Source(std::string_view text, const std::string& name) : m_text(text), m_name(name) {}

    [[nodiscard]] const char* begin() const noexcept { return m_text.data(); }
    [[nodiscard]] const char* end() const noexcept { return m_text.data() + m_text.size(); }
    [[nodiscard]] std::size_t offset(const char* at) const noexcept { return static_cast<std::size_t>(at - begin()); }
    [[nodiscard]] std::string_view text() const noexcept { return m_text; }

    [[noreturn]] void malformed(const char* at, const std::string& what) const {
        throw HostError(kExitJson, place(offset(at)) + ": malformed JSON: " + what);
    }
    [[noreturn]] void job(const JobError& error) const {
        throw HostError(error.code(), place(error.offset()) + ": " + error.what());
    }

private:
    [[nodiscard]] std::string place(std::size_t at) const { return location(m_text, m_name, at); }

    std::string_view m_text;
    const std::string& m_name;
};

// Gives the pages of a mapped file that the reader has passed back to the system every 16 MiB,
// so that the job file does not stay resident behind the reader.
// The light scan: finds where values begin and end without parsing them. Strings are skipped
// whole (a bracket in a note is text); brackets are only counted, so a value whose brackets do
// not match is found too long or too short and then refused by the parser.
class Scanner {
public:
    Scanner(const Source& source, const char* at) : m_source(source), m_at(at) {}

    [[nodiscard]] const char* at() const noexcept { return m_at; }
    void skipByteOrderMark() noexcept {
        if (m_source.end() - m_at >= 3 && std::memcmp(m_at, "\xEF\xBB\xBF", 3) == 0) m_at += 3;
    }
    /// Skips white space; false at the end of the text.
    bool space() noexcept {
        while (m_at != m_source.end() && isSpace(*m_at)) ++m_at;
        return m_at != m_source.end();
    }
    /// Takes `ch` after white space; false (nothing taken) when the next character differs.
    bool take(char ch) noexcept {
        if (!space() || *m_at != ch) return false;
        ++m_at;
        return true;
    }
    void expect(char ch, const char* what) {
        if (!take(ch)) unexpected(what);
    }
    [[noreturn]] void unexpected(const char* what) const {
        if (m_at == m_source.end())
            m_source.malformed(m_at, std::string("unexpected end of the file; expected ") + what);
        m_source.malformed(m_at, "unexpected " + quoted(*m_at) + "; expected " + what);
    }
    /// Skips a text after white space; returns where it starts (its opening quote).
    const char* string(const char* what) {
        if (!space() || *m_at != '"') unexpected(what);
        const char* start = m_at;
        m_at = stringEnd(m_at);
        return start;
    }
    /// Skips one value after white space; returns where it starts.
    const char* value() {
        if (!space()) unexpected("a value");
        const char* start = m_at;
        const char ch = *m_at;
        if (ch == '"') {
            m_at = stringEnd(m_at);
        } else if (ch == '{' || ch == '[') {
            container();
        } else {
            while (m_at != m_source.end() && !isSpace(*m_at) && *m_at != ',' && *m_at != '}' && *m_at != ']') ++m_at;
            if (m_at == start) unexpected("a value");
        }
        return start;
    }

private:
    static bool isSpace(char ch) noexcept { return ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t'; }

    // The end of the string whose opening quote is at `open` (past its closing quote).
    const char* stringEnd(const char* open) const {
        const char* at = open + 1;
        while (true) {
            const auto* quote =
                static_cast<const char*>(std::memchr(at, '"', static_cast<std::size_t>(m_source.end() - at)));
            if (quote == nullptr) m_source.malformed(open, "a text without its closing quote");
            std::size_t backslashes = 0;
            while (quote - backslashes > open + 1 && quote[-1 - static_cast<std::ptrdiff_t>(backslashes)] == '\\') {
                ++backslashes;
            }
            if (backslashes % 2 == 0) return quote + 1;
            at = quote + 1;
        }
    }

    void container() {
        const char* open = m_at;
        std::size_t depth = 0;
        for (const char* at = m_at; (at = nextStructural(at)) != m_source.end(); ++at) {
            if (*at == '"') {
                at = stringEnd(at) - 1;
            } else if (*at == '{' || *at == '[') {
                ++depth;
            } else if (--depth == 0) {
                m_at = at + 1;
                return;
            }
        }
        m_source.malformed(open,
                           *open == '{' ? "an object without its closing '}'" : "an array without its closing ']'");
    }

    // The first of '"', '{', '}', '[', ']' at or after `at`, or the end of the text. Most of a
    // job is numbers and names: sixteen bytes are looked at a time where the processor allows.
    const char* nextStructural(const char* at) const noexcept {
        const char* const end = m_source.end();
#ifdef __SSE2__
        const __m128i quote = _mm_set1_epi8('"'), openBrace = _mm_set1_epi8('{'), closeBrace = _mm_set1_epi8('}');
        const __m128i openBracket = _mm_set1_epi8('['), closeBracket = _mm_set1_epi8(']');
        while (end - at >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i hits = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, openBrace)),
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, closeBrace), _mm_cmpeq_epi8(bytes, openBracket)),
                             _mm_cmpeq_epi8(bytes, closeBracket)));
            const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
            if (mask != 0) return at + __builtin_ctz(mask);
            at += 16;
        }
#endif
        static const Table table;
        while (at != end && !table.structural[static_cast<unsigned char>(*at)]) ++at;
        return at;
    }

    struct Table {
        bool structural[256] = {};
        Table() {
            for (const char ch : {'"', '{', '}', '[', ']'}) structural[static_cast<unsigned char>(ch)] = true;
        }
    };

    const Source& m_source;
    const char* m_at;
};

}  // namespace

// True when `token` has the grammar of a JSON number, so that the parser's refusal of it means its
// value is out of the range of a double ("1e999").
static bool isNumberText(std::string_view token) {
    while (!token.empty() &&
           (token.back() == ' ' || token.back() == '\n' || token.back() == '\r' || token.back() == '\t')) {
        token.remove_suffix(1);
    }
    if (token.empty()) return false;
    std::size_t i = token[0] == '-' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
        return i > from;
    };
    if (!digits()) return false;
    if (i < token.size() && token[i] == '.' && (++i, !digits())) return false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == token.size();
}

// Parses one value of the file with simdjson's On-Demand parser into a JsonValue tree, or opens
// it for a walk.
class JsonTreeBuilder : public JsonParse {
public:
    explicit JsonTreeBuilder(const Source& source) : m_source(source) {}

    /// The value of the text [start, end) of the file, for a walk (value()).
    void open(const char* start, const char* end) {
        iterate(start, end);
        check(m_document.get_value().get(m_value), m_data);
    }
    simdjson::ondemand::value& value() override { return m_value; }
    std::size_t offset(const char* token) const noexcept override {
        return m_base + static_cast<std::size_t>(token - m_data);
    }
    void check(simdjson::error_code error, const char* at) override { check(error, m_document, at); }

    /// The value of the text [start, end) of the file.
    const JsonValue& parse(const char* start, const char* end) {
        iterate(start, end);
        m_nodes.clear();
        root(m_document);
        return m_nodes.front();
    }

private:
    void iterate(const char* start, const char* end) {
        const auto length = static_cast<std::size_t>(end - start);
        const char* data = start;
        std::size_t capacity = static_cast<std::size_t>(m_source.end() - start);
        // The parser reads a little past the value; the rest of the file serves, but for a value
        // that ends the file.
        if (capacity < length + simdjson::SIMDJSON_PADDING) {
            m_padded.assign(start, end);
            m_padded.resize(length + simdjson::SIMDJSON_PADDING, ' ');
            data = m_padded.data();
            capacity = m_padded.size();
        }
        m_data = data;
        m_length = length;
        m_base = m_source.offset(start);
        check(m_parser.iterate(data, length, capacity).get(m_document), m_document, data);
    }

    void root(ondemand::document& document) {
        ondemand::json_type type{};
        check(document.type().get(type), document, m_data);
        if (type == ondemand::json_type::object || type == ondemand::json_type::array) {
            ondemand::value value;
            check(document.get_value().get(value), document, m_data);
            node(value, document, 0);
            return;
        }
        const std::string_view token = document.raw_json_token();
        JsonValue& node = add(token.data());
        scalar(node, document, type, token, document);
    }

    // A job nests a few levels deep; a value nested deeper than this is kept as a container with
    // its item count but not walked, so that no input can exhaust the stack, and the schema then
    // names it.
    static constexpr int kMaxDepth = 64;

    void node(ondemand::value& value, ondemand::document& document, int depth) {
        ondemand::json_type type{};
        check(value.type().get(type), document, nullptr);
        const std::string_view token = value.raw_json_token();
        const std::size_t index = m_nodes.size();
        add(token.data());
        if (type == ondemand::json_type::object) {
            ondemand::object object;
            check(value.get_object().get(object), document, token.data());
            std::uint32_t count = 0;
            for (auto field : object) {
                std::string_view key;
                check(field.unescaped_key().get(key), document, nullptr);
                ondemand::value member;
                check(field.value().get(member), document, nullptr);
                const std::size_t at = m_nodes.size();
                if (depth < kMaxDepth) {
                    node(member, document, depth + 1);
                } else {
                    add(token.data());
                }
                m_nodes[at].m_key = key.data();
                m_nodes[at].m_keyLength = narrow(key.size(), token.data());
                m_nodes[at].m_keyTag = nameTag(key);
                ++count;
            }
            finish(index, JsonValue::Type::object, count);
            markShadowed(index);
        } else if (type == ondemand::json_type::array) {
            ondemand::array array;
            check(value.get_array().get(array), document, token.data());
            std::uint32_t count = 0;
            for (auto item : array) {
                ondemand::value element;
                check(item.get(element), document, nullptr);
                if (depth < kMaxDepth) {
                    node(element, document, depth + 1);
                } else {
                    add(token.data());
                }
                ++count;
            }
            finish(index, JsonValue::Type::array, count);
        } else {
            scalar(m_nodes[index], value, type, token, document);
        }
    }

    template <class Value>
    void scalar(JsonValue& node, Value& value, ondemand::json_type type, std::string_view token,
                ondemand::document& document) {
        const std::size_t index = static_cast<std::size_t>(&node - m_nodes.data());
        switch (type) {
            case ondemand::json_type::number: {
                double number = 0.0;
                const auto error = value.get_double().get(number);
                if (error == simdjson::NUMBER_ERROR && isNumberText(token)) {
                    malformedAt(token.data(), "a number out of the range of a double");
                }
                check(error, document, token.data());
                // An integer is converted as an integer: "-0" is +0.
                if (number == 0.0 && token.find_first_of(".eE") == std::string_view::npos) number = 0.0;
                m_nodes[index].m_type = JsonValue::Type::number;
                m_nodes[index].m_number = number;
                break;
            }
            case ondemand::json_type::string: {
                std::string_view text;
                check(value.get_string().get(text), document, token.data());
                m_nodes[index].m_type = JsonValue::Type::string;
                m_nodes[index].m_text = text.data();
                m_nodes[index].m_length = narrow(text.size(), token.data());
                break;
            }
            case ondemand::json_type::boolean: {
                bool flag = false;
                check(value.get_bool().get(flag), document, token.data());
                m_nodes[index].m_type = JsonValue::Type::boolean;
                m_nodes[index].m_flag = flag;
                break;
            }
            default: {
                bool null = false;
                check(value.is_null().get(null), document, token.data());
                if (!null) malformedAt(token.data(), "not a JSON value");
                m_nodes[index].m_type = JsonValue::Type::null;
                break;
            }
        }
    }

    JsonValue& add(const char* at) {
        if (m_nodes.size() >= std::numeric_limits<std::uint32_t>::max()) malformedAt(at, "a value too large to read");
        JsonValue& node = m_nodes.emplace_back();
        node.m_offset = m_base + static_cast<std::size_t>(at - m_data);
        return node;
    }

    void finish(std::size_t index, JsonValue::Type type, std::uint32_t count) {
        JsonValue& node = m_nodes[index];
        node.m_type = type;
        node.m_count = count;
        node.m_span = static_cast<std::uint32_t>(m_nodes.size() - index);
    }

    // A member named twice counts with its last value. Objects of a job have a few members: they
    // are compared pairwise in place; a large one goes through a set.
    void markShadowed(std::size_t index) {
        JsonValue* const first = &m_nodes[index] + 1;
        JsonValue* const end = &m_nodes[index] + m_nodes[index].m_span;
        if (m_nodes[index].m_count < 2) return;
        if (m_nodes[index].m_count <= 16) {
            for (JsonValue* a = first; a != end; a += a->m_span) {
                for (JsonValue* b = a + a->m_span; b != end && !a->m_shadowed; b += b->m_span) {
                    a->m_shadowed = sameName(a->key(), a->m_keyTag, b->key(), b->m_keyTag);
                }
            }
            return;
        }
        std::vector<JsonValue*> members;
        for (JsonValue* member = first; member != end; member += member->m_span) members.push_back(member);
        std::unordered_set<std::string_view> later;
        for (auto it = members.rbegin(); it != members.rend(); ++it) {
            (*it)->m_shadowed = !later.insert((*it)->key()).second;
        }
    }

    std::uint32_t narrow(std::size_t size, const char* at) const {
        if (size > std::numeric_limits<std::uint32_t>::max()) malformedAt(at, "a text too long to read");
        return static_cast<std::uint32_t>(size);
    }

    [[noreturn]] void malformedAt(const char* at, const std::string& what) const {
        m_source.malformed(at == nullptr ? m_source.begin() + m_base : m_source.begin() + m_base + (at - m_data), what);
    }

    void check(simdjson::error_code error, ondemand::document& document, const char* at) {
        if (error == simdjson::SUCCESS) return;
        if (error == simdjson::UTF8_ERROR) at = firstBadUtf8(m_data, m_data + m_length);
        if (at == nullptr && document.current_location().get(at) != simdjson::SUCCESS) at = nullptr;
        if (error == simdjson::TAPE_ERROR || error == simdjson::INCORRECT_TYPE) {
            // The value's structure is wrong at `at`: name what stands there.
            const char* end = m_data + m_length;
            if (at == nullptr || at >= end) malformedAt(at, "a value cut short");
            malformedAt(at, std::string("unexpected ") + quoted(*at));
        }
        malformedAt(at, describe(error));
    }

    static std::string describe(simdjson::error_code error) {
        switch (error) {
            case simdjson::UTF8_ERROR:
                return "a text that is not valid UTF-8";
            case simdjson::UNESCAPED_CHARS:
                return "a control character inside a text (write it as an escape such as \\n)";
            case simdjson::STRING_ERROR:
                return "a bad escape in a text";
            case simdjson::NUMBER_ERROR:
                return "a malformed number";
            case simdjson::T_ATOM_ERROR:
            case simdjson::F_ATOM_ERROR:
            case simdjson::N_ATOM_ERROR:
                return "a misspelt true, false or null";
            case simdjson::DEPTH_ERROR:
                return "values nested too deeply";
            case simdjson::UNCLOSED_STRING:
                return "a text without its closing quote";
            default:
                return std::string("syntax error (") + simdjson::error_message(error) + ")";
        }
    }

    const Source& m_source;
    ondemand::parser m_parser;
    ondemand::document m_document;
    ondemand::value m_value;
    std::vector<char> m_padded;
    std::vector<JsonValue> m_nodes;
    const char* m_data = nullptr;
    std::size_t m_length = 0;
    std::size_t m_base = 0;
};

namespace {

// Where one top-level member lies in the text.
struct Member {
    std::string key;
    const char* start = nullptr;
    const char* end = nullptr;
};

// The unescaped text of the member name whose quotes are [start, end).
std::string memberName(JsonTreeBuilder& builder, const char* start, const char* end) {
    const std::string_view raw(start + 1, static_cast<std::size_t>(end - start - 2));
    if (raw.find('\\') == std::string_view::npos) return std::string(raw);
    return std::string(builder.parse(start, end).text());
}

// The members of the job's object in the order they are read; a member named twice counts with
// its last value.
std::vector<Member> inOrder(std::vector<Member> found) {
    static const char* const kOrder[] = {"inputUnits",  "codesAsText", "units",    "job",
                                         "observation", "points",      "levelRuns"};
    std::vector<Member> last;
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        bool seen = false;
        for (const Member& member : last) seen = seen || member.key == it->key;
        if (!seen) last.push_back(*it);
    }
    std::vector<Member> ordered;
    for (const char* key : kOrder) {
        for (const Member& member : last) {
            if (member.key == key) ordered.push_back(member);
        }
    }
    for (auto it = last.rbegin(); it != last.rend(); ++it) {
        bool known = false;
        for (const char* key : kOrder) known = known || it->key == key;
        if (!known) ordered.push_back(*it);
    }
    return ordered;
}

}  // namespace

void readJob(std::string_view text, const std::string& name, JobEvents& events, bool mapped) {
    const Source source(text, name);
    JsonTreeBuilder builder(source);
    try {
        // The first pass: where each member and each set-up lies.
        Scanner scan(source, source.begin());
        PageReleaser scanned(source.text(), mapped);
        scan.skipByteOrderMark();
        if (!scan.space()) source.malformed(scan.at(), "an empty file; expected a job object");
        const char* root = scan.at();
        if (*root != '{') {
            // A job is an object; what else the file holds is named by its first character.
            const char* found = *root == '['                                       ? "an array"
                                : *root == '"'                                     ? "a text"
                                : *root == 't' || *root == 'f'                     ? "a boolean"
                                : *root == 'n'                                     ? "null"
                                : (*root == '-' || (*root >= '0' && *root <= '9')) ? "a number"
                                                                                   : nullptr;
            if (found == nullptr) scan.unexpected("a job object");
            throw JobError(source.offset(root), std::string("$: expected an object, found ") + found);
        }
        scan.expect('{', "'{'");
        std::vector<Member> members;
        std::vector<std::pair<const char*, const char*>> setups;
        bool hasSetups = false;
        if (!scan.take('}')) {
            do {
                const char* keyStart = scan.string("a member name in quotes");
                Member member{memberName(builder, keyStart, scan.at()), nullptr, nullptr};
                scan.expect(':', "':' after the member name");
                scan.space();
                if (member.key == "setups" && scan.at() != source.end() && *scan.at() == '[') {
                    hasSetups = true;
                    setups.clear();
                    scan.expect('[', "'['");
                    if (!scan.take(']')) {
                        do {
                            const char* start = scan.value();
                            setups.emplace_back(start, scan.at());
                            scanned.passed(source.offset(scan.at()));
                        } while (scan.take(','));
                        scan.expect(']', "',' or ']' in the list of set-ups");
                    }
                    continue;
                }
                if (member.key == "setups") hasSetups = true;
                member.start = scan.value();
                member.end = scan.at();
                members.push_back(std::move(member));
            } while (scan.take(','));
            scan.expect('}', "',' or '}' after a member of the job");
        }
        if (scan.space()) source.malformed(scan.at(), "text after the end of the job");

        // The second pass: each value parsed and handed over on its own.
        for (const Member& member : inOrder(std::move(members))) {
            events.member(member.key, builder.parse(member.start, member.end));
        }
        events.setupsBegin(hasSetups, source.offset(root));
        PageReleaser read(source.text(), mapped);
        std::size_t index = 0;
        for (const auto& [start, end] : setups) {
            builder.open(start, end);
            events.setup(index++, builder);
            read.passed(source.offset(end));
        }
    } catch (const JobError& error) {
        // An error about another input (a point list read while this job's header was read) is
        // that input's to name.
        if (error.input() != 0) throw;
        source.job(error);
    }
}

std::string location(std::string_view text, const std::string& source, std::size_t offset) {
    if (offset > text.size()) offset = text.size();
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return source + ":" + std::to_string(line) + ":" + std::to_string(offset - lineStart + 1);
}

InputText readFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) throw HostError(kExitInput, "cannot read " + path + ": " + std::strerror(errno));
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        close(fd);
        throw HostError(kExitInput, "cannot read " + path + ": " + std::strerror(error));
    }
    InputText input;
    // A regular file is mapped: no copy, and the pages are the system's file cache.
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        void* map = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            close(fd);
            madvise(map, static_cast<std::size_t>(info.st_size), MADV_SEQUENTIAL);
            input.m_map = map;
            input.m_size = static_cast<std::size_t>(info.st_size);
            return input;
        }
    }
    std::string& text = input.m_owned;
    std::size_t done = 0;
    while (true) {
        if (text.size() - done < 65536) text.resize(text.size() + 262144);
        const ssize_t got = ::read(fd, text.data() + done, text.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            throw HostError(kExitInput, "cannot read " + path + ": " + std::strerror(error));
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    close(fd);
    text.resize(done);
    return input;
}

InputText::InputText(InputText&& other) noexcept
    : m_map(std::exchange(other.m_map, nullptr)),
      m_size(other.m_size),
      m_owned(std::move(other.m_owned)),
      m_borrowed(other.m_borrowed) {}

InputText InputText::borrowed(std::string_view text) {
    InputText input;
    input.m_borrowed = text.data() != nullptr ? text.data() : "";
    input.m_size = text.size();
    return input;
}

InputText::~InputText() {
    if (m_map != nullptr) munmap(m_map, m_size);
}

std::string_view InputText::text() const noexcept {
    if (m_map != nullptr) return {static_cast<const char*>(m_map), m_size};
    if (m_borrowed != nullptr) return {m_borrowed, m_size};
    return m_owned;
}

}  // namespace exportgen
