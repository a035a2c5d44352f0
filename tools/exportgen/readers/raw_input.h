// What a reader of a raw file or a point list is given, and the line-by-line walk over the text
// that every such reader makes.
//
// A reader fills the job through a JobBuilder (job/builder.h): the header's parts first (units,
// texts, atmosphere, known points, level runs), then headerDone(), then each set-up with
// addSetup() as soon as it is complete, each value with its place (the byte offset in the
// file). It never works out a position or an orientation: placement does. A reader may pass
// over the text twice (known points may be stored anywhere); it tells the input what it has
// passed for good, so that a mapped file's pages are given back.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "job/builder.h"
#include "readers/pages.h"

namespace exportgen {

/// The lines of a text: "\r\n", "\n" and a lone "\r" each end a line, a byte-order mark before
/// the first line is skipped, and a last line without its end counts.
class RawLines {
public:
    explicit RawLines(std::string_view text) noexcept;
    /// Moves to the next line; false after the last.
    bool next() noexcept;
    /// The line, without its end.
    [[nodiscard]] std::string_view line() const noexcept { return m_line; }
    /// The byte offset of the line's first byte in the text.
    [[nodiscard]] std::size_t offset() const noexcept { return m_offset; }
    /// The line's number, from 1.
    [[nodiscard]] std::size_t number() const noexcept { return m_number; }

private:
    std::string_view m_text;
    std::size_t m_next = 0;
    std::string_view m_line;
    std::size_t m_offset = 0;
    std::size_t m_number = 0;
};

/// A file of another kind than a job file, as a reader takes it.
class RawInput {
public:
    /// What a reader tells of a record it skipped or read only in part: what happened, and the
    /// byte offset in the text of the line.
    using Warn = std::function<void(const std::string& what, std::size_t offset)>;

    RawInput(std::string_view text, std::string source, Warn warn, bool mapped = false);

    [[nodiscard]] std::string_view text() const noexcept { return m_text; }
    [[nodiscard]] const std::string& source() const noexcept { return m_source; }

    /// A malformed line: throws HostError(kExitJson) "FILE:LINE:COLUMN: what", the column
    /// counted in bytes from 1 at `column` (0-based) of the current line of `at`.
    [[noreturn]] void malformed(const RawLines& at, std::size_t column, const std::string& what) const;
    /// The byte offset of the text at which malformed() refused it, if it did.
    [[nodiscard]] std::optional<std::size_t> refusedAt() const noexcept { return m_refusedAt; }
    /// A warning about the current line of `at`.
    void warn(const RawLines& at, const std::string& what) const;
    /// The reader is done with the text before `offset` in this pass: a mapped file's pages
    /// behind it are given back.
    void passed(std::size_t offset) noexcept { m_pages.passed(offset); }
    /// The reader starts another pass over the text from its beginning.
    void rewind() noexcept { m_pages.rewind(); }

private:
    std::string_view m_text;
    std::string m_source;
    Warn m_warn;
    PageReleaser m_pages;
    mutable std::optional<std::size_t> m_refusedAt;
};

/// A number as raw files write them and a job file takes them as they stand: an optional
/// sign, digits with at most one point, at least one digit, and within the range of a double
/// (a job holds no other).
[[nodiscard]] bool isDecimal(std::string_view text) noexcept;

/// The value of a decimal number as raw files write it (isDecimal): the double nearest to it, as a
/// job file's number reads. False for any other text.
[[nodiscard]] bool parseDecimal(std::string_view text, double& value) noexcept;

/// What a note line is when the RW5 and SDR generators write it of their own behind their note
/// prefix ("--", "13NM"), `text` being what follows the prefix: a check or quality figure, a
/// marker, a recall list or an offset booked as a note. Such a note is no surveyor's note, so a
/// reader skips it wherever it stands, right behind an observation or a station too, whose note
/// it would otherwise be taken for. The kind of note, for the warning ("a resection quality
/// note"), or null for any other text.
[[nodiscard]] const char* generatorNoteKind(std::string_view text) noexcept;

/// Whether `text` is a day of the calendar written MM-DD-YYYY, as RW5 and SDR job records date
/// a job.
[[nodiscard]] bool isMonthDayYear(std::string_view text) noexcept;
/// Whether `text` is a day of the calendar written as three whole numbers separated by
/// `separator`, in the `order` of "dmy", "mdy" or "ymd" (4/7/2025 in "dmy" is the 4th of July).
[[nodiscard]] bool isDate(std::string_view text, char separator, const char* order) noexcept;
/// Whether `text` is written as a date (three whole numbers separated by `separator`) but names
/// no day of the calendar in that `order` (31/4/2025 in "dmy"). A date text of another shape, a
/// year alone or parts left empty, is a job's text as written, not an impossible date.
[[nodiscard]] bool isImpossibleDate(std::string_view text, char separator, const char* order) noexcept;
/// Whether `text` is written as a time (two or three whole numbers separated by ':') but is no
/// time of day (24:00, 10:61:00).
[[nodiscard]] bool isImpossibleTime(std::string_view text) noexcept;
/// Whether `text` is a time of day written hh:mm:ss.
[[nodiscard]] bool isClockTime(std::string_view text) noexcept;
/// Whether a number as raw files write it (isDecimal) is packed degrees, minutes and seconds,
/// DDD.MMSSs…: the two digits of the minutes and those of the seconds each below 60. An angle
/// such as 10.7000 has 70 minutes: it is no angle, and reading it as 11.17 degrees would put a
/// wrong direction in the job.
[[nodiscard]] bool isPackedDms(std::string_view number) noexcept;

/// The bytes of the character at `at` of `text`: a well-formed UTF-8 sequence is one
/// character, and so is any other byte (a file in a single-byte encoding).
[[nodiscard]] std::size_t characterLength(std::string_view text, std::size_t at) noexcept;

/// A reader: the job that `input` holds, told to `builder`, the header done and every set-up
/// added (the caller finishes the builder).
using BuildRaw = void (*)(RawInput& input, JobBuilder& builder);

}  // namespace exportgen
