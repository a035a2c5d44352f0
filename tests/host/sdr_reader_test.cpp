// The SDR reader: a file written from a job, read back and written again, gives the same bytes;
// the job read back holds what the file carries; records the reader does not know are skipped
// with a warning naming their line, and a malformed record is an error naming line and column.
#include "readers/sdr_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;

const char* const kNow = "2026-01-01T00:00:00";

using hosttest::sampleJob;

// The SDR file of the job text `job`, written with a fixed clock and `options`.
std::string writeSdr(const std::string& job, const std::vector<std::string>& options = {}) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("sdr-reader/job" + std::to_string(++count) + ".json", job);
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

using hosttest::syntheticJob;

using hosttest::oneSetup;

struct RoundTrip {
    const char* what;
    std::string job;
    std::vector<std::string> options;  ///< of the first conversion
    /// What the host computes (backsight azimuths, residuals, stake-out differences, level
    /// heights) may differ in its last digits: the job's metric values written in feet have more
    /// digits than the file keeps. Every other field stays the same.
    bool derivedMayDiffer = false;
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
        {"a staked point with a long name, a known point's long code with attributes",
         R"({"points": [{"name": "BS1", "coords": [1000, 2100, 100],
"codes": [{"code": "CONTROL-POINT-LONG-CODE", "attributes": [["TYPE", "iron pin"], ["SET", ""], ["BY", "  "]]}]},
{"name": "DESIGN-POINT-7", "coords": [1010, 2010, 101]}],
"setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5,
"backsight": {"point": "BS1", "hr": 1.3, "sd": [0, 90, 100]},
"stakeouts": [{"design": "DESIGN-POINT-7", "to": "STAKED-POINT-NUMBER-7", "sd": [45, 90, 14.1421], "hr": 1.3,
"code": "A-CODE-LONGER-THAN-ITS-FIELD"}]}]})",
         {}},
        {"a free station",
         R"({"points": [{"name": "A", "coords": [1100, 2000, 100]}, {"name": "B", "coords": [1000, 2100, 101]},
{"name": "C", "coords": [900, 1950, 99]}],
"setups": [{"station": "F", "hi": 1.5, "resection": [{"to": "A", "sd": [0.0123, 90.1, 100.0031], "hr": 1.7},
{"to": "B", "sd": [90.0071, 89.4, 100.0052]}, {"to": "C", "sd": [206.5683, 90.3, 111.8012]}],
"shots": [{"to": "P", "sd": [10, 90, 25], "hr": 1.6}]}]})",
         {}},
        {"a traverse whose stations the foresights place",
         R"({"points": [{"name": "A", "coords": [1000, 2000, 100]}, {"name": "B", "coords": [1100.1234, 2050.5678, 101.5]}],
"setups": [{"station": "A", "hi": 1.5, "backsight": {"point": "B", "hr": 1.6},
"shots": [{"to": "T1", "fs": true, "sd": [123.456789, 91.2345, 157.3217], "hr": 1.7}]},
{"station": "T1", "hi": 1.45, "backsight": {"point": "A", "hr": 1.7, "sd": [0, 88.7655, 157.3217]},
"shots": [{"to": "T2", "fs": true, "sd": [181.2345, 90.5, 98.7654], "hr": 1.7}]},
{"station": "T2", "hi": 1.5, "backsight": {"point": "T1", "hr": 1.7}, "shots": [{"to": "X", "sd": [10, 90, 20]}]},
{"station": "T1", "hi": 1.5, "backsight": {"point": "T2", "hr": 1.7}, "shots": [{"to": "Y", "sd": [20, 90, 20]}]}]})",
         {}},
        {"a level run to a point of unknown height",
         R"({"points": [{"name": "BM", "coords": [0, 0, 12.3456]}], "setups": [],
"levelRuns": [{"name": "RUN 2", "start": "BM", "readings": [{"point": "BM", "bs": 1.2345},
{"point": "T1", "fs": 2.3456, "dist": 20, "code": "PEG"}, {"point": "T1", "bs": 0.5}, {"point": "BM", "fs": 1.1}]}]})",
         {}},
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
    if (!c.derivedMayDiffer) {
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

// --- the job read back -------------------------------------------------------------------------

using nlohmann::json;

json readJob(const std::string& sdr) {
    std::vector<std::string> warnings;
    const json job = json::parse(hosttest::readRaw("sdr", sdr, &warnings));
    EXPECT_EQ(warnings, std::vector<std::string>{});
    return job;
}

// The file writes distances with 4 decimals and, in the default degrees, angles with 6.
constexpr double kDistance = 0.5e-4;
constexpr double kAngle = 0.5e-6;

// The measurement of an observation as the file carries it: a reduced (horizontal) distance is
// written as the slope distance and zenith it stands for.
json asWritten(const json& shot) {
    if (!shot.contains("hd")) return shot;
    const double h = shot["hd"][1], v = shot["hd"][2];
    const double zenith = h == 0.0 ? 90.0 : 90.0 - std::atan(v / h) * 180.0 / 3.14159265358979323846;
    json written = shot;
    written.erase("hd");
    written["sd"] = {shot["hd"][0], zenith, std::sqrt(h * h + v * v)};
    return written;
}

void expectSameMeasurement(const json& read, const json& original, const std::string& where) {
    const json written = asWritten(original);
    for (const char* key : {"sd", "angles", "hz", "dist"}) {
        if (!written.contains(key)) continue;
        ASSERT_TRUE(read.contains(key)) << where << ": " << read.dump();
        ASSERT_EQ(read[key].size(), written[key].size()) << where;
        for (std::size_t i = 0; i < written[key].size(); ++i) {
            const bool distance = std::string(key) == "dist" || (std::string(key) == "sd" && i == 2);
            EXPECT_NEAR(read[key][i].get<double>(), written[key][i].get<double>(), distance ? kDistance : kAngle)
                << where << " " << key << "[" << i << "]";
        }
    }
}

std::string firstCode(const json& item) {
    if (item.contains("code")) return item["code"];
    if (item.contains("codes") && !item["codes"].empty() && item["codes"][0].is_object()) {
        return item["codes"][0].value("code", "");
    }
    return "";
}

// The attributes the file carries: those of the first code that have a value.
json filledAttributes(const json& item) {
    json filled = json::array();
    if (!item.contains("codes") || item["codes"].empty() || !item["codes"][0].is_object()) return filled;
    for (const json& pair : item["codes"][0].value("attributes", json::array())) {
        if (!pair[1].get<std::string>().empty()) filled.push_back(pair);
    }
    return filled;
}

// Each shot of `original` (a set-up of a job file) against the shot read back: target, values,
// target height, code, attributes and note.
void expectSameShots(const json& read, const json& original, double hr) {
    if (original.contains("backsight")) hr = original["backsight"].value("hr", 0.0);
    const json& shots = original.value("shots", json::array());
    ASSERT_EQ(read.value("shots", json::array()).size(), shots.size()) << original["station"];
    for (std::size_t i = 0; i < shots.size(); ++i) {
        const json& was = shots[i];
        const json& now = read["shots"][i];
        const std::string where = "shot " + std::to_string(i) + " from " + original["station"].get<std::string>();
        EXPECT_EQ(now["to"], was["to"]) << where;
        expectSameMeasurement(now, was, where);
        hr = was.value("hr", hr);
        EXPECT_NEAR(now["hr"].get<double>(), hr, kDistance) << where;
        EXPECT_EQ(firstCode(now), firstCode(was)) << where;
        EXPECT_EQ(filledAttributes(now), filledAttributes(was)) << where;
        EXPECT_EQ(now.value("note", ""), was.value("note", "")) << where;
    }
}

TEST(SdrReader, TheSampleReadBackHoldsItsStationsObservationsCodesAndNotes) {
    const json original = json::parse(sampleJob());
    const json job = readJob(writeSdr(sampleJob()));

    EXPECT_EQ(job["job"], (json{{"application", "Field"}, {"version", "2.1"}}));
    EXPECT_EQ(job["units"], (json{{"distance", "metres"}, {"angle", "degrees"}}));
    ASSERT_EQ(job["points"].size(), original["points"].size());
    for (std::size_t i = 0; i < original["points"].size(); ++i) {
        EXPECT_EQ(job["points"][i]["name"], original["points"][i]["name"]);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(job["points"][i]["coords"][k].get<double>(), original["points"][i]["coords"][k].get<double>(),
                        kDistance);
        }
        EXPECT_EQ(firstCode(job["points"][i]), firstCode(original["points"][i]));
    }

    ASSERT_EQ(job["setups"].size(), original["setups"].size());
    for (std::size_t i = 0; i < original["setups"].size(); ++i) {
        const json& was = original["setups"][i];
        const json& now = job["setups"][i];
        EXPECT_EQ(now["station"], was["station"]);
        EXPECT_NEAR(now["hi"].get<double>(), was["hi"].get<double>(), kDistance);
        EXPECT_EQ(now.value("code", ""), was.value("code", ""));
        EXPECT_EQ(now.value("note", ""), was.value("note", ""));
        expectSameShots(now, was, 0.0);
    }

    // A backsight by bearing, with its generated name left behind; one to a point with its
    // measurement and the circle reading the file gives.
    EXPECT_EQ(job["setups"][0]["backsight"], (json{{"bearing", 180.0}, {"circle", 0.0}, {"hr", 1.6}}));
    const json& toPoint = job["setups"][1]["backsight"];
    EXPECT_EQ(toPoint["point"], "1");
    EXPECT_EQ(toPoint["circle"], 0.0);
    expectSameMeasurement(toPoint, original["setups"][1]["backsight"], "backsight");
    // Foresights to the traverse's stations are known as such; side shots are not.
    EXPECT_EQ(job["setups"][0]["shots"][0].value("fs", false), true);
    EXPECT_EQ(job["setups"][0]["shots"][1].value("fs", false), false);
    // The whole code from the feature-code note, not its first 16 characters.
    EXPECT_EQ(job["setups"][2]["shots"][1]["code"], "MANHOLE-COVER-LARGE-TYPE-B");

    // The stake-out with the staked point's recorded coordinates; the free station's resection.
    const json& stake = job["setups"][2]["stakeouts"][0];
    EXPECT_EQ(stake["design"], "D1");
    EXPECT_EQ(stake["to"], "SO1");
    EXPECT_EQ(stake["coords"], (json{4955.012, 10059.993, 100.49}));
    expectSameMeasurement(stake, original["setups"][2]["stakeouts"][0], "stake-out");
    const json& resection = job["setups"][4]["resection"];
    ASSERT_EQ(resection.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(resection[i]["to"], original["setups"][4]["resection"][i]["to"]);
        expectSameMeasurement(resection[i], original["setups"][4]["resection"][i], "resection");
    }

    // The heights the level records are read as recorded (from 100: 100 + 1.4321, less 0.9876, ...).
    const json expectedRun = json::parse(R"({"name": "LR1", "description": "benchmark loop", "start": "1",
        "readings": [{"point": "1", "bs": 1.4321, "dist": 30.0, "hi": 101.4321},
                     {"point": "TP1", "fs": 0.9876, "dist": 29.5, "elevation": 100.4445, "rise": 0.4445},
                     {"point": "TP1", "bs": 1.6543, "dist": 31.0, "hi": 102.0988},
                     {"point": "2", "fs": 0.887, "dist": 30.5, "code": "CP", "elevation": 101.2118, "rise": 0.7673}]})");
    EXPECT_EQ(job["levelRuns"], json::array({expectedRun}));
}

