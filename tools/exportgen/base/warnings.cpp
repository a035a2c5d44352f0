#include "base/warnings.h"

#include "base/problems.h"

namespace exportgen {

void WarningList::add(const std::string& what, const std::string& where) {
    if (m_policy.strict) {
        throw HostError(kExitStrict, "warning made an error by --strict: " + m_source + ": " + what +
                                         (where.empty() ? "" : " (" + where + ")"));
    }
    inform(what, where);
}

void WarningList::inform(const std::string& what, const std::string& where) {
    ++m_count;
    if (m_lines.size() >= m_policy.cap) return;
    std::string line = m_source + ": " + what;
    if (!where.empty()) line += " (" + where + ")";
    m_lines.push_back(std::move(line));
}

void WarningList::print(std::ostream& err) const {
    if (m_policy.quiet) return;
    for (const auto& line : m_lines) err << "exportgen: warning: " << line << '\n';
    if (m_count > m_lines.size()) {
        const std::size_t rest = m_count - m_lines.size();
        err << "exportgen: warning: " << m_source << ": " << rest << " more warning" << (rest == 1 ? "" : "s")
            << " not shown\n";
    }
}

}  // namespace exportgen
