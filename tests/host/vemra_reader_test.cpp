// Reading the Vemra family back: what the read job holds record by record and what it leaves
// absent, the units of the file's first letters, and the malformed lines refused at their place.
// Whole jobs written, read and written again are the shared round trip's (round_trip_test.cpp);
// the table here holds the field cases its jobs do not reach.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::readRaw;
using hosttest::run;

const char* const kFamily[] = {"vemra", "apasima", "drevan"};
const char* const kNow = "2026-01-01T00:00:00";

const std::string kHeader = "_!J_\"_#_$1/1/2026_%0.000_&000_\r\n";
const std::string kStation = "'S1_(_)1.500_\r\n";
const std::string kEntries = "P,Ver 1\r\nJ,,,,2026/1/1\r\n1,1,0.0,0.0,0.0,1\r\n+00\r\n";

// The job text `job` converted to `format` with the fixed clock.
hosttest::Result convert(const std::string& job, const std::string& format) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("vemra_reader/job" + std::to_string(++count) + ".json", job);
    return run({"convert", path, "-f", format, "--now", kNow, "--quiet"});
}

nlohmann::json readJob(const std::string& format, const std::string& text,
                       std::vector<std::string>* warnings = nullptr) {
    return nlohmann::json::parse(readRaw(format, text, warnings));
}

// Packed degrees, minutes and seconds in decimal degrees: what the job holds of a file's angle.
double dms(double degrees, double minutes, double seconds) { return degrees + minutes / 60.0 + seconds / 3600.0; }

void expectValues(const nlohmann::json& actual, const std::vector<double>& expected, const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what << ": " << actual;
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(actual[i].get<double>(), expected[i], 1e-9) << what;
}

struct Job {
    const char* what;
    std::string text;
};

void PrintTo(const Job& job, std::ostream* out) { *out << job.what; }

// Jobs whose figures and names meet the edges of the family's fields: each reads back to a job
// that writes the same bytes in every dialect.
std::vector<Job> edgeJobs() {
    using hosttest::oneSetup;
    return {
        // Drevan's "D" and "U" groups.
        {"direction-only and distance-only shots, with and without coordinates",
         oneSetup(R"([{"to": "D1", "hz": [10]}, {"to": "D2", "hz": [20], "coords": [1, 2, 3]},
{"to": "D3", "dist": [12]}, {"to": "P", "angles": [10, 95]}])")},
        // A coordinate that took the sign's place, and one also cut.
        {"a coordinate too wide for its field",
         oneSetup(R"([{"to": "FAR", "sd": [10, 90, 25], "coords": [-12345678.9, 5, 1]},
{"to": "FAR2", "hz": [10], "coords": [1234567.891, -20.5, -7]}])")},
        // A distance of 100 km or more loses its leading digits to the field (in Drevan's "?"
        // group the horizontal distance worked out of it then differs): it is not among these.
        {"implausible values",
         R"({"setups": [{"station": "S1", "coords": [0, 0, 0], "hi": 1500, "shots": [{"to": "P1", "sd": [10, 90, -25]},
{"to": "P2", "angles": [10, 361]}, {"to": "P3", "sd": [-90, -10, 99999.999]}, {"to": "P4", "hd": [0, 0.0004, -99999.9994]},
{"to": "P5", "hd": [1000.5, -3, 0]}, {"to": "P6", "sd": [1e6, 1e-7, 0]}, {"to": "P7", "sd": [1, 90, 1], "hr": 1e20}]}]})"},
        {"angles of a whole negative circle", oneSetup(R"([{"to": "P1", "angles": [-360, -360]}])")},
        {"names made only of '+' and '_', a station used twice",
         R"({"setups": [{"station": "+", "coords": [0, 0, 0], "hi": 1, "shots": [{"to": "_", "sd": [1, 2, 3]},
{"to": "+_", "hd": [1, 2, 3]}, {"to": "A", "angles": [1, 2]}]}, {"station": "_+", "hi": 2, "coords": [1, 1, 1]},
{"station": "+", "hi": 1}]})"},
        // ApaSima's entries against its header.
        {"atmosphere in other units",
         R"({"observation": {"instrument": "X 1", "temperature": 68, "temperatureUnits": "fahrenheit",
"pressure": 29.92, "pressureUnits": "inHg", "ppm": -12.3, "prismConstant": 0.4},
"job": {"name": "J", "created": {"date": "2009"}}, "setups": []})"},
        {"a temperature that rounds otherwise with one decimal",
         R"({"observation": {"temperature": 18.2503, "pressure": 1013.25}, "setups": []})"},
        {"pressure in mmHg, a negative constant under a millimetre, an empty version",
         R"({"observation": {"pressure": 760, "pressureUnits": "mmHg", "prismConstant": -0.3},
"job": {"application": "A", "version": "", "created": {"date": "25/12/2009", "time": "10:00"}}, "setups": []})"},
    };
}

