// The SDR reader: what each record reads as in the job (the file's own figures recorded, what
// it leaves blank absent), what it skips with a warning naming the line and what it refuses with
// line and column. Whole jobs written, read and written again are round_trip_test.cpp's; the
// table here keeps the jobs whose records those do not hold.
#include "readers/sdr_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/problems.h"
#include "base/text.h"
#include "host/host_test_support.h"
#include "job/builder.h"

namespace {

using nlohmann::json;

const char* const kNow = "2026-01-01T00:00:00";

// A name right-aligned in its 16-character field; a value or a code left-aligned in one.
std::string name(const std::string& text) { return std::string(16 - text.size(), ' ') + text; }
std::string value(const std::string& text) { return text + std::string(16 - text.size(), ' '); }

// SDR lines ended as the writer ends them.
std::string sdrText(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

const std::string kStation =
    "02NM" + name("S1") + value("5000.0000") + value("3000.0000") + value("100.0000") + value("1.5000") + value("");
const std::string kShot = "09F1" + name("S1") + name("P1") + value("25.0000") + value("90.000000") + value("10.000000");
const std::string kHeight = "03NM" + value("1.5000");

std::string backsightTo(const std::string& point, const char* bearing = "45.000000", const char* circle = "10.000000") {
    return "07TP" + name("S1") + name(point) + value(bearing) + value(circle);
}
std::string sightTo(const std::string& point) {
    return "09F1" + name("S1") + name(point) + value("100.0000") + value("90.000000") + value("10.000000");
}

// An observation of 25 m to P1 at a zenith and a horizontal angle written as given.
std::string sightOf(const char* zenith, const char* horizontal) {
    return "09F1" + name("S1") + name("P1") + value("25.0000") + value(zenith) + value(horizontal);
}

// The units the files here are written in, stated as --input-units (SDR does not state them).
const char* const kMetric = "metres,decimalDegrees";

// What `exportgen read` makes of the SDR file `text` named "in.sdr", with its warnings about the
// file ("what (in.sdr:LINE:COLUMN)"), its units stated as `units` (none when empty). Written to
// a file, the job is read once.
json readSdr(const std::string& text, std::vector<std::string>& warnings, const std::string& units = kMetric) {
    const std::string out = hosttest::freshDirectory("sdr-reader") + "/job.json";
    std::vector<std::string> args{"read", hosttest::memoryFile("in.sdr", text), "-o", out};
    if (!units.empty()) args.insert(args.end(), {"--input-units", units});
    const hosttest::Result result = hosttest::run(args);
    EXPECT_EQ(result.code, 0) << result.err;
    std::istringstream lines(result.err);
    const std::string head = "exportgen: warning: input: ";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(head, 0) == 0) warnings.push_back(line.substr(head.size()));
    }
    return json::parse(hosttest::readFile(out));
}

// Every number within a part in 1e9 of the other's, every other value equal.
bool near(const json& read, const json& expected) {
    if (read.is_number() && expected.is_number()) {
        const double a = read.get<double>(), b = expected.get<double>();
        return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
    }
    if (read.type() != expected.type() || read.size() != expected.size()) return false;
    if (read.is_array()) {
        for (std::size_t i = 0; i < read.size(); ++i) {
            if (!near(read[i], expected[i])) return false;
        }
        return true;
    }
    if (read.is_object()) {
        for (const auto& [key, item] : expected.items()) {
            if (!read.contains(key) || !near(read[key], item)) return false;
        }
        return true;
    }
    return read == expected;
}

// A member the read job must not hold.
const json kAbsent = json(json::value_t::discarded);

struct Reads {
    const char* what;
    std::string text;
    std::vector<std::pair<const char*, json>> expected;  ///< JSON pointer into the read job, and its value
    std::vector<std::string> warnings;
    const char* units = kMetric;  ///< stated as --input-units; empty: the file's, or the reader's guess
};

void PrintTo(const Reads& c, std::ostream* out) { *out << c.what; }

