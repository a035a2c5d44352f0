// exportgen convert: a job read once and written in one or every format, and the paths and
// outputs the commands share.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "output/output.h"

namespace exportgen {

struct ConvertOptions {
    std::string input;    ///< empty: the built-in sample job; "-": the standard input
    std::string from;     ///< what the input is: "job", "points" or a format; empty: recognised
    std::string columns;  ///< the columns of a point list without a header row
    std::string points;   ///< a point list whose points join the job's known points
    std::string format;   ///< one format, or empty with `allDirectory`
    std::string output;   ///< empty or "-": the standard output
    std::string allDirectory;
    bool noClobber = false;  ///< refuse to replace an existing output file
    std::string encoding = "utf-8";
    std::string now;        ///< a fixed local time YYYY-MM-DDThh:mm:ss, or empty for the clock
    bool strict = false;    ///< a warning is an error (kExitStrict)
    bool quiet = false;     ///< no warnings and no summary on stderr
    bool sanitize = false;  ///< a character a format reserves is replaced by a blank, with a warning
};

/// exportgen convert; throws HostError. Warnings (what a format could not carry) and, for each
/// output file, a summary line go to `err`.
void convert(const ConvertOptions& options, std::ostream& out, std::ostream& err);

/// The path of an input named on the command line: "-" is the standard input.
std::string inputPath(const std::string& path);
/// The output `-o` names: the standard output when it is left out or "-".
std::unique_ptr<Output> makeOutput(const std::string& path, std::ostream& out, Encoder& encoder,
                                   const OutputRules& rules);

}  // namespace exportgen
