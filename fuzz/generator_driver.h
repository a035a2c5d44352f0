// The generator fuzz driver: decodes one input into a job (settings, job and observation
// information, a numeric-name list, flags), creates one of the six generators through its
// factory, possibly with an allocation failing during the construction, and calls its virtual
// operations in the order and with the arguments the input chooses, until the input runs out.
//
// Arguments cover what survey data and failed computations bring: any double, any int, texts
// of any length and content, and data objects of every kind (measurements of any kind with any
// number of values, sights of every class with or without measurement, codes or backsight
// point, stations) or null pointers. An operation may also run with an allocation failing on
// the way; it then throws std::bad_alloc, which must leave the generator usable and leak
// nothing.
//
// Besides the sanitizers, the driver checks the shape of what comes back where the format
// fixes it (line ends of whole-line records, widths of fixed-width fields and records) and
// aborts with a message when it is broken. It is shared by the libFuzzer target and by the
// regression test that replays stored inputs in the ordinary test suite.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

/// Runs one input; returns normally for every input unless a check fails (then it aborts).
void runGeneratorInput(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
