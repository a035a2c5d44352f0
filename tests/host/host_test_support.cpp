#include "host/host_test_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "cli/commands.h"

namespace hosttest {

Result run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Result result;
    result.code = exportgen::run(args, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary);
    file << content;
}

std::string freshDirectory(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string path =
        std::string(base != nullptr ? base : "/tmp") + "/exportgen-test-" + name + "-" + std::to_string(getpid());
    for (const auto& file : listDirectory(path)) std::remove((path + "/" + file).c_str());
    rmdir(path.c_str());
    mkdir(path.c_str(), 0755);
    return path;
}

std::vector<std::string> listDirectory(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string dataPath(const std::string& relative) { return std::string(EXPORTGEN_TEST_DATA_DIR) + "/" + relative; }

std::string withNewlines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace hosttest
