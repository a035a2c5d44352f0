// The RW5 reader: what it records of a file, what it leaves unknown, what it skips with a
// warning and what it refuses. Byte round trips of whole jobs are round_trip_test's; the rows
// here cover what its jobs do not.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::readRaw;
using hosttest::run;
using nlohmann::json;

const char* const kNow = "2026-01-01T00:00:00";

// `input` (a job file, or an RW5 file) converted to RW5 with the clock at `now`.
std::string toRw5(const std::string& input, const std::string& now = kNow, const std::string& from = "job") {
    static int count = 0;
    const std::string path = hosttest::memoryFile("rw5_reader/in" + std::to_string(++count), input);
    const hosttest::Result result = run({"convert", path, "--from", from, "-f", "rw5", "--now", now, "--quiet"});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

// The reader's warnings for `text`, each once (a conversion to the standard output reads the
// input twice: once to check it, once to write it).
std::vector<std::string> warningsOf(const std::string& text, json* job = nullptr) {
    std::vector<std::string> all, once;
    const std::string read = readRaw("rw5", text, &all);
    if (job != nullptr) *job = json::parse(read);
    for (const std::string& warning : all) {
        if (std::find(once.begin(), once.end(), warning) == once.end()) once.push_back(warning);
    }
    return once;
}

void expectNear(const json& values, const std::vector<double>& expected) {
    ASSERT_EQ(values.size(), expected.size()) << values;
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(values[i].get<double>(), expected[i], 1e-9) << i;
}

// Jobs the shared round trip does not hold: every measurement kind with angles to the left and
// a hair below the full circle, codes with control codes, set-ups without sights between set-ups
// (whose instrument height only the next sight's heights record tells), reorientations, a level
// run starting at a height of its own, feet and inches.
TEST(Rw5Reader, OurOwnFilesReadAndWrittenAgainGiveTheSameBytes) {
    const std::string head = R"("points": [{"name": "A", "coords": [0, 0, 10]}, {"name": "B", "coords": [100, 0, 11]},
                                 {"name": "C", "coords": [0, 100, 12]}, {"name": "D1", "coords": [40.12345, 30.5, 10.25]}],)";
    const std::string kinds =
        R"([{"to": "P1", "sd": [-10, 90, 25], "hr": 1.7}, {"to": "P2", "hd": [-0.000001, 25, -1.25]},
        {"to": "P3", "angles": [370, 271]}, {"to": "P4", "hz": [359.9999999]}, {"to": "P7", "hz": [-359.9999999]},
        {"to": "P5", "dist": [12.5], "hr": 1.7004}, {"to": "P6", "sd": [0, 180, 3], "hr": null}])";
    const std::vector<std::string> inputs = {
        hosttest::oneSetup(kinds),
        hosttest::oneSetup(kinds, R"("units": {"angle": "gons"},)"),
        R"({"setups": [{"station": "S1", "coords": [1, 2, 3], "hi": 1.5, "shots": [
              {"to": "P1", "sd": [10, 90, 25], "codes": [{"code": "TREE", "control": ["ST", "X"]},
                 {"code": "FENCE", "strings": ["line-3"], "control": ["", "END"]}, null, {"code": "MH"}]},
              {"to": "P2", "sd": [10, 90, 25], "codes": [{"code": "A", "control": ["B C", ""]}], "note": "n, with comma"},
              {"to": "P3", "sd": [10, 90, 25], "codes": [{"code": "WALL", "strings": ["top"]}]}]}]})",
        R"({"units": {"distance": "internationalFeet", "angle": "degrees"}, )" + head + R"(
            "setups": [{"station": "A", "hi": 1.5, "shots": [{"to": "X", "sd": [45, 90, 10], "hr": 1.6}]},
                       {"station": "B", "hi": 1.7},
                       {"station": "A", "hi": 1.5, "shots": [{"to": "Y", "sd": [45, 90, 10], "hr": 1.6}]},
                       {"station": "F", "hi": 1.5, "resection": [{"to": "A", "sd": [0, 90, 50], "hr": 1.6},
                          {"to": "B", "sd": [90.3, 89.5, 70.71], "hr": 1.6}, {"to": "C", "sd": [181, 91, 70.7], "hr": 1.6}]},
                       {"station": "C", "hi": 1.5},
                       {"station": "A", "hi": 1.5, "shots": [{"to": "Z", "sd": [45, 90, 10], "hr": 1.6}]},
                       {"station": "B", "hi": 0}, {"station": "C", "hi": 0},
                       {"station": "A", "hi": 1.5, "shots": [{"to": "W", "sd": [45, 90, 10], "hr": 1.6004}]},
                       {"station": "B", "hi": 1.5}]})",
        R"({"units": {"distance": "usSurveyFeetInches", "angle": "decimalDegrees"}, )" + head + R"(
            "setups": [{"station": "A", "hi": 1.5, "backsight": {"point": "B", "hr": 1.6, "hd": [0, 100, 1]},
                        "shots": [{"to": "X", "sd": [45, 90, 10], "hr": 1.6}, {"to": "T1", "fs": true, "sd": [90, 90, 50]}],
                        "reorientations": [{"point": "C", "circle": 10, "fromShot": 1},
                                           {"bearing": 20, "circle": 5, "hr": 1.8, "fromShot": 2}],
                        "stakeouts": [{"design": "D1", "to": "S1", "sd": [30, 90, 20], "hr": 1.7, "code": "STK"}]},
                       {"station": "T1", "hi": 1.5, "backsight": {"point": "A", "hr": 1.6, "angles": [0, 90]},
                        "shots": [{"to": "Y", "angles": [45, 90], "hr": 1.6}]}],
            "levelRuns": [{"name": "L1", "description": "loop one", "start": "Q", "elevation": 50,
                           "readings": [{"point": "Q", "bs": 1.5}, {"point": "T", "fs": 1.25, "dist": 20}]}]})",
    };
    for (const std::string& job : inputs) {
        SCOPED_TRACE(job.substr(0, 120));
        const std::string first = toRw5(job);
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(warningsOf(first), std::vector<std::string>());
        EXPECT_EQ(toRw5(first, kNow, "rw5"), first);
        // The header's date and time are the job's creation: --now job writes them again.
        EXPECT_EQ(toRw5(first, "job", "rw5"), first);
    }
}