class VemraFamilyEdges : public testing::TestWithParam<Job> {};

TEST_P(VemraFamilyEdges, WritingTheReadJobGivesTheSameBytes) {
    for (const char* format : kFamily) {
        const auto first = convert(GetParam().text, format);
        ASSERT_EQ(first.code, 0) << format << ": " << first.err;
        std::string read;
        ASSERT_NO_THROW(read = readRaw(format, first.out)) << format;
        const auto again = convert(read, format);
        ASSERT_EQ(again.code, 0) << format << ": " << again.err << "\n" << read.substr(0, 2000);
        EXPECT_EQ(again.out, first.out) << format;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, VemraFamilyEdges, testing::ValuesIn(edgeJobs()),
                         [](const testing::TestParamInfo<Job>& item) { return std::to_string(item.index); });

// What the sample's Vemra file holds: the header's texts and atmosphere, a set-up per station
// with its instrument height and code, and every observation record as a side shot; no station
// position, no orientation, no known point.
TEST(VemraReader, TheSampleReadsAsItsSetUpsAndShotsWithNothingMadeUp) {
    const auto written = run({"convert", "-f", "vemra", "--now", kNow, "--quiet"});
    ASSERT_EQ(written.code, 0) << written.err;
    const std::string read = readRaw("vemra", written.out);
    const nlohmann::json job = nlohmann::json::parse(read);
    EXPECT_EQ(job["units"], nlohmann::json({{"distance", "metres"}, {"angle", "degrees"}}));
    EXPECT_EQ(job["job"]["name"], "SAMPLE");
    EXPECT_EQ(job["job"]["text3"], "north site");
    EXPECT_FALSE(job["job"].contains("created"));
    EXPECT_EQ(job["observation"], nlohmann::json::parse(R"({"instrument": "TS-1", "temperature": 18.5,
        "temperatureUnits": "celsius", "pressure": 1008.0, "pressureUnits": "hPa"})"));
    EXPECT_EQ(job["points"], nlohmann::json::array());
    EXPECT_EQ(job["levelRuns"], nlohmann::json::array());

    const auto& setups = job["setups"];
    ASSERT_EQ(setups.size(), 5U);
    const char* const stations[] = {"1", "2", "3", "4", "R1"};
    const double heights[] = {1.55, 1.6, 1.5, 1.62, 1.58};
    const std::size_t shots[] = {3, 5, 3, 2, 4};  // the backsight, resection and stake-out among them
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(setups[i]["station"], stations[i]);
        EXPECT_EQ(setups[i]["hi"], heights[i]);
        EXPECT_EQ(setups[i]["shots"].size(), shots[i]) << stations[i];
    }
    EXPECT_EQ(setups[0]["code"], "CP");
    EXPECT_FALSE(setups[1].contains("code"));
    // +2_ a+2700000d_ b0892411d_ c+00120007m_*CP_,1.600_
    const auto& first = setups[0]["shots"][0];
    EXPECT_EQ(first["to"], "2");
    expectValues(first["sd"], {270.0, dms(89, 24, 11), 120.007}, "+2");
    EXPECT_EQ(first["hr"], 1.6);
    EXPECT_EQ(first["code"], "CP");
    // The measured backsight of set-up 2: +1_ a+3600000d_ b0903423d_ c+00120006m_
    EXPECT_EQ(setups[1]["shots"][0]["to"], "1");
    expectValues(setups[1]["shots"][0]["sd"], {360.0, dms(90, 34, 23), 120.006}, "+1");
    // +103_ a+2900000d_ d+00018000m_ e+00000000m_ and +104_ a+3400000d_ b0873533d_
    expectValues(setups[1]["shots"][2]["hd"], {290.0, 18.0, 0.0}, "+103");
    expectValues(setups[1]["shots"][3]["angles"], {340.0, dms(87, 35, 33)}, "+104");
    // The stake-out is a shot to the staked point, without a code.
    EXPECT_EQ(setups[2]["shots"][2]["to"], "SO1");
    EXPECT_FALSE(setups[2]["shots"][2].contains("code"));

    // Placement finds nothing to place or orient a set-up on.
    const hosttest::JobModel model = hosttest::readJobModel(read);
    ASSERT_EQ(model.setups.size(), 5U);
    for (const exportgen::Setup& setup : model.setups) {
        EXPECT_FALSE(setup.coords.known());
        EXPECT_FALSE(setup.orientation.known());
        EXPECT_EQ(setup.backsight.kind, exportgen::Backsight::Kind::none);
        for (const exportgen::Observation& shot : setup.shots) {
            EXPECT_FALSE(shot.coords.known());
            EXPECT_EQ(shot.sight.sightKind(), orv::ie::eSightSideShot);
        }
    }
}

