// Running exportgen's commands in-process, and small file helpers for the host's tests.
#pragma once

#include <string>
#include <vector>

namespace hosttest {

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

/// Runs exportgen with `args` (without the program name).
Result run(const std::vector<std::string>& args);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
/// A fresh empty directory under the system's temporary directory.
std::string freshDirectory(const std::string& name);
/// The files of `directory`, sorted.
std::vector<std::string> listDirectory(const std::string& directory);
/// A path under tests/.
std::string dataPath(const std::string& relative);
/// `text` with every "\r\n" turned into "\n", as golden files keep it.
std::string withNewlines(const std::string& text);

}  // namespace hosttest