// Records our writer writes for what only a raw file gives (a point known in plan, a station
// and an instrument height unknown, backsights measured by direction or distance alone, one
// whose bearing is unknown, a stake-out with a note, a resection by height difference, a level
// run from an unknown height): read, they are written again as they were, and what the file
// leaves unknown stays unknown.
TEST(Rw5Reader, WhatTheFileLeavesUnknownStaysUnknown) {
    const std::string file =
        "--Field Version 2.1\r\nJB,NMJ,DT01-02-2025,TM10:00:00\r\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n"
        "SP,PN1,N 5000.0000,E 3000.0000,EL100.0000,--CP\r\n"
        "SP,PN9,N 5010.5000,E 2990.2500,EL,--wall corner\r\n"
        "OC,OP1,N 5000.0000,E 3000.0000,EL100.0000,--nail\r\n"
        "LS,HI1.5000,HR1.7000\r\n"
        "BK,OP1,BP2,BS45.0000,BC0.0000\r\n"
        "BD,OP1,BP2,AR0.00000,ZE,SD\r\n"
        "FD,OP1,FP7,AR30.30000,ZE89.45000,SD52.3456,--TREE ST\r\n"
        "BK,OP1,BP9,BS15.0000,BC10.0000\r\n"
        "BD,OP1,BP9,SD10.0000\r\n"
        "FD,OP1,FP8,AR40.00000,ZE89.45000,SD52.3456,--\r\n--a note\r\n"
        "SP,PN8,N 5040.0000,E 3030.0000,EL100.1000,--Stake 1: dN 0.0100 dE -0.0100 dH 0.0000\r\n"
        "OC,OP5,N ,E ,EL,--\r\n"
        "OC,OP6,N 1.0000,E 2.0000,EL,--\r\n"
        "LS,HI,HR1.7000\r\n"
        "BD,OP6,BP3,AR0.00000,ZE90.00000,SD5.0000\r\n"
        "FD,OP6,FP10,AR360.00000,ZE90.00000,--\r\n"
        "RS,PN1,CR10.00000,CE1.0000,HD50.0000\r\n"
        "OC,OPF,N 5050.0000,E 3050.0000,EL100.0000,--\r\n"
        "FD,OPF,FP11,AL0.00000,ZE89.45000,SD52.3456,--\r\n"
        "--Level run L1: start X\r\n--BS X rod 1.0000\r\n--FS Y rod 2.0000\r\n";
    json job;
    EXPECT_EQ(warningsOf(file, &job), std::vector<std::string>());
    EXPECT_EQ(toRw5(file, "job", "rw5"), file);
    // A code field is one text, split into codes and control codes: the job says so.
    EXPECT_EQ(job["codesAsText"], true);

    EXPECT_EQ(job["points"][1],
              json::parse(R"({"name": "9", "coords": [5010.5, 2990.25], "code": "wall", "note": "corner"})"));
    const json& setups = job["setups"];
    ASSERT_EQ(setups.size(), 4U);
    // A bearing and circle reading the record states, and the measurement after it, direction
    // or distance alone; the second orientation record orients the shots from the second on.
    EXPECT_EQ(setups[0]["backsight"],
              json::parse(R"({"point": "2", "bearing": 45.0, "circle": 0.0, "hr": 1.7, "hz": [0.0]})"));
    EXPECT_EQ(
        setups[0]["reorientations"],
        json::parse(R"([{"point": "9", "bearing": 15.0, "circle": 10.0, "hr": 1.7, "dist": [10.0], "fromShot": 1}])"));
    const json& stake = setups[0]["stakeouts"][0];
    EXPECT_EQ(stake["design"], "1");
    EXPECT_EQ(stake["note"], "a note");
    EXPECT_EQ(stake["coords"], json::parse("[5040.0, 3030.0, 100.1]"));
    expectNear(stake["differences"], {0.01, -0.01, 0.0});
    // No coordinates and no heights: the file states none.
    EXPECT_EQ(setups[1], json::parse(R"({"station": "5"})"));
    EXPECT_FALSE(setups[2].contains("hi"));
    EXPECT_EQ(setups[2]["backsight"]["point"], "3");
    EXPECT_FALSE(setups[2]["backsight"].contains("bearing"));
    EXPECT_EQ(setups[2]["backsight"]["sd"], json::parse("[0.0, 90.0, 5.0]"));
    // A hair below the full circle; zero to the left stays to the left.
    EXPECT_LT(setups[2]["shots"][0]["angles"][0].get<double>(), 360.0);
    EXPECT_GT(setups[2]["shots"][0]["angles"][0].get<double>(), 359.9999);
    EXPECT_EQ(setups[3]["resection"], json::parse(R"([{"to": "1", "hd": [10.0, 50.0, 1.0], "hr": null}])"));
    EXPECT_FALSE(setups[3].contains("hi"));
    const double left = setups[3]["shots"][0]["sd"][0].get<double>();
    EXPECT_TRUE(left < 0.0 && left > -1e-6) << left;
    EXPECT_EQ(
        job["levelRuns"],
        json::parse(
            R"([{"name": "L1", "start": "X", "readings": [{"point": "X", "bs": 1.0}, {"point": "Y", "fs": 2.0}]}])"));
}