// The stations of a Vemra file stand nowhere until a point list places them: a conversion writes
// them empty, never at 0, 0, 0, and with --points where the list puts them.
TEST(VemraReader, StationsStandWhereAPointListPutsThemAndNowhereElse) {
    const auto written = run({"convert", "-f", "vemra", "--now", kNow, "--quiet"});
    ASSERT_EQ(written.code, 0) << written.err;
    const std::string file = hosttest::memoryFile("vemra_reader/sample.vemra", written.out);
    const auto alone = run({"convert", file, "-f", "rw5", "--now", kNow, "--quiet"});
    ASSERT_EQ(alone.code, 0) << alone.err;
    EXPECT_NE(alone.out.find("OC,OP1,N ,E ,EL,"), std::string::npos) << alone.out;

    const std::string list = hosttest::memoryFile(
        "vemra_reader/stations.csv", "P,N,E,Z\n1,5000,10000,100\n2,5000,10120,101.2\n3,4910,10120,100.8\n");
    const auto placed = run({"convert", file, "--points", list, "-f", "rw5", "--now", kNow, "--quiet"});
    ASSERT_EQ(placed.code, 0) << placed.err;
    EXPECT_NE(placed.out.find("OC,OP1,N 5000.0000,E 10000.0000,EL100.0000,"), std::string::npos) << placed.out;
    EXPECT_NE(placed.out.find("OC,OP3,N 4910.0000,E 10120.0000,EL100.8000,"), std::string::npos) << placed.out;
    EXPECT_NE(placed.out.find("OC,OP4,N ,E ,EL,"), std::string::npos) << placed.out;
}

// The file's units are its first unit letters, wherever they stand: the instrument heights of
// stations listed before the first observation are in them too.
TEST(VemraReader, TheFirstUnitLettersHoldForTheRecordsBeforeThem) {
    const std::string file =
        kHeader + "'S1_(_)5.000_\r\n'S2_(_)5.000_\r\n" + "+P_ a+1000000g_ d+00010000f_ e-00001000f_*_,5.000_\r\n";
    const nlohmann::json job = readJob("vemra", file);
    EXPECT_EQ(job["units"], nlohmann::json({{"distance", "usSurveyFeet"}, {"angle", "gons"}}));
    const double foot = 1200.0 / 3937.0;
    EXPECT_NEAR(job["setups"][0]["hi"].get<double>(), 5.0 * foot, 1e-12);
    const auto& shot = job["setups"][1]["shots"][0];
    expectValues(shot["hd"], {90.0, 10.0 * foot, -1.0 * foot}, "+P");
    EXPECT_NEAR(shot["hr"].get<double>(), 5.0 * foot, 1e-12);
}