std::vector<Reads> readCases() {
    const std::string padded = "13NM" + std::string("a note padded to its field") + std::string(34, ' ');
    const std::string level =
        "63LV" + name("BM9") + value("1.4321") + value("30.0000") + name("") + "    1    1    0" + value("13.7777");
    return {
        {"a measurement to the backsight with the check notes booked after it",
         sdrText({kStation, kHeight, backsightTo("P9"), sightTo("P9"),
                  "13NMBS check S1 - P9:ZE90.00000,SD100.0000,HD err= 0.0010,VD err= 0.0000",
                  "13NMBS Circle Check : horizontal angular err= 0.00010, vertical angular err= 0.00000", kShot}),
         {{"/setups/0/backsight", json::parse(R"({"point": "P9", "bearing": 45, "circle": 10, "hr": 1.5,
                                                  "sd": [10, 90, 100]})")},
          {"/setups/0/shots", json::parse(R"([{"to": "P1", "sd": [10, 90, 25], "hr": 1.5}])")}},
         {"a backsight check note, which the job has no place for, skipped (in.sdr:5:1)",
          "a backsight check note, which the job has no place for, skipped (in.sdr:6:1)"}},
        {"shots to the backsight point right after the orientation record: a code of their own, a note",
         sdrText({kStation, backsightTo("P9"), sightTo("P9") + value("TREE"), backsightTo("P8"), sightTo("P8"),
                  "13NMcheck"}),
         {{"/setups/0/backsight/sd", kAbsent},
          {"/setups/0/reorientations/0/sd", kAbsent},
          {"/setups/0/shots", json::parse(R"([{"to": "P9", "sd": [10, 90, 100], "hr": null, "code": "TREE"},
                                              {"to": "P8", "sd": [10, 90, 100], "hr": null, "note": "check"}])")}},
         {}},
        {"a measurement to a backsight by bearing, under its generated name",
         sdrText({kStation, backsightTo("#BS1"), sightTo("#BS1")}),
         {{"/setups/0/backsight", json::parse(R"({"bearing": 45, "circle": 10, "hr": null, "sd": [10, 90, 100]})")},
          {"/setups/0/shots", kAbsent}},
         {}},
        {"an orientation record after a shot orients the shots after it",
         sdrText({kStation, backsightTo("P9"), kShot, backsightTo("P8", "90.000000", ""), kShot}),
         {{"/setups/0/reorientations",
           json::parse(R"([{"point": "P8", "bearing": 90, "circle": null, "hr": null, "fromShot": 1}])")}},
         {}},
        {"a station record of blank fields, a blank target height, an observation of blank values",
         sdrText({"02NM" + name("S1") + value("") + value("") + value("") + value("") + value(""), "03NM" + value(""),
                  "09F2" + name("S1") + name("P1") + value("") + value("") + value("") + value("")}),
         {{"/setups/0", json::parse(R"({"station": "S1", "shots": [{"to": "P1", "measured": false, "hr": null}]})")}},
         {}},
        {"a note padded to its field and the same note stripped",
         sdrText({kStation, kShot, padded, kShot, padded.substr(0, 30)}),
         {{"/setups/0/shots/0/note", "a note padded to its field"},
          {"/setups/0/shots/1/note", "a note padded to its field"}},
         {}},
        {"the generator's header: program, job and mode lines",
         sdrText({"13NMField Version 2.1", "JB,NMJOB 7,DT07-04-2025,TM09:05:03", "MO,AD0,UN2,SF1.0,EC0,EO0.0,AU1",
                  kStation, kShot}),
         {{"/job", json::parse(R"({"application": "Field", "version": "2.1", "name": "JOB 7",
                                   "created": {"date": "4/7/2025", "time": "9:05:03"}})")},
          {"/units", json::parse(R"({"distance": "usSurveyFeet", "angle": "gons"})")},
          // 25 US survey feet, and 90 and 10 gons.
          {"/setups/0/shots/0/sd", json::array({9.0, 81.0, 25 * 1200.0 / 3937.0})}},
         {},
         ""},
        // Angles of 8 decimals: decimal degrees, gons or mils, told apart by their ranges.
        // The guess is named in a warning, with what it was made from.
        {"angles of 8 decimals near 90",
         sdrText({kStation, sightOf("90.00000000", "10.00000000")}),
         {{"/units/angle", "decimalDegrees"}, {"/setups/0/shots/0/sd", json::array({10, 90, 25})}},
         {"the file states no units: distances are read as metres and angles as degrees, which the zeniths of "
          "most sights (near 90 degrees) suggest; --input-units DIST,ANGLE states them (these are "
          "metres,decimalDegrees) (in.sdr:1:1)"},
         ""},
        {"angles of 8 decimals near 100",
         sdrText({kStation, sightOf("100.00000000", "10.00000000")}),
         {{"/units/angle", "gons"}, {"/setups/0/shots/0/sd", json::array({9, 90, 25})}},
         {"the file states no units: distances are read as metres and angles as gons, which the zeniths of most "
          "sights (near 100 gons) suggest; --input-units DIST,ANGLE states them (these are metres,gons) "
          "(in.sdr:1:1)"},
         ""},
        {"angles of 8 decimals beyond 400",
         sdrText({kStation, sightOf("1600.00000000", "160.00000000")}),
         {{"/units/angle", "mils"}, {"/setups/0/shots/0/sd", json::array({9, 90, 25})}},
         {"the file states no units: distances are read as metres and angles as mils, which the zeniths of most "
          "sights (near 1600 mils) suggest; --input-units DIST,ANGLE states them (these are metres,mils) "
          "(in.sdr:1:1)"},
         ""},
        {"stored points: another derivation code, one in plan only, one without a name",
         sdrText({"08KI" + name("P1") + value("5000.0000") + value("3000.0000") + value("100.0000") + value("CP"),
                  "08TP" + name("P2") + value("5010.0000") + value("3010.0000") + value(""),
                  "08TP" + value("5020.0000") + value("3020.0000") + value("101.0000"), kStation}),
         {{"/points", json::parse(R"([{"name": "P1", "coords": [5000, 3000, 100], "code": "CP"},
                                      {"name": "P2", "coords": [5010, 3010]}])")}},
         {"coordinate record \"08KI\" is read as \"08TP\" (in.sdr:1:1)",
          "a coordinate record without a point name, skipped (in.sdr:3:1)"}},
        {"a level run from a point the job does not store: the height the start record books",
         sdrText({"13NMLevel Run: R2", "61LV" + value("BM9") + value("NOTE") + value("12.3456"),
                  "62LV    1" + name("BM9") + "    0", level}),
         {{"/levelRuns/0", json::parse(R"({"name": "R2", "start": "BM9", "elevation": 12.3456,
                                           "readings": [{"point": "BM9", "bs": 1.4321, "dist": 30, "hi": 13.7777}]})")}},
         {"the text \"NOTE\" of the level run's starting point is not kept (in.sdr:2:1)"}},
        {"a stake-out whose differences and coordinates the file leaves blank; a cut too small to show",
         sdrText({kStation,
                  "09F1" + name("S1") + name("SO1") + value("10.0000") + value("90.000000") + value("45.000000"),
                  "13SOPt SO1      Design ID D1", "13SOCut  North           East           ", "08TP" + name("SO1"),
                  "09F1" + name("S1") + name("SO2") + value("10.0000") + value("90.000000") + value("46.000000"),
                  "13SOPt SO2      Design ID D1", "13SOCut 0.0000 North          0.0120 East           -0.0070"}),
         {{"/setups/0/stakeouts/0/differences", kAbsent},
          {"/setups/0/stakeouts/0/coords", kAbsent},
          {"/setups/0/stakeouts/1/differences", json::array({0.012, -0.007, 1e-9})}},
         {}},
        // Skipped, with the set-up around still read.
        {"records of other kinds",
         sdrText({"00NMSDR33 V04-04.02", kStation, "09MC" + kShot.substr(4), "OF,AR0.0000"}),
         {{"/setups/0/station", "S1"}},
         {"record \"00NM\" is not read (in.sdr:1:1)", "record \"09MC\" is not read (in.sdr:3:1)",
          "record \"OF\" is not read (in.sdr:4:1)"}},
        {"notes with no place in the job",
         sdrText(
             {"13NMField Version 2.1", "13NMa job note", kStation, kShot, "13NMfirst", "13NMsecond", "13GOgo note"}),
         {{"/setups/0/shots/0/note", "first"}},
         {"a note the job has no place for, skipped (in.sdr:2:1)",
          "a note the job has no place for, skipped (in.sdr:6:1)",
          "a \"13GO\" note, which the job has no place for, skipped (in.sdr:7:1)"}},
        {"notes and records before what they belong to",
         sdrText({backsightTo("P9"), kShot, level, kStation, "13ATSPECIES             oak",
                  "13FCA-LONG-CODE-OF-NOTHING", "13SOPt SO1      Design ID D1",
                  "13SOFill 0.0100 North          0.0120 East  -0.0070"}),
         {{"/setups/0/station", "S1"}},
         {"a level reading before any level run, skipped (in.sdr:3:1)",
          "a backsight before any station record, skipped (in.sdr:1:1)",
          "an observation before any station record, skipped (in.sdr:2:1)",
          "an attribute note that follows no observation, skipped (in.sdr:5:1)",
          "a feature-code note that follows no observation, skipped (in.sdr:6:1)",
          "a stake-out note that follows no staked observation with angles and a slope distance, skipped (in.sdr:7:1)",
          "a stake-out note that follows no staked observation, skipped (in.sdr:8:1)"}},
        {"an observation of a distance and a direction without a zenith",
         sdrText({kStation, "09F1" + name("S1") + name("P1") + value("25.0000") + value("") + value("10.000000")}),
         {{"/setups/0/shots", kAbsent}},
         {"an observation whose measured values the job cannot hold, skipped (in.sdr:2:1)"}},
    };
}

class SdrReads : public testing::TestWithParam<Reads> {};

TEST_P(SdrReads, WhatTheFileStatesAndNothingElse) {
    const Reads& c = GetParam();
    std::vector<std::string> warnings;
    const json job = readSdr(c.text, warnings, c.units);
    EXPECT_EQ(warnings, c.warnings);
    for (const auto& [pointer, expected] : c.expected) {
        const json::json_pointer at(pointer);
        if (expected.is_discarded()) {
            EXPECT_FALSE(job.contains(at)) << pointer << ": " << job.dump();
        } else {
            ASSERT_TRUE(job.contains(at)) << pointer << ": " << job.dump();
            EXPECT_TRUE(near(job[at], expected))
                << pointer << ": " << job[at].dump() << "\nexpected " << expected.dump();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SdrReads, testing::ValuesIn(readCases()),
                         [](const testing::TestParamInfo<Reads>& paramInfo) {
                             return "row" + std::to_string(paramInfo.index);
                         });

// The built-in job's file: every figure as its records state it, the measurement to the
// backsight point kept with the orientation record and not as a shot.
TEST(SdrReader, TheSampleFileReadsAsItsRecordsStateIt) {
    const hosttest::Result written = hosttest::run({"convert", "-f", "sdr", "--now", kNow, "--quiet"});
    ASSERT_EQ(written.code, 0) << written.err;
    std::vector<std::string> warnings;
    const json job = readSdr(written.out, warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{});
    EXPECT_EQ(job["job"], json::parse(R"({"application": "Field", "version": "2.1", "name": ""})"));
    const json& setups = job["setups"];
    ASSERT_EQ(setups.size(), 5U);
    // By bearing (the generated "#BS1" names no point), and to a point with the bearing the file states.
    EXPECT_EQ(setups[0]["backsight"], json::parse(R"({"bearing": 180.0, "circle": 0.0, "hr": 1.6})"));
    EXPECT_EQ(
        setups[1]["backsight"],
        json::parse(R"({"point": "1", "bearing": 270.0, "circle": 0.0, "hr": 1.6, "sd": [0.0, 90.572939, 120.006]})"));
    EXPECT_EQ(setups[1]["shots"].size(), 4U);
    // A traverse's foresight, a side shot with attributes and a note, the whole code of a "13FC" note.
    EXPECT_EQ(setups[0]["shots"][0].value("fs", false), true);
    EXPECT_EQ(setups[0]["shots"][1], json::parse(R"({"to": "101", "sd": [210.0, 89.213637, 25.5024], "hr": 1.5,
        "codes": [{"code": "TREE", "attributes": [["SPECIES", "oak"], ["GIRTH", "1.20"]]}], "note": "old oak by the gate"})"));
    EXPECT_EQ(setups[2]["shots"][1]["code"], "MANHOLE-COVER-LARGE-TYPE-B");
    // The stake-out's booked coordinates and differences (a fill of 0.0100: the staked point below).
    EXPECT_EQ(setups[2]["stakeouts"][0]["coords"], json::parse("[4955.012, 10059.993, 100.49]"));
    EXPECT_EQ(setups[2]["stakeouts"][0]["differences"], json::parse("[0.012, -0.007, -0.01]"));
    // The free station as its record places it, with the residuals its resection booked.
    EXPECT_EQ(setups[4]["coords"], json::parse("[4950.0, 10050.0, 100.3]"));
    ASSERT_EQ(setups[4]["resection"].size(), 3U);
    EXPECT_EQ(setups[4]["resection"][2],
              json::parse(R"({"to": "3", "sd": [82.244881, 89.630458, 80.6243], "hr": 1.6, "residual": [0, 0, 0]})"));
    EXPECT_EQ(job["levelRuns"][0]["readings"][1],
              json::parse(R"({"point": "TP1", "fs": 0.9876, "dist": 29.5, "elevation": 100.4445, "rise": 0.4445})"));
}

// Jobs whose records the shared round trip's jobs do not hold: a known point's long code with
// attributes, which only the measurement to it as backsight carries whole, and a staked point's
// long name; an unplaced station, a shot not measured and an unknown target height; a
// re-orientation; a level run from a point of unknown height.
TEST(SdrReader, TheseJobsWriteTheSameBytesAgain) {
    const std::string jobs[] = {
        R"({"points": [{"name": "BS1", "coords": [1000, 2100, 100],
"codes": [{"code": "CONTROL-POINT-LONG-CODE", "attributes": [["TYPE", "iron pin"], ["SET", ""], ["BY", "  "]]}]},
{"name": "D7", "coords": [1010, 2010, 101]}],
"setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5,
"backsight": {"point": "BS1", "hr": 1.3, "sd": [0, 90, 100]},
"stakeouts": [{"design": "D7", "to": "STAKED-POINT-NUMBER-7", "sd": [45, 90, 14.1421], "hr": 1.3}]}]})",
        R"({"setups": [{"station": "FREE", "shots": [{"to": "P1", "measured": false, "hr": null},
{"to": "P2", "sd": [10, 90, 25], "hr": 1.5}]},
{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "backsight": {"point": "FREE", "circle": 0, "hr": 1.6},
"shots": [{"to": "P3", "sd": [10, 90, 25]}, {"to": "P4", "sd": [20, 90, 25]}],
"reorientations": [{"bearing": 90, "circle": 10, "fromShot": 1}]}]})",
        R"({"points": [{"name": "BM", "coords": [0, 0, 12.3456]}], "setups": [],
