#include "cli/convert.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <optional>
#include <vector>

#include "cli/check.h"
#include "cli/errors.h"
#include "cli/input.h"
#include "cli/worker.h"
#include "contracts/text_services.h"
#include "embedded.h"
#include "job/job.h"
#include "output/text.h"
#include "readers/job_reader.h"
#include "readers/json_schema.h"
#include "writers/registry.h"

namespace exportgen {

namespace {

// The clock that --now fixes, for the length of one command.
class FixedClock {
public:
    explicit FixedClock(const std::string& text) {
        if (text.empty()) return;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        char tail = 0;
        if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 || mo < 1 ||
            mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) {
            throw HostError(kExitUsage, "--now: expected a local time YYYY-MM-DDThh:mm:ss, found \"" + text + "\"");
        }
        base::CTime::SetFixedCurrentTime(base::CTime(y, mo, d, h, mi, s));
    }
    ~FixedClock() { base::CTime::ClearFixedCurrentTime(); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;
};

// Whole numbers separated by `separator`, each of `minDigits` to `maxDigits` digits; false
// for any other text.
bool fields(std::string_view text, char separator, std::initializer_list<std::pair<int, int>> digits,
            std::vector<int>& values) {
    values.clear();
    std::size_t at = 0;
    for (const auto& [minDigits, maxDigits] : digits) {
        if (!values.empty()) {
            if (at >= text.size() || text[at] != separator) return false;
            ++at;
        }
        int value = 0, count = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && count < maxDigits) {
            value = value * 10 + (text[at++] - '0');
            ++count;
        }
        if (count < minDigits) return false;
        values.push_back(value);
    }
    return at == text.size();
}

// --now job: the clock fixed at the job's own creation date (day/month/year, as
// "job.created.date" is written) and time (h:mm or h:mm:ss; midnight when left out). Throws
// JobError at the value that cannot be read, or at the job when it has no creation date.
void fixClockFromJob(const Job& job, std::size_t root) {
    const Job::Created& created = job.created;
    if (!created.present) {
        throw JobError(root,
                       "$.job.created.date: missing; --now job takes the header dates from the job's creation date");
    }
    std::vector<int> date, time{0, 0, 0};
    const auto daysIn = [](int month, int year) {
        static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return month == 2 && leap ? 29 : kDays[month - 1];
    };
    if (!fields(created.date, '/', {{1, 2}, {1, 2}, {4, 4}}, date) || date[1] < 1 || date[1] > 12 || date[2] < 1 ||
        date[0] < 1 || date[0] > daysIn(date[1], date[2])) {
        throw JobError(created.dateOffset,
                       "$.job.created.date: --now job reads a date day/month/year such as 4/7/2025, found " +
                           shownName(created.date));
    }
    if (created.hasTime && !fields(created.time, ':', {{1, 2}, {2, 2}, {2, 2}}, time) &&
        !fields(created.time, ':', {{1, 2}, {2, 2}}, time)) {
        time.clear();
    }
    if (time.size() == 2) time.push_back(0);
    if (time.size() != 3 || time[0] > 23 || time[1] > 59 || time[2] > 59) {
        throw JobError(
            created.timeOffset,
            "$.job.created.time: --now job reads a time h:mm:ss such as 08:30:00, found " + shownName(created.time));
    }
    base::CTime::SetFixedCurrentTime(base::CTime(date[2], date[1], date[0], time[0], time[1], time[2]));
}

// Receives the job as it is read: validates each part against its piece of the schema, keeps
// the header parts, and converts each set-up as soon as it is read.
class Converter : public JobEvents {
public:
    Converter(Job& job, std::vector<std::string> formats, std::vector<Output*> outputs, WarningPolicy policy,
              bool sanitize, bool clockFromJob, const JobSource* extraPoints)
        : m_job(job),
          m_extraPoints(extraPoints),
          m_clockFromJob(clockFromJob),
          m_schema(jobSchema()),
          m_setupSchema(m_schema.items(m_schema.property(m_schema.root(), "setups"))),
          m_formats(std::move(formats)),
          m_outputs(std::move(outputs)),
          m_policy(policy),
          m_rules(textRulesFor(m_formats)) {
        TextCheck check;
        check.rules = &m_rules;
        check.sanitize = sanitize;
        // Told on this thread only: the job is read here. Under --strict the warning is an error
        // about the job's content, with its line and column.
        check.warn = [this](const char* source, const std::string& what, const std::string& where, std::size_t offset) {
            if (m_policy.strict) {
                throw JobError(offset, where + ": " + source + ": " + what + " (an error under --strict)", kExitStrict);
            }
            jobWarnings(source).add(what, where);
        };
        m_job.setTextCheck(std::move(check));
    }