// Drevan's groups: "W" and "U" record the target's coordinates, and beside a slope distance the
// angles have 5 decimals. (Coordinates in a file in feet, which stay metres, and ApaSima's angle
// digits in mils are the shared round trip's: its jobs in feet, gons and mils.)
TEST(VemraReader, DrevanGroupsAndTheirCoordinates) {
    const std::string golden = hosttest::readFile(hosttest::dataPath("golden/drevan_setout.txt"));
    const nlohmann::json job = readJob("drevan", golden);
    const auto& shots = job["setups"][0]["shots"];
    ASSERT_EQ(shots.size(), 4U);
    expectValues(shots[0]["sd"], {0.0, 90.0, 250.125}, "?");
    EXPECT_FALSE(shots[0].contains("coords"));
    // W+000482000m9115000+3123000d+0050123450+0029876540+0001012000
    expectValues(shots[1]["sd"], {dms(312, 30, 0), dms(91, 15, 0), 48.2}, "W");
    EXPECT_EQ(shots[1]["coords"], nlohmann::json({5012.345, 2987.654, 101.2}));
    EXPECT_EQ(shots[1]["hr"], 1.6);
    // R+00032000m0871858+0470000d+00001500: the zenith is worked out again from the distances.
    expectValues(shots[2]["hd"], {47.0, 32.0, 1.5}, "R");
    EXPECT_FALSE(shots[2].contains("coords"));
    // U+05012345+02987654+00101200m+0150000d
    expectValues(shots[3]["hz"], {15.0}, "U");
    EXPECT_EQ(shots[3]["coords"], nlohmann::json({5012.345, 2987.654, 101.2}));

    // 16°57'44.4" is written 1657444: 165°74' is no angle, so it reads as 16.57444; 2773000 is
    // 277°30'.
    const std::string sample = hosttest::readFile(hosttest::dataPath("golden/sample_drevan.txt"));
    const nlohmann::json read = readJob("drevan", hosttest::withNewlines(sample));
    EXPECT_NEAR(read["setups"][4]["shots"][1]["sd"][0].get<double>(), dms(16, 57, 44.4), 1e-9);
    EXPECT_NEAR(read["setups"][4]["shots"][0]["sd"][0].get<double>(), dms(277, 30, 0), 1e-9);
}

// ApaSima's entries give the program, the creation date, the ppm and the prism constant.
TEST(VemraReader, ApaSimaEntries) {
    const std::string golden =
        hosttest::withNewlines(hosttest::readFile(hosttest::dataPath("golden/sample_apasima.txt")));
    const nlohmann::json job = readJob("apasima", golden);
    EXPECT_EQ(job["job"], nlohmann::json::parse(R"({"application": "Field", "version": "2.1", "name": "SAMPLE",
        "text3": "north site", "created": {"date": "4/7/2025"}})"));
    EXPECT_EQ(job["observation"], nlohmann::json::parse(R"({"instrument": "TS-1", "prismConstant": -30.0,
        "temperature": 18.5, "temperatureUnits": "celsius", "pressure": 1008.4, "pressureUnits": "hPa", "ppm": 3.2})"));
}

// A text the chosen output cannot carry is refused at its line and column in the raw file.
TEST(VemraReader, AReservedCharacterIsRefusedAtItsPlaceInTheFile) {
    const std::string file = hosttest::memoryFile("vemra_reader/comma.vemra",
                                                  kHeader + kStation + "+P_ a+0100000d_ b0900000d_*A,B_,1.000_\r\n");
    const auto refused = run({"convert", file, "-f", "rw5", "--now", kNow});
    EXPECT_EQ(refused.code, exportgen::kExitJob);
    EXPECT_EQ(refused.err,
              "exportgen: " + file +
                  ":3:28: code \"A,B\" holds ',', which rw5 cannot carry there (--sanitize replaces it by a blank)\n");
}

struct Bad {
    const char* what;
    const char* format;
    std::string text;
    const char* error;  ///< the whole message, or "" when the line is only skipped
    const char* warning = "";
};

void PrintTo(const Bad& bad, std::ostream* out) { *out << bad.what; }

