// libFuzzer target: every generator, through its factory, with every virtual operation and any
// arguments (see generator_driver.h for what an input decodes to).
#include <cstddef>
#include <cstdint>

#include "generator_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runGeneratorInput(data, size);
    return 0;
}
