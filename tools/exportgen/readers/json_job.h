// A job file's members and set-ups, as the job reader hands them over (readers/json_value.h)
// after they passed the job schema, told to a JobBuilder. Every value keeps its byte offset in
// the file, and every message about it names its JSON path.
#pragma once

#include <string_view>

#include "job/builder.h"
#include "readers/json_value.h"

namespace exportgen {

class JsonJob {
public:
    explicit JsonJob(JobBuilder& builder) : m_builder(builder) {}

    /// Takes a top-level member other than "setups" (already validated).
    void apply(std::string_view key, const JsonValue& value);
    /// The entry at `index` of "points" (already validated).
    void applyPoint(const JsonValue& entry, std::size_t index);
    /// The set-up at `index` of "setups" (already validated), handed to the builder.
    void addSetup(const JsonValue& value, std::size_t index);

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
