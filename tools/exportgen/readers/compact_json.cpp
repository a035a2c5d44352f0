#include "readers/compact_json.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "output/text.h"

namespace exportgen {

namespace {

// Characters that stand for themselves in a string: printable ASCII but '"' and '\\'.
constexpr bool plainCharacter(unsigned char ch) noexcept { return ch >= 0x20 && ch < 0x80 && ch != '"' && ch != '\\'; }

struct PlainTable {
    bool plain[256] = {};
    constexpr PlainTable() {
        for (int ch = 0; ch < 256; ++ch) plain[ch] = plainCharacter(static_cast<unsigned char>(ch));
    }
};
constexpr PlainTable kPlain;

bool isDigit(char ch) noexcept { return ch >= '0' && ch <= '9'; }

// The length of the well-formed UTF-8 sequence at `at` whose first byte is 0x80 or more, or 0:
// the shortest form only, no surrogates, nothing above U+10FFFF.
std::size_t utf8Sequence(const char* at, const char* end) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(at[i]); };
    const auto left = static_cast<std::size_t>(end - at);
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

int hexDigit(char ch) noexcept {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

std::uint32_t checkedLength(std::size_t length) {
    if (length > std::numeric_limits<std::uint32_t>::max()) throw CompactJsonRefused("text too long");
    return static_cast<std::uint32_t>(length);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Values

const CompactValue* CompactValue::at(std::size_t index) const noexcept {
    if ((m_type != Type::array && m_type != Type::object) || index >= m_count) return nullptr;
    const CompactValue* item = this + 1;
    for (; index > 0; --index) item += item->m_span;
    return item;
}

// ---------------------------------------------------------------------------------------------
// The parser

void CompactDocument::refuse(const char* why) { throw CompactJsonRefused(why); }

void CompactDocument::skipByteOrderMark() noexcept {
    if (m_end - m_at >= 3 && std::memcmp(m_at, "\xEF\xBB\xBF", 3) == 0) m_at += 3;
}

void CompactDocument::skipSpace() noexcept {
    while (m_at != m_end && (*m_at == ' ' || *m_at == '\n' || *m_at == '\r' || *m_at == '\t')) ++m_at;
}

bool CompactDocument::atEnd() noexcept {
    skipSpace();
    return m_at == m_end;
}

bool CompactDocument::take(char ch) noexcept {
    skipSpace();
    if (m_at == m_end || *m_at != ch) return false;
    ++m_at;
    return true;
}

void CompactDocument::string(std::string& out) {
    skipSpace();
    if (m_at == m_end || *m_at != '"') refuse("expected a string");
    out.assign(scanString());
    m_decoded.clear();
}

// At an opening quote: the text up to the closing quote, which is taken. A text without escapes
// is a view of the file.
std::string_view CompactDocument::scanString() {
    const char* start = ++m_at;
    while (true) {
        while (m_at != m_end && kPlain.plain[static_cast<unsigned char>(*m_at)]) ++m_at;
        if (m_at == m_end) refuse("unterminated string");
        const auto ch = static_cast<unsigned char>(*m_at);
        if (ch == '"') {
            std::string_view text(start, static_cast<std::size_t>(m_at - start));
            ++m_at;
            return text;
        }
        if (ch == '\\') return decodeString(start);
        if (ch < 0x20) refuse("control character in a string");
        const std::size_t length = utf8Sequence(m_at, m_end);
        if (length == 0) refuse("ill-formed UTF-8");
        m_at += length;
    }
}

// The rest of a string that has escapes, decoded into storage of its own.
std::string_view CompactDocument::decodeString(const char* start) {
    std::string& out = m_scratch;
    out.assign(start, m_at);
    while (true) {
        if (m_at == m_end) refuse("unterminated string");
        const auto ch = static_cast<unsigned char>(*m_at);
        if (ch == '"') {
            ++m_at;
            break;
        }
        if (ch < 0x20) refuse("control character in a string");
        if (ch >= 0x80) {
            const std::size_t length = utf8Sequence(m_at, m_end);
            if (length == 0) refuse("ill-formed UTF-8");
            out.append(m_at, length);
            m_at += length;
            continue;
        }
        if (ch != '\\') {
            out += static_cast<char>(ch);
            ++m_at;
            continue;
        }
        if (m_end - m_at < 2) refuse("unterminated escape");
        const char escaped = m_at[1];
        m_at += 2;
        switch (escaped) {
            case '"':
                out += '"';
                continue;
            case '\\':
                out += '\\';
                continue;
            case '/':
                out += '/';
                continue;
            case 'b':
                out += '\b';
                continue;
            case 'f':
                out += '\f';
                continue;
            case 'n':
                out += '\n';
                continue;
            case 'r':
                out += '\r';
                continue;
            case 't':
                out += '\t';
                continue;
            case 'u':
                break;
            default:
                refuse("bad escape");
        }
        const auto hex4 = [this]() -> std::uint32_t {
            if (m_end - m_at < 4) refuse("bad \\u escape");
            std::uint32_t code = 0;
            for (int i = 0; i < 4; ++i) {
                const int digit = hexDigit(m_at[i]);
                if (digit < 0) refuse("bad \\u escape");
                code = code * 16 + static_cast<std::uint32_t>(digit);
            }
            m_at += 4;
            return code;
        };
        std::uint32_t code = hex4();
        if (code >= 0xDC00 && code <= 0xDFFF) refuse("lone low surrogate");
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (m_end - m_at < 2 || m_at[0] != '\\' || m_at[1] != 'u') refuse("lone high surrogate");
            m_at += 2;
            const std::uint32_t low = hex4();
            if (low < 0xDC00 || low > 0xDFFF) refuse("lone high surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        const auto wide = static_cast<wchar_t>(code);
        appendUtf8(out, std::wstring_view(&wide, 1));
    }
    const std::string& kept = m_decoded.emplace_back(out);
    return kept;
}

// A number as the grammar has it: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
void CompactDocument::scanNumber(CompactValue& node) {
    const auto digitRun = [this] {
        const char* first = m_at;
        while (m_at != m_end && isDigit(*m_at)) ++m_at;
        return first;
    };
    const char* start = m_at;
    const bool negative = *m_at == '-';
    if (negative) ++m_at;
    if (m_at == m_end || !isDigit(*m_at)) refuse("bad number");
    const char* whole = m_at;
    if (*m_at == '0') {
        ++m_at;
    } else {
        digitRun();
    }
    const char* wholeEnd = m_at;
    const char* fraction = m_at;
    bool integral = true;
    if (m_at != m_end && *m_at == '.') {
        ++m_at;
        fraction = digitRun();
        if (fraction == m_at) refuse("bad number");
        integral = false;
    }
    const char* fractionEnd = m_at;
    int exponent = 0;
    if (m_at != m_end && (*m_at == 'e' || *m_at == 'E')) {
        ++m_at;
        const bool below = m_at != m_end && *m_at == '-';
        if (m_at != m_end && (*m_at == '+' || *m_at == '-')) ++m_at;
        const char* first = digitRun();
        if (first == m_at) refuse("bad number");
        for (; first != m_at && exponent < 100000; ++first) exponent = exponent * 10 + (*first - '0');
        if (below) exponent = -exponent;
        integral = false;
    }
    // The significant digits as one integer, when there are at most 19 of them (the zeros of
    // "0.00…" before the first other digit do not count).
    std::uint64_t digits = ~std::uint64_t{0};
    std::size_t significant = static_cast<std::size_t>((wholeEnd - whole) + (fractionEnd - fraction));
    if (*whole == '0') {
        --significant;
        for (const char* at = fraction; at != fractionEnd && *at == '0'; ++at) --significant;
    }
    if (significant <= 19) {
        digits = 0;
        for (const char* at = whole; at != wholeEnd; ++at) digits = digits * 10 + static_cast<std::uint64_t>(*at - '0');
        for (const char* at = fraction; at != fractionEnd; ++at)
            digits = digits * 10 + static_cast<std::uint64_t>(*at - '0');
    }
    node.m_type = CompactValue::Type::number;
    // (A fraction of more than a million digits is out of the exact range all the same.)
    const auto decimals = static_cast<int>(std::min<std::ptrdiff_t>(fractionEnd - fraction, 1000000));
    node.m_number = numberOf(start, negative, integral, digits, exponent - decimals);
}

// The double of the number text [start, m_at): from its digits where that is exact, else with
// std::from_chars. `digits` is the significant digits as an integer, or all ones when there were
// too many; the value is digits × 10^exponent.
double CompactDocument::numberOf(const char* start, bool negative, bool integral, std::uint64_t digits,
                                 int exponent) const {
    constexpr std::uint64_t kTooMany = ~std::uint64_t{0};
    if (integral && digits != kTooMany) {
        // An integer that fits 64 bits is an integer to the other reader, whose double is the
        // integer's: "-0" is +0 there.
        const double value = static_cast<double>(digits);
        return negative && digits != 0 ? -value : value;
    }
    // Both factors exact as doubles: one correctly rounded product or quotient.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (!integral && digits <= (std::uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
        const double value = exponent < 0 ? static_cast<double>(digits) / kPowers[-exponent]
                                          : static_cast<double>(digits) * kPowers[exponent];
        return negative ? -value : value;
    }
    if (integral) {  // more than 19 digits: an integer still when it fits 64 bits
        if (negative) {
            std::int64_t value = 0;
            if (std::from_chars(start, m_at, value).ec == std::errc()) return static_cast<double>(value);
        } else {
            std::uint64_t value = 0;
            if (std::from_chars(start, m_at, value).ec == std::errc()) return static_cast<double>(value);
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(start, m_at, value);
    if (result.ec == std::errc() && result.ptr == m_at) return value;
    // Beyond the double range: the other reader takes the value strtod gives (0 for a value
    // too small, an error for one too large), and so does this one.
    const std::string token(start, m_at);
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    if (c == nullptr) refuse("number out of range");
    value = strtod_l(token.c_str(), nullptr, c);
    if (!std::isfinite(value)) refuse("number out of range");
    return value;
}

void CompactDocument::literal(const char* word, std::size_t length) {
    if (static_cast<std::size_t>(m_end - m_at) < length || std::memcmp(m_at, word, length) != 0) refuse("bad literal");
    m_at += length;
}

// A member's name and the colon after it. A member of the same name before it is shadowed.
void CompactDocument::member(std::size_t object) {
    skipSpace();
    if (m_at == m_end || *m_at != '"') refuse("expected a member name");
    const std::string_view name = scanString();
    const std::uint64_t tag = nameTag(name);
    const std::size_t next = m_nodes.size();
    for (std::size_t i = object + 1; i < next; i += m_nodes[i].m_span) {
        if (sameName(m_nodes[i].key(), m_nodes[i].m_keyTag, name, tag)) m_nodes[i].m_shadowed = true;
    }
    if (!take(':')) refuse("expected ':'");
    CompactValue& node = m_nodes.emplace_back();
    node.m_key = name.data();
    node.m_keyLength = checkedLength(name.size());
    node.m_keyTag = tag;
}

const CompactValue& CompactDocument::value() {
    m_nodes.clear();
    m_open.clear();
    m_decoded.clear();
    m_nodes.emplace_back();
    while (true) {
        // The node last added awaits its value.
        skipSpace();
        if (m_at == m_end) refuse("unexpected end");
        const std::size_t index = m_nodes.size() - 1;
        CompactValue& node = m_nodes[index];
        bool complete = true;
        switch (*m_at) {
            case '{':
                ++m_at;
                node.m_type = CompactValue::Type::object;
                if (!take('}')) {
                    m_open.push_back(static_cast<std::uint32_t>(index));
                    member(index);
                    complete = false;
                }
                break;
            case '[':
                ++m_at;
                node.m_type = CompactValue::Type::array;
                if (!take(']')) {
                    m_open.push_back(static_cast<std::uint32_t>(index));
                    m_nodes.emplace_back();
                    complete = false;
                }
                break;
            case '"': {
                const std::string_view text = scanString();
                CompactValue& string = m_nodes[index];
                string.m_type = CompactValue::Type::string;
                string.m_text = text.data();
                string.m_length = checkedLength(text.size());
                break;
            }
            case 't':
                literal("true", 4);
                node.m_type = CompactValue::Type::boolean;
                node.m_flag = true;
                break;
            case 'f':
                literal("false", 5);
                node.m_type = CompactValue::Type::boolean;
                break;
            case 'n':
                literal("null", 4);
                break;
            default:
                scanNumber(node);
                break;
        }
        if (!complete) continue;
        // A value is complete: close the arrays and objects it completes, then start the
        // next item or member.
        while (true) {
            if (m_open.empty()) return m_nodes.front();
            const std::uint32_t parent = m_open.back();
            CompactValue& container = m_nodes[parent];
            ++container.m_count;
            const bool isObject = container.m_type == CompactValue::Type::object;
            if (take(',')) {
                if (isObject) {
                    member(parent);
                } else {
                    m_nodes.emplace_back();
                }
                break;
            }
            if (!take(isObject ? '}' : ']')) refuse("expected ',' or the end of an array or object");
            m_nodes[parent].m_span = static_cast<std::uint32_t>(m_nodes.size() - parent);
            m_open.pop_back();
        }
    }
}

}  // namespace exportgen
