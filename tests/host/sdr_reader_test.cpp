// The SDR reader: a file written from a job, read back and written again, gives the same bytes;
// the job read back holds what the file carries; records the reader does not know are skipped
// with a warning naming their line, and a malformed record is an error naming line and column.
#include "readers/sdr_reader.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/errors.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;

const char* const kNow = "2026-01-01T00:00:00";

std::string sampleJob() { return hosttest::readFile(hosttest::dataPath("../tools/exportgen/job/sample_job.json")); }

// The SDR file of the job text `job`, written with a fixed clock and `options`.
std::string writeSdr(const std::string& job, const std::vector<std::string>& options = {}) {
    static const std::string dir = hosttest::freshDirectory("sdr-reader");
    static int count = 0;
    const std::string path = dir + "/job" + std::to_string(++count) + ".json";
    hosttest::writeFile(path, job);
    std::vector<std::string> args{"convert", path, "-f", "sdr", "--now", kNow, "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    const auto result = run(args);
    EXPECT_EQ(result.code, 0) << result.err << "\njob: " << job.substr(0, 2000);
    return result.out;
}

// `job` with the units it is written in replaced.
std::string withUnits(std::string job, const std::string& units) {
    const std::string original = R"("units":{"distance":"metres","angle":"degrees"})";
    const std::size_t at = job.find(original);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) job.replace(at, original.size(), "\"units\":" + units);
    return job;
}

std::string syntheticJob(int shots, int seed) {
    const auto result = run({"sample", "--shots", std::to_string(shots), "--seed", std::to_string(seed)});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

// A job of one set-up at S1 whose shots are `shots` (a JSON list), with `head` members ahead.
std::string oneSetup(const std::string& shots, const std::string& head = "") {
    return "{" + head + R"("setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "shots": )" + shots +
           "}]}";
}

struct RoundTrip {
    const char* what;
    std::string job;
    std::vector<std::string> options;  ///< of the first conversion
    /// The job's metric values are written in feet, with more digits than the file keeps: what
    /// the host computes from them (backsight azimuths, residuals, stake-out differences, level
    /// heights) may come out one unit apart in the last digit when computed from the digits the
    /// file holds. Every other field stays the same.
    bool feetFromMetres = false;
};

void PrintTo(const RoundTrip& c, std::ostream* out) { *out << c.what; }

std::vector<RoundTrip> roundTrips() {
    std::vector<RoundTrip> cases = {
        {"the sample job", sampleJob(), {}},
        {"the sample in US survey feet and gons",
         withUnits(sampleJob(), R"({"distance":"usSurveyFeet","angle":"gons"})"),
         {},
         true},
        {"the sample in international feet and mils",
         withUnits(sampleJob(), R"({"distance":"internationalFeet","angle":"mils"})"),
         {},
         true},
        {"the sample's values as US survey feet and gons",
         withUnits(sampleJob(), R"({"distance":"usSurveyFeet","angle":"gons"},
"inputUnits":{"distance":"usSurveyFeet","angle":"gons"})"),
         {}},
        {"the sample in decimal degrees", withUnits(sampleJob(), R"({"angle":"decimalDegrees"})"), {}},
        {"the sample in packed degrees", withUnits(sampleJob(), R"({"angle":"packedDms"})"), {}},
        {"the sample in feet and inches", withUnits(sampleJob(), R"({"distance":"usSurveyFeetInches"})"), {}, true},
        {"a comma in a name", oneSetup(R"([{"to": "A,1", "sd": [10, 90, 25]}])"), {}},
        {"two names cut to one",
         oneSetup(
             R"([{"to": "BOUNDARY-MARKER-17", "sd": [10, 90, 25]}, {"to": "BOUNDARY-MARKER-18", "sd": [11, 90, 25]}])"),
         {}},
        {"a zenith beyond a full circle", oneSetup(R"([{"to": "P1", "angles": [10, 361]}])"), {}},
        {"line breaks of a note replaced",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, 25], "note": "a\nb\nc"}])"),
         {"--sanitize"}},
    };
    for (int seed = 1; seed <= 5; ++seed) {
        cases.push_back({"a synthetic job", syntheticJob(200 * seed, seed), {}});
    }
    cases.push_back({"a synthetic job in gons", withUnits(syntheticJob(600, 7), R"({"angle":"gons"})"), {}});
    cases.push_back({"a synthetic job in feet and decimal degrees",
                     withUnits(syntheticJob(600, 8), R"({"distance":"usSurveyFeet","angle":"decimalDegrees"},
"inputUnits":{"distance":"usSurveyFeet"})"),
                     {}});
    cases.push_back({"a synthetic job in mils", withUnits(syntheticJob(600, 9), R"({"angle":"mils"})"), {}});
    return cases;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        result.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return result;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// `line` without what the host computes: a backsight's azimuth, residuals, stake-out
// differences, the heights of a level reading.
std::string measured(const std::string& line) {
    if (startsWith(line, "13NMResidual ")) return line.substr(0, 15);
    if (startsWith(line, "13SOCut ") || startsWith(line, "13SOFill ")) return "13SO";
    if (startsWith(line, "63LV") || startsWith(line, "64LV")) return line.substr(0, 83);
    if (startsWith(line, "07TP") && line.find("#BS") == std::string::npos) {
        return line.substr(0, 36) + line.substr(std::min<std::size_t>(52, line.size()));
    }
    return line;
}

class SdrRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(SdrRoundTrip, WritingTheReadJobGivesTheSameBytes) {
    const RoundTrip& c = GetParam();
    const std::string first = writeSdr(c.job, c.options);
    ASSERT_FALSE(first.empty());
    std::vector<std::string> warnings;
    const std::string read = hosttest::readRaw("sdr", first, &warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{});
    const std::string second = writeSdr(read);
    if (!c.feetFromMetres) {
        EXPECT_EQ(second, first);
        return;
    }
    const std::vector<std::string> was = lines(first), now = lines(second);
    ASSERT_EQ(now.size(), was.size());
    for (std::size_t i = 0; i < was.size(); ++i) EXPECT_EQ(measured(now[i]), measured(was[i])) << "line " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Table, SdrRoundTrip, testing::ValuesIn(roundTrips()),
                         [](const testing::TestParamInfo<RoundTrip>& paramInfo) {
                             return "row" + std::to_string(paramInfo.index);
                         });

}  // namespace
