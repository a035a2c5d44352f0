// A small JSON document read whole (a replay script, the job schema), with the place of a
// syntax error named as for any input.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace exportgen {

/// Parses `text`, read from `source`; malformed JSON throws HostError(kExitJson)
/// "SOURCE:LINE:COLUMN: malformed JSON: what".
nlohmann::json parseDocument(std::string_view text, const std::string& source);

}  // namespace exportgen
