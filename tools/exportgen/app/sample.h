// exportgen sample: a synthetic job of N observations whose targets have known coordinates,
// for benchmarks and for checking the geometry of any output.
#pragma once

#include <cstdint>

#include "output/output.h"

namespace exportgen::app {

/// Writes the job as JSON to `output`: set-ups of at most 250 observations along a traverse,
/// each oriented on the previous station; every measurement kind (angles and slope distance,
/// horizontal distance and height difference, angles only, a horizontal angle only, a slope
/// distance only), both faces, codes with attributes, and every target's coordinates as
/// computed from the written observation.
void writeSample(std::uint64_t shots, std::uint64_t seed, Output& output);

}  // namespace exportgen::app
