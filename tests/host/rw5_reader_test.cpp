// The RW5 reader: a file written as RW5, read back and written again, gives the same bytes;
// the job it reads holds what the file carries; unknown records are warnings and malformed
// ones errors that name line and column; the format is told from the others by its content.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
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

// The records a writer derives from values the file rounds: the worst residuals of a
// resection, the differences of a staked point from its design, the heights of a level run.
// Written again from the rounded values they move by a few units of their last decimal (the
// zenith residual of a resection measured in gons and feet by two).
bool derived(const std::string& line) {
    for (const char* start : {"--Horizontal Angle Worst Residual: ", "--Zenith Angle Worst Residual: ",
                              "--Slope Distance Worst Residual: ", "--BS ", "--FS "}) {
        if (line.rfind(start, 0) == 0) return true;
    }
    return line.rfind("SP,", 0) == 0 && line.find(",--Stake ") != std::string::npos;
}

// `line` with each number replaced by '#', and the numbers with the size of their last digit.
std::string skeleton(const std::string& line, std::vector<std::pair<double, double>>& numbers) {
    std::string shape;
    for (std::size_t i = 0; i < line.size();) {
        const bool sign =
            line[i] == '-' && i + 1 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 1]));
        if (!sign && !std::isdigit(static_cast<unsigned char>(line[i]))) {
            shape += line[i++];
            continue;
        }
        std::size_t end = i + 1;
        while (end < line.size() && (std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == '.')) ++end;
        const std::string number = line.substr(i, end - i);
        const std::size_t point = number.find('.');
        const int decimals = point == std::string::npos ? 0 : static_cast<int>(number.size() - point - 1);
        numbers.emplace_back(std::stod(number), std::pow(10.0, -decimals));
        shape += '#';
        i = end;
    }
    return shape;
}

// The same records; a derived record may differ by up to three units of the last decimal of a
// number.
void expectSameRecords(const std::string& second, const std::string& first) {
    std::istringstream a(second), b(first);
    std::string lineA, lineB;
    int number = 0;
    while (std::getline(b, lineB)) {
        ++number;
        ASSERT_TRUE(std::getline(a, lineA)) << "line " << number << " missing: " << lineB;
        if (lineA == lineB) continue;
        ASSERT_TRUE(derived(lineB)) << "line " << number << ": " << lineA << " instead of " << lineB;
        std::vector<std::pair<double, double>> numbersA, numbersB;
        ASSERT_EQ(skeleton(lineA, numbersA), skeleton(lineB, numbersB)) << "line " << number;
        for (std::size_t i = 0; i < numbersA.size(); ++i) {
            EXPECT_LE(std::fabs(numbersA[i].first - numbersB[i].first), numbersB[i].second * 3.01)
                << "line " << number << ": " << lineA << " instead of " << lineB;
        }
    }
    EXPECT_FALSE(std::getline(a, lineA)) << "a line more: " << lineA;
}

struct RoundTrip {
    const char* what;
    std::string job;
    bool exact;  ///< no derived record moves
};

std::vector<RoundTrip> roundTrips() {
    std::vector<RoundTrip> jobs = {
        {"the sample job", sampleJob(), false},
        {"the sample job in US survey feet and gons", sampleIn(R"({"distance":"usSurveyFeet","angle":"gons"})"), false},
        {"the sample job in international feet", sampleIn(R"({"distance":"internationalFeet","angle":"degrees"})"),
         false},
        {"the sample job in mils, written as degrees", sampleIn(R"({"distance":"metres","angle":"mils"})"), false},
        {"the sample job in feet and inches, written as US feet",
         sampleIn(R"({"distance":"usSurveyFeetInches","angle":"decimalDegrees"})"), false},
        {"every measurement kind, angles to the left and a hair below the full circle",
         oneSetup(R"([{"to": "P1", "sd": [-10, 90, 25], "hr": 1.7}, {"to": "P2", "hd": [-0.000001, 25, -1.25]},
                      {"to": "P3", "angles": [370, 271]}, {"to": "P4", "hz": [359.9999999]},
                      {"to": "P7", "hz": [-359.9999999]},
                      {"to": "P5", "dist": [12.5], "hr": 1.7004}, {"to": "P6", "sd": [0, 180, 3], "hr": 1.702}])"),
         true},
        {"a hair below the full circle in gons",
         oneSetup(R"([{"to": "P4", "hz": [359.9999999]}, {"to": "P5", "sd": [-359.9999999, 90, 3]}])",
                  R"("units": {"angle": "gons"},)"),
         true},
        {"codes with control codes and strings",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, 25], "codes": [{"code": "TREE", "control": ["ST", "X"]},
                        {"code": "FENCE", "strings": ["line-3"], "control": ["", "END"]}, null, {"code": "MH"}]},
                      {"to": "P2", "sd": [10, 90, 25], "codes": [{"code": "A", "control": ["B C", ""]}], "note": "n, with comma"},
                      {"to": "P3", "sd": [10, 90, 25], "codes": [{"code": "WALL", "strings": ["top"]}]}])"),
         true},
        {"a note holding commas, a job name with a blank, a version",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, 25], "note": "fence, broken"}])",
                  R"("job": {"name": "ROAD 7", "application": "Field", "version": "3.0 beta"},)"),
         true},
        {"level runs, a stake-out, a backsight by horizontal distance, a traverse station",
         R"({"points": [{"name": "A", "coords": [0, 0, 10], "code": "CP", "note": "iron pin"},
                       {"name": "B", "coords": [100, 0, 11]}, {"name": "C", "coords": [0, 100, 12], "note": "nail"},
                       {"name": "D1", "coords": [40.12345, 30.5, 10.25]}],
            "setups": [{"station": "A", "hi": 1.5, "backsight": {"point": "B", "hr": 1.6, "hd": [0, 100, 1]},
                        "shots": [{"to": "X", "sd": [45, 90, 10], "hr": 1.6}, {"to": "T1", "fs": true, "sd": [90, 90, 50]}],
                        "stakeouts": [{"design": "D1", "to": "S1", "sd": [30, 90, 20], "hr": 1.7, "code": "STK"}]},
                       {"station": "T1", "hi": 1.5, "backsight": {"point": "A", "hr": 1.6, "angles": [0, 90]},
                        "shots": [{"to": "Y", "angles": [45, 90], "hr": 1.6}]}],
            "levelRuns": [{"name": "L1", "description": "loop one", "start": "A",
                           "readings": [{"point": "A", "bs": 1.5}, {"point": "T", "fs": 1.25, "dist": 20}]},
                          {"name": "L2", "start": "B", "readings": []}]})",
         true},
    };
    for (int seed = 1; seed <= 5; ++seed) {
        jobs.push_back({"a synthetic job", syntheticJob(seed == 5 ? 1200 : 200, seed), true});
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
        if (job.exact) {
            EXPECT_EQ(second, first) << read;
        } else {
            expectSameRecords(second, first);
        }
        // The header's date and time are the job's creation: --now job writes them again.
        EXPECT_EQ(toRw5(read, "job"), second);
    }
}

}  // namespace
