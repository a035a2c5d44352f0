#include "app/clock.h"

#include <cstdio>
#include <vector>

#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"

namespace exportgen::app {

namespace {

std::mutex& clockMutex() {
    static std::mutex mutex;
    return mutex;
}

// Whole numbers separated by `separator`, each of `minDigits` to `maxDigits` digits; false
// for any other text.
bool fields(std::string_view text, char separator, std::initializer_list<std::pair<int, int>> digits,
            std::vector<int>& values) {
    values.clear();
    std::size_t at = 0;
    for (const auto& [minDigits, maxDigits] : digits) {
        if (!values.empty()) {
            if (at >= text.size() || text[at] != separator) return false;
            ++at;
        }
        int value = 0, count = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && count < maxDigits) {
            value = value * 10 + (text[at++] - '0');
            ++count;
        }
        if (count < minDigits) return false;
        values.push_back(value);
    }
    return at == text.size();
}

}  // namespace

ClockScope::ClockScope(const std::string& now) : m_lock(clockMutex()) {
    if (now.empty()) return;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::sscanf(now.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 ||
        !isCalendarDate(y, mo, d) || !isTimeOfDay(h, mi, s)) {
        throw HostError(kExitUsage, "--now: expected a local time YYYY-MM-DDThh:mm:ss, found " + shownName(now));
    }
    base::CTime::SetFixedCurrentTime(base::CTime(y, mo, d, h, mi, s));
}

ClockScope::~ClockScope() {
    base::CTime::ClearFixedCurrentTime();
    orv::platform::SetShortDatePattern(nullptr);
}

void ClockScope::fixAtJobCreation(const Job& job) {
    const Job::Created& created = job.created;
    if (!created.present) {
        throw JobError(job.root.offset,
                       "$.job.created.date: missing; --now job takes the header dates from the job's creation date");
    }
    std::vector<int> date, time{0, 0, 0};
    if (!fields(created.date, '/', {{1, 2}, {1, 2}, {4, 4}}, date) || !isCalendarDate(date[2], date[1], date[0])) {
        throw JobError(created.datePlace.offset,
                       "$.job.created.date: --now job reads a date day/month/year such as 4/7/2025, found " +
                           shownName(created.date));
    }
    if (created.hasTime && !fields(created.time, ':', {{1, 2}, {2, 2}, {2, 2}}, time) &&
        !fields(created.time, ':', {{1, 2}, {2, 2}}, time)) {
        time.clear();
    }
    if (time.size() == 2) time.push_back(0);
    if (time.size() != 3 || !isTimeOfDay(time[0], time[1], time[2])) {
        throw JobError(
            created.timePlace.offset,
            "$.job.created.time: --now job reads a time h:mm:ss such as 08:30:00, found " + shownName(created.time));
    }
    base::CTime::SetFixedCurrentTime(base::CTime(date[2], date[1], date[0], time[0], time[1], time[2]));
}

}  // namespace exportgen::app
