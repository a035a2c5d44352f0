// The commands of exportgen: convert, replay, sample and schema. `run` parses a command line
// and returns the exit status (errors.h); tests call it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/convert.h"

namespace exportgen {

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
/// The same with the arguments after the program name.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace exportgen
