// exportgen convert: a job read once and written in one or every format.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
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

// --assume N,E,Z[,BEARING]: three or four numbers separated by commas (plot reads it too).
std::optional<Assumed> assumedFrame(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::vector<double> values;
    bool numbers = true;
    for (std::size_t at = 0; numbers && at <= text.size();) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        double value = 0.0;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + comma, value);
        numbers = comma > at && error == std::errc() && end == text.data() + comma && std::isfinite(value);
        values.push_back(value);
        at = comma + 1;
    }
    if (!numbers || (values.size() != 3 && values.size() != 4)) {
        throw SettingError("assume", text, "expected N,E,Z or N,E,Z,BEARING: three or four numbers");
    }
    Assumed frame{values[0], values[1], values[2], std::nullopt};
    if (values.size() == 4) frame.bearing = values[3];
    return frame;
}

namespace {

// "wrote x.vemra: 23 records; left out 1 level run, 2 known points (warnings above)".
std::string summary(const std::string& file, const Pipeline& pipeline, std::size_t i) {
    const auto [records, warnings] = pipeline.tally(i);
    std::string text = "wrote " + file + ": " + std::to_string(records) + " record" + (records == 1 ? "" : "s");
    std::string lost;
    for (std::size_t k = 0; k < kItems; ++k) {
        const auto item = static_cast<Item>(k);
        const std::uint64_t count = pipeline.ledger(i).entry(item).count(Fate::leftOut);
        if (count == 0) continue;
        lost += (lost.empty() ? "" : ", ") + std::to_string(count) + " " + itemName(item, count);
    }
    if (!lost.empty()) text += "; left out " + lost;
    if (warnings > 0) text += " (warnings above)";
    return text;
}

// The account of the conversion as JSON: what the job held of each kind, and what each output
// made of it.
std::string reportText(const JobSource& input, const std::vector<std::string>& names,
                       const std::vector<std::string>& files, const Pipeline& pipeline) {
    nlohmann::ordered_json report;
    report["input"] = {{"name", input.source()}, {"kind", input.kind()}};
    nlohmann::ordered_json job = nlohmann::ordered_json::object();
    const JobCount& count = pipeline.count();
    for (std::size_t k = 0; k < kItems; ++k) {
        job[itemKey(static_cast<Item>(k))] = {{"total", count.total[k]}, {"read", count.read[k]}};
    }
    report["job"] = job;
    nlohmann::ordered_json outputs = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto [records, warnings] = pipeline.tally(i);
        nlohmann::ordered_json output;
        output["format"] = names[i];
        output["file"] = files[i].empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(files[i]);
        output["records"] = records;
        output["warnings"] = warnings;
        nlohmann::ordered_json items = nlohmann::ordered_json::object();
        for (std::size_t k = 0; k < kItems; ++k) {
            const auto item = static_cast<Item>(k);
            const Ledger::Entry& entry = pipeline.ledger(i).entry(item);
            items[itemKey(item)] = {{"total", count.total[k]},
                                    {"recorded", entry.count(Fate::recorded)},
                                    {"derived", entry.count(Fate::derived)},
                                    {"noValue", entry.count(Fate::noValue)},
                                    {"leftOut", entry.count(Fate::leftOut)}};
        }
        output["items"] = items;
        outputs.push_back(output);
    }
    report["outputs"] = outputs;
    return report.dump(2) + "\n";
}

}  // namespace

std::unique_ptr<Output> makeOutput(const OutputOptions& options, std::ostream& out, Encoder& encoder,
                                   OutputRules rules) {
    if (options.path.empty() || options.path == "-") return std::make_unique<Output>(out, encoder);
    rules.noClobber = options.noClobber;
    return std::make_unique<Output>(options.path, encoder, rules);
}

std::string inputFile(const Source& source) { return source.bytes ? std::string() : source.path; }

OutputRules rulesFor(const Source& input, const std::optional<Source>& points) {
    OutputRules rules;
    for (const Source* given : {&input, points ? &*points : nullptr}) {
        if (given == nullptr) continue;
        if (std::string file = inputFile(*given); !file.empty()) rules.inputs.push_back(std::move(file));
    }
    return rules;
}

void convert(const ConvertOptions& options, std::ostream& out, std::ostream& err) {
    std::string suffixWarning;
    const std::vector<std::string> names = formatsToWrite(options, suffixWarning);
    Encoder encoder(options.encoding);
    // "--now job" fixes the clock once the job's creation date is read.
    const bool clockFromJob = options.now == "job";
    ClockScope clock(clockFromJob ? std::string() : options.now);

    const std::optional<Assumed> assumed = assumedFrame(options.assume);
    WarningPolicy policy;
    policy.strict = options.strict;
    policy.quiet = options.quiet;
    InputOptions main = options.input;
    main.forPoints = options.points.has_value();
    const JobSource input(main, policy);
    std::optional<JobSource> extraPoints;
    if (options.points)
        extraPoints.emplace(InputOptions{*options.points, "points", options.input.columns, options.input.inputUnits},
                            policy);
    OutputRules rules = rulesFor(options.input.source, options.points);
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

    std::unique_ptr<Output> report;
    if (!options.report.empty()) {
        report = makeOutput(OutputOptions{options.report, options.output.noClobber}, out, encoder, rules);
    }

    // A destination that cannot be replaced at the end (the standard output, a FIFO, a
    // device) would keep what was written before an error: the whole job is checked first.
    bool direct = false;
    for (const auto& output : outputs) direct = direct || !output->replaceable();
    const JobSource* points = extraPoints ? &*extraPoints : nullptr;
    if (direct) checkBeforeWriting(input, points, err);

    PipelineOptions pipelineOptions;
    pipelineOptions.formats = names;
    for (auto& output : outputs) pipelineOptions.sinks.push_back(output.get());
    pipelineOptions.warnings = policy;
    pipelineOptions.sanitize = options.sanitize;
    pipelineOptions.assumed = assumed;
    pipelineOptions.clockFromJob = clockFromJob ? &clock : nullptr;
    pipelineOptions.extraPoints = points;
    Pipeline pipeline(input, std::move(pipelineOptions));
    pipeline.run();
    for (auto& output : outputs) output->commit();
    if (report) {
        report->bytes(reportText(input, names, files, pipeline));
        report->commit();
    }
    input.warnings().print(err);
    if (extraPoints) extraPoints->warnings().print(err);
    pipeline.printWarnings(err);
    if (options.quiet) return;
    if (!suffixWarning.empty()) err << "exportgen: warning: " << suffixWarning << '\n';
    // The standard output carries the data alone; a file written says what it holds.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (files[i].empty()) continue;
        err << "exportgen: " << summary(files[i], pipeline, i) << '\n';
    }
}

}  // namespace exportgen::app
