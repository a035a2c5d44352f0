// The problems a user meets, with their place: an error carries the kind of problem, which is
// also the exit status the program ends with (the numbers are part of the program's interface:
// scripts test them), and an error about a file's content carries its byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace exportgen {

enum ExitCode : int {
    kExitOk = 0,
    kExitInternal = 1,  ///< a fault of the program itself
    kExitScript = 2,    ///< a replay script names an unknown generator or operation, or bad arguments
    kExitUsage = 3,     ///< a bad command line: unknown option or format, a missing value
    kExitInput = 4,     ///< the input file cannot be opened or read
    kExitJson = 5,      ///< the input is not well-formed JSON (line and column given)
    kExitJob = 6,       ///< the job breaks its schema or holds what no output can carry (JSON path given)
    kExitOutput = 7,    ///< the output cannot be written
    kExitEncoding = 8,  ///< a character cannot be written in the chosen encoding (record named)
    kExitStrict = 9,    ///< --strict: a warning (something a format could not carry) ended the run
};

/// An error a user meets: its message (one line, no "error:" prefix) and its exit status.
class HostError : public std::runtime_error {
public:
    HostError(ExitCode code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    [[nodiscard]] ExitCode code() const noexcept { return m_code; }

private:
    ExitCode m_code;
};

/// A setting that cannot be taken, in the terms of whoever reads it (the columns of a point
/// list): `setting` as the options name it ("columns"), the value when the message quotes it,
/// and what is wrong. The message is "SETTING[ VALUE]: what"; the command line words it as an
/// error of its flag ("--columns PNX: ...").
class SettingError : public HostError {
public:
    SettingError(const std::string& setting, const std::string& value, const std::string& what)
        : HostError(kExitUsage, setting + (value.empty() ? "" : " " + value) + ": " + what) {}
};

/// An error about the content of a job file at a byte offset of the file; the reader turns it
/// into a HostError whose message starts with the file, the line and the column.
class JobError : public HostError {
public:
    /// `input`: which of the command's inputs the offset is in (0 the job's own, 1 a point list
    /// of --points).
    JobError(std::size_t offset, const std::string& message, ExitCode code = kExitJob, std::uint32_t input = 0)
        : HostError(code, message), m_offset(offset), m_input(input) {}
    [[nodiscard]] std::size_t offset() const noexcept { return m_offset; }
    [[nodiscard]] std::uint32_t input() const noexcept { return m_input; }

private:
    std::size_t m_offset;
    std::uint32_t m_input;
};

/// What a check of a whole job finds: errors and warnings at byte offsets of the file. The first
/// `cap` are kept; the rest are only counted, so a job with a million bad values costs no
/// memory for them.
class JobProblems {
public:
    struct Problem {
        std::size_t offset = 0;
        std::string message;  ///< "$.path: what"
        bool warning = false;
        std::uint32_t input = 0;  ///< which of the command's inputs the offset is in
    };

    explicit JobProblems(std::size_t cap) : m_cap(cap) {}
    /// True while another problem would still be kept (its message is worth making).
    [[nodiscard]] bool keeps() const noexcept { return m_kept.size() < m_cap; }
    void add(std::size_t offset, std::string message, bool warning = false, std::uint32_t input = 0) {
        ++(warning ? m_warnings : m_errors);
        if (keeps()) m_kept.push_back({offset, std::move(message), warning, input});
    }
    void add(const JobError& error) { add(error.offset(), error.what(), false, error.input()); }
    /// Counts a problem without its message (past the cap).
    void count(bool warning = false) { ++(warning ? m_warnings : m_errors); }
    [[nodiscard]] std::size_t errors() const noexcept { return m_errors; }
    [[nodiscard]] std::size_t warnings() const noexcept { return m_warnings; }
    [[nodiscard]] const std::vector<Problem>& kept() const noexcept { return m_kept; }

private:
    std::size_t m_cap;
    std::size_t m_errors = 0, m_warnings = 0;
    std::vector<Problem> m_kept;
};

}  // namespace exportgen
