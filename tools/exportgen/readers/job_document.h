// A job document written as JSON text by a reader of another kind of file (a raw file, a point
// list): the reader says what it found in the job file's own terms, and the one job reader takes
// it from there (schema, units, traverse and free stations, known points), exactly as it takes
// a job file a person wrote.
//
// Every part of the document remembers the byte of the source file it came from, so that an
// error found in the document (a backsight to a point that is not known) names the line and
// column of the raw file, not of the document.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace exportgen {

struct JobParts;

class JobDocument {
public:
    JobDocument();

    /// What follows comes from the byte at `offset` of the source file.
    void from(std::size_t offset);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    /// The name of the next member of the object being written.
    JobDocument& key(std::string_view name);

    /// A text, escaped for JSON; bytes that are not valid UTF-8 are taken as Latin-1.
    void text(std::string_view value);
    /// A number, written with the fewest digits that read back as the same double; a value that
    /// is not finite is written as null.
    void number(double value);
    /// A number as the source writes it ("+12.5", "-.25", "007", "3."), written as JSON
    /// without changing its value; false (and nothing written) when `digits` is no decimal
    /// number: an optional sign, digits with at most one point, and at least one digit.
    [[nodiscard]] bool decimal(std::string_view digits);
    void boolean(bool value);
    void null();

    /// Members and items: `key(name)` then the value.
    void member(std::string_view name, std::string_view value) { key(name).text(value); }
    void member(std::string_view name, const char* value) { key(name).text(value); }
    void member(std::string_view name, double value) { key(name).number(value); }
    void member(std::string_view name, bool value) { key(name).boolean(value); }

    /// The values of `items` (written at its top level, as the items of an array or the
    /// members of an object) as the next items or members of this document.
    void append(const JobDocument& items);

    /// Room for `bytes` of text and `marks` calls of from(), so that a large document grows
    /// without being copied as it grows.
    void reserve(std::size_t bytes, std::size_t marks);

    [[nodiscard]] bool empty() const noexcept { return m_json.empty(); }
    [[nodiscard]] const std::string& json() const noexcept { return m_json; }
    /// The byte of the source that the document's byte `at` came from (0 before any from()).
    [[nodiscard]] std::size_t sourceOffset(std::size_t at) const noexcept;

private:
    friend JobDocument assemble(const JobParts& parts);
    void separate();
    void quote(std::string_view value);

    std::string m_json;
    std::vector<bool> m_hasItems;  // per open level: a comma goes before the next value
    bool m_afterKey = false;
    std::vector<std::pair<std::size_t, std::size_t>> m_marks;  // (document offset, source offset)
};

/// A job as a reader of another kind of file builds it, part by part, in the order the file
/// gives them; assemble() puts the parts in a job document.
struct JobParts {
    JobDocument members;    ///< "inputUnits", "units", "job", "observation": key and value each
    JobDocument points;     ///< the items of "points"
    JobDocument setups;     ///< the items of "setups"
    JobDocument levelRuns;  ///< the items of "levelRuns"
};

/// The members "inputUnits" and "units" of a file whose values are in `distance` and
/// `inputAngle` units (the job file's names: "usSurveyFeet", "packedDms", ...) and which writes
/// its angles as `angle` ("degrees", "gons", ...): read as they stand, written again the same.
void unitsMembers(JobDocument& members, const char* distance, const char* inputAngle, const char* angle);

/// The job document of `parts`: its members, then the points, the level runs and the set-ups
/// (an empty list left out, but "setups" always there).
JobDocument assemble(const JobParts& parts);

}  // namespace exportgen