"levelRuns": [{"name": "RUN 2", "start": "T9", "readings": [{"point": "T9", "bs": 1.2345},
{"point": "T1", "fs": 2.3456, "dist": 20, "code": "PEG"}, {"point": "T1", "bs": 0.5}, {"point": "BM", "fs": 1.1}]}]})",
    };
    int count = 0;
    for (const std::string& job : jobs) {
        const std::string path = hosttest::memoryFile("sdr-reader/job" + std::to_string(++count) + ".json", job);
        const hosttest::Result first = hosttest::run({"convert", path, "-f", "sdr", "--now", kNow, "--quiet"});
        ASSERT_EQ(first.code, 0) << first.err;
        std::vector<std::string> warnings;
        const std::string read = hosttest::readRaw("sdr", first.out, &warnings, kMetric);
        EXPECT_EQ(warnings, std::vector<std::string>{}) << "job " << count;
        const std::string again = hosttest::memoryFile("sdr-reader/read" + std::to_string(count) + ".json", read);
        const hosttest::Result second = hosttest::run({"convert", again, "-f", "sdr", "--now", kNow, "--quiet"});
        ASSERT_EQ(second.code, 0) << second.err << "\nthe read job: " << read;
        EXPECT_EQ(second.out, first.out) << "job " << count << ", the read job: " << read;
    }
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
         sdrText({kStation, "09F1" + name("S1") + name("P1") + value("25.00x0") + value("90.000000")}),
         "in.sdr:2:37: \"25.00x0\" is not a number (a slope distance)"},
        {"a zenith in another notation",
         sdrText({kStation, "09F1" + name("S1") + name("P1") + value("25.0000") + value("9.0E+01")}),
         "in.sdr:2:53: \"9.0E+01\" is not a number (a zenith angle)"},
        {"a station without a name", sdrText({"02NM" + name("") + value("5000.0000")}),
         "in.sdr:1:5: expected the station's name"},
        {"a stored point with a northing and no easting", sdrText({"08TP" + name("P1") + value("5000.0000")}),
         "in.sdr:1:37: expected the point's easting"},
        {"an observation without its target", sdrText({kStation, "09F1" + name("S1")}),
         "in.sdr:2:21: expected the target's name"},
        {"a stake-out note without its design point",
         sdrText({kStation,
                  "09F1" + name("S1") + name("SO1") + value("75.0128") + value("90.007638") + value("306.874022"),
                  "13SOPt SO1 D1"}),
         "in.sdr:3:8: expected the staked point's name and \"Design ID\" with the design point"},
        {"a residual that is not a number",
         sdrText({kStation, kShot, "13NMResidual N:0.0010", "13NMResidual E:n/a", "13NMResidual H:0.0000"}),
         "in.sdr:4:16: expected a residual, found \"n/a\""},
        {"a level reading without its rod reading", sdrText({"62LV    1" + name("1") + "    0", "63LV" + name("1")}),
         "in.sdr:2:21: expected a rod reading"},
        {"a job line whose date is no date", sdrText({"JB,NMJOB,DT2025-07-04", kStation}),
         "in.sdr:1:12: expected a date MM-DD-YYYY"},
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