// The sample job's file, and one in feet and gons: what each record states comes back.
TEST(Rw5Reader, TheReadJobHoldsWhatTheRecordsState) {
    json job;
    EXPECT_EQ(warningsOf(hosttest::readFile(hosttest::dataPath("golden/sample_rw5.txt")), &job),
              std::vector<std::string>());
    EXPECT_EQ(job["job"], json::parse(R"({"application": "Field", "version": "2.1", "name": "SAMPLE",
                                          "created": {"date": "4/7/2025", "time": "9:05:03"}})"));
    EXPECT_EQ(job["points"][4], json::parse(R"({"name": "D1", "coords": [4955.0, 10060.0, 100.5], "code": "DESIGN"})"));
    const json& setups = job["setups"];
    ASSERT_EQ(setups.size(), 5U);
    EXPECT_EQ(setups[0]["backsight"], json::parse(R"({"bearing": 180.0, "circle": 0.0, "hr": 1.6})"));
    EXPECT_EQ(setups[0]["shots"][1]["note"], "old oak by the gate");
    EXPECT_EQ(setups[0]["shots"][1]["hr"], 1.5);
    EXPECT_EQ(setups[1]["shots"][3]["codes"], json::parse(R"([{"code": "FENCE", "control": ["END", ""]}])"));
    EXPECT_EQ(setups[2]["stakeouts"][0]["design"], "D1");
    EXPECT_EQ(setups[2]["stakeouts"][0]["coords"], json::parse("[4955.012, 10059.993, 100.49]"));
    EXPECT_EQ(setups[4]["worstResiduals"], json::parse("[0.0, 0.0, 0.0]"));
    // A resection's target heights are not written: unknown.
    EXPECT_EQ(setups[4]["resection"][1]["hr"], nullptr);
    EXPECT_EQ(setups[4]["hi"], 1.58);
    EXPECT_EQ(setups[4]["coords"], json::parse("[4950.0, 10050.0, 100.3]"));  // as the station record states them
    EXPECT_EQ(job["levelRuns"][0]["readings"][1],
              json::parse(R"({"point": "TP1", "fs": 0.9876, "elevation": 100.4445})"));

    // The codes of a measured backsight's known point (as a sight with its codes writes it), a
    // target height of one shot alone, and an unknown field.
    const std::string feet =
        "--F Version 1\r\nJB,NMJ,DT12-31-2025,TM23:59:58\r\nMO,AD0,UN0,SF1.0,EC0,EO0.0,AU1\r\n"
        "SP,PNB,N 100.0000,E 0.0000,EL10.0000,--CP\r\nOC,OPS,N 0.0000,E 0.0000,EL10.0000,--\r\n"
        "LS,HI5.0000,HR6.0000\r\nBK,OPS,BPB,BS0.0000,BC0.0000\r\nBD,OPS,FPB,AR0.00000,ZE100.00000,SD100.0000,--CP \r\n"
        "SS,OPS,FPA,AL10.50000,CE-0.3750,HD20.5000,HR4.0000,XY1,--\r\nFD,OPS,FPC,AL0.00000,ZE100.00000,--\r\n";
    EXPECT_EQ(warningsOf(feet, &job), std::vector<std::string>{"an unknown field \"XY\" is skipped (in.rw5:9:1)"});
    EXPECT_EQ(job["units"], json::parse(R"({"distance": "internationalFeet", "angle": "gons"})"));
    EXPECT_EQ(job["job"]["created"], json::parse(R"({"date": "31/12/2025", "time": "23:59:58"})"));
    const json& s = job["setups"][0];
    EXPECT_NEAR(s["hi"].get<double>(), 1.524, 1e-12);
    EXPECT_EQ(s["backsight"]["point"], "B");
    expectNear(s["backsight"]["sd"], {0.0, 90.0, 30.48});
    expectNear(s["shots"][0]["hd"], {-9.45, 6.2484, -0.1143});
    EXPECT_NEAR(s["shots"][0]["hr"].get<double>(), 1.2192, 1e-12);
    EXPECT_NEAR(s["shots"][1]["hr"].get<double>(), 1.8288, 1e-12);
}