TEST(SdrReader, ASyntheticJobReadBackHoldsEveryObservation) {
    const json original = json::parse(syntheticJob(500, 3));
    const json job = readJob(writeSdr(original.dump()));
    ASSERT_EQ(job["setups"].size(), original["setups"].size());
    double hr = 0.0;
    for (std::size_t i = 0; i < original["setups"].size(); ++i) {
        expectSameShots(job["setups"][i], original["setups"][i], hr);
        const json& shots = original["setups"][i]["shots"];
        for (const json& shot : shots) hr = shot.value("hr", hr);
    }
}

// Known points take the whole code and the attributes that a backsight observation to them
// carries; a staked point its whole name from the stake-out note.
TEST(SdrReader, LongNamesAndCodesComeFromTheNotesThatCarryThemWhole) {
    const std::string job = R"({"points": [{"name": "BS1", "coords": [1000, 2100, 100],
"codes": [{"code": "CONTROL-POINT-LONG-CODE", "attributes": [["TYPE", "iron pin"]]}]},
{"name": "DESIGN-POINT-NUMBER-7", "coords": [1010, 2010, 101]}],
"setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5,
"backsight": {"point": "BS1", "hr": 1.3, "sd": [0, 90, 100]},
"shots": [{"to": "A-TARGET-WITH-A-LONG-NAME", "sd": [1, 90, 5]}],
"stakeouts": [{"design": "DESIGN-POINT-NUMBER-7", "to": "STAKED-POINT-NUMBER-7", "sd": [45, 90, 14.1421]}]}]})";
    const json read = readJob(writeSdr(job));
    EXPECT_EQ(read["points"][0]["codes"],
              json::parse(R"([{"code": "CONTROL-POINT-LONG-CODE", "attributes": [["TYPE", "iron pin"]]}])"));
    EXPECT_EQ(read["setups"][0]["stakeouts"][0]["to"], "STAKED-POINT-NUMBER-7");
    // The file holds the first 16 characters of the others; a design point is known by them.
    EXPECT_EQ(read["points"][1]["name"], "DESIGN-POINT-NUM");
    EXPECT_EQ(read["setups"][0]["stakeouts"][0]["design"], "DESIGN-POINT-NUM");
    EXPECT_EQ(read["setups"][0]["shots"][0]["to"], "A-TARGET-WITH-A-");
}