    void member(std::string_view key, const JsonValue& value) override {
        const std::string name(key);
        JsonPath root;
        JsonPath path{&root, key};
        const JsonSchema::Node* schema = m_schema.property(m_schema.root(), name);
        if (schema == nullptr) throw JobError(value.offset(), path.text() + ": unknown field");
        m_schema.validate(schema, value, path);
        m_present.push_back(name);
        m_job.apply(key, value);
    }

    void setupsBegin(bool hasSetups, std::size_t root) override {
        if (hasSetups) m_present.emplace_back("setups");
        JsonPath path;
        m_schema.checkRequired(m_schema.root(), m_present, path, root);
        if (m_clockFromJob) fixClockFromJob(m_job, root);
        if (m_extraPoints != nullptr) addPoints(*m_extraPoints);
        for (std::size_t i = 0; i < m_formats.size(); ++i) {
            m_writers.push_back(makeFormatWriter(m_formats[i], m_job, *m_outputs[i]));
            m_writers.back()->warnings().setPolicy(m_policy);
            m_writers.back()->begin();
        }
        // Several formats share nothing but the set-up they read: half of them are written on a
        // second core while this one writes the other half and reads the next set-up.
        if (m_writers.size() > 1 && std::thread::hardware_concurrency() > 1) m_worker = std::make_unique<Worker>();
    }

    void setup(std::size_t index, const JsonValue& value) override {
        JsonPath root;
        JsonPath setups{&root, std::string_view("setups")};
        JsonPath path{&setups, index};
        m_schema.validate(m_setupSchema, value, path);
        if (!m_worker) {
            const Setup setup = m_job.makeSetup(value, index);
            for (auto& writer : m_writers) writer->setup(setup);
            return;
        }
        // The worker may still be writing the previous set-up from the other slot.
        Setup& setup = m_slots[index % 2];
        setup = m_job.makeSetup(value, index);
        m_worker->run([this, &setup] { write(setup, 1); });
        write(setup, 0);
    }

    /// Ends the conversion: the level runs and what the writers counted.
    void finish() {
        if (m_worker) m_worker->wait();
        for (auto& writer : m_writers) {
            writer->levelRuns();
            writer->end();
        }
    }

    /// Prints the warnings: the job's first, then each format's.
    void printWarnings(std::ostream& err) const {
        for (const auto& list : m_jobWarnings) list.print(err);
        for (const auto& writer : m_writers) writer->warnings().print(err);
    }

    /// The lines written and the warnings of the output of format `i`, the job's warnings
    /// about that format included.
    [[nodiscard]] std::pair<std::size_t, std::size_t> tally(std::size_t i) const {
        std::size_t warnings = m_writers[i]->warnings().count();
        for (std::size_t k = 0; k < m_jobWarnings.size(); ++k) {
            if (m_jobSources[k] == m_formats[i] || m_jobSources[k] == "job") warnings += m_jobWarnings[k].count();
        }
        return {m_writers[i]->records(), warnings};
    }

private:
    // The points of a point list (--points) join the job's known points, before the writers
    // write them; an error names the list's line.
    void addPoints(const JobSource& list) {
        class Adder : public JobEvents {
        public:
            explicit Adder(Converter& converter) : m_converter(converter) {}
            void member(std::string_view key, const JsonValue& value) override {
                if (key == "points") m_converter.member(key, value);
            }
            void setupsBegin(bool, std::size_t) override {}
            void setup(std::size_t, const JsonValue&) override {}

        private:
            Converter& m_converter;
        } adder(*this);
        readJob(list.text(), list.source(), adder, false, list.locator());
    }

    WarningList& jobWarnings(const char* source) {
        for (std::size_t k = 0; k < m_jobSources.size(); ++k) {
            if (m_jobSources[k] == source) return m_jobWarnings[k];
        }
        m_jobSources.emplace_back(source);
        m_jobWarnings.emplace_back(source, m_policy);
        return m_jobWarnings.back();
    }

    // The writers of every second format, from `first`.
    void write(const Setup& setup, std::size_t first) {
        for (std::size_t i = first; i < m_writers.size(); i += 2) m_writers[i]->setup(setup);
    }

    Job& m_job;
    const JobSource* m_extraPoints;
    bool m_clockFromJob;
    const JsonSchema& m_schema;
    const JsonSchema::Node* m_setupSchema;
    std::vector<std::string> m_formats;
    std::vector<Output*> m_outputs;
    std::vector<std::unique_ptr<FormatWriter>> m_writers;
    std::vector<std::string> m_present;
    WarningPolicy m_policy;
    TextRules m_rules;
    std::vector<std::string> m_jobSources;
    std::deque<WarningList> m_jobWarnings;
    Setup m_slots[2];
    std::unique_ptr<Worker> m_worker;  // last: it finishes its task before the rest goes
};

std::string knownFormats() { return formatNameList(", "); }

// The format whose suffix ends the file name of `path` (in any case: out.RW5 is RW5); null for
// any other name, "-" and the empty path.
const FormatEntry* formatOfPath(const std::string& path) {
    const std::string name = lowerAscii(path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1));
    for (const FormatEntry& format : formats()) {
        const std::string suffix = format.suffix;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return &format;
        }
    }
    return nullptr;
}

