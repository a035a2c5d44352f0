// The Quolt/Pashk reader: the read job records what the lines state and leaves absent what they
// do not (no station, backsight or design point is placed from the file's own figures); records
// it does not know are skipped with a warning, malformed lines are errors with their line and
// column. Byte round trips of whole jobs are the shared round_trip_test's; the rows here are
// files of ours that its jobs do not give.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using nlohmann::json;

const char* const kHead = "Field   v1\r\nUNITS   M,D\r\n";

// The job that `exportgen read` writes of `file` into a file, as a conversion to a file reads it:
// in one pass. The reader's warnings are added to `warnings`, one "what (where)" each.
json readFile(const std::string& file, std::vector<std::string>* warnings = nullptr) {
    static const std::string dir = hosttest::freshDirectory("quoltpashk-reader");
    const auto result = hosttest::run({"read", hosttest::memoryFile("in.quoltpashk", file), "-o", dir + "/read.json"});
    EXPECT_EQ(result.code, 0) << result.err;
    const std::string head = "exportgen: warning: input: ";
    std::istringstream lines(result.err);
    for (std::string line; warnings != nullptr && std::getline(lines, line);) {
        if (line.rfind(head, 0) == 0) warnings->push_back(line.substr(head.size()));
    }
    return json::parse(hosttest::readFile(dir + "/read.json"));
}

// `value` with every number rounded to nine decimals: angles read as packed degrees, minutes
// and seconds come back as decimal degrees within a rounding of their last bit.
json rounded(json value) {
    if (value.is_number_float()) return std::round(value.get<double>() * 1e9) / 1e9;
    if (value.is_structured()) {
        for (auto& item : value) item = rounded(item);
    }
    return value;
}

struct Header {
    const char* what;
    const char* lines;
    const char* expected;  // the read job's units, job and observation
};

void PrintTo(const Header& c, std::ostream* out) { *out << c.what; }

class QuoltPashkHeader : public testing::TestWithParam<Header> {};

TEST_P(QuoltPashkHeader, GivesUnitsJobAndObservation) {
    json job = readFile(GetParam().lines);
    job.erase("points");
    job.erase("setups");
    job.erase("levelRuns");
    // A file without its program line is this program's job, at this program's version.
    json expected = json::parse(GetParam().expected);
    if (expected["job"].value("version", "") == "@ours") expected["job"]["version"] = hosttest::programVersion();
    EXPECT_EQ(rounded(job), rounded(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuoltPashkHeader,
    testing::Values(
        Header{"metres and degrees, every record",
               "Field   v2.1\r\nJOB     SAMPLE,closed traverse,north site\r\nINST    TS-1, no. 5\r\nUNITS   M,D\r\n"
               "SCALE   0.999984,1.000000,100.000000\r\nDATE    4/7/2025,08:30:00\r\nTEMP    18.5,1008.4\r\n",
               R"({"units": {"distance": "metres", "angle": "degrees"},
                   "job": {"application": "Field", "version": "2.1", "name": "SAMPLE", "text2": "closed traverse",
                           "text3": "north site", "created": {"date": "4/7/2025", "time": "08:30:00"}},
                   "observation": {"instrument": "TS-1, no. 5", "temperature": 18.5, "temperatureUnits": "celsius",
                                   "pressure": 1008.4, "pressureUnits": "hPa", "scaleFactor": 1.0,
                                   "elevation": 100.0}})"},
        // The elevation is in the file's feet; 20 degrees at a pressure of 0 is no atmosphere.
        Header{"US feet and gons, no atmosphere, no date, a long program name",
               "SurveyDeskv10\r\nUNITS   F,G\r\nSCALE   1.000000,0.999600,328.083333\r\nDATE    ,\r\n"
               "TEMP    20.0,0.0\r\n",
               R"({"units": {"distance": "usSurveyFeet", "angle": "gons"},
                   "job": {"application": "SurveyDesk", "version": "10", "name": ""},
                   "observation": {"scaleFactor": 0.9996, "elevation": 99.999999898}})"},
        // A long name with a "v" of its own: the version starts at the last "v" before a digit.
        Header{"a long program name with a v in it", "SurveyMaster Live Prov2.1\r\nUNITS   M,D\r\n",
               R"({"units": {"distance": "metres", "angle": "degrees"},
                   "job": {"application": "SurveyMaster Live Pro", "version": "2.1", "name": ""}, "observation": {}})"},
        Header{"a name of eight characters, no padding", "LevelvuevA.3\r\nUNITS   M,D\r\n",
               R"({"units": {"distance": "metres", "angle": "degrees"},
                   "job": {"application": "Levelvue", "version": "A.3", "name": ""}, "observation": {}})"},
        Header{"a short name padded to the field, a version with a v", "Fieldv  vv2\r\nUNITS   M,D\r\n",
               R"({"units": {"distance": "metres", "angle": "degrees"},
                   "job": {"application": "Fieldv", "version": "v2", "name": ""}, "observation": {}})"},
        Header{"mils, no scale, a temperature without a pressure",
               "UNITS   M,M\r\nSCALE   1.000000,1.000000,0.000000\r\nTEMP    12.5,0.0\r\n",
               R"({"units": {"distance": "metres", "angle": "mils"}, "job": {"application": "exportgen",
                   "version": "@ours", "name": ""}, "observation": {"temperature": 12.5, "temperatureUnits": "celsius"}})"}),
    [](const testing::TestParamInfo<Header>& param) { return "case" + std::to_string(param.index); });

