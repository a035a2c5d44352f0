// The texts of an SVG plan: numbers with a fixed number of decimals, written without the
// locale, and names escaped as XML character data, so that any name a job holds (a line break,
// an ampersand, a lone surrogate, any script) gives a well-formed file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/record_sink.h"

namespace exportgen::plot {

/// Appends `value` with `decimals` decimals (0 to 9); a value whose digits are all zero is
/// written without "-". False, and nothing appended, for NaN and infinities.
bool appendFixed(std::string& out, double value, int decimals);

/// Appends the UTF-8 text `utf8` as XML character data (also fit for an attribute in double
/// quotes): `&`, `<`, `>` and `"` as entities; control characters, bytes that are no UTF-8 and
/// characters XML cannot hold each as U+FFFD. A text longer than `maxCharacters` is cut there and
/// ends with "…".
void appendXmlText(std::string& out, std::string_view utf8, std::size_t maxCharacters);

/// The SVG as it is written: a buffer handed to the sink whenever it has grown, so that a plan of
/// a million points is never held whole as text.
class SvgOut {
public:
    explicit SvgOut(RecordSink& sink) : m_sink(sink) { m_buffer.reserve(kChunk + 4096); }
    SvgOut(const SvgOut&) = delete;
    SvgOut& operator=(const SvgOut&) = delete;

    /// The decimals of coordinates and lengths in the plan's units.
    void setDecimals(int decimals) noexcept { m_decimals = decimals; }
    [[nodiscard]] int decimals() const noexcept { return m_decimals; }

    /// Markup as it is.
    SvgOut& operator<<(std::string_view markup) {
        m_buffer.append(markup);
        return *this;
    }
    SvgOut& operator<<(char ch) {
        m_buffer.push_back(ch);
        return *this;
    }
    /// A coordinate or length with the plan's decimals ("0" for a value that is not finite,
    /// which the plan never draws).
    SvgOut& number(double value) { return number(value, m_decimals); }
    SvgOut& number(double value, int decimals) {
        if (!appendFixed(m_buffer, value, decimals)) m_buffer.push_back('0');
        return *this;
    }
    /// A whole number.
    SvgOut& count(unsigned long long value);
    /// A text of the job, escaped and cut (see appendXmlText).
    SvgOut& text(std::string_view utf8, std::size_t maxCharacters = 60) {
        appendXmlText(m_buffer, utf8, maxCharacters);
        return *this;
    }
    /// Hands what is buffered to the sink once the buffer is large.
    void maybeFlush() {
        if (m_buffer.size() >= kChunk) flush();
    }
    void flush();
    /// The lines handed to the sink.
    [[nodiscard]] std::size_t lines() const noexcept { return m_lines; }
    /// The bytes written so far, handed on or buffered.
    [[nodiscard]] std::size_t size() const noexcept { return m_handed + m_buffer.size(); }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    RecordSink& m_sink;
    std::string m_buffer;
    int m_decimals = 2;
    std::size_t m_lines = 0;
    std::size_t m_handed = 0;
};

}  // namespace exportgen::plot
