// The stored inputs of the host's fuzz targets (support/stored_inputs.h): replay scripts and
// job files.
#include "convert_driver.h"
#include "replay_driver.h"
#include "support/stored_inputs.h"

namespace {

TEST(HostInputs, EveryStoredScriptAndSeedReplaysCleanly) {
    testsupport::replayStoredInputs("replay", fuzzing::runReplayInput);
}

TEST(HostInputs, EveryStoredJobAndSeedConvertsCleanly) {
    testsupport::replayStoredInputs("convert", fuzzing::runConvertInput);
}

}  // namespace
