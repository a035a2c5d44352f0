// The stored inputs of the host's fuzz targets (support/stored_inputs.h): replay scripts and
// job files, and raw files and point lists for each reader.
#include <cstdlib>

#include "convert_driver.h"
#include "formats/registry.h"
#include "read_driver.h"
#include "replay_driver.h"
#include "support/stored_inputs.h"

namespace {

TEST(HostInputs, EveryStoredScriptAndSeedReplaysCleanly) {
    testsupport::replayStoredInputs("replay", fuzzing::runReplayInput);
}

TEST(HostInputs, EveryStoredJobAndSeedConvertsCleanly) {
    testsupport::replayStoredInputs("convert", fuzzing::runConvertInput);
}

// The stored inputs of each reader's target, read as that reader's files.
class ReadInputs : public testing::TestWithParam<const char*> {};

const char* g_from = nullptr;
void runRead(const std::uint8_t* data, std::size_t size) { fuzzing::runReadInput(g_from, data, size); }

TEST_P(ReadInputs, EveryStoredFileReadsCleanly) {
    // Our own files among them must also read back to the same bytes.
    setenv("EXPORTGEN_FUZZ_ROUND_TRIP", "1", 1);
    g_from = GetParam();
    if (g_from != std::string("points")) {
        ASSERT_NE(exportgen::findFormat(g_from), nullptr);
        ASSERT_TRUE(exportgen::findFormat(g_from)->readable()) << "no reader for " << g_from;
    }
    testsupport::replayStoredInputs(std::string("read_") + g_from, runRead);
}

INSTANTIATE_TEST_SUITE_P(EveryReader, ReadInputs,
                         testing::Values("rw5", "sdr", "quoltpashk", "vemra", "landxml", "points"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
