#include "output/output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "base/problems.h"

namespace exportgen {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;
constexpr int kMaxLinks = 40;  // as the system allows when it follows links itself

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw HostError(kExitOutput, "cannot write " + path + ": " + why);
}
[[noreturn]] void fail(const std::string& path, int error) { refuse(path, std::strerror(error)); }

// ---------------------------------------------------------------------------------------------
// The temporary files a signal must remove. The handler may run between any two instructions
// of the program, so it reads only this fixed table: a slot's path is written before the slot
// is marked used, and the mark is cleared before the path is forgotten.

constexpr int kSlots = 16;  // --all writes six files at once
struct Slot {
    std::atomic<bool> used{false};
    char path[PATH_MAX];
};
Slot g_slots[kSlots];
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler reads the slots' marks");

// The folders this run made for its outputs, in the order made, which a signal removes (the
// innermost first) once the temporary files in them are gone. A folder that holds an output
// already written stays: rmdir takes empty folders only.
Slot g_folders[kSlots];

// Enters `path` in `table`; -1 when it is full or the path too long (the file or folder is then
// still removed by every other way a run ends, only not on a signal).
int protect(const std::string& path, Slot (&table)[kSlots] = g_slots) noexcept {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (table[i].used.load()) continue;
        std::memcpy(table[i].path, path.c_str(), path.size() + 1);
        table[i].used.store(true);
        return i;
    }
    return -1;
}

void release(int slot, Slot (&table)[kSlots] = g_slots) noexcept {
    if (slot >= 0) table[slot].used.store(false);
}

// Holds SIGINT, SIGTERM and SIGHUP back while a temporary file comes into being or goes, so
// that no signal falls between the file and its entry in the table.
class SignalsHeld {
public:
    SignalsHeld() noexcept {
        sigset_t held;
        sigemptyset(&held);
        for (const int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, number);
        sigprocmask(SIG_BLOCK, &held, &m_previous);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_previous;
};

extern "C" void removeTemporaries(int number) {
    for (Slot& slot : g_slots) {
        if (slot.used.load()) unlink(slot.path);
    }
    // Made outermost first into the lowest free slots: the innermost is removed first.
    for (int i = kSlots - 1; i >= 0; --i) {
        if (g_folders[i].used.load()) rmdir(g_folders[i].path);
    }
    // End by the same signal, so that the parent sees what stopped the program.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(number, &standard, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, number);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(number);
    _exit(128 + number);
}

// ---------------------------------------------------------------------------------------------
// Paths

// The descriptor a path names without naming a file (/dev/stdout, /dev/fd/3), or -1. Such a
// path leads through /proc to a name like "pipe:[123]" that cannot be replaced; the open
// descriptor itself is written.
int descriptorOf(const std::string& path) {
    if (path == "/dev/stdin") return 0;
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"}) {
        const std::size_t length = std::strlen(prefix);
        if (path.compare(0, length, prefix) != 0) continue;
        const std::string digits = path.substr(length);
        if (digits.empty() || digits.size() > 9) return -1;
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return -1;
        return std::stoi(digits);
    }
    return -1;
}

// The folder part of a path, with its final slash ("" for a bare name).
std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name no other file in the folder has yet, for O_EXCL to confirm.
std::string temporaryName(const std::string& target) {
    static unsigned long long counter = 0;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned long long seed = (static_cast<unsigned long long>(now.tv_nsec) << 20) ^
                              (static_cast<unsigned long long>(getpid()) << 40) ^ ++counter * 0x9E3779B97F4A7C15ULL;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += letters[seed % 62];
        seed /= 62;
    }
    return folderOf(target) + "." + baseOf(target) + "." + suffix;
}

bool isInput(const struct stat& file, const OutputRules& rules) {
    for (const std::string& input : rules.inputs) {
        struct stat info {};
        const int found = input == "-" ? fstat(0, &info) : stat(input.c_str(), &info);
        if (found == 0 && info.st_dev == file.st_dev && info.st_ino == file.st_ino) return true;
    }
    return false;
}

}  // namespace

