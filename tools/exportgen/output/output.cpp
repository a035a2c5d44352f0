#include "output/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/errors.h"

namespace exportgen {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

std::string failure(const std::string& path, int error) { return "cannot write " + path + ": " + std::strerror(error); }

mode_t defaultMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

Output::Output(std::ostream& stream, Encoder& encoder) : m_encoder(encoder), m_stream(&stream) {}

Output::Output(const std::string& path, Encoder& encoder) : m_encoder(encoder), m_path(path) {
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) throw HostError(kExitOutput, "cannot write " + path + ": not a file name");
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw HostError(kExitOutput, "cannot write " + path + ": it is a directory");
    }
    std::string pattern = (slash == std::string::npos ? std::string() : directory) + "." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = mkstemp(name.data());
    if (m_fd < 0) throw HostError(kExitOutput, failure(path, errno));
    m_temporary = name.data();
    fchmod(m_fd, defaultMode());
}

Output::~Output() {
    if (m_fd >= 0) close(m_fd);
    if (!m_committed && !m_temporary.empty()) unlink(m_temporary.c_str());
}

void Output::text(const COrvStringT& text, const std::function<std::string()>& describe) {
    m_encoder.append(m_buffer, text, describe);
    if (m_buffer.size() >= kFlushSize) flush();
}

void Output::bytes(std::string_view bytes) {
    m_buffer.append(bytes);
    if (m_buffer.size() >= kFlushSize) flush();
}

void Output::flush() {
    const std::size_t skipped = std::min(m_skip, m_buffer.size());
    m_skip -= skipped;
    m_written += m_buffer.size() - skipped;
    if (m_stream != nullptr) {
        m_stream->write(m_buffer.data() + skipped, static_cast<std::streamsize>(m_buffer.size() - skipped));
        m_buffer.clear();
        if (!*m_stream) throw HostError(kExitOutput, "cannot write to the standard output");
        return;
    }
    const char* data = m_buffer.data() + skipped;
    std::size_t left = m_buffer.size() - skipped;
    while (left > 0) {
        const ssize_t written = write(m_fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            throw HostError(kExitOutput, failure(m_path, errno));
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    m_buffer.clear();
}

void Output::restart() {
    m_buffer.clear();
    if (m_stream != nullptr) {
        m_skip = m_written;
        return;
    }
    m_written = 0;
    if (ftruncate(m_fd, 0) != 0 || lseek(m_fd, 0, SEEK_SET) != 0) throw HostError(kExitOutput, failure(m_path, errno));
}

void Output::commit() {
    flush();
    if (m_stream != nullptr) {
        m_stream->flush();
        m_committed = true;
        return;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0) throw HostError(kExitOutput, failure(m_path, errno));
    if (rename(m_temporary.c_str(), m_path.c_str()) != 0) throw HostError(kExitOutput, failure(m_path, errno));
    m_committed = true;
}

}  // namespace exportgen