// What the reader skips, each with a warning naming its line; the rest of the file reads.
// A set-up's instrument height is the first one its records state, also when the file writes it
// after the orientation record; a later change within the set-up is warned and not taken.
TEST(Rw5Reader, TheFirstHeightStatedInASetupIsItsHeight) {
    const std::string head =
        "JB,NMJ,DT01-02-2025,TM10:00:00\r\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n"
        "OC,OP1,N 5000.0000,E 3000.0000,EL100.0000,--\r\n";
    const std::string sight = "SS,OP1,FP7,AR30.30000,ZE89.45000,SD52.3456,--\r\n";
    struct Case {
        std::string records;
        json hi;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"LS,HI1.5000,HR1.7000\r\nBK,OP1,BP0,BS0.0000,BC0.0000\r\n" + sight, 1.5, {}},
        {"BK,OP1,BP0,BS0.0000,BC0.0000\r\nLS,HI1.5000,HR1.7000\r\n" + sight, 1.5, {}},
        {"BK,OP1,BP0,BS0.0000,BC0.0000\r\nLS,HI,HR1.7000\r\nLS,HI1.5000\r\n" + sight, 1.5, {}},
        {"LS,HI1.5000,HR1.7000\r\n" + sight + "LS,HI1.6000\r\n" + sight,
         1.5,
         {"the instrument height changes within a set-up; the set-up keeps its first (in.rw5:6:1)"}},
        {"BK,OP1,BP0,BS0.0000,BC0.0000\r\n" + sight, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        json job;
        EXPECT_EQ(warningsOf(head + c.records, &job), c.warnings);
        const json& setup = job["setups"][0];
        EXPECT_EQ(setup.contains("hi") ? setup["hi"] : json(), c.hi);
    }
}

