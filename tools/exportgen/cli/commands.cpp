#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <optional>

#include "contracts/text_services.h"
#include "embedded.h"
#include "cli/errors.h"
#include "job/job.h"
#include "readers/job_reader.h"
#include "readers/json_schema.h"
#include "output/output.h"
#include "writers/record_order.h"
#include "replay/replay.h"
#include "job/sample.h"

namespace exportgen {

namespace {

using json = nlohmann::json;

const JsonSchema& jobSchema() {
    static const json document = json::parse(jobSchemaText());
    static const JsonSchema schema(document);
    return schema;
}

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

// Receives the job as it is read: validates each part against its piece of the schema, keeps
// the header parts, and converts each set-up as soon as it is complete. The values come from
// either reader; a compact value that breaks the schema stops the fast reader
// (CompactJsonRefused), and the job is read again by the reader that reports the error.
class Converter : public JobEvents {
public:
    Converter(Job& job, std::vector<std::string> formats, std::vector<Output*> outputs)
        : m_job(job),
          m_schema(jobSchema()),
          m_setupSchema(m_schema.items(m_schema.property(m_schema.root(), "setups"))),
          m_formats(std::move(formats)),
          m_outputs(std::move(outputs)) {}

    void member(const std::string& key, json&& value) override { takeMember(key, value); }
    void member(const std::string& key, const CompactValue& value) override { takeMember(key, value); }

    void setupsBegin() override {
        m_setupsSeen = true;
        m_present.emplace_back("setups");
        begin();
    }

    void setup(std::size_t index, json&& value) override {
        const Setup setup = readSetup(index, value);
        value = json();  // the document of the set-up is no longer needed
        write(setup);
    }
    void setup(std::size_t index, const CompactValue& value) override { write(readSetup(index, value)); }

    void end() override {}

    /// Ends the conversion; returns the writers' warnings.
    std::vector<std::string> finish() {
        JsonPath root;
        m_schema.checkRequired(m_schema.root(), m_present, root);
        begin();
        std::vector<std::string> warnings;
        for (auto& writer : m_writers) {
            writer->levelRuns();
            if (std::string text = writer->warning(); !text.empty()) warnings.push_back(std::move(text));
        }
        return warnings;
    }

private:
    template <class Value>
    void takeMember(const std::string& key, const Value& value) {
        JsonPath root;
        JsonPath path{&root, key.c_str()};
        const JsonSchema::Node* schema = m_schema.property(m_schema.root(), key);
        if (schema == nullptr) throw HostError(kExitJob, path.text() + ": unknown field");
        if (m_setupsSeen && key != "levelRuns") {
            throw HostError(kExitJob, path.text() + ": must come before $.setups in the file");
        }
        validate(schema, value, path);
        m_present.push_back(key);
        if (key == "setups") {  // an empty or malformed "setups" reaches here only when it is no array
            m_setupsSeen = true;
            return;
        }
        m_job.apply(key, value);
    }

    template <class Value>
    Setup readSetup(std::size_t index, const Value& value) {
        JsonPath root;
        JsonPath setups{&root, "setups"};
        JsonPath path{&setups, nullptr, index};
        validate(m_setupSchema, value, path);
        return m_job.makeSetup(value, index);
    }

    void write(const Setup& setup) {
        for (auto& writer : m_writers) writer->setup(setup);
    }

    void validate(const JsonSchema::Node* schema, const json& value, const JsonPath& path) const {
        m_schema.validate(schema, value, path);
    }
    void validate(const JsonSchema::Node* schema, const CompactValue& value, const JsonPath&) const {
        if (!m_schema.accepts(schema, value)) throw CompactJsonRefused("a value that breaks the job schema");
    }

    void begin() {
        if (!m_writers.empty()) return;
        for (std::size_t i = 0; i < m_formats.size(); ++i) {
            m_writers.push_back(makeFormatWriter(m_formats[i], m_job, *m_outputs[i]));
            m_writers.back()->begin();
        }
    }

