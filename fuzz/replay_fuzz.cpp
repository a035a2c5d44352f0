// libFuzzer target: any bytes as a replay script of the host (see replay_driver.h).
#include <cstddef>
#include <cstdint>

#include "replay_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::runReplayInput(data, size);
    return 0;
}
