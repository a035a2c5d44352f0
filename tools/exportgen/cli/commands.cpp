#include "cli/commands.h"

#include <CLI/CLI.hpp>
#include <optional>

#include "app/app.h"
#include "base/problems.h"
#include "base/text.h"

namespace exportgen {

namespace {

// The input at `path`: from `files` when it holds that path, else the file.
app::Source sourceOf(const std::string& path, const MemoryFiles* files) {
    if (files != nullptr) {
        if (const auto it = files->find(path); it != files->end()) return app::Source::memory(path, it->second);
    }
    return app::Source::file(path);
}

}  // namespace

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err, const MemoryFiles* files) {
    CLI::App app{"exportgen: survey job files to raw-data formats and LandXML (" + app::formatNames(", ") + ")"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("exportgen ") + EXPORTGEN_VERSION);

    app::ConvertOptions convertOptions;
    std::string convertInput, convertPoints;
    CLI::App* convertCommand = app.add_subcommand("convert", "convert a job file (or the built-in sample job)");
    convertCommand->add_option("job", convertInput,
                               "the job file (JSON), a raw file of one of the formats or a point list; \"-\" for "
                               "the standard input; the built-in sample job when left out");
    const std::string fromHelp =
        "what the input is: job, points or a format's name (default: from its suffix, else its first lines)";
    const std::string unitsHelp =
        "DIST,ANGLE (or either alone): the units of a raw file or a point list, which take the place of "
        "what the file states or is taken to be in; the words of a job file's inputUnits, e.g. "
        "usSurveyFeet,gons (DIST metres, usSurveyFeet, internationalFeet, usSurveyFeetInches, "
        "internationalFeetInches; ANGLE decimalDegrees, gons, mils, packedDms)";
    const std::string columnsHelp =
        "the columns of a point list without a header row, e.g. PNEZD or PENZD (P name, N northing, E easting, Z "
        "height, D code, - a column passed over; default PNEZD)";
    convertCommand->add_option("--from", convertOptions.input.from, fromHelp);
    convertCommand->add_option("--columns", convertOptions.input.columns, columnsHelp);
    convertCommand->add_option("--input-units", convertOptions.input.inputUnits, unitsHelp);
    convertCommand->add_option("--points", convertPoints,
                               "a point list whose points join the job's known points (in the job's input units)");
    convertCommand->add_option("-f,--format", convertOptions.format,
                               app::formatNames(" or ") + " in any case; without it, from the -o file's suffix");
    convertCommand->add_option("-o,--output", convertOptions.output.path,
                               "the output file (default, and \"-\": the standard output)");
    convertCommand->add_option("--all", convertOptions.allDirectory,
                               "write every format into this directory (made with its parents when missing)");
    convertCommand->add_flag("--no-clobber", convertOptions.output.noClobber, "refuse to replace an existing file");
    convertCommand->add_option("--encoding", convertOptions.encoding, "utf-8 (default), latin1 or cp1252");
    convertCommand->add_option("--now", convertOptions.now,
                               "a fixed local time YYYY-MM-DDThh:mm:ss for header dates, or \"job\" for the job's "
                               "creation date and time");
    convertCommand->add_flag("--strict", convertOptions.strict,
                             "make every warning an error (exit status 9, nothing written)");
    convertCommand->add_flag("--quiet", convertOptions.quiet, "print no warnings and no summary");
    convertCommand->add_option("--assume", convertOptions.assume,
                               "N,E,Z[,BEARING]: the first set-up that nothing else places stands at N,E,Z (the "
                               "job's input units), its backsight at BEARING (default: its circle reading)");
    convertCommand->add_option("--report", convertOptions.report,
                               "write the account of the conversion (what was written, worked out or left out of "
                               "each kind of item) to this file as JSON");
    convertCommand->add_flag("--sanitize", convertOptions.sanitize,
                             "replace a character a format cannot carry in a text field by a blank, with a warning");

    std::string script;
    app::OutputOptions replayOutput;
    bool asJson = false;
    CLI::App* replayCommand = app.add_subcommand("replay", "run a script of generator calls");
    replayCommand->add_option("script", script, "the script (JSON), \"-\" for the standard input")->required();
    replayCommand->add_flag("--json", asJson, "write the results as one JSON document");
    replayCommand->add_option("-o,--output", replayOutput.path,
                              "the output file (default, and \"-\": the standard output)");
    replayCommand->add_flag("--no-clobber", replayOutput.noClobber, "refuse to replace an existing file");

    long long shots = -1;
    unsigned long long seed = 1;
    app::OutputOptions sampleOutput;
    CLI::App* sampleCommand = app.add_subcommand("sample", "write a synthetic job of N observations");
    sampleCommand->add_option("--shots", shots, "the number of observations (without it: the built-in sample job)");
    sampleCommand->add_option("--seed", seed, "the seed of the synthetic geometry (default 1)");
    sampleCommand->add_option("-o,--output", sampleOutput.path,
                              "the output file (default, and \"-\": the standard output)");
    sampleCommand->add_flag("--no-clobber", sampleOutput.noClobber, "refuse to replace an existing file");

    app::InputOptions checkInput;
    CLI::App* checkCommand =
        app.add_subcommand("check", "report every error and warning of a job file, with its place and JSON path");
    checkCommand
        ->add_option("job", checkInput.source.path,
                     "the job file (or raw file, point list), \"-\" for the standard input")
        ->required();
    checkCommand->add_option("--from", checkInput.from, fromHelp);
    checkCommand->add_option("--columns", checkInput.columns, columnsHelp);
    checkCommand->add_option("--input-units", checkInput.inputUnits, unitsHelp);
    std::string checkPoints;
    checkCommand->add_option("--points", checkPoints,
                             "a point list (or LandXML file of CgPoints) whose points join the job as known points");

    app::InputOptions readInput;
    app::OutputOptions readOutput;
    CLI::App* readCommand =
        app.add_subcommand("read", "read a raw file or a point list and print it as a job file (JSON)");
    readCommand->add_option("file", readInput.source.path, "the raw file or point list, \"-\" for the standard input")
        ->required();
    readCommand->add_option("--from", readInput.from, fromHelp);
    readCommand->add_option("--columns", readInput.columns, columnsHelp);
    readCommand->add_option("--input-units", readInput.inputUnits, unitsHelp);
    readCommand->add_option("-o,--output", readOutput.path,
                            "the output file (default, and \"-\": the standard output)");
    readCommand->add_flag("--no-clobber", readOutput.noClobber, "refuse to replace an existing file");

    app::PlotOptions plotOptions;
    std::string plotInput, plotPoints;
    CLI::App* plotCommand = app.add_subcommand("plot", "draw the job an input holds as a plan (SVG)");
    plotCommand->add_option("job", plotInput,
                            "the job file (JSON), a raw file of one of the formats or a point list; \"-\" for the "
                            "standard input; the built-in sample job when left out");
    plotCommand->add_option("--from", plotOptions.input.from, fromHelp);
    plotCommand->add_option("--columns", plotOptions.input.columns, columnsHelp);
    plotCommand->add_option("--input-units", plotOptions.input.inputUnits, unitsHelp);
    plotCommand->add_option("--points", plotPoints,
                            "a point list whose points join the job's known points (in the job's input units)");
    plotCommand->add_option("--assume", plotOptions.assume,
                            "N,E,Z[,BEARING]: the first set-up that nothing else places stands at N,E,Z (the job's "
                            "input units), its backsight at BEARING (default: its circle reading)");
    plotCommand->add_option("-o,--output", plotOptions.output.path,
                            "the SVG file (default, and \"-\": the standard output)");
    plotCommand->add_flag("--no-clobber", plotOptions.output.noClobber, "refuse to replace an existing file");
    plotCommand->add_option("--labels", plotOptions.labels,
                            "none, stations (stations and known points) or all (default; at most 2000 names, none "
                            "where they would overlap)");
    plotCommand->add_option("--size", plotOptions.size, "WIDTHxHEIGHT of the picture in pixels (default 1200x900)");
    plotCommand->add_option("--now", plotOptions.now,
                            "a fixed local time YYYY-MM-DDThh:mm:ss, or \"job\": shown as the plot's date (without "
                            "it the plan has none, so that one input always gives the same file)");
    plotCommand->add_flag("--quiet", plotOptions.quiet, "print no warnings and no summary");

    CLI::App* schemaCommand = app.add_subcommand("schema", "print the JSON Schema of a job file");

    try {
        // A word where the command belongs that names none: say which there are.
        if (argc > 1 && argv[1][0] != '-') {
            const auto commands = app.get_subcommands({});
            std::string names;
            bool known = false;
            for (std::size_t i = 0; i < commands.size(); ++i) {
                known = known || commands[i]->check_name(argv[1]);
                names += (i == 0 ? "" : i + 1 == commands.size() ? " or " : ", ") + commands[i]->get_name();
            }
            if (!known) {
                throw HostError(kExitUsage, "unknown command " + shownName(argv[1]) + "; the commands are " + names);
            }
        }
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
            convertOptions.input.source = sourceOf(convertInput, files);
            if (!convertPoints.empty()) convertOptions.points = sourceOf(convertPoints, files);
            app::convert(convertOptions, out, err);
        } else if (replayCommand->parsed()) {
            app::replay(sourceOf(script, files), asJson, replayOutput, out);
        } else if (sampleCommand->parsed()) {
            if (shots < 0 && sampleCommand->count("--shots") > 0) {
                throw HostError(kExitUsage, "--shots: expected a number of 0 or more");
            }
            std::optional<std::uint64_t> count;
            if (sampleCommand->count("--shots") > 0) count = static_cast<std::uint64_t>(shots);
            app::sample(count, seed, sampleOutput, out);
        } else if (checkCommand->parsed()) {
            checkInput.source = sourceOf(checkInput.source.path, files);
            std::optional<app::Source> points;
            if (!checkPoints.empty()) points = sourceOf(checkPoints, files);
            if (const int status = app::check(checkInput, err, points); status != kExitOk) return status;
        } else if (readCommand->parsed()) {
            readInput.source = sourceOf(readInput.source.path, files);
            app::read(readInput, readOutput, out, err);
        } else if (plotCommand->parsed()) {
            plotOptions.input.source = sourceOf(plotInput, files);
            if (!plotPoints.empty()) plotOptions.points = sourceOf(plotPoints, files);
            app::plot(plotOptions, out, err);
        } else if (schemaCommand->parsed()) {
            out << app::schema();
        }
        return kExitOk;
    } catch (const SettingError& error) {
        // A setting is what a flag gives: its error is the flag's.
        out.flush();
        err << "exportgen: --" << error.what() << '\n';
        return error.code();
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

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const MemoryFiles* files) {
    std::vector<const char*> argv{"exportgen"};
    for (const auto& arg : args) argv.push_back(arg.c_str());
    return run(static_cast<int>(argv.size()), argv.data(), out, err, files);
}

}  // namespace exportgen
