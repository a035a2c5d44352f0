// The command line of exportgen: its commands, options, help and exit statuses. `run` parses a
// command line, fills the options of the app layer (app/app.h), calls it and returns the exit
// status (base/problems.h); tests call it in-process.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace exportgen {

/// Inputs handed over in memory, by the path the command line names them with: an input named
/// so is read from here and not from the disk.
using MemoryFiles = std::map<std::string, std::string, std::less<>>;

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err, const MemoryFiles* files = nullptr);
/// The same with the arguments after the program name.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const MemoryFiles* files = nullptr);

}  // namespace exportgen
