#include "cli/check.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <vector>

#include "cli/errors.h"
#include "embedded.h"
#include "job/job.h"
#include "readers/job_reader.h"
#include "readers/json_schema.h"

namespace exportgen {

const JsonSchema& jobSchema() {
    static const nlohmann::json document = nlohmann::json::parse(jobSchemaText());
    static const JsonSchema schema(document);
    return schema;
}

namespace {

// A member named twice counts with its last value; a check says so.
void reportShadowed(const JsonValue& value, const JsonPath& path, JobProblems& problems) {
    if (value.isObject()) {
        for (const JsonValue& member : value) {
            const JsonPath field{&path, member.key()};
            if (member.shadowed()) {
                problems.add(member.offset(), field.text() + ": named twice; the later value counts", true);
            } else {
                reportShadowed(member, field, problems);
            }
        }
    } else if (value.isArray()) {
        std::size_t index = 0;
        for (const JsonValue& item : value) reportShadowed(item, JsonPath{&path, index++}, problems);
    }
}

// Reads the whole job as Converter does, but writes nothing and stops at no error: every
// violation of the schema and every unknown point goes to `problems`. A value that breaks the
// schema is not built into the job model (its fields cannot be trusted); the rest is.
class Checker : public JobEvents {
public:
    Checker(Job& job, JobProblems& problems)
        : m_job(job),
          m_problems(problems),
          m_schema(jobSchema()),
          m_setupSchema(m_schema.items(m_schema.property(m_schema.root(), "setups"))) {
        m_job.problems = &problems;
    }
    ~Checker() override { m_job.problems = nullptr; }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    void member(std::string_view key, const JsonValue& value) override {
        const std::string name(key);
        JsonPath root;
        JsonPath path{&root, key};
        m_present.push_back(name);
        const JsonSchema::Node* schema = m_schema.property(m_schema.root(), name);
        if (schema == nullptr) return m_problems.add(value.offset(), path.text() + ": unknown field");
        reportShadowed(value, path, m_problems);
        if (key == "points" && value.isArray()) {
            // Each good point is known to the set-ups, so that one bad point does not make every
            // point a set-up names unknown.
            const JsonSchema::Node* item = m_schema.items(schema);
            std::size_t index = 0;
            for (const JsonValue& entry : value) {
                const JsonPath at{&path, index};
                if (m_schema.collect(item, entry, at, m_problems) == 0) m_job.applyPoint(entry, index);
                ++index;
            }
            return;
        }
        if (m_schema.collect(schema, value, path, m_problems) == 0) m_job.apply(key, value);
    }

    void setupsBegin(bool hasSetups, std::size_t root) override {
        if (hasSetups) m_present.emplace_back("setups");
        JsonPath path;
        try {
            m_schema.checkRequired(m_schema.root(), m_present, path, root);
        } catch (const JobError& error) {
            m_problems.add(error);
        }
    }

    void setup(std::size_t index, const JsonValue& value) override {
        JsonPath root;
        JsonPath setups{&root, std::string_view("setups")};
        JsonPath path{&setups, index};
        reportShadowed(value, path, m_problems);
        if (m_schema.collect(m_setupSchema, value, path, m_problems) == 0) (void)m_job.makeSetup(value, index);
    }

private:
    Job& m_job;
    JobProblems& m_problems;
    const JsonSchema& m_schema;
    const JsonSchema::Node* m_setupSchema;
    std::vector<std::string> m_present;
};

constexpr std::size_t kShownProblems = 50;

// What a check found, in the order of the file: "FILE:LINE:COL: $.path: message", warnings
// with "warning: " before them, the warnings left out when `onlyErrors`.
std::vector<std::string> locatedProblems(const JobProblems& problems, std::string_view text, const std::string& source,
                                         bool onlyErrors, const Locator& locate) {
    std::vector<JobProblems::Problem> kept;
    for (const auto& problem : problems.kept()) {
        if (!onlyErrors || !problem.warning) kept.push_back(problem);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
    // Lines and columns counted in one walk over the file.
    std::vector<std::string> lines;
    std::size_t line = 1, lineStart = 0, at = 0;
    for (const auto& problem : kept) {
        const std::string prefix = problem.warning ? "warning: " : "";
        if (locate) {
            // A document a reader made of another file: its places are that file's.
            lines.push_back(prefix + locate(problem.offset) + ": " + problem.message);
            continue;
        }
        const std::size_t offset = std::min(problem.offset, text.size());
        for (; at < offset; ++at) {
            if (text[at] == '\n') {
                ++line;
                lineStart = at + 1;
            }
        }
        lines.push_back(prefix + source + ':' + std::to_string(line) + ':' + std::to_string(offset - lineStart + 1) +
                        ": " + problem.message);
    }
    return lines;
}

JobProblems checkJob(std::string_view text, const std::string& source, const Locator& locate) {
    Job job;
    JobProblems problems(kShownProblems);
    Checker checker(job, problems);
    readJob(text, source, checker, false, locate);
    return problems;
}

}  // namespace

// exportgen check: every problem on its line, how many were not shown, and a count. True when
// there is no error (warnings alone pass).
bool reportCheck(std::string_view text, const std::string& source, std::ostream& err, const Locator& locate) {
    const JobProblems problems = checkJob(text, source, locate);
    const std::vector<std::string> lines = locatedProblems(problems, text, source, false, locate);
    for (const auto& line : lines) err << "exportgen: " << line << '\n';
    const std::size_t total = problems.errors() + problems.warnings();
    if (total > lines.size()) err << "exportgen: ... and " << total - lines.size() << " more\n";
    if (total > 0) {
        err << "exportgen: " << source << ": " << problems.errors()
            << (problems.errors() == 1 ? " error, " : " errors, ") << problems.warnings()
            << (problems.warnings() == 1 ? " warning" : " warnings") << '\n';
    }
    return problems.errors() == 0;
}

// Before a conversion to a destination that cannot be replaced: the job's errors reported as
// the conversion reports its one error, all of them; the last is thrown (HostError kExitJob)
// with the count of those not shown.
void checkBeforeWriting(std::string_view text, const std::string& source, std::ostream& err, const Locator& locate) {
    const JobProblems problems = checkJob(text, source, locate);
    if (problems.errors() == 0) return;
    const std::vector<std::string> lines = locatedProblems(problems, text, source, true, locate);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) err << "exportgen: " << lines[i] << '\n';
    std::string last = lines.empty() ? source + ": the job has errors" : lines.back();
    if (problems.errors() > lines.size())
        last += " (and " + std::to_string(problems.errors() - lines.size()) + " more)";
    throw HostError(kExitJob, last);
}

}  // namespace exportgen
