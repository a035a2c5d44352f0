#include "readers/raw_input.h"

#include "cli/errors.h"

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

RawInput::RawInput(std::string_view text, std::string source,
                   std::function<void(const std::string& what, const std::string& where)> warn)
    : m_text(text), m_source(std::move(source)), m_warn(std::move(warn)) {}

void RawInput::malformed(const RawLines& at, std::size_t column, const std::string& what) const {
    throw HostError(kExitJson,
                    m_source + ":" + std::to_string(at.number()) + ":" + std::to_string(column + 1) + ": " + what);
}

void RawInput::warn(const RawLines& at, const std::string& what) const {
    if (m_warn) m_warn(what, m_source + ":" + std::to_string(at.number()));
}

}  // namespace exportgen