// --- what the reader skips, and what it refuses ------------------------------------------------

// SDR lines ended as the writer ends them.
std::string sdrText(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

const char* const kStation = "02NM              S15000.0000       3000.0000       100.0000        1.5000          ";
const char* const kShot = "09F1              S1              P125.0000         90.000000       10.000000       ";

struct Skipped {
    const char* what;
    std::string text;
    std::vector<std::string> warnings;
};

void PrintTo(const Skipped& c, std::ostream* out) { *out << c.what; }

std::vector<Skipped> skippedRecords() {
    return {
        {"a header record of another program",
         sdrText({"00NMSDR33 V04-04.02", kStation}),
         {"record \"00NM\" is not read (in.sdr:1)"}},
        {"an observation of a kind the writer has no record for",
         sdrText({kStation, "09MC              S1              P125.0000         90.000000       10.000000"}),
         {"record \"09MC\" is not read (in.sdr:2)"}},
        {"a note kind the job has no place for",
         sdrText({kStation, kShot, "13GOgo note"}),
         {"a \"13GO\" note, which the job has no place for, skipped (in.sdr:3)"}},
        {"a note before any set-up",
         sdrText({"13NMField Version 2.1", "13NMa job note", kStation}),
         {"a note the job has no place for, skipped (in.sdr:2)"}},
        {"a second note of one observation",
         sdrText({kStation, kShot, "13NMfirst", "13NMsecond"}),
         {"a note the job has no place for, skipped (in.sdr:4)"}},
        {"an attribute and a feature code of no observation",
         sdrText({kStation, "13ATSPECIES             oak", "13FCA-LONG-CODE-OF-NOTHING"}),
         {"an attribute note that follows no observation, skipped (in.sdr:2)",
          "a feature-code note that follows no observation, skipped (in.sdr:3)"}},
        {"a backsight and an observation before any station",
         sdrText({"07TP              S1              S0224.659327      0.000000", kShot, kStation}),
         {"a backsight before any station record, skipped (in.sdr:1)",
          "an observation before any station record, skipped (in.sdr:2)"}},
        {"a level reading before any level run",
         sdrText(
             {"63LV               11.4321          30.0000                             1    1    0101.4321", kStation}),
         {"a level reading before any level run, skipped (in.sdr:1)"}},
        {"an observation of a distance and a direction without a zenith",
         sdrText({kStation, "09F1              S1              P125.0000                         10.000000"}),
         {"an observation whose measured values the job cannot hold, skipped (in.sdr:2)"}},
        {"stake-out notes without a staked observation",
         sdrText({kStation, "13SOPt SO1      Design ID D1", "13SOFill 0.0100 North          0.0120 East  -0.0070"}),
         {"a stake-out note that follows no staked observation with angles and a slope distance, skipped (in.sdr:2)",
          "a stake-out note that follows no staked observation, skipped (in.sdr:3)"}},
    };
}

class SdrSkipped : public testing::TestWithParam<Skipped> {};

// The records around a skipped one are read: the set-up is in the job.
TEST_P(SdrSkipped, IsAWarningNamingItsLine) {
    const Skipped& c = GetParam();
    std::vector<std::string> warnings;
    const json job = json::parse(hosttest::readRaw("sdr", c.text, &warnings));
    EXPECT_EQ(warnings, c.warnings);
    ASSERT_EQ(job["setups"].size(), 1U) << job.dump();
    EXPECT_EQ(job["setups"][0]["station"], "S1");
}

INSTANTIATE_TEST_SUITE_P(Table, SdrSkipped, testing::ValuesIn(skippedRecords()),
                         [](const testing::TestParamInfo<Skipped>& paramInfo) {
                             return "row" + std::to_string(paramInfo.index);
                         });

// The level reading of that table has no set-up to show; its run is what is left out.
TEST(SdrReader, ALevelReadingWithoutItsRunLeavesNoRun) {
    const json job = json::parse(hosttest::readRaw(
        "sdr",
        sdrText({"63LV               11.4321          30.0000                             1    1    0101.4321"})));
    EXPECT_FALSE(job.contains("levelRuns"));
}

struct Malformed {
    const char* what;
    std::string text;
    const char* error;
};

void PrintTo(const Malformed& c, std::ostream* out) { *out << c.what; }

std::vector<Malformed> malformedRecords() {
    return {
        {"a line that is no record", sdrText({kStation, "P1,5000.0,3000.0"}),
         "in.sdr:2:1: expected a record: a two-digit record number and a derivation code"},
        {"a record number without its derivation code", sdrText({kStation, "09"}),
         "in.sdr:2:3: expected a two-letter derivation code after the record number"},
        {"a distance that is not a number",
         sdrText({kStation, "09F1              S1              P125.00x0         90.000000       10.000000"}),
         "in.sdr:2:37: \"25.00x0\" is not a number (a slope distance)"},
        {"a zenith in another notation",
         sdrText({kStation, "09F1              S1              P125.0000         9.0E+01         10.000000"}),
         "in.sdr:2:53: \"9.0E+01\" is not a number (a zenith angle)"},
        {"a coordinate record cut short", sdrText({"08TP              P15000.0000       3000.0000"}),
         "in.sdr:1:46: expected the point's height"},
        {"a station without a name",
         sdrText({"02NM                5000.0000       3000.0000       100.0000        1.5000"}),
         "in.sdr:1:5: expected the station's name"},
        {"a station record cut short", sdrText({"02NM              S1"}),
         "in.sdr:1:21: expected the station's northing"},
        {"a target height left blank", sdrText({kStation, "03NM                "}),
         "in.sdr:2:5: expected a target height"},
        {"an observation without its target", sdrText({kStation, "09F1              S1"}),
         "in.sdr:2:21: expected the target's name"},
        {"a stake-out note without its design point",
         sdrText({kStation, "09F1              S1             SO175.0128         90.007638       306.874022",
                  "13SOPt SO1 D1"}),
         "in.sdr:3:8: expected the staked point's name and \"Design ID\" with the design point"},
        {"a level reading without its rod reading", sdrText({"62LV    1               1    0", "63LV               1"}),
         "in.sdr:2:21: expected a rod reading"},
    };
}

class SdrMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(SdrMalformed, IsAnErrorNamingLineAndColumn) {
    const Malformed& c = GetParam();
    try {
        (void)hosttest::readRaw("sdr", c.text);
        ADD_FAILURE() << "read without an error";
    } catch (const exportgen::HostError& error) {
        EXPECT_EQ(error.code(), exportgen::kExitJson);
        EXPECT_EQ(std::string(error.what()), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SdrMalformed, testing::ValuesIn(malformedRecords()),
                         [](const testing::TestParamInfo<Malformed>& paramInfo) {
                             return "row" + std::to_string(paramInfo.index);
                         });

// Another program's file may write more decimals than the records do, or another station
// derivation code: the job takes the numbers as a file written from it holds them, so that file
// reads back to itself.
TEST(SdrReader, NumbersWithMoreDecimalsReadAsTheRecordsWriteThem) {
    std::vector<std::string> warnings;
    const std::string text = sdrText({"02KI              S15000.00004      3000.0000       100.0000        1.5000",
                                      "09F1              S1              P125.12346        90.123456789    10.000000"});
    const json job = json::parse(hosttest::readRaw("sdr", text, &warnings));
    EXPECT_EQ(warnings, std::vector<std::string>{"station record \"02KI\" is read as \"02NM\" (in.sdr:1)"});
    EXPECT_EQ(job["setups"][0]["coords"], (json{5000.0, 3000.0, 100.0}));
    // The first angle has more than the default degrees' 6 decimals: angles of 8.
    EXPECT_EQ(job["units"]["angle"], "decimalDegrees");
    EXPECT_EQ(job["setups"][0]["shots"][0]["sd"], (json{10.0, 90.12345679, 25.1235}));
    const std::string written = writeSdr(job.dump());
    EXPECT_EQ(writeSdr(hosttest::readRaw("sdr", written)), written);
}

// Lines ended by "\n" alone, a byte-order mark, blank lines and the end-of-file character some
// programs close a file with read as the writer's own lines.
TEST(SdrReader, LineEndsBlankLinesAndAByteOrderMarkDoNotMatter) {
    const std::string sdr = writeSdr(sampleJob());
    std::string other = "\xEF\xBB\xBF";
    for (const char c : sdr) {
        if (c != '\r') other += c;
    }
    other += "\n\x1a";
    EXPECT_EQ(hosttest::readRaw("sdr", other), hosttest::readRaw("sdr", sdr));
}

// What placement says of the read job is named at the raw file's line: here a backsight point
// that the file never places.
TEST(SdrReader, AWarningAboutTheReadJobNamesTheRawFilesLine) {
    const std::string dir = hosttest::freshDirectory("sdr-reader-errors");
    hosttest::writeFile(
        dir + "/field.sdr",
        sdrText({kStation, "03NM1.5000", "07TP              S1              S90.00000000      0.00000000"}));
    const auto result = run({"convert", dir + "/field.sdr", "-f", "rw5"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.err.find("backsight point \"S9\" is neither a known point nor a placed station: the set-up at "
                              "\"S1\" has no bearing from it (" +
                              dir + "/field.sdr:3:"),
              std::string::npos)
        << result.err;
}

// --- recognising the format ------------------------------------------------------------------

TEST(SdrReader, LooksLikeRecognisesSdrAndNoOtherFormat) {
    for (const char* format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        const auto result = run({"convert", "-f", format, "--now", kNow, "--quiet"});
        ASSERT_EQ(result.code, 0) << result.err;
        const std::string head = result.out.substr(0, 4096);
        EXPECT_EQ(exportgen::looksLikeSdr(head), std::string(format) == "sdr") << format;
    }
    EXPECT_FALSE(exportgen::looksLikeSdr(sampleJob().substr(0, 4096)));
    EXPECT_FALSE(exportgen::looksLikeSdr(""));
    EXPECT_FALSE(exportgen::looksLikeSdr("\r\n\r\n"));
    // A field program's file that starts with records this reader skips is still SDR.
    EXPECT_TRUE(exportgen::looksLikeSdr(sdrText({"00NMSDR33 V04-04.02", "10NMJOB1", kStation})));
}

}  // namespace
