// The one pipeline of a job, for convert, check and read alike: each part of the job is checked
// against its piece of the job schema as it is read, told to the job builder, which places each
// set-up and hands it to the writers as soon as it is complete. Its policy says what an error
// does: end the run (a conversion), or count it and go on with what can be trusted (a check).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/input.h"
#include "app/worker.h"
#include "base/problems.h"
#include "base/record_sink.h"
#include "base/warnings.h"
#include "job/builder.h"
#include "readers/json_job.h"
#include "writers/writer_base.h"

namespace exportgen::app {

/// --assume N,E,Z[,BEARING] as given: in the job's input units.
struct Assumed {
    double n = 0.0, e = 0.0, h = 0.0;
    std::optional<double> bearing;
};

/// --assume as the command line gives it ("N,E,Z" or "N,E,Z,BEARING"); empty: none. Throws
/// SettingError for anything else.
std::optional<Assumed> assumedFrame(const std::string& text);

/// The name in PipelineOptions::formats of the job file (JSON) that `read` writes.
constexpr const char* kJobFile = "job";

struct PipelineOptions {
    /// Null: the first error ends the run (thrown). Else every problem goes here, and a part of
    /// the job that breaks the schema is not built (its fields cannot be trusted).
    JobProblems* collect = nullptr;
    /// The formats to write, each to the sink of the same index; none for a check.
    std::vector<std::string> formats;
    std::vector<RecordSink*> sinks;
    WarningPolicy warnings;
    bool sanitize = false;
    /// --assume: the local frame of the first set-up nothing else places.
    std::optional<Assumed> assumed;
    /// Fixed at the job's creation date once it is read (--now job); null: left as it is.
    ClockScope* clockFromJob = nullptr;
    /// A point list whose points join the job's known points before placement.
    const JobSource* extraPoints = nullptr;
    /// When given, makes the writer of every output instead of the registry (the plan that
    /// `plot` draws), once the job's header is read.
    std::function<std::unique_ptr<FormatWriter>(const Job& job, RecordSink& sink)> makeWriter;
};

class Pipeline : public JobListener {
public:
    /// `input` is the job's own input, for the places of what its readers say.
    Pipeline(const JobSource& input, PipelineOptions options);
    ~Pipeline() override;
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    /// Reads the input through, writing as it goes.
    void run();
    /// What stopped the read of the job's input when collecting: a line a reader cannot read, or
    /// a value the job cannot take, with its exit status. It is among the problems collected too.
    struct Stop {
        JobProblems::Problem problem;
        int code = 0;
    };
    [[nodiscard]] const std::optional<Stop>& stopped() const noexcept { return m_stopped; }

    /// Prints the warnings: the job's first, then each format's.
    void printWarnings(std::ostream& err) const;
    /// The lines written and the warnings of the output of format `i`, the job's warnings
    /// about that format included.
    [[nodiscard]] std::pair<std::size_t, std::size_t> tally(std::size_t i) const;
    /// What became of the job's items in the output of format `i`.
    [[nodiscard]] const Ledger& ledger(std::size_t i) const { return m_writers[i]->ledger(); }
    /// What the job held, kind by kind.
    [[nodiscard]] const JobCount& count() const { return m_builder.count(); }

    // JobListener: the job as the builder completes it.
    void header(JobBuilder& builder) override;
    void setup(Setup& setup) override;
    void end(const Job& job) override;
    void warning(const char* source, const std::string& what, const Place& at, const std::string& where) override;

private:
    [[nodiscard]] bool collecting() const noexcept { return m_options.collect != nullptr; }
    void addPoints(const JobSource& list);
    WarningList& jobWarnings(const char* source);
    void write(const Setup& setup, std::size_t first);
    /// "SOURCE:LINE:COLUMN" of a place of the inputs.
    [[nodiscard]] std::string located(const Place& at) const;

    const JobSource& m_input;
    std::optional<Stop> m_stopped;
    PipelineOptions m_options;
    TextRules m_rules;
    JobBuilder m_builder;
    std::vector<std::unique_ptr<FormatWriter>> m_writers;
    std::vector<std::string> m_jobSources;
    std::deque<WarningList> m_jobWarnings;
    Setup m_slots[2];
    std::unique_ptr<Worker> m_worker;  // last: it finishes its task before the rest goes
};

}  // namespace exportgen::app