// Lines ended by "\n" alone and stripped of their trailing blanks, a byte-order mark, blank
// lines and the end-of-file character some programs close a file with read as the writer's own.
TEST(SdrReader, LineEndsTrailingBlanksAndAByteOrderMarkDoNotMatter) {
    const std::string sdr = hosttest::run({"convert", "-f", "sdr", "--now", kNow, "--quiet"}).out;
    std::string other = "\xEF\xBB\xBF";
    for (std::size_t at = 0; at < sdr.size();) {
        const std::size_t end = sdr.find("\r\n", at);
        const std::string line = sdr.substr(at, end - at);
        other += line.substr(0, line.find_last_not_of(' ') + 1) + "\n\n";
        at = end + 2;
    }
    other += "\x1a";
    EXPECT_EQ(hosttest::readRaw("sdr", other), hosttest::readRaw("sdr", sdr));
}

// The generator's own header does not hide the format: a file without a suffix that says what
// it holds is read as SDR.
TEST(SdrReader, AFileWithTheGeneratorsHeaderIsKnownByItsContent) {
    const std::string path =
        hosttest::memoryFile("sdr-reader/field", sdrText({"13NMField Version 2.1", "JB,NMJOB 7,DT07-04-2025,TM09:05:03",
                                                          "MO,AD0,UN1,SF1.0,EC0,EO0.0,AU0", kStation, kShot}));
    const hosttest::Result result = hosttest::run({"read", path});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(json::parse(result.out)["job"]["name"], "JOB 7");
}

