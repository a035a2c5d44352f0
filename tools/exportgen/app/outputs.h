// The outputs of the app's commands: a path, or the command's stream.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "app/app.h"
#include "output/output.h"

namespace exportgen::app {

/// The output `options` names, or `out` when its path is empty or "-".
[[nodiscard]] std::unique_ptr<Output> makeOutput(const OutputOptions& options, std::ostream& out, Encoder& encoder,
                                                 OutputRules rules);

/// The file a source reads, for the rule that no output may be one of the inputs; empty for
/// bytes in memory and the built-in job.
[[nodiscard]] std::string inputFile(const Source& source);
/// The rules of an output of a command that reads `input` (and a point list `points`).
[[nodiscard]] OutputRules rulesFor(const Source& input, const std::optional<Source>& points = std::nullopt);

}  // namespace exportgen::app
