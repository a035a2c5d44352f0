// The clock and the device's date pattern that the generators read, set for the length of one
// call of the app layer. The contracts layer holds both for the whole process, so each call
// holds one mutex while it runs: calls from several threads take turns.
#pragma once

#include <mutex>
#include <string>

#include "job/job.h"

namespace exportgen::app {

class ClockScope {
public:
    /// Holds the mutex and fixes the clock at `now` (a local time YYYY-MM-DDThh:mm:ss); empty
    /// leaves the system's clock. Throws HostError(kExitUsage) for a time it cannot read.
    explicit ClockScope(const std::string& now);
    /// Puts the system's clock and the default date pattern back, and lets the next call run.
    ~ClockScope();
    ClockScope(const ClockScope&) = delete;
    ClockScope& operator=(const ClockScope&) = delete;

    /// Fixes the clock at the job's own creation date ("job.created", day/month/year) and time
    /// (h:mm or h:mm:ss; midnight when left out). Throws JobError at the value that cannot be read,
    /// or at the job's beginning when the job has no creation date.
    void fixAtJobCreation(const Job& job);

private:
    std::unique_lock<std::mutex> m_lock;
};

}  // namespace exportgen::app
