// exportgen convert: a job read once and written in one or every format.
#include <optional>
#include <vector>

#include "app/app.h"
#include "app/check.h"
#include "app/clock.h"
#include "app/input.h"
#include "app/outputs.h"
#include "app/pipeline.h"
#include "base/problems.h"
#include "base/text.h"
#include "formats/registry.h"

namespace exportgen::app {

namespace {

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

// The formats a conversion writes; `suffixWarning` is set when -f and the output's suffix
// disagree (said once the output is written).
std::vector<std::string> formatsToWrite(const ConvertOptions& options, std::string& suffixWarning) {
    std::vector<std::string> names;
    if (!options.allDirectory.empty()) {
        if (!options.format.empty() || !options.output.path.empty()) {
            throw HostError(kExitUsage, "--all writes every format: give it without --format and -o");
        }
        for (const FormatEntry& format : formats()) names.emplace_back(format.name);
        return names;
    }
    const FormatEntry* bySuffix = formatOfPath(options.output.path);
    if (options.format.empty()) {
        if (bySuffix == nullptr) {
            throw HostError(kExitUsage, "convert needs --format (" + knownFormats() +
                                            "), an output file named with a format's suffix, or --all DIR");
        }
        names.emplace_back(bySuffix->name);
        return names;
    }
    const FormatEntry* format = findFormat(lowerAscii(options.format));
    if (format == nullptr) {
        throw HostError(kExitUsage,
                        "unknown format \"" + options.format + "\" (expected one of " + knownFormats() + ")");
    }
    if (bySuffix != nullptr && bySuffix != format) {
        suffixWarning = std::string("--format ") + format->name + " writes " + format->displayName + " to " +
                        options.output.path + ", whose suffix is " + bySuffix->displayName + "'s";
    }
    names.emplace_back(format->name);
    return names;
}

}  // namespace

std::unique_ptr<Output> makeOutput(const OutputOptions& options, std::ostream& out, Encoder& encoder,
                                   OutputRules rules) {
    if (options.path.empty() || options.path == "-") return std::make_unique<Output>(out, encoder);
    rules.noClobber = options.noClobber;
    return std::make_unique<Output>(options.path, encoder, rules);
}

std::string inputFile(const Source& source) { return source.bytes ? std::string() : source.path; }

OutputRules rulesFor(const Source& input) {
    OutputRules rules;
    if (std::string file = inputFile(input); !file.empty()) rules.inputs.push_back(std::move(file));
    return rules;
}

void convert(const ConvertOptions& options, std::ostream& out, std::ostream& err) {
    std::string suffixWarning;
    const std::vector<std::string> names = formatsToWrite(options, suffixWarning);
    Encoder encoder(options.encoding);
    // "--now job" fixes the clock once the job's creation date is read.
    const bool clockFromJob = options.now == "job";
    ClockScope clock(clockFromJob ? std::string() : options.now);

    WarningPolicy policy;
    policy.strict = options.strict;
    policy.quiet = options.quiet;
    const JobSource input(options.input, policy);
    std::optional<JobSource> extraPoints;
    if (options.points) extraPoints.emplace(InputOptions{*options.points, "points", options.input.columns}, policy);
    const std::string_view text = input.text();
    const std::string& source = input.source();

    OutputRules rules;
    for (const Source* given : {&options.input.source, options.points ? &*options.points : nullptr}) {
        if (given == nullptr) continue;
        if (std::string file = inputFile(*given); !file.empty()) rules.inputs.push_back(std::move(file));
    }
    // The folder outlives the outputs in it, so that a failed run can take back the folders
    // it made.
    std::optional<OutputDirectory> directory;
    if (!options.allDirectory.empty()) directory.emplace(options.allDirectory);
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<std::string> files;  // the path of each output, empty for the standard output
    const std::string& inputPath = options.input.source.path;
    for (const auto& format : names) {
        if (!options.allDirectory.empty()) {
            const std::string base = inputPath.empty() ? "sample" : inputPath == "-" ? "job" : baseName(inputPath);
            files.push_back(pathIn(options.allDirectory, base + findFormat(format)->suffix));
            rules.noClobber = options.output.noClobber;
            outputs.push_back(std::make_unique<Output>(files.back(), encoder, rules));
        } else {
            outputs.push_back(makeOutput(options.output, out, encoder, rules));
            files.push_back(options.output.path == "-" ? std::string() : options.output.path);
        }
    }

    // A destination that cannot be replaced at the end (the standard output, a FIFO, a
    // device) would keep what was written before an error: the whole job is checked first.
    bool direct = false;
    for (const auto& output : outputs) direct = direct || !output->replaceable();
    if (direct) checkBeforeWriting(text, source, err, input.locator());

    Job job;
    PipelineOptions pipelineOptions;
    pipelineOptions.formats = names;
    for (auto& output : outputs) pipelineOptions.sinks.push_back(output.get());
    pipelineOptions.warnings = policy;
    pipelineOptions.sanitize = options.sanitize;
    pipelineOptions.clockFromJob = clockFromJob ? &clock : nullptr;
    pipelineOptions.extraPoints = extraPoints ? &*extraPoints : nullptr;
    Pipeline pipeline(job, std::move(pipelineOptions));
    readJob(text, source, pipeline, input.mapped(), input.locator());
    pipeline.finish();
    for (auto& output : outputs) output->commit();
    input.warnings().print(err);
    if (extraPoints) extraPoints->warnings().print(err);
    pipeline.printWarnings(err);
    if (options.quiet) return;
    if (!suffixWarning.empty()) err << "exportgen: warning: " << suffixWarning << '\n';
    // The standard output carries the data alone; a file written says what it holds.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (files[i].empty()) continue;
        const auto [records, warnings] = pipeline.tally(i);
        err << "exportgen: wrote " << files[i] << ": " << records << " record" << (records == 1 ? "" : "s") << ", "
            << warnings << " warning" << (warnings == 1 ? "" : "s") << '\n';
    }
}

}  // namespace exportgen::app
