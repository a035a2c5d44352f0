// Where a command's bytes go: a stream (stdout) or a file written atomically. A file is
// written to a temporary file in its own directory and renamed into place by commit(); a run
// that ends without commit() removes the temporary file, so an existing file is never
// truncated or half-written by a failed run.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "contracts/orv_string.h"
#include "output/encoding.h"

namespace exportgen {

class Output {
public:
    /// Writes to `stream`.
    Output(std::ostream& stream, Encoder& encoder);
    /// Writes to `path` atomically; throws HostError(kExitOutput) when the directory cannot
    /// take the temporary file.
    Output(const std::string& path, Encoder& encoder);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    /// Appends a text in the output's encoding; `describe` names the record for an encoding
    /// error.
    void text(const COrvStringT& text, const std::function<std::string()>& describe);
    /// Appends bytes as they are (already UTF-8).
    void bytes(std::string_view bytes);
    /// Writes what is buffered, then (for a file) closes it and renames it into place.
    void commit();
    /// Starts the output over, for a conversion that begins again from the start of the job:
    /// what is buffered is dropped and a file is emptied. A stream cannot take back what it
    /// was given, so as many bytes as were written to it are skipped when they come again.
    void restart();

private:
    void flush();

    Encoder& m_encoder;
    std::ostream* m_stream = nullptr;
    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
    bool m_committed = false;
    std::string m_buffer;
    std::size_t m_written = 0;  // bytes in the stream or file
    std::size_t m_skip = 0;     // bytes still to skip on a restarted stream
};

}  // namespace exportgen
