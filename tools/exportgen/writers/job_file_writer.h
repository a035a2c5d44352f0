// The job model written as a job file (JSON): what `exportgen read` prints of a raw file or a
// point list, so that the job it holds can be seen, edited and converted again. Only what the
// input recorded is written; what placement worked out is worked out again when the file is
// read, and what is absent stays absent (a target height or a circle reading as null).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "base/record_sink.h"
#include "writers/writer_base.h"

namespace exportgen {

class JobFileWriter : public FormatWriter {
public:
    JobFileWriter(const Job& job, RecordSink& sink);

    void begin() override;
    void setup(const Setup& setup) override;
    void levelRuns() override;
    void end() override {}
    [[nodiscard]] WarningList& warnings() override { return m_warnings; }
    [[nodiscard]] std::size_t records() const override { return m_lines; }
    [[nodiscard]] const Ledger& ledger() const override { return m_ledger; }

private:
    [[nodiscard]] nlohmann::ordered_json observation() const;
    void write(const std::string& bytes);

    const Job& m_job;
    RecordSink& m_sink;
    WarningList m_warnings{"job", WarningPolicy()};
    Ledger m_ledger;
    std::size_t m_setups = 0;
    std::size_t m_lines = 0;
};

}  // namespace exportgen
