// Files of a test-data folder, in a fixed order.
#pragma once

#include <algorithm>
#include <filesystem>
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

}  // namespace testsupport
