#include "app/check.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
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

JobProblems checkOnce(const JobSource& input, const JobSource* points, std::optional<Pipeline::Stop>& stopped) {
    JobProblems problems(kShownProblems);
    PipelineOptions options;
    options.collect = &problems;
    options.extraPoints = points;
    Pipeline pipeline(input, std::move(options));
    pipeline.run();
    stopped = pipeline.stopped();
    return problems;
}

// The line of `text` that holds `offset`: its first byte and the byte past its end.
std::pair<std::size_t, std::size_t> lineAround(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    const std::size_t before = offset == 0 ? std::string_view::npos : text.find_last_of("\r\n", offset - 1);
    const std::size_t begin = before == std::string_view::npos ? 0 : before + 1;
    const std::size_t end = std::min(text.find_first_of("\r\n", offset), text.size());
    return {begin, std::max(end, begin)};
}

struct Checked {
    JobProblems problems;
    bool unreadable = false;  ///< a line of a raw file or a point list cannot be read (kExitJson)
};

Checked checkJob(const JobSource& input, const JobSource* points) {
    std::optional<Pipeline::Stop> stopped;
    JobProblems problems = checkOnce(input, points, stopped);
    if (!stopped || !input.built()) return {std::move(problems), false};
    // A line the reader of a raw file or a point list cannot read ends its read. To find the
    // lines after it, the file is read again with that line blanked (every byte a space, so that
    // every other byte keeps its place), until a read goes through or the list is full.
    std::string edited(input.text());
    std::vector<std::pair<std::size_t, std::size_t>> blanked;
    std::vector<JobProblems::Problem> stops;
    bool unreadable = false;
    while (stopped && stops.size() + 1 < kShownProblems) {
        const auto line = lineAround(edited, stopped->problem.offset);
        const bool again = std::any_of(blanked.begin(), blanked.end(), [&](const auto& b) { return b == line; });
        if (again || line.first >= line.second) break;  // nothing left to blank on that line
        unreadable = unreadable || stopped->code == kExitJson;
        stops.push_back(std::move(stopped->problem));
        std::fill(edited.begin() + static_cast<std::ptrdiff_t>(line.first),
                  edited.begin() + static_cast<std::ptrdiff_t>(line.second), ' ');
        blanked.push_back(line);
        try {
            problems = checkOnce(*input.withText(edited), points, stopped);
        } catch (const HostError&) {
            // Nothing left that reads (the blanked lines were all there was): what stopped the
            // reads is the whole story.
            problems = JobProblems(kShownProblems);
            break;
        }
    }
    // The lines that stopped a read, then what the last read found, but for what it says of
    // the blanks.
    JobProblems merged(kShownProblems);
    for (JobProblems::Problem& stop : stops) merged.add(stop.offset, std::move(stop.message), false, kJobInput);
    std::size_t errors = 0, warnings = 0;
    for (const JobProblems::Problem& problem : problems.kept()) {
        ++(problem.warning ? warnings : errors);
        const bool onBlank =
            problem.input == kJobInput && std::any_of(blanked.begin(), blanked.end(), [&](const auto& b) {
                return problem.offset >= b.first && problem.offset <= b.second;
            });
        if (!onBlank) merged.add(problem.offset, problem.message, problem.warning, problem.input);
    }
    for (std::size_t i = errors; i < problems.errors(); ++i) merged.count(false);
    for (std::size_t i = warnings; i < problems.warnings(); ++i) merged.count(true);
    return {std::move(merged), unreadable};
}

}  // namespace

// exportgen check: every problem on its line, how many were not shown, and a count. True when
// there is no error (warnings alone pass).
int reportCheck(const JobSource& input, const JobSource* points, std::ostream& err) {
    const std::string_view text = input.text();
    const std::string& source = input.source();
    const Checked checked = checkJob(input, points);
    const JobProblems& problems = checked.problems;
    const std::vector<std::string> lines = locatedProblems(problems, text, source, false, points);
    for (const auto& line : lines) err << "exportgen: " << line << '\n';
    const std::size_t total = problems.errors() + problems.warnings();
    if (total > lines.size()) err << "exportgen: ... and " << total - lines.size() << " more\n";
    err << "exportgen: " << source << ": " << problems.errors() << (problems.errors() == 1 ? " error, " : " errors, ")
        << problems.warnings() << (problems.warnings() == 1 ? " warning" : " warnings") << '\n';
    if (problems.errors() == 0) return kExitOk;
    return checked.unreadable ? kExitJson : kExitJob;
}

// Before a conversion to a destination that cannot be replaced: the job's errors reported as
// the conversion reports its one error, all of them; the last is thrown (HostError kExitJob)
// with the count of those not shown.
void checkBeforeWriting(const JobSource& input, const JobSource* points, std::ostream& err) {
    const std::string_view text = input.text();
    const std::string& source = input.source();
    const Checked checked = checkJob(input, points);
    const JobProblems& problems = checked.problems;
    if (problems.errors() == 0) return;
    const std::vector<std::string> lines = locatedProblems(problems, text, source, true, points);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) err << "exportgen: " << lines[i] << '\n';
    std::string last = lines.empty() ? source + ": the job has errors" : lines.back();
    if (problems.errors() > lines.size())
        last += " (and " + std::to_string(problems.errors() - lines.size()) + " more)";
    throw HostError(checked.unreadable ? kExitJson : kExitJob, last);
}

}  // namespace exportgen::app
