// exportgen replay: runs a script of generator calls (see docs/host.md) and writes what every
// call returns or fills. Script faults throw HostError(kExitScript) naming the call's index
// and operation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "output/output.h"

namespace exportgen {

/// Runs the script `text` (read from `source`) and writes its results to `output`: the texts
/// as the host would write them, or with `asJson` one JSON document.
void replay(std::string_view text, const std::string& source, bool asJson, Output& output);

/// The operations a script may call on `generator`, sorted; empty for an unknown generator.
std::vector<std::string> replayOperations(const std::string& generator);

}  // namespace exportgen
