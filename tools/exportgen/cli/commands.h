// The commands of exportgen: convert, replay, sample and schema. `run` parses a command line
// and returns the exit status (errors.h); tests call it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace exportgen {

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
/// The same with the arguments after the program name.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct ConvertOptions {
    std::string input;   ///< empty: the built-in sample job; "-": the standard input
    std::string format;  ///< one format, or empty with `allDirectory`
    std::string output;  ///< empty or "-": the standard output
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

}  // namespace exportgen
