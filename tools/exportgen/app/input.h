// What convert, check and read take: a job file, a raw file of one of the formats, or a point
// list, recognised by what the options name, by the file's suffix or by its first bytes. A job
// file is read by the job reader; a raw file and a point list by their readers, straight into the
// job builder.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/app.h"
#include "base/warnings.h"
#include "job/builder.h"
#include "readers/job_reader.h"

namespace exportgen::app {

class JobSource {
public:
    /// Opens and, when it is not a job file, reads the input. What a reader skipped is added to
    /// `warnings` (under --strict the first one throws). Throws HostError: kExitInput when the
    /// file cannot be read, kExitUsage when what it holds cannot be told, kExitJson for a line
    /// a reader cannot read.
    JobSource(const InputOptions& options, WarningPolicy policy);
    JobSource(const JobSource&) = delete;
    JobSource& operator=(const JobSource&) = delete;

    /// The input's text: the file itself, or the built-in job.
    [[nodiscard]] std::string_view text() const noexcept;
    /// The input's name in messages: the path (or the name of bytes in memory), "<stdin>" or
    /// "<sample job>".
    [[nodiscard]] const std::string& source() const noexcept { return m_source; }
    /// True when the text is a mapped file (whose pages the reader may give back).
    [[nodiscard]] bool mapped() const noexcept;
    /// "SOURCE:LINE:COLUMN" of the byte at `offset` of the text.
    [[nodiscard]] std::string place(std::size_t offset) const;
    /// "job", "points" or the name of the format read.
    [[nodiscard]] const std::string& kind() const noexcept { return m_kind; }
    /// What the reader skipped.
    [[nodiscard]] const WarningList& warnings() const noexcept { return m_warnings; }
    /// True when the input is read into a job builder by its reader (a raw file, a point list),
    /// false when it is a job file, read by the job reader.
    [[nodiscard]] bool built() const;
    /// Reads the input into `builder` (built() only): a point list's points, or a raw file's
    /// whole job. What the reader skips goes to warnings().
    void build(JobBuilder& builder) const;
    /// The byte offset of the text at which the last build() was refused by its reader, if it
    /// was.
    [[nodiscard]] std::optional<std::size_t> refusedAt() const noexcept { return m_refusedAt; }
    /// The same input, read as the same kind under the same name, with another text (which
    /// must outlive the result): a check reads a raw file again with the lines that stopped
    /// its reader blanked, to find the lines after them.
    [[nodiscard]] std::unique_ptr<JobSource> withText(std::string_view text) const;

private:
    /// "; it looks like a job file" when the input's first bytes look like another kind than
    /// the one it is read as, else empty.
    [[nodiscard]] std::string lookAlike() const;

    std::optional<InputText> m_file;
    std::string m_source;
    std::string m_kind = "job";
    std::string m_columns;
    StatedUnits m_units;  ///< --input-units
    mutable WarningList m_warnings;
    mutable std::optional<std::size_t> m_refusedAt;
};

}  // namespace exportgen::app
