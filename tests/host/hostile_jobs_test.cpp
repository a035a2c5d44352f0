// Jobs that hold what a format cannot carry: a character its record grammar reserves is an
// error naming the JSON path (or, with --sanitize, replaced and reported), and whatever a format
// loses on the way (a cut name, two names made one, a measurement without a record, a unit, a
// value too wide for its field) is a warning on stderr; --strict makes it an error, --quiet
// silences it.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;

// A job of one set-up at S1 whose shots are `shots` (a JSON list), with `head` members ahead.
std::string job(const std::string& shots, const std::string& head = "") {
    return "{" + head +
           R"("setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "backsight": {"bearing": 0},
"shots": )" +
           shots + "}]}";
}

struct Hostile {
    const char* what;
    std::string job;
    const char* format;
    std::vector<std::string> options;
    int code;
    const char* err;                 ///< a line (or part of one) stderr must hold; "" for an empty stderr
    const char* out = "";            ///< a text the output must hold
    const char* notInOut = nullptr;  ///< a text the output must not hold
};

const std::string kShot = R"({"to": "P1", "sd": [10, 90, 25], "hr": 1.7})";

std::vector<Hostile> hostileJobs() {
    return {
        // Reserved characters: errors with the path, line and column.
        {"comma in a target name, RW5",
         job(R"([{"to": "A,1", "sd": [10, 90, 25]}])"),
         "rw5",
         {},
         exportgen::kExitJob,
         "job.json:2:18: $.setups[0].shots[0].to: point name \"A,1\" holds ',', which rw5 cannot carry there"},
        {"comma in a known point's name, Quolt/Pashk",
         job("[]", R"("points": [{"name": "P", "coords": [0, 0, 0]}, {"name": "B,2", "coords": [1, 1, 1]}],)"),
         "quoltpashk",
         {},
         exportgen::kExitJob,
         "$.points[1].name: point name \"B,2\" holds ',', which quoltpashk cannot carry there"},
        {"comma in a code, RW5",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "code": "KERB,LEFT"}])"),
         "rw5",
         {},
         exportgen::kExitJob,
         "$.setups[0].shots[0].code: code \"KERB,LEFT\" holds ','"},
        {"comma in a code of a list, Quolt/Pashk",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "codes": [{"code": "KERB,LEFT"}]}])"),
         "quoltpashk",
         {},
         exportgen::kExitJob,
         "$.setups[0].shots[0].codes[0].code: code \"KERB,LEFT\" holds ','"},
        {"comma in an attribute value, RW5",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "codes": [{"code": "TREE", "attributes": [["SPECIES", "oak,old"]]}]}])"),
         "rw5",
         {},
         exportgen::kExitJob,
         "$.setups[0].shots[0].codes[0].attributes[0][1]: attribute \"oak,old\" holds ','"},
        {"line break in a note, RW5",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "note": "two\nlines"}])"),
         "rw5",
         {},
         exportgen::kExitJob,
         "$.setups[0].shots[0].note: note \"two\\nlines\" holds U+000A (line feed), which rw5 cannot carry there"},
        {"line break in a note, SDR",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "note": "two\nlines"}])"),
         "sdr",
         {},
         exportgen::kExitJob,
         "$.setups[0].shots[0].note: note \"two\\nlines\" holds U+000A (line feed)"},
        {"line break in a set-up note, Quolt/Pashk",
         R"({"setups": [{"station": "S1", "coords": [0, 0, 0], "hi": 1, "note": "a\r\nb"}]})",
         "quoltpashk",
         {},
         exportgen::kExitJob,
         "$.setups[0].note: note \"a\\r\\nb\" holds U+000D (carriage return)"},
        {"tab in a station name, Vemra",
         R"({"setups": [{"station": "S\t1", "coords": [0, 0, 0], "hi": 1}]})",
         "vemra",
         {},
         exportgen::kExitJob,
         "$.setups[0].station: point name \"S\\t1\" holds U+0009 (tab)"},
        {"underscore in the job name, Vemra",
         job("[]", R"("job": {"name": "ROAD_7"},)"),
         "vemra",
         {},
         exportgen::kExitJob,
         "$.job.name: text \"ROAD_7\" holds '_', which vemra cannot carry there"},
        {"comma in a level point's name, RW5",
         job("[]", R"("points": [{"name": "BM", "coords": [0, 0, 10]}], "levelRuns": [{"name": "L", "start": "BM",
"readings": [{"point": "BM", "bs": 1.2}, {"point": "T,1", "fs": 1.1}]}],)"),
         "rw5",
         {},
         exportgen::kExitJob,
         "$.levelRuns[0].readings[1].point: point name \"T,1\" holds ','"},
        {"a comma is only reserved where the grammar separates: SDR names",
         job(R"([{"to": "A,1", "sd": [10, 90, 25]}])"),
         "sdr",
         {},
         exportgen::kExitOk,
         "",
         "A,1"},
        {"an RW5 note is the record's last field and may hold commas",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "note": "fence, broken"}])"),
         "rw5",
         {},
         exportgen::kExitOk,
         "",
         "--fence, broken"},

        // --sanitize: a blank in place of each reserved character, each replacement a warning.
        {"--sanitize replaces the comma of a name",
         job(R"([{"to": "A,1", "sd": [10, 90, 25]}])"),
         "rw5",
         {"--sanitize"},
         exportgen::kExitOk,
         "exportgen: warning: rw5: replaced ',' in point name \"A,1\" by a blank ($.setups[0].shots[0].to)\n",
         "FPA 1,",
         "A,1"},
        {"--sanitize replaces each line break of a note",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "note": "a\nb\nc"}])"),
         "sdr",
         {"--sanitize"},
         exportgen::kExitOk,
         "exportgen: warning: sdr: replaced U+000A (line feed) in note \"a\\nb\\nc\" by a blank "
         "($.setups[0].shots[0].note)\nexportgen: warning: sdr: replaced U+000A",
         "a b c"},
        {"--sanitize --strict: a replacement is an error",
         job(R"([{"to": "P1", "sd": [10, 90, 25], "code": "KERB,LEFT"}])"),
         "quoltpashk",
         {"--sanitize", "--strict"},
         exportgen::kExitStrict,
         "job.json:2:52: $.setups[0].shots[0].code: quoltpashk: replaced ',' in code \"KERB,LEFT\" by a blank"},

        // Names a format changes.
        {"Vemra: two names cut to 8 characters become one",
         job(R"([{"to": "KERB_NORTH_0001", "sd": [10, 90, 25]}, {"to": "KERB_NORTH_0002", "sd": [11, 90, 25]}])"),
         "vemra",
         {},
         exportgen::kExitOk,
         "exportgen: warning: vemra: names \"KERB_NORTH_0001\" and \"KERB_NORTH_0002\" are both written as "
         "\"KERBNOR\" ($.setups[0].shots[1])\n"},
        {"Vemra: a long name is reported cut",
         job(R"([{"to": "BOUNDARY12", "sd": [10, 90, 25]}])"),
         "apasima",
         {},
         exportgen::kExitOk,
         "exportgen: warning: apasima: name \"BOUNDARY12\" is cut to 8 characters: \"BOUNDARY\" "
         "($.setups[0].shots[0])\n"},
        {"Vemra: a name without its underscore meets another",
         job(R"([{"to": "A_1", "sd": [10, 90, 25]}, {"to": "A1", "sd": [11, 90, 25]}])"),
         "drevan",
         {},
         exportgen::kExitOk,
         "names \"A_1\" and \"A1\" are both written as \"A1\" ($.setups[0].shots[1])"},
        {"Vemra: a code without its '*' and '_', reported once",
         R"({"setups": [{"station": "S1", "coords": [0, 0, 0], "hi": 1, "code": "ST*A",
"shots": [{"to": "P", "sd": [1, 90, 2], "code": "KERB_L"}, {"to": "Q", "sd": [1, 90, 2], "code": "KERB_L"}]}]})",
         "vemra",
         {},
         exportgen::kExitOk,
         "exportgen: warning: vemra: code \"ST*A\" is written without its '*' and '_': \"STA\" ($.setups[0].code)\n"
         "exportgen: warning: vemra: code \"KERB_L\" is written without its '*' and '_': \"KERBL\" "
         "($.setups[0].shots[0])\n",
         "*KERBL_"},
        {"SDR: two names cut to 16 characters become one",
         job(R"([{"to": "BOUNDARY-MARKER-17", "sd": [10, 90, 25]}, {"to": "BOUNDARY-MARKER-18", "sd": [11, 90, 25]}])"),
         "sdr",
         {},
         exportgen::kExitOk,
         "exportgen: warning: sdr: names \"BOUNDARY-MARKER-17\" and \"BOUNDARY-MARKER-18\" are both written as "
         "\"BOUNDARY-MARKER-\" ($.setups[0].shots[1].to)\n"},

        // Measurements without a record.
        {"Vemra: direction-only and distance-only shots",
         job(R"([{"to": "D1", "hz": [10]}, {"to": "D2", "hz": [20]}, {"to": "D3", "dist": [12]}])"),
         "vemra",
         {},
         exportgen::kExitOk,
         "exportgen: warning: vemra: 2 direction-only measurements have no record in this format and are left out "
         "(first: $.setups[0].shots[0])\n"
         "exportgen: warning: vemra: 1 distance-only measurement has no record in this format and is left out "
         "(first: $.setups[0].shots[2])\n"},
        {"ApaSima: a distance-only shot",
         job(R"([)" + kShot + R"(, {"to": "D3", "dist": [12]}])"),
         "apasima",
         {},
         exportgen::kExitOk,
         "1 distance-only measurement has no record in this format and is left out "
         "(first: $.setups[0].shots[1])"},
        {"Quolt/Pashk: a direction alone has no measurement record",
         job(R"([{"to": "D1", "hz": [10]}])"),
         "quoltpashk",
         {},
         exportgen::kExitOk,
         "quoltpashk: 1 direction-only measurement has no record in this format and is left out"},

        // Units and widths.
        {"RW5: mils are written as degrees, minutes and seconds",
         job("[" + kShot + "]", R"("units": {"angle": "mils"},)"),
         "rw5",
         {},
         exportgen::kExitOk,
         "exportgen: warning: rw5: angles in mils are written as degrees, minutes and seconds ($.units.angle)\n"},
        {"RW5: decimal degrees are written as degrees, minutes and seconds",
         job("[" + kShot + "]", R"("units": {"angle": "decimalDegrees"},)"),
         "rw5",
         {},
         exportgen::kExitOk,
         "rw5: angles in decimal degrees are written as degrees, minutes and seconds"},
        {"RW5: international feet and inches become US survey feet",
         job("[" + kShot + "]", R"("units": {"distance": "internationalFeetInches"},)"),
         "rw5",
         {},
         exportgen::kExitOk,
         "rw5: distances in international feet and inches are written as US survey feet"},
        {"SDR: packed degrees, minutes and seconds",
         job("[" + kShot + "]", R"("units": {"angle": "packedDms"},)"),
         "sdr",
         {},
         exportgen::kExitOk,
         "sdr: angles in packed degrees, minutes and seconds are written as decimal"},
        {"Drevan: a coordinate too wide loses its sign",
         job(R"([{"to": "FAR", "sd": [10, 90, 25], "coords": [-12345678.9, 5, 1]}])"),
         "drevan",
         {},
         exportgen::kExitOk,
         "exportgen: warning: drevan: northing -12345678.9 is too wide for its 10-digit field: written without its "
         "sign and cut ($.setups[0].shots[0])\n",
         "12345678900+0000050000"},

        // Implausible values.
        {"a negative distance",
         job(R"([{"to": "P1", "sd": [10, 90, -25]}])"),
         "rw5",
         {},
         exportgen::kExitOk,
         "exportgen: warning: job: negative distance -25 metres ($.setups[0].shots[0].sd[2])\n"},
        {"a zenith beyond a full circle",
         job(R"([{"to": "P1", "angles": [10, 361]}])"),
         "sdr",
         {},
         exportgen::kExitOk,
         "job: zenith 361 degrees is outside 0 to 360 degrees ($.setups[0].shots[0].angles[1])"},
        {"an instrument height beyond a kilometre",
         R"({"setups": [{"station": "S1", "coords": [0, 0, 0], "hi": 1500}]})",
         "rw5",
         {},
         exportgen::kExitOk,
         "job: instrument height 1500 metres is beyond a kilometre ($.setups[0].hi)"},

        // Points defined twice.
        {"a point defined twice at two places",
         job("[]", R"("points": [{"name": "A", "coords": [0, 0, 0]}, {"name": "A", "coords": [0, 1, 0]}],)"),
         "sdr",
         {},
         exportgen::kExitJob,
         "$.points[1]: point \"A\" is defined again with other coordinates than at "},

        // --strict and --quiet.
        {"--strict: a cut name is an error",
         job(R"([{"to": "BOUNDARY12", "sd": [10, 90, 25]}])"),
         "vemra",
         {"--strict"},
         exportgen::kExitStrict,
         "exportgen: warning made an error by --strict: vemra: name \"BOUNDARY12\" is cut to 8 characters"},
        {"--strict: a left-out measurement is an error",
         job(R"([{"to": "D1", "hz": [10]}])"),
         "vemra",
         {"--strict"},
         exportgen::kExitStrict,
         "vemra: 1 direction-only measurement has no record in this format and is left out"},
        {"--strict: an implausible value is an error, with its line and column",
         job(R"([{"to": "P1", "sd": [10, 90, -25]}])"),
         "rw5",
         {"--strict"},
         exportgen::kExitStrict,
         "job.json:2:39: $.setups[0].shots[0].sd[2]: job: negative distance -25 metres (an error under --strict)"},
        {"--quiet: no warning",
         job(R"([{"to": "BOUNDARY12", "sd": [10, 90, 25]}])"),
         "vemra",
         {"--quiet"},
         exportgen::kExitOk,
         "",
         "+BOUNDAR"},
    };
}

