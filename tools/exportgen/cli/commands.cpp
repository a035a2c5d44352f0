#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include "cli/check.h"
#include "cli/errors.h"
#include "cli/input.h"
#include "embedded.h"
#include "job/sample.h"
#include "readers/job_reader.h"
#include "replay/replay.h"
#include "writers/registry.h"

namespace exportgen {

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"exportgen: survey job files to raw-data formats (" + formatNameList(", ") + ")"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("exportgen ") + EXPORTGEN_VERSION);

    ConvertOptions convertOptions;
    CLI::App* convertCommand = app.add_subcommand("convert", "convert a job file (or the built-in sample job)");
    convertCommand->add_option("job", convertOptions.input,
                               "the job file (JSON), a raw file of one of the formats or a point list; \"-\" for "
                               "the standard input; the built-in sample job when left out");
    const std::string fromHelp =
        "what the input is: job, points or a format's name (default: from its suffix, else its first lines)";
    const std::string columnsHelp =
        "the columns of a point list without a header row, e.g. PNEZD or PENZD (P name, N northing, E easting, Z "
        "height, D code, - a column passed over; default PNEZD)";
    convertCommand->add_option("--from", convertOptions.from, fromHelp);
    convertCommand->add_option("--columns", convertOptions.columns, columnsHelp);
    convertCommand->add_option("--points", convertOptions.points,
                               "a point list whose points join the job's known points (in the job's input units)");
    convertCommand->add_option("-f,--format", convertOptions.format,
                               formatNameList(" or ") + " in any case; without it, from the -o file's suffix");
    convertCommand->add_option("-o,--output", convertOptions.output,
                               "the output file (default, and \"-\": the standard output)");
    convertCommand->add_option("--all", convertOptions.allDirectory,
                               "write every format into this directory (made with its parents when missing)");
    convertCommand->add_flag("--no-clobber", convertOptions.noClobber, "refuse to replace an existing file");
    convertCommand->add_option("--encoding", convertOptions.encoding, "utf-8 (default), latin1 or cp1252");
    convertCommand->add_option("--now", convertOptions.now,
                               "a fixed local time YYYY-MM-DDThh:mm:ss for header dates, or \"job\" for the job's "
                               "creation date and time");
    convertCommand->add_flag("--strict", convertOptions.strict,
                             "make every warning an error (exit status 9, nothing written)");
    convertCommand->add_flag("--quiet", convertOptions.quiet, "print no warnings and no summary");
    convertCommand->add_flag("--sanitize", convertOptions.sanitize,
                             "replace a character a format cannot carry in a text field by a blank, with a warning");

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
    sampleCommand->add_option("--shots", shots, "the number of observations (without it: the built-in sample job)");
    sampleCommand->add_option("--seed", seed, "the seed of the synthetic geometry (default 1)");
    sampleCommand->add_option("-o,--output", sampleOutput, "the output file (default, and \"-\": the standard output)");
    sampleCommand->add_flag("--no-clobber", sampleNoClobber, "refuse to replace an existing file");

    InputOptions checkInput;
    CLI::App* checkCommand =
        app.add_subcommand("check", "report every error and warning of a job file, with its place and JSON path");
    checkCommand
        ->add_option("job", checkInput.path, "the job file (or raw file, point list), \"-\" for the standard input")
        ->required();
    checkCommand->add_option("--from", checkInput.from, fromHelp);
    checkCommand->add_option("--columns", checkInput.columns, columnsHelp);

    InputOptions readInput;
    std::string readOutput;
    bool readNoClobber = false;
    CLI::App* readCommand =
        app.add_subcommand("read", "read a raw file or a point list and print it as a job file (JSON)");
    readCommand->add_option("file", readInput.path, "the raw file or point list, \"-\" for the standard input")
        ->required();
    readCommand->add_option("--from", readInput.from, fromHelp);
    readCommand->add_option("--columns", readInput.columns, columnsHelp);
    readCommand->add_option("-o,--output", readOutput, "the output file (default, and \"-\": the standard output)");
    readCommand->add_flag("--no-clobber", readNoClobber, "refuse to replace an existing file");

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
            if (shots < 0 && sampleCommand->count("--shots") > 0) {
                throw HostError(kExitUsage, "--shots: expected a number of 0 or more");
            }
            Encoder encoder("utf-8");
            OutputRules rules;
            rules.noClobber = sampleNoClobber;
            const auto output = makeOutput(sampleOutput, out, encoder, rules);
            if (sampleCommand->count("--shots") == 0) {
                output->bytes(sampleJobText());
            } else {
                writeSample(static_cast<std::uint64_t>(shots), seed, *output);
            }
            output->commit();
        } else if (checkCommand->parsed()) {
            const JobSource input(checkInput, WarningPolicy{});
            input.warnings().print(err);
            if (!reportCheck(input.text(), input.source(), err, input.locator())) return kExitJob;
        } else if (readCommand->parsed()) {
            const JobSource input(readInput, WarningPolicy{});
            Encoder encoder("utf-8");
            OutputRules rules;
            rules.noClobber = readNoClobber;
            rules.inputs.push_back(readInput.path);
            const auto output = makeOutput(readOutput, out, encoder, rules);
            output->bytes(input.text());
            output->bytes("\n");
            output->commit();
            input.warnings().print(err);
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
