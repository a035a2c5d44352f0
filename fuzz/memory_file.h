// A fuzz input as a file the host's commands can open by name: an anonymous file in memory,
// opened as /proc/self/fd/N.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <string>

namespace fuzzing {

class MemoryFile {
public:
    /// `fail` reports a fault of the harness itself (no file, a short write) and does not return.
    MemoryFile(const void* data, std::size_t size, void (*fail)(const std::string&, const std::string&))
        : m_fd(memfd_create("input", 0)) {
        if (m_fd < 0) fail("memfd_create", "no file for the input");
        const auto* bytes = static_cast<const char*>(data);
        for (std::size_t done = 0; done < size;) {
            const ssize_t written = write(m_fd, bytes + done, size - done);
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

}  // namespace fuzzing