void PrintTo(const Hostile& c, std::ostream* out) { *out << c.what; }

class HostileJobs : public testing::TestWithParam<Hostile> {};

TEST_P(HostileJobs, ErrorOrWarning) {
    const Hostile& c = GetParam();
    const std::string dir = hosttest::freshDirectory("hostile");
    hosttest::writeFile(dir + "/job.json", c.job);
    std::vector<std::string> args{"convert", dir + "/job.json", "--format", c.format};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = run(args);
    EXPECT_EQ(result.code, c.code) << result.err;
    if (std::string(c.err).empty()) {
        EXPECT_EQ(result.err, "");
    } else {
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
    if (c.code == exportgen::kExitJob ||
        (c.code == exportgen::kExitStrict && result.err.find("job.json:") != std::string::npos)) {
        // A job error names the file, its line and column, and is the only line.
        EXPECT_EQ(result.err.rfind("exportgen: " + dir + "/job.json:", 0), 0U) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
    if (c.code == exportgen::kExitOk) {
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    }
    if (c.notInOut != nullptr) {
        EXPECT_EQ(result.out.find(c.notInOut), std::string::npos) << result.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HostileJobs, testing::ValuesIn(hostileJobs()),
                         [](const testing::TestParamInfo<Hostile>& paramInfo) {
                             return "row" + std::to_string(paramInfo.index);
                         });

TEST(HostileJobs, NothingIsWrittenOnAnErrorOrUnderStrict) {
    const std::string dir = hosttest::freshDirectory("hostile-keep");
    hosttest::writeFile(dir + "/comma.json", job(R"([{"to": "A,1", "sd": [10, 90, 25]}])"));
    hosttest::writeFile(dir + "/long.json", job(R"([{"to": "BOUNDARY12", "sd": [10, 90, 25]}])"));
    hosttest::writeFile(dir + "/out", "previous\n");
    EXPECT_EQ(run({"convert", dir + "/comma.json", "--format", "rw5", "-o", dir + "/out"}).code, exportgen::kExitJob);
    EXPECT_EQ(run({"convert", dir + "/long.json", "--format", "vemra", "--strict", "-o", dir + "/out"}).code,
              exportgen::kExitStrict);
    EXPECT_EQ(hosttest::readFile(dir + "/out"), "previous\n");
    EXPECT_EQ(hosttest::listDirectory(dir), (std::vector<std::string>{"comma.json", "long.json", "out"}));
}

TEST(HostileJobs, WarningsAreCappedPerFormatWithACountOfTheRest) {
    std::string shots = "[";
    for (int i = 0; i < 25; ++i) {
        if (i > 0) shots += ", ";
        shots += R"({"to": "BOUNDARY)" + std::to_string(100 + i) + R"(", "sd": [10, 90, 25]})";
    }
    const std::string dir = hosttest::freshDirectory("hostile-cap");
    hosttest::writeFile(dir + "/job.json", job(shots + "]"));
    const auto result = run({"convert", dir + "/job.json", "--format", "vemra"});
    ASSERT_EQ(result.code, 0) << result.err;
    // 25 names cut to BOUNDARY: 25 cuts and 24 meetings, and the station's coordinates and
    // orientation that Vemra does not carry; 20 shown.
    std::size_t lines = 0;
    for (const char c : result.err) lines += c == '\n' ? 1 : 0;
    EXPECT_EQ(lines, 21U) << result.err;
    EXPECT_NE(result.err.find("exportgen: warning: vemra: 31 more warnings not shown\n"), std::string::npos)
        << result.err;
}

TEST(HostileJobs, AFileWrittenIsSummedUpAndTheStandardOutputStaysClean) {
    const std::string dir = hosttest::freshDirectory("hostile-summary");
    hosttest::writeFile(dir + "/job.json", job(R"([{"to": "D1", "hz": [10]}, )" + kShot + "]"));
    const auto file = run({"convert", dir + "/job.json", "--format", "vemra", "-o", dir + "/out.vemra"});
    ASSERT_EQ(file.code, 0) << file.err;
    EXPECT_EQ(file.out, "");
    // What the format left out, kind by kind.
    EXPECT_NE(file.err.find("exportgen: wrote " + dir +
                            "/out.vemra: 3 records; left out 1 station position, 1 orientation, 1 direction-only "
                            "observation (warnings above)\n"),
              std::string::npos)
        << file.err;
    const auto quiet = run({"convert", dir + "/job.json", "--format", "vemra", "-o", dir + "/out.vemra", "--quiet"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.err, "");
    const auto stdoutRun = run({"convert", dir + "/job.json", "--format", "vemra"});
    EXPECT_EQ(stdoutRun.err.find("wrote"), std::string::npos) << stdoutRun.err;
    EXPECT_EQ(stdoutRun.out, hosttest::readFile(dir + "/out.vemra"));
}

}  // namespace
