// The read fuzz driver: any bytes as a raw file of a format (or a point list), converted by the
// host's convert command in-process with the output in memory, back into the same format (a
// point list into a format chosen by the input's length).
//
// A file must either convert or be rejected with a HostError of status 5 (a line that cannot be
// read), 6 (the job it holds breaks a rule of jobs, such as a backsight to an unknown point) or
// 8 (a character the encoding cannot hold) whose message is one line. A reader must never make
// a job document that is not JSON. And what a read file converts to must read back and convert
// to the same bytes again. Anything else, a crash or a sanitizer report is a finding. Shared by
// the libFuzzer targets and the regression test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

/// Runs one input read as `from` ("points" or a format's name); for "vemra" the input's length
/// picks one of the three Vemra dialects. Returns normally unless a check fails (then it aborts).
void runReadInput(const char* from, const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
