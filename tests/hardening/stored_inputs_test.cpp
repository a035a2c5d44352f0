// The stored fuzz inputs replayed through the fuzz drivers in the ordinary suite: the inputs
// that once found a defect (tests/hardening/inputs/<target>, one test each, named after the
// defect) and the seed corpus of every target (fuzz/corpus/<target>). A replay fails on a
// sanitizer report, an uncaught exception or a broken check of the driver (which aborts with a
// message naming the check).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "contracts_driver.h"
#include "generator_driver.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;

using Driver = void (*)(const std::uint8_t*, std::size_t);

struct Target {
    const char* name;
    Driver run;
};

const Target kTargets[] = {{"generators", fuzzing::runGeneratorInput}, {"contracts", fuzzing::runContractsInput}};

const fs::path kFindings = fs::path(EXPORTGEN_TEST_DATA_DIR) / "hardening" / "inputs";
const fs::path kCorpus = fs::path(EXPORTGEN_FUZZ_CORPUS_DIR);

using testsupport::filesIn;

void replay(Driver run, const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    run(bytes.data(), bytes.size());
}

// One stored finding: the target's folder and the file.
struct Finding {
    Target target;
    fs::path file;
};

std::vector<Finding> allFindings() {
    std::vector<Finding> findings;
    for (const Target& target : kTargets) {
        for (const fs::path& file : filesIn(kFindings / target.name)) findings.push_back({target, file});
    }
    return findings;
}

void PrintTo(const Finding& finding, std::ostream* out) {
    *out << finding.target.name << '/' << finding.file.filename().string();
}

class StoredFinding : public ::testing::TestWithParam<Finding> {};

TEST_P(StoredFinding, ReplaysCleanly) { replay(GetParam().target.run, GetParam().file); }

std::string testName(const ::testing::TestParamInfo<Finding>& info) {
    std::string name = std::string(info.param.target.name) + "_" + info.param.file.stem().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Fuzz, StoredFinding, ::testing::ValuesIn(allFindings()), testName);

TEST(SeedCorpus, EverySeedOfEveryTargetReplaysCleanly) {
    for (const Target& target : kTargets) {
        const std::vector<fs::path> seeds = filesIn(kCorpus / target.name);
        EXPECT_FALSE(seeds.empty()) << "no seed corpus for " << target.name;
        for (const fs::path& seed : seeds) {
            SCOPED_TRACE(seed.string());
            replay(target.run, seed);
        }
    }
}

}  // namespace
