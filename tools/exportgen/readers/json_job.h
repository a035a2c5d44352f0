// A job file's members and set-ups, as the job reader hands them over (readers/json_value.h)
// after they passed the job schema, told to a JobBuilder. Every value keeps its byte offset in
// the file, and every message about it names its JSON path.
#pragma once

#include <string_view>

#include "base/problems.h"
#include "job/builder.h"
#include "readers/job_reader.h"
#include "readers/json_value.h"

namespace exportgen {

/// Reads the job file `text` (read from `source`) into `builder`: each member checked against its
/// piece of the job schema, then the header done, then each set-up checked and added as it is
/// read. `collect` null: the first error is thrown (HostError with the file, line and column, and
/// the JSON path). Else every problem goes to `collect` and the reading goes on; a part of the
/// job that breaks the schema is not built (its fields cannot be trusted). `mapped`: the text is
/// a file mapping whose pages are given back as the reader passes them.
void buildJsonJob(std::string_view text, const std::string& source, bool mapped, JobBuilder& builder,
                  JobProblems* collect);

class JsonJob {
public:
    explicit JsonJob(JobBuilder& builder) : m_builder(builder) {}

    /// Takes a top-level member other than "setups" (already validated).
    void apply(std::string_view key, const JsonValue& value);
    /// The entry at `index` of "points" (already validated).
    void applyPoint(const JsonValue& entry, std::size_t index);

private:
    void applyUnits(const JsonValue& value);
    void applyInputUnits(const JsonValue& value);
    void applyJob(const JsonValue& value);
    void applyObservation(const JsonValue& value);
    void applyLevelRuns(const JsonValue& value);

    [[nodiscard]] Place placeOf(const JsonValue& value) const { return m_builder.place(value.offset()); }

    JobBuilder& m_builder;
};

}  // namespace exportgen
