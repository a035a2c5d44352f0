// The stored inputs of a fuzz target replayed through its driver in the ordinary suites: the
// inputs that once found a defect (tests/hardening/inputs/<target>, named after the defect) and
// the seed corpus (fuzz/corpus/<target>). A replay fails on a sanitizer report, an uncaught
// exception or a broken check of the driver, which aborts with a message naming the check.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

/// The regular files directly in `directory`, sorted by path; none when it is no folder.
inline std::vector<std::filesystem::path> filesIn(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(directory)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

/// Replays the stored findings and the seed corpus of `target` through `run`.
inline void replayStoredInputs(const std::string& target, void (*run)(const std::uint8_t*, std::size_t)) {
    std::vector<std::filesystem::path> files = filesIn(std::filesystem::path(EXPORTGEN_FUZZ_CORPUS_DIR) / target);
    EXPECT_FALSE(files.empty()) << "no seed corpus for the " << target << " target";
    for (const auto& file : filesIn(std::filesystem::path(EXPORTGEN_TEST_DATA_DIR) / "hardening" / "inputs" / target)) {
        files.push_back(file);
    }
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream stream(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
        run(bytes.data(), bytes.size());
    }
}

}  // namespace testsupport
