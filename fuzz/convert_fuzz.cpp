// libFuzzer target: any bytes as a job file for the host's convert command (see
// convert_driver.h).
#include <cstddef>
#include <cstdint>

#include "convert_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runConvertInput(data, size);
    return 0;
}
