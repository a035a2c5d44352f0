// What exportgen does, as functions a program or a test calls in memory: convert, check, read,
// plot, sample, replay and schema. Options come as plain structs; the command line (cli/) only fills
// them. Every function throws HostError (base/problems.h) for what a user must be told, with
// the exit status it stands for; warnings and summaries go to `err`.
//
// Process state: the generators read the clock and the device's date pattern from the
// contracts layer, which holds them for the whole process. Each function that runs generators
// sets them for the length of its call under one mutex, so calls from several threads are
// safe and take turns; that mutex is the only process state of this layer.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace exportgen::app {

/// An input: a file by its path, or bytes in memory under a name.
struct Source {
    /// The file; "-" is the standard input, empty the built-in sample job. With `bytes` the name
    /// that messages give the input.
    std::string path;
    /// The input's content, read instead of the file at `path` (borrowed for the call).
    std::optional<std::string_view> bytes;

    [[nodiscard]] static Source file(std::string path) { return {std::move(path), std::nullopt}; }
    [[nodiscard]] static Source memory(std::string name, std::string_view bytes) { return {std::move(name), bytes}; }
};

/// What an input is and how to read it.
struct InputOptions {
    Source source;
    std::string from;     ///< "job", "points" or a format's name (any case); empty: recognised
    std::string columns;  ///< the columns of a point list without a header row ("PNEZD")
    /// The units of a raw file or a point list, "DIST,ANGLE" or either alone in the words of a
    /// job file's "inputUnits" ("usSurveyFeet,gons"): they take the place of what the file
    /// states or its reader assumes. Refused for a job file (its "inputUnits" states them) and
    /// a LandXML file (its Units element does). Empty: the file's own.
    std::string inputUnits = {};
    /// `columns` and `inputUnits` may be meant for a --points list: an input that is no point
    /// list (or states its own units) leaves them to the list instead of refusing them.
    bool forPoints = false;
};

/// Where a command writes: `path`, or the command's `out` stream when it is empty or "-".
struct OutputOptions {
    std::string path;
    bool noClobber = false;  ///< refuse to replace an existing output file
};

struct ConvertOptions {
    InputOptions input;
    std::optional<Source> points;  ///< a point list whose points join the job's known points
    std::string format;            ///< one format, or empty with `allDirectory` (or a suffix of the output)
    OutputOptions output;
    std::string allDirectory;  ///< every format into this folder
    std::string encoding = "utf-8";
    std::string now;        ///< a fixed local time YYYY-MM-DDThh:mm:ss, "job", or empty for the clock
    bool strict = false;    ///< a warning is an error (kExitStrict)
    bool quiet = false;     ///< no warnings and no summary on `err`
    bool sanitize = false;  ///< a character a format reserves is replaced by a blank, with a warning
    /// "N,E,Z" or "N,E,Z,BEARING" in the job's input units: the first set-up nothing else places
    /// stands at N,E,Z, its backsight at BEARING (without it, its circle reading); empty: none.
    std::string assume;
    /// Where the account of the conversion goes as JSON (docs/host.md); empty: nowhere.
    std::string report;
};

struct PlotOptions {
    InputOptions input;
    std::optional<Source> points;  ///< a point list whose points join the job's known points
    OutputOptions output;
    std::string now;     ///< as for convert; the plan shows the run's date only when it is given
    std::string assume;  ///< as for convert
    std::string labels;  ///< "none", "stations" or "all"; empty: all
    std::string size;    ///< "WIDTHxHEIGHT" in pixels; empty: 1200x900
    bool quiet = false;  ///< no warnings and no summary on `err`
};

/// Draws the job that the input holds as a plan (SVG): stations, known points, sights,
/// backsights, stake-outs, resection residuals and level run points, placed as a conversion
/// places them. Warnings (what could not be drawn) and, for a file, a summary go to `err`.
void plot(const PlotOptions& options, std::ostream& out, std::ostream& err);

/// Converts the input into one format or every format. Warnings (what a format could not carry)
/// and, for each output file, a summary line go to `err`.
void convert(const ConvertOptions& options, std::ostream& out, std::ostream& err);

/// Lists every problem of the input on `err`, with its place, and a count. The exit status:
/// kExitOk when it has no error (warnings alone pass), kExitJson when a line of a raw file or a
/// point list cannot be read, kExitJob for any other error. `points`: a point list that joins
/// the job as known points, as `convert --points` gives it.
[[nodiscard]] int check(const InputOptions& input, std::ostream& err,
                        const std::optional<Source>& points = std::nullopt);

/// Writes the job that a raw file or a point list holds as a job file (JSON).
void read(const InputOptions& input, const OutputOptions& output, std::ostream& out, std::ostream& err);

/// Writes the built-in sample job, or with `shots` a synthetic job of that many observations.
void sample(std::optional<std::uint64_t> shots, std::uint64_t seed, const OutputOptions& output, std::ostream& out);

/// Runs a replay script of generator calls and writes what each call returns, or with `asJson`
/// one JSON document of the results.
void replay(const Source& script, bool asJson, const OutputOptions& output, std::ostream& out);

/// The JSON Schema of a job file.
[[nodiscard]] std::string_view schema();

/// The names `InputOptions::from` takes, for messages: "job, points, vemra, ...".
[[nodiscard]] std::string inputKindList();
/// The formats' names for people: "vemra, ... or sdr" with `lastJoin` " or ".
[[nodiscard]] std::string formatNames(const char* lastJoin);

}  // namespace exportgen::app