    Job& m_job;
    const JsonSchema& m_schema;
    const JsonSchema::Node* m_setupSchema;
    std::vector<std::string> m_formats;
    std::vector<Output*> m_outputs;
    std::vector<std::unique_ptr<FormatWriter>> m_writers;
    std::vector<std::string> m_present;
    bool m_setupsSeen = false;
};

// Converts the job in `text` with `reader` into `outputs`; returns the writers' warnings.
std::vector<std::string> convertWith(JobReader& reader, std::string_view text, const std::string& source, bool mapped,
                                     const std::vector<std::string>& formats, const std::vector<Output*>& outputs) {
    Job job;
    Converter converter(job, formats, outputs);
    reader.read(text, source, converter, mapped);
    return converter.finish();
}

std::string knownFormats() {
    std::string list;
    for (const auto& name : formatNames()) list += (list.empty() ? "" : ", ") + name;
    return list;
}

// "-" names the standard input.
std::string inputPath(const std::string& path) { return path == "-" ? "/dev/stdin" : path; }

// The output `-o` names: the standard output when it is left out or "-".
std::unique_ptr<Output> makeOutput(const std::string& path, std::ostream& out, Encoder& encoder,
                                   const OutputRules& rules) {
    if (path.empty() || path == "-") return std::make_unique<Output>(out, encoder);
    return std::make_unique<Output>(path, encoder, rules);
}

std::string baseName(const std::string& path) {
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0) name.resize(name.size() - 5);
    return name.empty() ? "job" : name;
}

}  // namespace