TEST(Rw5Reader, SkippedRecordsAreWarnedAtTheirLine) {
    const std::string head =
        "--F Version 1\r\nJB,NMJ,DT01-02-2025,TM10:00:00\r\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n"
        "OC,OPS,N 1.0000,E 2.0000,EL3.0000,--\r\n";
    const std::string station = "OC,OPT,N 1.0,E 1.0,EL1.0,--\r\n";
    struct Case {
        std::string tail;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"XX,AB1\r\n", {"an unknown record XX is skipped (in.rw5:5:1)"}},
        {"hello\r\n", {"a line that is no RW5 record is skipped (in.rw5:5:1)"}},
        {"MO,AD0,UN1,SF0.9996,EC0,EO0.0,AU0\r\n",
         {"the mode record's SF \"0.9996\" is skipped: a job holds no such setting (in.rw5:5:1)"}},
        {"OF,HD1.0,--Horizontal Distance Offset\r\n",
         {"an offset record (OF) is skipped: a job holds no offset measurements (in.rw5:5:1)"}},
        {"FD,OPS,FPA,SD1.0000,--\r\n--\r\n", {"an empty note line is skipped (in.rw5:6:1)"}},
        {"FD,OPS,FPA,SD1.0000,--\r\n--one\r\n--two\r\n",
         {"a note that belongs to no observation is skipped (in.rw5:7:1)"}},
        {"SP,PNA,N ,E ,EL1.0,--\r\n", {"a stored point without its northing and easting is skipped (in.rw5:5:1)"}},
        {"SP,PNA,N 1.0,E 1.0,EL1.0,--\r\nSP,PNA,N 2.0,E 1.0,EL1.0,--\r\n",
         {"point \"A\" is stored again with other coordinates and is skipped (in.rw5:6:1)"}},
        {"OC,OPT,N 1.0,E ,EL,--\r\n",
         {"a station with a northing or an easting alone is read without coordinates (in.rw5:5:1)"}},
        {"LS,HI1.0\r\nLS,HI2.0\r\n",
         {"the instrument height changes within a set-up; the set-up keeps its first (in.rw5:6:1)"}},
        {"BK,OPS,BPA,BS0,BC0\r\nBD,OPS,BPA,SD1\r\nBR,OPS,BPA,SD1\r\n",
         {"a second measurement of the backsight (its other face) is skipped: a job holds one a backsight "
          "(in.rw5:7:1)"}},
        {"BK,OPS,BPA,BS0,BC0\r\nBD,OPS,BPQ,SD1\r\n",
         {"a backsight observation to \"Q\" that follows no backsight record to it is skipped (in.rw5:6:1)"}},
        {"BD,OPS,BPA,SD1,--fence\r\n",
         {"the note field \"fence\" of a backsight observation is skipped: a job keeps a point's codes and note with "
          "the known point (in.rw5:5:1)"}},
        {"FD,OPS,FPA,AR1,ZE90,SD2,--A B C\r\nSP,PNA,N 1.0,E 1.0,EL1.0,--Stake D: dN 0 dE 0 dH 0\r\n",
         {"a stake-out carries one code without control codes: \"A B C\" is read as the code \"A\" (in.rw5:6:1)"}},
        {"RS,PNA,CR1.0,ZE90\r\n" + station,
         {"a resection observation without zenith and slope distance (or height difference and horizontal distance) "
          "is skipped (in.rw5:5:1)"}},
        {"RS,PNA,CR1.0,ZE90,SD5\r\n--Horizontal Angle Worst Residual: 0.00010\r\n" + station,
         {"worst-residual notes without all three of horizontal angle, zenith and slope distance are skipped "
          "(in.rw5:6:1)"}},
        {"RS,PNA,CR1.0,ZE90,SD5\r\n", {"a resection without its station record is skipped (in.rw5:5:1)"}},
        {"RS,PNA,CR1.0,ZE90,SD5\r\nFD,OPS,FPA,SD1\r\n" + station,
         {"an observation outside a set-up (before its station record) is skipped (in.rw5:6:1)"}},
        {"FD,OPS,FPA,SD1.0,XY1\r\nFD,OPS,FPB,SD1.0,XY2,ZZ3\r\n",
         {"an unknown field \"XY\" is skipped in 2 records, the first here (in.rw5:5:1)",
          "an unknown field \"ZZ\" is skipped (in.rw5:6:1)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        json job;
        EXPECT_EQ(warningsOf(head + c.tail, &job), c.warnings);
        EXPECT_EQ(job["setups"][0]["station"], "S");
    }
}

TEST(Rw5Reader, AMalformedRecordIsAnErrorNamingLineAndColumn) {
    const std::string head =
        "--F Version 1\r\nJB,NMJ,DT01-02-2025,TM10:00:00\r\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n"
        "OC,OPS,N 1.0000,E 2.0000,EL3.0000,--\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {head + "LS,HI1.5x00,HR1.0\r\n", "in.rw5:5:6: expected a number after HI, found \"1.5x00\""},
        {head + "OC,OPT,N 1.0,E 2.0\r\n", "in.rw5:5:19: record cut short: no EL field"},
        {head + "FD,OPS,FPA,S\r\n", "in.rw5:5:12: a field cut short: no two-letter tag"},
        {head + "FD,OPS,FPA,--X \r\n", "in.rw5:5:16: the measurement fields make no measurement"},
        {head + "FD,OPS,FPA,AR,ZE90.00000,SD1.0\r\n", "in.rw5:5:12: the measurement fields make no measurement"},
        {head + "FD,OPS\r\n", "in.rw5:5:3: expected the station (OP) and the target (FP)"},
        {head + "BK,OPS,BPA,BS1.0,BC-\r\n", "in.rw5:5:20: expected a number after BC, found \"-\""},
        {head + "BK,OPS,BPA,BS,BC0\r\n", "in.rw5:5:14: the BS field has no value"},
        {head + "MO,AD0,UN0\r\n",
         "in.rw5:5:10: the units change after the first points or set-ups; a job has one set of units"},
        {"JB,NMJ,DT2025-01-02\r\n", "in.rw5:1:10: expected a date MM-DD-YYYY"},
        {"JB,NMJ,DT01-02-2025,TM10:00\r\n", "in.rw5:1:23: expected a time hh:mm:ss"},
        {"MO,AD0,UN3\r\n", "in.rw5:1:10: expected the distance unit 0, 1 or 2"},
        {"MO,AD0,AU2\r\n", "in.rw5:1:10: expected the angle unit 0 or 1"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text.substr(text.rfind('\n', text.size() - 2) + 1));
        try {
            readRaw("rw5", text);
            ADD_FAILURE() << "no error";
        } catch (const exportgen::HostError& e) {
            EXPECT_EQ(std::string(e.what()), error);
            EXPECT_EQ(e.code(), exportgen::kExitJson);
        }
    }
}

