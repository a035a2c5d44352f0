// The stored inputs of the replay fuzz target replayed in the ordinary suite: the inputs of past
// findings (tests/hardening/inputs/replay) and the seed corpus (fuzz/corpus/replay).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "replay_driver.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> filesIn(const fs::path& directory) {
    std::vector<fs::path> files;
    if (!fs::is_directory(directory)) return files;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void replay(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    fuzzing::runReplayInput(bytes.data(), bytes.size());
}

TEST(ReplayInputs, EveryStoredInputAndSeedReplaysCleanly) {
    std::vector<fs::path> files = filesIn(fs::path(EXPORTGEN_FUZZ_CORPUS_DIR) / "replay");
    EXPECT_FALSE(files.empty()) << "no seed corpus for the replay target";
    for (const fs::path& file : filesIn(fs::path(EXPORTGEN_TEST_DATA_DIR) / "hardening" / "inputs" / "replay")) {
        files.push_back(file);
    }
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        replay(file);
    }
}

}  // namespace