// The name of the input file without its folder and suffix ("field" of "data/field.rw5").
std::string baseName(const std::string& path) {
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? "job" : name;
}

}  // namespace

std::string inputPath(const std::string& path) { return path == "-" ? "/dev/stdin" : path; }

std::unique_ptr<Output> makeOutput(const std::string& path, std::ostream& out, Encoder& encoder,
                                   const OutputRules& rules) {
    if (path.empty() || path == "-") return std::make_unique<Output>(out, encoder);
    return std::make_unique<Output>(path, encoder, rules);
}

void convert(const ConvertOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> formats;
    std::string suffixWarning;  // -f and the output's suffix disagree: said once the output is written
    if (!options.allDirectory.empty()) {
        if (!options.format.empty() || !options.output.empty()) {
            throw HostError(kExitUsage, "--all writes every format: give it without --format and -o");
        }
        for (const FormatEntry& format : exportgen::formats()) formats.emplace_back(format.name);
    } else {
        const FormatEntry* bySuffix = formatOfPath(options.output);
        if (options.format.empty()) {
            if (bySuffix == nullptr) {
                throw HostError(kExitUsage, "convert needs --format (" + knownFormats() +
                                                "), an output file named with a format's suffix, or --all DIR");
            }
            formats.emplace_back(bySuffix->name);
        } else {
            const FormatEntry* format = findFormat(lowerAscii(options.format));
            if (format == nullptr) {
                throw HostError(kExitUsage,
                                "unknown format \"" + options.format + "\" (expected one of " + knownFormats() + ")");
            }
            if (bySuffix != nullptr && bySuffix != format) {
                suffixWarning = std::string("--format ") + format->name + " writes " + format->displayName + " to " +
                                options.output + ", whose suffix is " + bySuffix->displayName + "'s";
            }
            formats.emplace_back(format->name);
        }
    }
    Encoder encoder(options.encoding);
    // "--now job" fixes the clock once the job's creation date is read.
    const bool clockFromJob = options.now == "job";
    const FixedClock clock(clockFromJob ? std::string() : options.now);

    WarningPolicy policy;
    policy.strict = options.strict;
    policy.quiet = options.quiet;
    const JobSource input({options.input, options.from, options.columns}, policy);
    std::optional<JobSource> extraPoints;
    if (!options.points.empty()) extraPoints.emplace(InputOptions{options.points, "points", options.columns}, policy);
    const std::string_view text = input.text();
    const std::string& source = input.source();

    OutputRules rules;
    rules.noClobber = options.noClobber;
    if (!options.input.empty()) rules.inputs.push_back(options.input);
    if (!options.points.empty()) rules.inputs.push_back(options.points);
    // The folder outlives the outputs in it, so that a failed run can take back the folders
    // it made.
    std::optional<OutputDirectory> directory;
    if (!options.allDirectory.empty()) directory.emplace(options.allDirectory);
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<std::string> files;  // the path of each output, empty for the standard output
    for (const auto& format : formats) {
        if (!options.allDirectory.empty()) {
            const std::string base = options.input.empty()  ? "sample"
                                     : options.input == "-" ? "job"
                                                            : baseName(options.input);
            files.push_back(pathIn(options.allDirectory, base + findFormat(format)->suffix));
            outputs.push_back(std::make_unique<Output>(files.back(), encoder, rules));
        } else {
            outputs.push_back(makeOutput(options.output, out, encoder, rules));
            files.push_back(options.output == "-" ? std::string() : options.output);
        }
    }
    std::vector<Output*> targets;
    for (auto& output : outputs) targets.push_back(output.get());

    // A destination that cannot be replaced at the end (the standard output, a FIFO, a
    // device) would keep what was written before an error: the whole job is checked first.
    bool direct = false;
    for (const auto& output : outputs) direct = direct || !output->replaceable();
    if (direct) checkBeforeWriting(text, source, err, input.locator());

    Job job;
    Converter converter(job, formats, targets, policy, options.sanitize, clockFromJob,
                        extraPoints ? &*extraPoints : nullptr);
    readJob(text, source, converter, input.mapped(), input.locator());
    converter.finish();
    for (auto& output : outputs) output->commit();
    input.warnings().print(err);
    if (extraPoints) extraPoints->warnings().print(err);
    converter.printWarnings(err);
    if (options.quiet) return;
    if (!suffixWarning.empty()) err << "exportgen: warning: " << suffixWarning << '\n';
    // The standard output carries the data alone; a file written says what it holds.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (files[i].empty()) continue;
        const auto [records, warnings] = converter.tally(i);
        err << "exportgen: wrote " << files[i] << ": " << records << " record" << (records == 1 ? "" : "s") << ", "
            << warnings << " warning" << (warnings == 1 ? "" : "s") << '\n';
    }
}

}  // namespace exportgen
