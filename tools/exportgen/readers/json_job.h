// The job model built from the members and set-ups of a job file, as the job reader hands them
// over (readers/json_value.h), after they passed the job schema. The checks the schema cannot
// make (a named point that is not known) throw JobError with the JSON path and the offset of the
// value in the file.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/problems.h"
#include "job/job.h"
#include "job/text_rules.h"
#include "readers/json_value.h"

namespace exportgen {

/// Receives what the job reader noticed and let pass: a reserved character replaced under
/// --sanitize (`source` the format that reserves it) or an implausible value (`source` "job");
/// `where` is the JSON path, `offset` the value's byte offset in the file.
using JobWarning =
    std::function<void(const char* source, const std::string& what, const std::string& where, std::size_t offset)>;

/// How the texts of a job are checked as they are read: against the reserved characters of the
/// chosen formats, each found one an error (JobError naming the JSON path) or, with `sanitize`,
/// replaced by kSanitizeReplacement and reported.
struct TextCheck {
    const TextRules* rules = nullptr;  ///< null: no text is checked
    bool sanitize = false;
    JobWarning warn;  ///< also told of implausible values; may be empty
};

class JsonJob {
public:
    explicit JsonJob(Job& job);

    /// When set, a named point that is not known is added to it and the job goes on with what it
    /// has (a check of the whole job); else it throws JobError.
    JobProblems* problems = nullptr;

    /// Takes a top-level member other than "setups" (already validated).
    void apply(std::string_view key, const JsonValue& value);
    /// The set-up at `index` of "setups" (already validated).
    [[nodiscard]] Setup makeSetup(const JsonValue& value, std::size_t index);
    /// Sets how texts are checked; before the first member is applied.
    void setTextCheck(TextCheck check) { m_check = std::move(check); }
    /// The entry at `index` of "points" (already validated).
    void applyPoint(const JsonValue& entry, std::size_t index);
    [[nodiscard]] Job& job() noexcept { return m_job; }

private:
    void applyUnits(const JsonValue& value);
    void applyInputUnits(const JsonValue& value);
    void applyJob(const JsonValue& value);
    void applyObservation(const JsonValue& value);
    void applyPoints(const JsonValue& value);
    void applyLevelRuns(const JsonValue& value);

    void unknownPoint(const JsonValue& at, const std::string& path, std::string_view name) const;

    /// A known point or, failing that, a traverse station known from an earlier set-up.
    [[nodiscard]] const KnownPoint* findForSetup(std::string_view name) const;
    [[nodiscard]] bool freeStationOf(const JsonValue& value, StationFit& fit) const;
    void learnStation(const Setup& setup, std::string_view name);

    Job& m_job;
    TextCheck m_check;
    std::unordered_map<std::string, KnownPoint> m_stations;  ///< traverse stations with coordinates
    std::unordered_map<std::string, Point3> m_foresights;    ///< foresight targets as observed
};

}  // namespace exportgen