// An RB-mode file (backsight "RB" with its target height, observations "OB") reads as the job
// its plain twin does, and either is told for RW5 by its content.
TEST(Rw5Reader, RbModeReadsAsThePlainRecords) {
    const std::string plain = hosttest::readFile(hosttest::dataPath("golden/rw5_setup.rw5"));
    const std::string rb = hosttest::readFile(hosttest::dataPath("golden/rw5_setup_rb.rw5"));
    json plainJob, rbJob;
    const std::vector<std::string> expected = {
        "an offset record (OF) is skipped: a job holds no offset measurements (in.rw5:12:1)",
        "a note that belongs to no observation is skipped (in.rw5:14:1)"};
    EXPECT_EQ(warningsOf(plain, &plainJob), expected);
    EXPECT_EQ(warningsOf(rb, &rbJob), expected);
    EXPECT_EQ(rbJob, plainJob);
    EXPECT_EQ(plainJob["setups"][0]["backsight"],
              json::parse(R"({"point": "2", "bearing": 45.0, "circle": 0.0, "hr": 1.7, "sd": [0.0, 90.5, 141.4214]})"));
    EXPECT_EQ(plainJob["points"][0], json::parse(R"({"name": "9", "coords": [5010.5, 2990.25, 100.125], "code": "wall",
                                                     "note": "corner"})"));
    for (const std::string& file : {plain, rb}) {
        const hosttest::Result read = run({"read", hosttest::memoryFile("rw5_reader/setup.txt", file)});
        EXPECT_EQ(read.code, 0) << read.err;
    }
}

}  // namespace
