// The replay fuzz driver: any bytes as a replay script for the host's replay command, run
// in-process through exportgen::replay with its output in memory, as plain text when the
// input's length is even and as JSON when it is odd.
//
// A script must either run or be rejected with a HostError of status 2 (script error) or 5
// (malformed JSON) whose message is one line; any other status, another exception, a crash or
// a sanitizer report is a finding. Shared by the libFuzzer target and the regression test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

/// Runs one input; returns normally for every input unless a check fails (then it aborts).
void runReplayInput(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
