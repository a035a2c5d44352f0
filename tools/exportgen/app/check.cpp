#include "app/check.h"

#include <algorithm>
#include <vector>

#include "app/pipeline.h"
#include "base/problems.h"

namespace exportgen::app {

namespace {

constexpr std::size_t kShownProblems = 50;

// What a check found, in the order of the file: "FILE:LINE:COL: $.path: message", warnings
// with "warning: " before them, the warnings left out when `onlyErrors`.
std::vector<std::string> locatedProblems(const JobProblems& problems, std::string_view text, const std::string& source,
                                         bool onlyErrors, const JobSource* points) {
    std::vector<JobProblems::Problem> kept;
    for (const auto& problem : problems.kept()) {
        if (!onlyErrors || !problem.warning) kept.push_back(problem);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
        return a.input != b.input ? a.input > b.input : a.offset < b.offset;
    });
    // Lines and columns counted in one walk over the file.
    std::vector<std::string> lines;
    std::size_t line = 1, lineStart = 0, at = 0;
    for (const auto& problem : kept) {
        const std::string prefix = problem.warning ? "warning: " : "";
        if (problem.input == kPointsInput && points != nullptr) {
            // A point list of --points, before the job it joins.
            lines.push_back(prefix + points->place(problem.offset) + ": " + problem.message);
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

JobProblems checkJob(const JobSource& input, const JobSource* points) {
    JobProblems problems(kShownProblems);
    PipelineOptions options;
    options.collect = &problems;
    options.extraPoints = points;
    Pipeline pipeline(input, std::move(options));
    pipeline.run();
    return problems;
}

}  // namespace

// exportgen check: every problem on its line, how many were not shown, and a count. True when
// there is no error (warnings alone pass).
bool reportCheck(const JobSource& input, const JobSource* points, std::ostream& err) {
    const std::string_view text = input.text();
    const std::string& source = input.source();
    const JobProblems problems = checkJob(input, points);
    const std::vector<std::string> lines = locatedProblems(problems, text, source, false, points);
    for (const auto& line : lines) err << "exportgen: " << line << '\n';
    const std::size_t total = problems.errors() + problems.warnings();
    if (total > lines.size()) err << "exportgen: ... and " << total - lines.size() << " more\n";
    err << "exportgen: " << source << ": " << problems.errors() << (problems.errors() == 1 ? " error, " : " errors, ")
        << problems.warnings() << (problems.warnings() == 1 ? " warning" : " warnings") << '\n';
    return problems.errors() == 0;
}

// Before a conversion to a destination that cannot be replaced: the job's errors reported as
// the conversion reports its one error, all of them; the last is thrown (HostError kExitJob)
// with the count of those not shown.
void checkBeforeWriting(const JobSource& input, const JobSource* points, std::ostream& err) {
    const std::string_view text = input.text();
    const std::string& source = input.source();
    const JobProblems problems = checkJob(input, points);
    if (problems.errors() == 0) return;
    const std::vector<std::string> lines = locatedProblems(problems, text, source, true, points);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) err << "exportgen: " << lines[i] << '\n';
    std::string last = lines.empty() ? source + ": the job has errors" : lines.back();
    if (problems.errors() > lines.size())
        last += " (and " + std::to_string(problems.errors() - lines.size()) + " more)";
    throw HostError(kExitJob, last);
}

}  // namespace exportgen::app
