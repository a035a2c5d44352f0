// libFuzzer target: the contracts layer's text and number services, the wide string, the short
// date and the numeric-name list, called directly (see contracts_driver.h).
#include <cstddef>
#include <cstdint>

#include "contracts_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runContractsInput(data, size);
    return 0;
}
