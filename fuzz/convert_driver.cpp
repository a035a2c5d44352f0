#include "convert_driver.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/errors.h"
#include "writers/registry.h"

namespace fuzzing {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& message) {
    std::fprintf(stderr, "convert check failed: %s: %s\n", what.c_str(), message.substr(0, 400).c_str());
    std::abort();
}

// The input as a file the command can open by name: an anonymous file in memory.
class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : m_fd(memfd_create("job.json", 0)) {
        if (m_fd < 0) fail("memfd_create", "no file for the input");
        for (std::size_t done = 0; done < size;) {
            const ssize_t written = write(m_fd, data + done, size - done);
            if (written <= 0) fail("write", "the input could not be written");
            done += static_cast<std::size_t>(written);
        }
    }
    ~MemoryFile() { close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    [[nodiscard]] std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd;
};

}  // namespace

void runConvertInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kEncodings[] = {"utf-8", "latin1", "cp1252"};
    const MemoryFile file(data, size);
    exportgen::ConvertOptions options;
    options.input = file.path();
    options.from = "job";
    // The input's size picks the format and the encoding, so a stored input always meets the same ones.
    const auto& formats = exportgen::formats();
    options.format = formats[size % formats.size()].name;
    options.encoding = kEncodings[(size / formats.size()) % 3];
    options.now = "2025-07-04T09:05:03";
    std::ostringstream out;
    std::ostringstream err;
    try {
        exportgen::convert(options, out, err);
    } catch (const exportgen::HostError& error) {
        const std::string message = error.what();
        const int code = error.code();
        if (code != exportgen::kExitJson && code != exportgen::kExitJob && code != exportgen::kExitEncoding) {
            fail("a bad job gave status " + std::to_string(code), message);
        }
        if (message.empty() || message.find('\n') != std::string::npos) fail("not a one-line message", message);
    }
}

}  // namespace fuzzing
