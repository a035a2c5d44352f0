// The warnings of one run: what a format could not carry, reported on stderr one line each,
// "exportgen: warning: FORMAT: what (where)", a limited number per format and a count of the
// rest. --strict makes the first warning an error (kExitStrict); --quiet keeps them off stderr.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace exportgen {

struct WarningPolicy {
    bool strict = false;   ///< the first warning ends the run with kExitStrict
    bool quiet = false;    ///< nothing is printed
    std::size_t cap = 20;  ///< lines printed per list; the rest are counted
};

/// The warnings of one format (or of the job itself), kept in the order they came.
class WarningList {
public:
    WarningList(std::string source, WarningPolicy policy) : m_source(std::move(source)), m_policy(policy) {}

    /// One warning: `what` happened at `where` (a JSON path or a record). Throws
    /// HostError(kExitStrict) under --strict.
    void add(const std::string& what, const std::string& where);
    /// A warning that tells what was done rather than what was lost (a value worked out from
    /// others): counted and printed like any other, but no error under --strict.
    void inform(const std::string& what, const std::string& where);
    [[nodiscard]] std::size_t count() const noexcept { return m_count; }
    [[nodiscard]] bool strict() const noexcept { return m_policy.strict; }
    [[nodiscard]] const WarningPolicy& policy() const noexcept { return m_policy; }
    void setPolicy(WarningPolicy policy) { m_policy = policy; }
    /// The kept lines, then "exportgen: warning: FORMAT: N more warnings" for the rest;
    /// nothing under --quiet.
    void print(std::ostream& err) const;

private:
    std::string m_source;
    WarningPolicy m_policy;
    std::vector<std::string> m_lines;
    std::size_t m_count = 0;
};

}  // namespace exportgen
