// The one pipeline of a job, for convert and check alike: each part of the job is checked
// against its piece of the job schema as it is read, built into the job model, and each set-up
// is handed to the writers as soon as it is read. Its policy says what an error does: end the
// run (a conversion), or count it and go on with what can be trusted (a check).
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/input.h"
#include "app/worker.h"
#include "base/record_sink.h"
#include "base/warnings.h"
#include "readers/job_reader.h"
#include "readers/json_job.h"
#include "readers/json_schema.h"
#include "writers/writer_base.h"

namespace exportgen::app {

struct PipelineOptions {
    /// Null: the first error ends the run (thrown). Else every problem goes here, and a part of
    /// the job that breaks the schema is not built (its fields cannot be trusted).
    JobProblems* collect = nullptr;
    /// The formats to write, each to the sink of the same index; none for a check.
    std::vector<std::string> formats;
    std::vector<RecordSink*> sinks;
    WarningPolicy warnings;
    bool sanitize = false;
    /// Fixed at the job's creation date once it is read (--now job); null: left as it is.
    ClockScope* clockFromJob = nullptr;
    /// A point list whose points join the job's known points before the writers start.
    const JobSource* extraPoints = nullptr;
};

class Pipeline : public JobEvents {
public:
    Pipeline(Job& job, PipelineOptions options);
    ~Pipeline() override;
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    void member(std::string_view key, const JsonValue& value) override;
    void setupsBegin(bool hasSetups, std::size_t root) override;
    void setup(std::size_t index, const JsonValue& value) override;

    /// Ends the conversion: the level runs and what the writers counted.
    void finish();
    /// Prints the warnings: the job's first, then each format's.
    void printWarnings(std::ostream& err) const;
    /// The lines written and the warnings of the output of format `i`, the job's warnings
    /// about that format included.
    [[nodiscard]] std::pair<std::size_t, std::size_t> tally(std::size_t i) const;

private:
    [[nodiscard]] bool collecting() const noexcept { return m_options.collect != nullptr; }
    void addPoints(const JobSource& list);
    WarningList& jobWarnings(const char* source);
    void write(const Setup& setup, std::size_t first);

    JsonJob m_builder;
    PipelineOptions m_options;
    const JsonSchema& m_schema;
    const JsonSchema::Node* m_setupSchema;
    std::vector<std::unique_ptr<FormatWriter>> m_writers;
    std::vector<std::string> m_present;
    TextRules m_rules;
    std::vector<std::string> m_jobSources;
    std::deque<WarningList> m_jobWarnings;
    Setup m_slots[2];
    std::unique_ptr<Worker> m_worker;  // last: it finishes its task before the rest goes
};

}  // namespace exportgen::app
