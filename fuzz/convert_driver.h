// The convert fuzz driver: any bytes as a job file for the host's convert command, run
// in-process through exportgen::convert with the output in memory. The format (one of the six)
// and the encoding (UTF-8, latin1, cp1252) are chosen by the input's length, so that every
// input is read whole as the job.
//
// A job must either convert or be rejected with a HostError of status 5 (malformed JSON), 6 (the
// job breaks its schema or names an unknown point) or 8 (a character the encoding cannot hold)
// whose message is one line; any other status, another exception, a crash or a sanitizer report
// is a finding. Shared by the libFuzzer target and the regression test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

/// Runs one input; returns normally for every input unless a check fails (then it aborts).
void runConvertInput(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