// Every kind of record of a set-up, and what it gives the job; what no line states is left out.
TEST(QuoltPashkReader, RecordsWhatTheLinesStateAndNothingElse) {
    const std::string file = std::string(kHead) +
                             "STN     1,1.550,CP\r\n"
                             "NOTE    traverse leg 1\r\n"
                             "BKB     #BS1,180.00000,0.00000\r\n"
                             "FS      2,1.600,CP\r\n"
                             "SD      270.00000,89.30000,120.0065\r\n"
                             "SS      101,1.500,TREE\r\n"
                             "SD      210.00000,90.00000,25.5024\r\n"
                             "XYZ     10012.7500,5022.0836,100.4000\r\n"
                             "NOTE    old oak by the gate\r\n"
                             "BKB     9,45.30000,10.00000\r\n"
                             "SS      102,1.500,FENCE\r\n"
                             "CTL     ST,,line-1\r\n"
                             "SS      103,1.500,\r\n"
                             "HD      290.00000,18.0000,-0.4200\r\n"
                             "NOTE    Level run of the kerb: start K\r\n"
                             "STN     2,1.600,\r\n"
                             "BKB     1,270.00000,0.00000\r\n"
                             "BS      1,1.600\r\n"
                             "HV      0.00000,90.30000\r\n"
                             "RES_OBS 7,70.711,1\r\n"
                             "SD      277.30000,90.00000,70.7112\r\n"
                             "SS      SO1,1.800,PEG\r\n"
                             "SD      306.30000,90.00000,75.0128\r\n"
                             "XYZ     10059.9930,4955.0120,100.4900\r\n"
                             "NOTE    Stake D1: dN 0.0120 dE -0.0070 dH -0.0100\r\n"
                             "NOTE    Level run LR1 benchmark loop: start 1 EL 100.0000\r\n"
                             "NOTE    BS 1 rod 1.4321 HI 101.4321\r\n"
                             "NOTE    FS TP1 rod 0.9876 EL 100.4445\r\n"
                             "NOTE    BS TP1 rod 1.6543\r\n"
                             "NOTE    FS 2 rod 0.8870\r\n";
    std::vector<std::string> warnings;
    const json job = readFile(file, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    // No point is made up: not the stations, not the backsight points, not the design point.
    EXPECT_EQ(job["points"], json::array());
    // A BKB line gives its bearing and circle reading; a backsight named by the generator is one
    // by bearing alone, a later one orients the sights after it. A sight line alone is a sight
    // without a measurement. x of an XYZ line is the easting.
    EXPECT_EQ(rounded(job["setups"][0]), rounded(json::parse(R"({"station": "1", "hi": 1.55, "code": "CP",
        "note": "traverse leg 1", "backsight": {"bearing": 180.0, "circle": 0.0, "hr": null},
        "shots": [{"to": "2", "sd": [270.0, 89.5, 120.0065], "hr": 1.6, "fs": true, "code": "CP"},
                  {"to": "101", "sd": [210.0, 90.0, 25.5024], "hr": 1.5, "code": "TREE",
                   "note": "old oak by the gate", "coords": [5022.0836, 10012.75, 100.4]},
                  {"to": "102", "measured": false, "hr": 1.5,
                   "codes": [{"code": "FENCE", "strings": ["line-1"], "control": ["ST", ""]}]},
                  {"to": "103", "hd": [290.0, 18.0, -0.42], "hr": 1.5, "note": "Level run of the kerb: start K"}],
        "reorientations": [{"point": "9", "bearing": 45.5, "circle": 10.0, "hr": null, "fromShot": 2}]})")));
    // A backsight point with its target height and measurement; the resection's target height is
    // not in the file; a stake-out's differences are the note's, its coordinates the XYZ line's.
    EXPECT_EQ(rounded(job["setups"][1]), rounded(json::parse(R"({"station": "2", "hi": 1.6,
        "backsight": {"point": "1", "bearing": 270.0, "circle": 0.0, "hr": 1.6, "angles": [0.0, 90.5]},
        "resection": [{"to": "7", "sd": [277.5, 90.0, 70.7112], "hr": null}],
        "stakeouts": [{"design": "D1", "to": "SO1", "sd": [306.5, 90.0, 75.0128], "hr": 1.8,
                       "code": "PEG", "coords": [4955.012, 10059.993, 100.49], "differences": [0.012, -0.007, -0.01]}]})")));
    // The level runs are the last lines; the heights their notes book are recorded, those they do
    // not book are not.
    EXPECT_EQ(rounded(job["levelRuns"]), rounded(json::parse(R"([{"name": "LR1", "description": "benchmark loop",
        "start": "1", "elevation": 100.0, "readings": [{"point": "1", "bs": 1.4321, "hi": 101.4321},
        {"point": "TP1", "fs": 0.9876, "elevation": 100.4445}, {"point": "TP1", "bs": 1.6543},
        {"point": "2", "fs": 0.887}]}])")));

    // Placed as the job model places it: no station stands anywhere, the first set-up is oriented
    // by its BKB line as recorded.
    const hosttest::JobModel model = hosttest::readJobModel(job.dump());
    ASSERT_EQ(model.setups.size(), 2U);
    for (const exportgen::Setup& setup : model.setups) EXPECT_FALSE(setup.coords.known());
    EXPECT_EQ(model.setups[0].orientation.origin, exportgen::Origin::recorded);
    EXPECT_DOUBLE_EQ(model.setups[0].orientation.value, 180.0);
    EXPECT_FALSE(model.setups[1].resection[0].hr.known());
}

// Files of ours that the shared round trip's jobs do not give, read and written again: the same
// bytes, and not a warning from the reader.
struct OwnFile {
    const char* what;
    const char* setups;  // after the header our writer writes for a job without one
};

void PrintTo(const OwnFile& c, std::ostream* out) { *out << c.what; }

class QuoltPashkOwnFile : public testing::TestWithParam<OwnFile> {};

TEST_P(QuoltPashkOwnFile, ReadsBackToItsBytes) {
    const std::string head =
        "Field   v\r\nJOB     ,,\r\nINST    \r\nUNITS   M,D\r\nSCALE   1.000000,1.000000,0.000000\r\n"
        "DATE    1/1/2026,00:00:00\r\nTEMP    20.0,0.0\r\n";
    const std::string file = head + GetParam().setups;
    std::vector<std::string> warnings;
    const std::string job = readFile(file, &warnings).dump();
    for (const auto& warning : warnings) ADD_FAILURE() << warning;
    const std::string path = hosttest::memoryFile("quoltpashk-reader/own.json", job);
    const auto again = hosttest::run({"convert", path, "-f", "quoltpashk", "--now", "2026-01-01T00:00:00", "--quiet"});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.out, file) << job;
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuoltPashkOwnFile,
    testing::Values(
        // A backsight point sighted and measured, whose bearing nothing gives: no BKB line, and
        // the BS line's name as the generator made it.
        OwnFile{"a measured backsight without a bearing",
                "STN     A,1.500,\r\nBS      #BS1,1.600\r\nSD      10.00000,90.00000,50.0000\r\n"
                "SS      B,1.500,\r\nSD      20.00000,90.00000,10.0000\r\n"},
        OwnFile{"a backsight point whose target height is unknown",
                "STN     A,1.500,\r\nBKB     K,10.00000,0.00000\r\n"},
        OwnFile{"orientation records between the sights and after the last",
                "STN     A,1.500,\r\nBKB     #BS1,0.00000,0.00000\r\nSS      B,1.500,\r\nSD      "
                "20.00000,90.00000,10.0000\r\n"
                "BKB     #BS2,90.00000,0.00000\r\nSS      C,1.500,\r\nSD      20.00000,90.00000,10.0000\r\n"
                "BKB     K,45.00000,0.00000\r\nBS      K,1.500\r\nHV      0.00000,90.00000\r\n"},
        OwnFile{"a level run from a point of unknown height",
                "NOTE    Level run L1: start X\r\nNOTE    BS X rod 1.2000\r\nNOTE    FS Y rod 0.8000\r\n"}),
    [](const testing::TestParamInfo<OwnFile>& param) { return "case" + std::to_string(param.index); });

// What a field file may hold besides the records of a job, each skipped with a warning that
// names its line.
struct Skipped {
    const char* lines;
    std::vector<std::string> warnings;
};

class QuoltPashkSkipped : public testing::TestWithParam<Skipped> {};

TEST_P(QuoltPashkSkipped, IsReportedWithItsLine) {
    std::vector<std::string> warnings;
    (void)readFile(std::string(kHead) + GetParam().lines, &warnings);
    EXPECT_EQ(warnings, GetParam().warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuoltPashkSkipped,
    testing::Values(
        Skipped{"STN     A,1.5,CP,extra\r\nPRISM   -30\r\nSS      B,1.5,C,second\r\nOFFSET  1.0000,0.0000,0.0000\r\n",
                {"STN: the values after the 3rd are not read (in.quoltpashk:3:1)",
                 "an unknown record \"PRISM\" is not read (in.quoltpashk:4:1)",
                 "SS: the text after the code has no place in the job and is not read (in.quoltpashk:5:1)",
                 "OFFSET: the record has no place in the job and is not read (in.quoltpashk:6:1)"}},
        Skipped{"SS      B,1.5,\r\nBKB     X,0.00000,0.00000\r\nSTN     A,1.5,\r\nJOB     LATE\r\n",
                {"SS: a record before any station is not read (in.quoltpashk:3:1)",
                 "BKB: a record before any station is not read (in.quoltpashk:4:1)",
                 "JOB: a header record after the first station is not read (in.quoltpashk:6:1)"}},
        Skipped{"STN     A,1.5,\r\nSS      B,1.5,\r\nSD      1.00000,90.00000,5.0000\r\nHV      1.00000,90.00000\r\n"
                "XYZ     1.0000,2.0000,3.0000\r\nXYZ     1.0000,2.0000,3.0000\r\nBS      B,1.5\r\n",
                {"HV: a measurement that follows no sight is not read (in.quoltpashk:6:1)",
                 "XYZ: coordinates that follow no sight are not read (in.quoltpashk:8:1)",
                 "BS: a backsight sight that follows no BKB record is not read (in.quoltpashk:9:1)"}},
        Skipped{"STN     A,1.5,\r\nBKB     X,0.00000,0.00000\r\nNOTE    where?\r\nSS      B,1.5,\r\nNOTE    one\r\n"
                "NOTE    two\r\nRES_OBS C,1.000,1\r\nSS      D,1.5,\r\n",
                {"a note that belongs to no record that carries one is not read (in.quoltpashk:5:1)",
                 "a note that belongs to no record that carries one is not read (in.quoltpashk:8:1)",
                 "RES_OBS: a resection observation without its measurement is not read (in.quoltpashk:9:1)"}},
        // A stake-out note on a sight that more sights follow is the sight's note; one that has a
        // note already is not read.
        Skipped{"STN     A,1.5,\r\nSS      B,1.5,\r\nNOTE    mine\r\nNOTE    Stake D: dN 0 dE 0 dH 0\r\n"
                "BKB     K,0.00000,0.00000\r\nBS      L,1.5\r\n",
                {"a note that belongs to no record that carries one is not read (in.quoltpashk:6:1)",
                 "BS: the backsight sighted is \"L\", the BKB before it names \"K\"; the backsight is read as the "
                 "one sighted (in.quoltpashk:8:1)"}},
        Skipped{"DATE    1/1/2026,\r\nDATE    2/1/2026,\r\n",
                {"DATE: the record is given twice; the second is not read (in.quoltpashk:4:1)"}}),
    [](const testing::TestParamInfo<Skipped>& param) { return "case" + std::to_string(param.index); });

TEST(QuoltPashkReader, AFileWithoutUnitsIsReadInMetresAndDegreesAndSaysSo) {
    std::vector<std::string> warnings;
    const json job = readFile("STN     A,1.5,\r\nSS      B,1.5,\r\nSD      1.30000,90.00000,5.0000\r\n", &warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{"the file states no units: distances are read as metres and angles "
                                                 "as DMS (packed degrees, minutes and seconds); --input-units "
                                                 "DIST,ANGLE states them (these are metres,packedDms) "
                                                 "(in.quoltpashk:1:1)"});
    EXPECT_EQ(rounded(job["setups"][0]["shots"][0]["sd"]), rounded(json::parse("[1.5, 90.0, 5.0]")));
}

struct Malformed {
    const char* file;
    const char* error;
};

class QuoltPashkMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(QuoltPashkMalformed, IsAnErrorWithLineAndColumn) {
    try {
        (void)hosttest::readRaw("quoltpashk", GetParam().file);
        ADD_FAILURE() << "no error for " << GetParam().file;
    } catch (const exportgen::HostError& error) {
        EXPECT_EQ(error.code(), exportgen::kExitJson);
        EXPECT_EQ(std::string(error.what()), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuoltPashkMalformed,
    testing::Values(Malformed{"STN     A,1.5,\r\nSS      B,1.5O,",
                              "in.quoltpashk:2:11: SS: target height \"1.5O\" is not a number"},
                    Malformed{"STN     A,1.5,\r\nSS      B",
                              "in.quoltpashk:2:10: SS: the record is cut short: the target height is missing; the file "
                              "may be cut short at line 2"},
                    Malformed{"STN     A,1.5,\r\nSS      B,1.5,\r\nSD      1.00000,90.00000",
                              "in.quoltpashk:3:25: SD: the record is cut short: the third value is missing; the file "
                              "may be cut short at line 3"},
                    Malformed{"STN     A,1.5,\r\nBKB     X,,0",
                              "in.quoltpashk:2:11: BKB: bearing \"\" is not a number"},
                    Malformed{"STN     A,1.5,\r\nSS      B,1.5,\r\nXYZ     1.0,-,3",
                              "in.quoltpashk:3:13: XYZ: northing \"-\" is not a number"},
                    Malformed{"STN     B,1e3,", "in.quoltpashk:1:11: STN: instrument height \"1e3\" is not a number"},
                    Malformed{"UNITS   Y,D", "in.quoltpashk:1:9: UNITS: distance unit \"Y\" is neither M nor F"},
                    Malformed{"UNITS   M,D\r\nTEMP    20.0",
                              "in.quoltpashk:2:13: TEMP: the record is cut short: the pressure is missing; the file "
                              "may be cut short at line 2"}),
    [](const testing::TestParamInfo<Malformed>& param) { return "case" + std::to_string(param.index); });

}  // namespace