void convert(const ConvertOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<std::string> formats;
    if (!options.allDirectory.empty()) {
        if (!options.format.empty() || !options.output.empty()) {
            throw HostError(kExitUsage, "--all writes every format: give it without --format and -o");
        }
        formats = formatNames();
    } else {
        if (options.format.empty())
            throw HostError(kExitUsage, "convert needs --format (" + knownFormats() + ") or --all DIR");
        bool known = false;
        for (const auto& name : formatNames()) known = known || name == options.format;
        if (!known) {
            throw HostError(kExitUsage,
                            "unknown format \"" + options.format + "\" (expected one of " + knownFormats() + ")");
        }
        formats.push_back(options.format);
    }
    Encoder encoder(options.encoding);
    const FixedClock clock(options.now);

    std::optional<InputText> owned;
    std::string_view text;
    std::string source = "<sample job>";
    if (options.input.empty()) {
        text = sampleJobText();
    } else {
        owned.emplace(readFile(inputPath(options.input)));
        text = owned->text();
        source = options.input == "-" ? "<stdin>" : options.input;
    }

    OutputRules rules;
    rules.noClobber = options.noClobber;
    if (!options.input.empty()) rules.inputs.push_back(options.input);
    // The folder outlives the outputs in it, so that a failed run can take back the folders
    // it made.
    std::optional<OutputDirectory> directory;
    if (!options.allDirectory.empty()) directory.emplace(options.allDirectory);
    std::vector<std::unique_ptr<Output>> outputs;
    for (const auto& format : formats) {
        if (!options.allDirectory.empty()) {
            const std::string base = options.input.empty()  ? "sample"
                                     : options.input == "-" ? "job"
                                                            : baseName(options.input);
            outputs.push_back(
                std::make_unique<Output>(pathIn(options.allDirectory, base + formatSuffix(format)), encoder, rules));
        } else {
            outputs.push_back(makeOutput(options.output, out, encoder, rules));
        }
    }
    std::vector<Output*> targets;
    for (auto& output : outputs) targets.push_back(output.get());

    // The fast reader first. A job it does not take, or that breaks the schema or names an
    // unknown point, is converted again from the start by the nlohmann-based reader, which
    // reports the error the user sees (or, should the fast reader have refused a good job,
    // converts it): what the user meets never depends on the fast reader.
    const bool mapped = owned && owned->mapped();
    std::vector<std::string> warnings;
    bool converted = false;
    if (options.reader != ConvertOptions::Reader::schemaOnly) {
        const bool fallBack = options.reader == ConvertOptions::Reader::automatic;
        try {
            warnings = convertWith(*makeFastJobReader(), text, source, mapped, formats, targets);
            converted = true;
        } catch (const CompactJsonRefused&) {
            if (!fallBack) throw;
        } catch (const HostError& error) {
            if (!fallBack || (error.code() != kExitJson && error.code() != kExitJob)) throw;
        }
    }
    if (!converted) {
        for (auto& output : outputs) output->restart();
        warnings = convertWith(*makeJobReader(), text, source, mapped, formats, targets);
    }
    for (auto& output : outputs) output->commit();
    for (const auto& text : warnings) err << "exportgen: warning: " << text << '\n';
}

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"exportgen: survey job files to raw-data formats (vemra, apasima, drevan, quoltpashk, rw5, sdr)"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("exportgen ") + EXPORTGEN_VERSION);

    ConvertOptions convertOptions;
    CLI::App* convertCommand = app.add_subcommand("convert", "convert a job file (or the built-in sample job)");
    convertCommand->add_option("job", convertOptions.input,
                               "the job file (JSON), \"-\" for the standard input; the built-in sample job when "
                               "left out");
    convertCommand->add_option("-f,--format", convertOptions.format, "vemra, apasima, drevan, quoltpashk, rw5 or sdr");
    convertCommand->add_option("-o,--output", convertOptions.output,
                               "the output file (default, and \"-\": the standard output)");
    convertCommand->add_option("--all", convertOptions.allDirectory,
                               "write every format into this directory (made with its parents when missing)");
    convertCommand->add_flag("--no-clobber", convertOptions.noClobber, "refuse to replace an existing file");
    convertCommand->add_option("--encoding", convertOptions.encoding, "utf-8 (default), latin1 or cp1252");
    convertCommand->add_option("--now", convertOptions.now, "a fixed local time YYYY-MM-DDThh:mm:ss for header dates");

    std::string script, replayOutput;
    bool asJson = false, replayNoClobber = false;
    CLI::App* replayCommand = app.add_subcommand("replay", "run a script of generator calls");
    replayCommand->add_option("script", script, "the script (JSON), \"-\" for the standard input")->required();
    replayCommand->add_flag("--json", asJson, "write the results as one JSON document");
    replayCommand->add_option("-o,--output", replayOutput, "the output file (default, and \"-\": the standard output)");
    replayCommand->add_flag("--no-clobber", replayNoClobber, "refuse to replace an existing file");

    long long shots = -1;
    unsigned long long seed = 1;
    std::string sampleOutput;
    bool sampleNoClobber = false;
    CLI::App* sampleCommand = app.add_subcommand("sample", "write a synthetic job of N observations");
    sampleCommand->add_option("--shots", shots, "the number of observations")->required();
    sampleCommand->add_option("--seed", seed, "the seed of the synthetic geometry (default 1)");
    sampleCommand->add_option("-o,--output", sampleOutput, "the output file (default, and \"-\": the standard output)");
    sampleCommand->add_flag("--no-clobber", sampleNoClobber, "refuse to replace an existing file");

    CLI::App* schemaCommand = app.add_subcommand("schema", "print the JSON Schema of a job file");

    try {
        try {
            app.parse(argc, argv);
        } catch (const CLI::CallForHelp&) {
            out << app.help();
            return kExitOk;
        } catch (const CLI::CallForAllHelp&) {
            out << app.help();
            return kExitOk;
        } catch (const CLI::CallForVersion& version) {
            out << version.what() << '\n';
            return kExitOk;
        } catch (const CLI::ParseError& error) {
            throw HostError(kExitUsage, error.what());
        }
        if (convertCommand->parsed()) {
            convert(convertOptions, out, err);
        } else if (replayCommand->parsed()) {
            Encoder encoder("utf-8");
            const InputText text = readFile(inputPath(script));
            OutputRules rules;
            rules.inputs.push_back(script);
            rules.noClobber = replayNoClobber;
            const auto output = makeOutput(replayOutput, out, encoder, rules);
            replay(text.text(), script == "-" ? "<stdin>" : script, asJson, *output);
            output->commit();
        } else if (sampleCommand->parsed()) {
            if (shots < 0) throw HostError(kExitUsage, "--shots: expected a number of 0 or more");
            Encoder encoder("utf-8");
            OutputRules rules;
            rules.noClobber = sampleNoClobber;
            const auto output = makeOutput(sampleOutput, out, encoder, rules);
            writeSample(static_cast<std::uint64_t>(shots), seed, *output);
            output->commit();
        } else if (schemaCommand->parsed()) {
            out << jobSchemaText();
        }
        return kExitOk;
    } catch (const HostError& error) {
        out.flush();
        err << "exportgen: " << error.what() << '\n';
        return error.code();
    } catch (const std::exception& error) {
        out.flush();
        err << "exportgen: internal error: " << error.what() << '\n';
        return kExitInternal;
    }
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<const char*> argv{"exportgen"};
    for (const auto& arg : args) argv.push_back(arg.c_str());
    return run(static_cast<int>(argv.size()), argv.data(), out, err);
}

}  // namespace exportgen