Output::Output(std::ostream& stream, Encoder& encoder) : m_encoder(encoder), m_stream(&stream) {}

Output::Output(const std::string& path, Encoder& encoder, const OutputRules& rules)
    : m_encoder(encoder), m_path(path), m_noClobber(rules.noClobber) {
    if (path.empty()) refuse(path, "no file name");
    try {
        resolve(rules);
    } catch (...) {
        discard();
        throw;
    }
}

// Follows the links by hand: the file to replace is the last one, in its own folder.
void Output::resolve(const OutputRules& rules) {
    const std::string& path = m_path;
    std::string target = path;
    for (int links = 0;; ++links) {
        if (const int fd = descriptorOf(target); fd >= 0) {
            const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
            if (copy < 0) fail(path, errno);
            openDirect(copy, rules);
            return;
        }
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0) {
            if (errno != ENOENT) fail(path, errno);
            if (baseOf(target).empty()) refuse(path, "not a file name");
            openReplacement(target, false, 0666, 0, 0);
            return;
        }
        if (!S_ISLNK(info.st_mode)) {
            m_target = target;
            openTarget(target, rules);
            return;
        }
        if (links == kMaxLinks) fail(path, ELOOP);
        std::string next(PATH_MAX, '\0');
        const ssize_t size = readlink(target.c_str(), next.data(), next.size());
        if (size < 0) fail(path, errno);
        next.resize(static_cast<std::size_t>(size));
        target = !next.empty() && next[0] == '/' ? next : folderOf(target) + next;
    }
}

// `target` exists and is no link.
void Output::openTarget(const std::string& target, const OutputRules& rules) {
    struct stat info {};
    if (stat(target.c_str(), &info) != 0) fail(m_path, errno);
    if (S_ISDIR(info.st_mode)) refuse(m_path, "it is a directory");
    if (S_ISBLK(info.st_mode)) refuse(m_path, "it is a block device (a disk is not an output)");
    if (S_ISREG(info.st_mode)) {
        if (isInput(info, rules)) refuse(m_path, "it is an input of this command");
        if (m_noClobber) refuse(m_path, "the file exists (--no-clobber)");
        // A file nobody may write says "keep me", even to root, who could otherwise replace
        // it; and the folder's permission to rename is no permission to replace a file whose
        // owner kept it from us.
        if ((info.st_mode & 0222) == 0) refuse(m_path, "the file is read-only");
        if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) fail(m_path, errno);
        openReplacement(target, true, info.st_mode & 07777, info.st_uid, info.st_gid);
        return;
    }
    if (S_ISSOCK(info.st_mode)) {
        sockaddr_un address{};
        if (target.size() >= sizeof address.sun_path) fail(m_path, ENAMETOOLONG);
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, target.c_str(), target.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) fail(m_path, errno);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int error = errno;
            close(fd);
            fail(m_path, error);
        }
        openDirect(fd, rules);
        return;
    }
    // A character device or FIFO (which waits here for its reader, as the shell's ">" does).
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) fail(m_path, errno);
    openDirect(fd, rules);
}

// `fd` is written as it is; a descriptor that leads to one of the inputs is refused all the
// same.
void Output::openDirect(int fd, const OutputRules& rules) {
    m_fd = fd;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && isInput(info, rules)) {
        discard();
        refuse(m_path, "it is an input of this command");
    }
}

void Output::openReplacement(const std::string& target, bool exists, mode_t mode, uid_t owner, gid_t group) {
    m_target = target;
    const SignalsHeld held;
    for (int attempt = 0; m_fd < 0; ++attempt) {
        m_temporary = temporaryName(target);
        // A new file is created with 0666 and the system applies the umask (and a folder's
        // default ACL) itself; a replacement takes its bits once it is ours.
        m_fd = open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
        if (m_fd < 0 && (errno != EEXIST || attempt == 100)) {
            const int error = errno;
            m_temporary.clear();
            fail(m_path, error);
        }
    }
    m_slot = protect(m_temporary);
    if (!exists) return;
    if (owner != geteuid() || group != getegid()) {
        if (fchown(m_fd, owner, group) != 0) {
            // Only root may give a file away; the file is then ours, as with any copy.
        }
    }
    if (fchmod(m_fd, mode) != 0) {
        const int error = errno;
        discard();
        fail(m_path, error);
    }
}