std::vector<Bad> badFiles() {
    return {
        {"an unknown record", "vemra", kHeader + kStation + "#XYZ_\r\n+P_ a+0100000d_ b0900000d_*_,1.000_\r\n", "",
         "a record the reader does not know (\"#XYZ_\"), skipped (in.vemra:3:1)"},
        {"Drevan: a distance of a kind the job has not", "drevan",
         kHeader + kStation + "+P_ A+00001000m000_*_,1.0000_\r\n+Q_ D+00001000m000_*_,1.0000_\r\n", "",
         "a distance of kind A, which a job cannot hold, skipped (in.drevan:3:1)"},
        {"Drevan: an observation without a measurement", "drevan",
         kHeader + kStation + "+P_ _*_,1.0000_\r\n+Q_ D+00001000m000_*_,1.0000_\r\n", "",
         "an observation without a measurement, skipped (in.drevan:3:1)"},
        {"a digit that is not one", "vemra", kHeader + kStation + "+P_ a+01x0000d_ b0900000d_*_,1.000_\r\n",
         "in.vemra:3:9: the horizontal angle: expected 7 digits"},
        {"a field without its end", "vemra", kHeader + "'S1_(CP",
         "in.vemra:2:8: the station code is cut short: no closing '_'; the file may be cut short at line 2"},
        {"a height beyond the range of a double", "vemra", kHeader + "'S1_(_)1" + std::string(400, '0') + "_\r\n",
         "in.vemra:2:8: the instrument height is not a number"},
        {"a unit letter that is none", "vemra", kHeader + kStation + "+P_ a+0100000x_ b0900000d_*_,1.000_\r\n",
         "in.vemra:3:14: the horizontal angle: expected a unit letter, one of \"dgm\""},
        {"angles in two units, the second far from the first", "vemra",
         kHeader + kStation + "+P_ a+0100000d_ b0900000d_*_,1.000_\r\n" + kStation +
             "+P_ a+0100000d_ b1000000g_*_,1.000_\r\n",
         "in.vemra:5:25: the vertical angle is in gons where the file's angles are in degrees"},
        {"seconds of 60", "vemra", kHeader + kStation + "+P_ a+0100060d_ b0900000d_*_,1.000_\r\n",
         "in.vemra:3:7: angle \"0100060\" is no degrees, minutes and seconds: 60 minutes or seconds"},
        {"an observation before any station", "vemra", kHeader + "+P_ a+0100000d_ b0900000d_*_,1.000_\r\n",
         "in.vemra:2:1: an observation before the first station"},
        {"a second header", "vemra", kHeader + kHeader, "in.vemra:2:1: a second job header"},
        {"Drevan: a group without its closing text", "drevan",
         kHeader + kStation + "+P_ ?+00120007m0892411+2700000d+00120000***+**+**00_*_,1.6000_\r\n",
         "in.drevan:3:52: expected the group's closing text (\"***+**+**000\")"},
        {"ApaSima: no entries", "apasima", kHeader,
         "in.apasima:1:1: expected the program entry; it looks like a Vemra file"},
        {"ApaSima: a short atmosphere entry", "apasima", "P,Ver 1\r\nJ,,,,2026/1/1\r\n1,1,0.0\r\n",
         "in.apasima:3:8: the atmosphere entry has fewer than 6 texts"},
        {"ApaSima: a station before the header", "apasima", kEntries + kStation + kHeader,
         "in.apasima:5:1: no job header (\"_!\") after the ApaSima entries"},
        {"ApaSima: the entries alone", "apasima", kEntries,
         "in.apasima:4:4: no job header (\"_!\") after the ApaSima entries"},
    };
}

class VemraFamilyBadFiles : public testing::TestWithParam<Bad> {};

TEST_P(VemraFamilyBadFiles, AreSkippedWithAWarningOrRefusedAtTheirPlace) {
    const Bad& bad = GetParam();
    std::vector<std::string> warnings;
    if (*bad.error == '\0') {
        const nlohmann::json job = readJob(bad.format, bad.text, &warnings);
        EXPECT_EQ(warnings, std::vector<std::string>{bad.warning});
        // The skipped record leaves the station and its other shots as they were.
        ASSERT_EQ(job["setups"].size(), 1U);
        EXPECT_EQ(job["setups"][0]["shots"].size(), 1U);
        return;
    }
    try {
        readRaw(bad.format, bad.text, &warnings);
        FAIL() << "no error";
    } catch (const exportgen::HostError& error) {
        EXPECT_STREQ(error.what(), bad.error);
        EXPECT_EQ(error.code(), exportgen::kExitJson);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, VemraFamilyBadFiles, testing::ValuesIn(badFiles()),
                         [](const testing::TestParamInfo<Bad>& item) { return std::to_string(item.index); });

}  // namespace