// Each set-up goes on as soon as it is complete: the first is handed on before the reader meets
// the damaged record of the second.
TEST(SdrReader, SetUpsAreHandedOnAsTheyAreRead) {
    struct Listener : exportgen::JobListener {
        std::vector<std::string> stations;
        void header(exportgen::JobBuilder&) override {}
        void setup(exportgen::Setup& setup) override { stations.push_back(exportgen::utf8(setup.station)); }
        void end(const exportgen::Job&) override {}
        void warning(const char*, const std::string&, const exportgen::Place&, const std::string&) override {}
    } listener;
    exportgen::JobBuilder builder(exportgen::BuildOptions{}, listener);
    const std::string text =
        sdrText({kStation, kShot, "02NM" + name("S2"), "09F1" + name("S2") + name("P2") + value("2x")});
    exportgen::RawInput input(text, "in.sdr", nullptr);
    EXPECT_THROW(exportgen::buildSdr(input, builder), exportgen::HostError);
    EXPECT_EQ(listener.stations, std::vector<std::string>{"S1"});
}

// What placement says of the read job is named at the raw file's line: here a backsight point
// that the file never places.
TEST(SdrReader, AWarningAboutTheReadJobNamesTheRawFilesLine) {
    const std::string dir = hosttest::freshDirectory("sdr-reader-errors");
    hosttest::writeFile(dir + "/field.sdr", sdrText({kStation, kHeight, backsightTo("S9", "", "0.00000000")}));
    const auto result = hosttest::run({"convert", dir + "/field.sdr", "-f", "rw5"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.err.find("backsight point \"S9\" is neither a known point nor a placed station: the set-up at "
                              "\"S1\" has no bearing from it (" +
                              dir + "/field.sdr:3:"),
              std::string::npos)
        << result.err;
}

}  // namespace