void Output::discard() noexcept {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) {
        const SignalsHeld held;
        unlink(m_temporary.c_str());
        release(m_slot);
        m_temporary.clear();
    }
}

Output::~Output() {
    if (!m_committed) {
        discard();
    } else if (m_fd >= 0) {
        close(m_fd);
    }
}

void Output::text(const COrvStringT& text, const Describe& describe) {
    m_encoder.append(m_buffer, text, describe);
    if (m_buffer.size() >= kFlushSize) flush();
}

void Output::bytes(std::string_view bytes) {
    m_buffer.append(bytes);
    if (m_buffer.size() >= kFlushSize) flush();
}

void Output::flush() {
    if (m_stream != nullptr) {
        m_stream->write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_buffer.clear();
        if (!*m_stream) throw HostError(kExitOutput, "cannot write to the standard output");
        return;
    }
    writeAll(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
}

void Output::writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(m_fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(m_path, errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void Output::commit() {
    flush();
    if (m_stream != nullptr) {
        m_stream->flush();
        if (!*m_stream) throw HostError(kExitOutput, "cannot write to the standard output");
        m_committed = true;
        return;
    }
    const int fd = std::exchange(m_fd, -1);
    if (close(fd) != 0) fail(m_path, errno);
    if (m_temporary.empty()) {
        m_committed = true;
        return;
    }
    const SignalsHeld held;
    if (m_noClobber) {
        // A link cannot replace a file that appeared since the check; rename could.
        if (link(m_temporary.c_str(), m_target.c_str()) == 0) {
            unlink(m_temporary.c_str());
        } else {
            struct stat info {};
            if (errno == EEXIST || lstat(m_target.c_str(), &info) == 0) {
                refuse(m_path, "the file exists (--no-clobber)");
            }
            // A file system without hard links: the check above is all there is.
            if (rename(m_temporary.c_str(), m_target.c_str()) != 0) fail(m_path, errno);
        }
    } else if (rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        fail(m_path, errno);
    }
    release(m_slot);
    m_temporary.clear();
    m_committed = true;
}

std::string pathIn(const std::string& directory, const std::string& name) {
    std::string folder = directory;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty()) return name;
    return folder == "/" ? "/" + name : folder + "/" + name;
}

OutputDirectory::OutputDirectory(const std::string& path) {
    if (path.empty()) return;
    // Each folder along the path, from the outermost.
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && part.back() != '/') {
            // A folder made is entered in the signal handler's table before a signal can end the
            // run, so that an interrupted run takes back the folders it made.
            const SignalsHeld held;
            if (mkdir(part.c_str(), 0777) == 0) {
                m_made.push_back(part);
                m_slots.push_back(protect(part, g_folders));
            } else if (errno != EEXIST) {
                throw HostError(kExitOutput, "cannot create the folder " + part + ": " + std::strerror(errno));
            }
        }
        if (end == std::string::npos) break;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) fail(path, errno);
    if (!S_ISDIR(info.st_mode)) fail(path, ENOTDIR);
}

OutputDirectory::~OutputDirectory() {
    const SignalsHeld held;
    for (std::size_t i = m_made.size(); i-- > 0;) {
        rmdir(m_made[i].c_str());
        release(m_slots[i], g_folders);
    }
}

void protectOutputs() {
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = removeTemporaries;
        sigemptyset(&action.sa_mask);
        sigaddset(&action.sa_mask, SIGINT);
        sigaddset(&action.sa_mask, SIGTERM);
        sigaddset(&action.sa_mask, SIGHUP);
        sigaction(number, &action, nullptr);
    }
    signal(SIGXFSZ, SIG_IGN);
}

}  // namespace exportgen
