// Where a command's bytes go, written so that a run never costs the user data.
//
// - `-` (the stream constructor): the standard output.
// - A regular file, existing or new: the bytes go to a temporary file in the file's own folder,
//   renamed into place by commit(). A run that ends without commit() (an error, a signal)
//   removes the temporary file, so an existing file is never truncated or half-written. The new
//   file keeps the old one's permission bits (and owner, where the system allows); a new file
//   gets 0666 less the umask.
// - A symbolic link is followed (through any number of links) and its target is replaced in
//   the target's own folder; the link stays a link.
// - A character device, FIFO or socket, and a descriptor path (/dev/stdout, /dev/fd/N, a
//   process substitution), is written directly: it cannot be replaced, and a temporary file
//   beside /dev/null would be wrong.
// - Refused with HostError(kExitOutput) before anything is written: a directory, a block
//   device, an existing file without write permission, an output that is one of the command's
//   inputs (the same file through any link), and, with `noClobber`, an existing file.
#pragma once

#include <sys/types.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "base/record_sink.h"
#include "contracts/orv_string.h"
#include "output/encoding.h"

namespace exportgen {

/// What an output file must respect beyond its path.
struct OutputRules {
    /// The files the command reads ("-" is the standard input): an output that is one of them
    /// is refused.
    std::vector<std::string> inputs;
    /// Refuse to replace an existing file (a device or FIFO is still written).
    bool noClobber = false;
};

class Output : public RecordSink {
public:
    /// Writes to `stream`.
    Output(std::ostream& stream, Encoder& encoder);
    /// Writes to `path` as the header says; throws HostError(kExitOutput) with a message that
    /// starts "cannot write PATH: " when the path is refused or cannot be opened.
    Output(const std::string& path, Encoder& encoder, const OutputRules& rules = {});
    ~Output() override;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    /// Appends a text in the output's encoding; `describe` names the record for an encoding
    /// error.
    void text(const COrvStringT& text, const Describe& describe) override;
    /// Appends bytes as they are (already UTF-8).
    void bytes(std::string_view bytes) override;
    /// True when the output is a file written beside its place and renamed into it by commit():
    /// nothing reaches the destination before. False for the standard output, a device or FIFO.
    [[nodiscard]] bool replaceable() const noexcept { return !m_temporary.empty(); }
    /// Writes what is buffered, then (for a file) closes it and renames it into place.
    void commit();

private:
    void resolve(const OutputRules& rules);
    void openTarget(const std::string& target, const OutputRules& rules);
    void openDirect(int fd, const OutputRules& rules);
    void openReplacement(const std::string& target, bool exists, mode_t mode, uid_t owner, gid_t group);
    void flush();
    void writeAll(const char* data, std::size_t size);
    void discard() noexcept;

    Encoder& m_encoder;
    std::ostream* m_stream = nullptr;
    std::string m_path;       // as the user gave it, for messages
    std::string m_target;     // the file the links lead to
    std::string m_temporary;  // empty when written directly
    int m_slot = -1;          // the temporary file's entry in the table the signal handler clears
    int m_fd = -1;
    bool m_noClobber = false;
    bool m_committed = false;
    std::string m_buffer;
};

/// `name` in `directory`, with one slash between them however many the directory ends with.
[[nodiscard]] std::string pathIn(const std::string& directory, const std::string& name);

/// A folder for outputs, created with its parents (0777 less the umask) as `mkdir -p` does;
/// throws HostError(kExitOutput) when a part cannot be made. The folders it made are removed
/// again when it is destroyed while still empty, so a run that fails before any output is
/// committed leaves nothing behind: destroy it after the outputs in it.
class OutputDirectory {
public:
    explicit OutputDirectory(const std::string& path);
    ~OutputDirectory();
    OutputDirectory(const OutputDirectory&) = delete;
    OutputDirectory& operator=(const OutputDirectory&) = delete;

private:
    std::vector<std::string> m_made;  // the folders this run created, outermost first
    std::vector<int> m_slots;         // their entries in the table a signal handler reads
};

/// For the program's main: SIGINT, SIGTERM and SIGHUP remove every temporary output file and
/// end the program by the same signal (status 128 + the signal in a shell); a signal ignored
/// at start (nohup, a background job) stays ignored. SIGXFSZ is ignored, so a write past the
/// file-size limit fails with EFBIG and is reported as any failed write (status 7).
void protectOutputs();

}  // namespace exportgen
