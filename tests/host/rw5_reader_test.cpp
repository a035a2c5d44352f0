// The RW5 reader: a file written as RW5, read back and written again, gives the same bytes;
// the job it reads holds what the file carries; unknown records are warnings and malformed
// ones errors that name line and column; the format is told from the others by its content.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/errors.h"
#include "host/host_test_support.h"
#include "writers/registry.h"

namespace {

using hosttest::readRaw;
using hosttest::run;

const char* const kNow = "2026-01-01T00:00:00";

std::string sampleJob() { return hosttest::readFile(hosttest::dataPath("../tools/exportgen/job/sample_job.json")); }

std::string jobPath(const std::string& job) {
    static const std::string dir = hosttest::freshDirectory("rw5_reader");
    static int count = 0;
    const std::string path = dir + "/job" + std::to_string(++count) + ".json";
    hosttest::writeFile(path, job);
    return path;
}

// The job text `job` as RW5, with the clock at `now` ("job" takes the job's creation).
std::string toRw5(const std::string& job, const std::string& now = kNow) {
    const hosttest::Result result = run({"convert", jobPath(job), "-f", "rw5", "--now", now, "--quiet"});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

std::string syntheticJob(int shots, int seed) {
    const hosttest::Result result = run({"sample", "--shots", std::to_string(shots), "--seed", std::to_string(seed)});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

// The sample job with other units of its own written (its values stay metres and degrees).
std::string sampleIn(const std::string& units) {
    std::string job = sampleJob();
    const std::string from = R"({"units":{"distance":"metres","angle":"degrees"},)";
    EXPECT_EQ(job.compare(0, from.size(), from), 0);
    return "{\"units\":" + units + "," + job.substr(from.size());
}

// A job of one set-up at S1 whose shots are `shots`, with `head` members ahead (as the hostile
// jobs' tests build theirs).
std::string oneSetup(const std::string& shots, const std::string& head = "") {
    return "{" + head + R"("setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "shots": )" + shots +
           "}]}";
}

struct RoundTrip {
    const char* what;
    std::string job;
};

std::vector<RoundTrip> roundTrips() {
    std::vector<RoundTrip> jobs = {
        {"the sample job", sampleJob()},
        {"the sample job in US survey feet and gons", sampleIn(R"({"distance":"usSurveyFeet","angle":"gons"})")},
        {"the sample job in international feet", sampleIn(R"({"distance":"internationalFeet","angle":"degrees"})")},
        {"the sample job in mils, written as degrees", sampleIn(R"({"distance":"metres","angle":"mils"})")},
        {"the sample job in feet and inches, written as US feet",
         sampleIn(R"({"distance":"usSurveyFeetInches","angle":"decimalDegrees"})")},
        {"every measurement kind, angles to the left",
         oneSetup(R"([{"to": "P1", "sd": [-10, 90, 25], "hr": 1.7}, {"to": "P2", "hd": [-0.000001, 25, -1.25]},
                      {"to": "P3", "angles": [370, 271]}, {"to": "P4", "hz": [359.9999999]},
                      {"to": "P5", "dist": [12.5], "hr": 1.7004}, {"to": "P6", "sd": [0, 180, 3], "hr": 1.702}])")},
        {"codes with control codes and strings",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, 25], "codes": [{"code": "TREE", "control": ["ST", "X"]},
                        {"code": "FENCE", "strings": ["line-3"], "control": ["", "END"]}, null, {"code": "MH"}]},
                      {"to": "P2", "sd": [10, 90, 25], "codes": [{"code": "A", "control": ["B C", ""]}], "note": "n, with comma"},
                      {"to": "P3", "sd": [10, 90, 25], "codes": [{"code": "WALL", "strings": ["top"]}]}])")},
        {"a note holding commas, a job name, a shot named like a point",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, 25], "note": "fence, broken"}])",
                  R"("job": {"name": "ROAD 7", "application": "Field", "version": "3.0 beta"},)")},
        {"a level run and a stake-out from a free station",
         R"({"points": [{"name": "A", "coords": [0, 0, 10], "code": "CP", "note": "iron pin"},
                       {"name": "B", "coords": [100, 0, 11]}, {"name": "C", "coords": [0, 100, 12], "note": "nail"},
                       {"name": "D1", "coords": [40.12345, 30.5, 10.25]}],
            "setups": [{"station": "F", "hi": 1.5, "resection": [{"to": "A", "sd": [0, 90, 50]},
                          {"to": "B", "sd": [90.3, 89.5, 70.71]}, {"to": "C", "sd": [181, 91, 70.7]}],
                        "shots": [{"to": "X", "sd": [45, 90, 10], "hr": 1.6}],
                        "stakeouts": [{"design": "D1", "to": "S1", "sd": [30, 90, 20], "hr": 1.7, "code": "STK"}]},
                       {"station": "A", "hi": 1.5, "backsight": {"point": "B", "hr": 1.6, "hd": [0, 100, 1]},
                        "shots": [{"to": "Y", "angles": [45, 90], "hr": 1.6}]}],
            "levelRuns": [{"name": "L1", "description": "loop one", "start": "A",
                           "readings": [{"point": "A", "bs": 1.5}, {"point": "T", "fs": 1.25, "dist": 20}]},
                          {"name": "L2", "start": "B", "readings": []}]})"},
    };
    for (int seed = 1; seed <= 5; ++seed) {
        jobs.push_back({"a synthetic job", syntheticJob(seed == 5 ? 1200 : 200, seed)});
    }
    return jobs;
}

TEST(Rw5Reader, WritingTheReadJobAgainGivesTheSameBytes) {
    for (const RoundTrip& job : roundTrips()) {
        SCOPED_TRACE(job.what);
        const std::string first = toRw5(job.job);
        ASSERT_FALSE(first.empty());
        std::vector<std::string> warnings;
        const std::string read = readRaw("rw5", first, &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        const std::string second = toRw5(read);
        EXPECT_EQ(second, first) << read;
        // The header's date and time are the job's creation: --now job writes them again.
        EXPECT_EQ(toRw5(read, "job"), first);
    }
}

}  // namespace
