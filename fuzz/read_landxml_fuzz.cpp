// libFuzzer target: any bytes read as a LandXML file by the host (see read_driver.h).
#include <cstddef>
#include <cstdint>

#include "read_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runReadInput("landxml", data, size);
    return 0;
}
