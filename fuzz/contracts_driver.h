// The contracts fuzz driver: the text and number services every record is built from, called
// directly with any arguments (doubles, ints, styles and units outside their enumerations,
// texts, field widths, buffer sizes), with the wide string's editing operations, the short date
// of any clock and pattern, and the numeric-name list.
//
// Besides the sanitizers it checks results against independent oracles where one exists: fixed
// decimals against the C library's "%.*f", integer texts against std::to_string, the widths of
// report fields, the interval of toRange, and that no numeric name is handed to two names.
// Shared by the libFuzzer target and the regression test of the ordinary suite.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzing {

/// Runs one input; returns normally for every input unless a check fails (then it aborts).
void runContractsInput(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzing
