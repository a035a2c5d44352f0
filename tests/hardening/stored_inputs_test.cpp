// The stored fuzz inputs replayed through the fuzz drivers in the ordinary suite: the inputs
// that once found a defect (tests/hardening/inputs, one test each, named after the defect) and
// the seed corpus of the fuzz targets (fuzz/corpus). A replay fails on a sanitizer report, an
// uncaught exception or a broken check of the driver (which aborts with a message).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "generator_driver.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> bytesOf(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> filesIn(const fs::path& directory) {
    std::vector<fs::path> files;
    if (!fs::is_directory(directory)) return files;
    for (const auto& entry : fs::directory_iterator(directory)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void runGeneratorFile(const fs::path& file) {
    const std::vector<std::uint8_t> bytes = bytesOf(file);
    fuzzing::runGeneratorInput(bytes.data(), bytes.size());
}

const fs::path kFindings = fs::path(EXPORTGEN_TEST_DATA_DIR) / "hardening" / "inputs";
const fs::path kCorpus = fs::path(EXPORTGEN_FUZZ_CORPUS_DIR);

class GeneratorFinding : public ::testing::TestWithParam<fs::path> {};

TEST_P(GeneratorFinding, ReplaysCleanly) { runGeneratorFile(GetParam()); }

std::string testName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.stem().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Stored, GeneratorFinding, ::testing::ValuesIn(filesIn(kFindings / "generators")), testName);

TEST(GeneratorCorpus, EverySeedReplaysCleanly) {
    const std::vector<fs::path> seeds = filesIn(kCorpus / "generators");
    ASSERT_FALSE(seeds.empty()) << "no seed corpus under " << kCorpus;
    for (const fs::path& seed : seeds) {
        SCOPED_TRACE(seed.filename().string());
        runGeneratorFile(seed);
    }
}

}  // namespace
