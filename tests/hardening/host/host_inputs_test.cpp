// The stored inputs of the host's fuzz targets replayed in the ordinary suite: the inputs of past
// findings (tests/hardening/inputs/<target>) and the seed corpus (fuzz/corpus/<target>) of the
// replay target (scripts) and the convert target (job files).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "convert_driver.h"
#include "replay_driver.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;

using testsupport::filesIn;

void replayAll(const char* target, void (*run)(const std::uint8_t*, std::size_t)) {
    std::vector<fs::path> files = filesIn(fs::path(EXPORTGEN_FUZZ_CORPUS_DIR) / target);
    EXPECT_FALSE(files.empty()) << "no seed corpus for the " << target << " target";
    for (const fs::path& file : filesIn(fs::path(EXPORTGEN_TEST_DATA_DIR) / "hardening" / "inputs" / target)) {
        files.push_back(file);
    }
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream stream(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
        run(bytes.data(), bytes.size());
    }
}

TEST(HostInputs, EveryStoredScriptAndSeedReplaysCleanly) { replayAll("replay", fuzzing::runReplayInput); }

TEST(HostInputs, EveryStoredJobAndSeedConvertsCleanly) { replayAll("convert", fuzzing::runConvertInput); }

}  // namespace
