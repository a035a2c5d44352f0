// The record order of each format: which generator operations the host calls, in which order,
// for the header, the known points, each set-up and the level runs of a job. docs/record-order.md
// describes the orders and the reasons for them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "job/job.h"
#include "output/output.h"

namespace exportgen {

/// The formats, by their command-line names.
const std::vector<std::string>& formatNames();
/// The file name suffix of `format` for `convert --all`.
std::string formatSuffix(const std::string& format);

class FormatWriter {
public:
    virtual ~FormatWriter() = default;
    /// The header records and the known points; called once the job's header members are read.
    virtual void begin() = 0;
    /// The records of one set-up.
    virtual void setup(const Setup& setup) = 0;
    /// The records of the job's level runs, after every set-up.
    virtual void levelRuns() = 0;
    /// A warning for the user once the job is written (empty when there is none).
    [[nodiscard]] virtual std::string warning() const { return {}; }
};

/// The writer of `format` (one of formatNames()) for `job`, writing to `output`.
std::unique_ptr<FormatWriter> makeFormatWriter(const std::string& format, Job& job, Output& output);

}  // namespace exportgen
