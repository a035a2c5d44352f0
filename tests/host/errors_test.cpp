// The errors a user meets: a clear message on stderr and a stable exit status; a failed run
// leaves an existing output file as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;

// Columns count bytes from 1:
//          1         2         3         4         5         6         7         8         9
// 123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456
const char* const kJob = R"({"points": [{"name": "1", "coords": [100, 200, 10]}],
"setups": [{"station": "1", "hi": 1.5, "shots": [{"to": "2", "sd": [10, 90, 20], "hr": 1.5, "code": "X"}]}]})";

struct Case {
    const char* what;
    std::string job;
    int code;
    const char* message;
};

class JobErrors : public testing::TestWithParam<Case> {};

TEST_P(JobErrors, ExitWithStatusAndMessage) {
    const Case& c = GetParam();
    const std::string dir = hosttest::freshDirectory("job-errors");
    hosttest::writeFile(dir + "/job.json", c.job);
    const auto result = run({"convert", dir + "/job.json", "--format", "rw5"});
    EXPECT_EQ(result.code, c.code);
    // Every message about the job names the file, the line and the column.
    EXPECT_EQ(result.err, "exportgen: " + dir + "/job.json:" + c.message + "\n");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobErrors,
    testing::Values(
        Case{"malformed", "{\"setups\": [\n  {\"station\": \"1\",,}]}", exportgen::kExitJson,
             "2:19: malformed JSON: unexpected ','"},
        Case{"truncated", "{\"setups\": [", exportgen::kExitJson,
             "1:13: malformed JSON: unexpected end of the file; expected a value"},
        Case{"unclosed text", "{\"setups\": [{\"station\": \"1}]}", exportgen::kExitJson,
             "1:25: malformed JSON: a text without its closing quote"},
        Case{"unclosed set-up", "{\"setups\": [{\"station\": \"1\"", exportgen::kExitJson,
             "1:13: malformed JSON: an object without its closing '}'"},
        Case{"bad UTF-8", "{\"job\": {\"name\": \"\xC3\x28\"}, \"setups\": []}", exportgen::kExitJson,
             "1:19: malformed JSON: a text that is not valid UTF-8"},
        Case{"out of range", "{\"setups\": [], \"units\": {\"distance\": -1e999}}", exportgen::kExitJson,
             "1:38: malformed JSON: a number out of the range of a double"},
        Case{"text after the job", "{\"setups\": []} x", exportgen::kExitJson,
             "1:16: malformed JSON: text after the end of the job"},
        Case{"not an object", "[1, 2]", exportgen::kExitJob, "1:1: $: expected an object, found an array"},
        Case{"missing setups", "\n {}", exportgen::kExitJob, "2:2: $.setups: missing required field"},
        Case{"missing field", replaced(kJob, "\"station\": \"1\", ", ""), exportgen::kExitJob,
             "2:12: $.setups[0].station: missing required field"},
        Case{"mistyped field", replaced(kJob, "\"hr\": 1.5", "\"hr\": \"1.5\""), exportgen::kExitJob,
             "2:88: $.setups[0].shots[0].hr: expected a number or null, found a string"},
        Case{"unknown field", replaced(kJob, "\"hi\": 1.5", "\"hi\": 1.5, \"hj\": 2"), exportgen::kExitJob,
             "2:46: $.setups[0].hj: unknown field"},
        Case{"two measurements", replaced(kJob, "\"hr\": 1.5", "\"hz\": [1], \"hr\": 1.5"), exportgen::kExitJob,
             "2:50: $.setups[0].shots[0]: has more than one of the fields sd, hd, angles, hz, dist, measured"},
        Case{"no measurement", replaced(kJob, "\"sd\": [10, 90, 20], ", ""), exportgen::kExitJob,
             "2:50: $.setups[0].shots[0]: needs one of the fields sd, hd, angles, hz, dist, measured"},
        Case{"short array", replaced(kJob, "[10, 90, 20]", "[10, 90]"), exportgen::kExitJob,
             "2:68: $.setups[0].shots[0].sd: expected 3 items, found 2"},
        Case{"bad enum", std::string("{\"units\": {\"angle\": \"turns\"}, ") + (kJob + 1), exportgen::kExitJob,
             "1:21: $.units.angle: \"turns\" is not one of \"degrees\", \"gons\", \"mils\", \"decimalDegrees\", "
             "\"packedDms\""},
        // A free station its resection cannot fix: named at its set-up, with the reason.
        Case{"free station",
             "{\"points\": [{\"name\": \"1\", \"coords\": [100, 200, 10]}],\n\"setups\": [{\"station\": \"R\", "
             "\"hi\": 1.5, \"resection\": [{\"to\": \"1\", \"sd\": [10, 90, 20]}, {\"to\": \"2\", \"sd\": [50, 90, "
             "20]}]}]}",
             exportgen::kExitJob,
             "2:12: free station \"R\": its resection has 1 usable sight (to \"1\"); a free station needs two known "
             "points measured with distances; not usable: \"2\" (an unknown point)"},
        Case{"unknown header member", replaced(kJob, "]}]}", "]}], \"unit\": {}}"), exportgen::kExitJob,
             "2:118: $.unit: unknown field"}),
    [](const testing::TestParamInfo<Case>& paramInfo) {
        std::string name = paramInfo.param.what;
        for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

// An input that is empty, or not what its name or --from says, or that holds a value that is no
// value (70 minutes of arc, the 30th of February), is refused at its place with status 5 and a
// message in its own terms; a last line cut short is named as such.
struct InputCase {
    const char* name;
    const char* content;
    std::vector<std::string> options;
    int code;
    const char* err;
};

class BadInputs : public testing::TestWithParam<InputCase> {};

TEST_P(BadInputs, AreRefusedAtTheirPlaceOrWarnedOf) {
    const InputCase& c = GetParam();
    std::vector<std::string> args{"convert", hosttest::memoryFile(std::string("inputs/") + c.name, c.content), "-f",
                                  "rw5"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = run(args);
    EXPECT_EQ(result.code, c.code) << result.err;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputs,
    testing::Values(
        InputCase{"empty.rw5", "", {}, exportgen::kExitJson, "inputs/empty.rw5: the input is empty\n"},
        InputCase{"blank.json", " \r\n\n", {}, exportgen::kExitJson, "inputs/blank.json: the input is empty\n"},
        InputCase{"header.csv", "P,N,E,H\n", {}, exportgen::kExitJson,
                  "inputs/header.csv: nothing in it reads as a point list\n"},
        InputCase{"job.rw5", "{\"setups\": []}\n", {}, exportgen::kExitJson,
                  "inputs/job.rw5: nothing in it reads as an RW5 file; it looks like a job file\n"},
        InputCase{"points.txt", "1,100,200,10\n", {"--from", "sdr"}, exportgen::kExitJson,
                  "inputs/points.txt:1:1: expected a record: a two-digit record number and a derivation code; it "
                  "looks like a point list\n"},
        InputCase{"cut.rw5", "JB,NMX\nOC,OP1,N 10.0", {}, exportgen::kExitJson,
                  "inputs/cut.rw5:2:14: record cut short: no E  field; the file may be cut short at line 2\n"},
        InputCase{"cut-warned.rw5", "JB,NMX\nOC,OP1,N 10.0,E 5.0,EL1.0,--\nL", {}, exportgen::kExitOk,
                  "warning: input: the file may be cut short at line 3 (inputs/cut-warned.rw5:3:1)\n"},
        InputCase{"whole.rw5", "JB,NMX\nOC,OP1,N 10.0,E 5.0,EL1.0,--\nL", {"--strict", "--input-units", "metres,packedDms"},
                  exportgen::kExitStrict,
                  "inputs/whole.rw5:3:1: input: a line that is no RW5 record is skipped (an error under --strict); "
                  "the file may be cut short at line 3\n"},
        // A value that is no value is an error at its place, never another value.
        InputCase{"minutes.rw5", "OC,OP1,N 1,E 1,EL1,--\nLS,HI1.5,HR1.5\nSS,OP1,FP2,AR10.7000,ZE90.0000,SD10.0,--\n",
                  {}, exportgen::kExitJson,
                  "inputs/minutes.rw5:3:14: angle \"10.7000\" is no degrees, minutes and seconds: 60 minutes or "
                  "seconds\n"},
        InputCase{"seconds.quoltpashk",
                  "Field   v2.1\nUNITS   M,D\nSTN     1,1.550\nFS      2,1.600\nSD      270.00000,89.24615,120.0065\n",
                  {}, exportgen::kExitJson,
                  "inputs/seconds.quoltpashk:5:19: SD: zenith \"89.24615\" is no degrees, minutes and seconds: 60 "
                  "minutes or seconds\n"},
        InputCase{"day.rw5", "JB,NMX,DT02-30-2024,TM08:00:00\nOC,OP1,N 1,E 1,EL1,--\n", {}, exportgen::kExitJson,
                  "inputs/day.rw5:1:10: no such day: \"02-30-2024\" (month-day-year)\n"},
        InputCase{"time.rw5", "JB,NMX,DT02-29-2024,TM24:00:00\nOC,OP1,N 1,E 1,EL1,--\n", {}, exportgen::kExitJson,
                  "inputs/time.rw5:1:23: no such time of day: \"24:00:00\"\n"},
        InputCase{"day.quoltpashk", "Field   v2.1\nDATE    31/4/2025,08:30:00\nSTN     1,1.550\n", {},
                  exportgen::kExitJson, "inputs/day.quoltpashk:2:9: DATE: no such day: \"31/4/2025\" (day/month/year)\n"},
        InputCase{"day.apasima", "Field,Ver 2.1\nX,,,,2025/2/29\n1,1,18.5,1008.4,3.2,1\n-30\n_!X_\n", {},
                  exportgen::kExitJson, "inputs/day.apasima:2:6: no such day: \"2025/2/29\" (year/month/day)\n"},
        InputCase{"now.json", "{\"setups\": []}", {"--now", "2024-02-30T08:00:00"}, exportgen::kExitUsage,
                  "--now: expected a local time YYYY-MM-DDThh:mm:ss, found \"2024-02-30T08:00:00\"\n"},
        // Units: a word that names none is the flag's error, listing the words; a job file states
        // its own; what a raw file leaves unstated is a warning, an error under --strict.
        InputCase{"word.rw5", "OC,OP1,N 1,E 1,EL1,--\n", {"--input-units", "feet,gons"}, exportgen::kExitUsage,
                  "exportgen: --input-units feet,gons: \"feet\" is no unit; expected DIST,ANGLE or either alone, "
                  "DIST one of metres, usSurveyFeet, internationalFeet, usSurveyFeetInches, internationalFeetInches "
                  "and ANGLE one of decimalDegrees, gons, mils, packedDms\n"},
        // A value quoted in a message is cut after 40 characters, marked by an ellipsis.
        InputCase{"long-word.rw5", "OC,OP1,N 1,E 1,EL1,--\n",
                  {"--input-units", "usSurveyFeetOfTheOldCountyRecordsAsTheyWereKept"}, exportgen::kExitUsage,
                  "\"usSurveyFeetOfTheOldCountyRecordsAsTheyW\xE2\x80\xA6\" is no unit; expected"},
        InputCase{"long-unit.quoltpashk",
                  "Field   v2.1\nUNITS   METRESASMEASUREDONTHEOLDCHAINOFONEHUNDREDLINKS,D\nSTN     1,1.550\n", {},
                  exportgen::kExitJson,
                  "inputs/long-unit.quoltpashk:2:9: UNITS: distance unit \"METRESASMEASUREDONTHEOLDCHAINOFONEHUNDRE"
                  "\xE2\x80\xA6\" is neither M nor F\n"},
        InputCase{"twice.rw5", "OC,OP1,N 1,E 1,EL1,--\n", {"--input-units", "metres,usSurveyFeet"},
                  exportgen::kExitUsage, "--input-units metres,usSurveyFeet: two distance units; expected"},
        InputCase{"three.rw5", "OC,OP1,N 1,E 1,EL1,--\n", {"--input-units", "metres,gons,mils"},
                  exportgen::kExitUsage, "--input-units metres,gons,mils: more than two units; expected"},
        InputCase{"left-empty.rw5", "OC,OP1,N 1,E 1,EL1,--\n", {"--input-units", "metres,"},
                  exportgen::kExitUsage, "--input-units metres,: a unit is left empty; expected"},
        InputCase{"units.json", "{\"setups\": []}", {"--input-units", "usSurveyFeet"}, exportgen::kExitUsage,
                  "exportgen: --input-units states the units of a raw file or a point list; inputs/units.json is a "
                  "job file, whose \"inputUnits\" states its units\n"},
        InputCase{"unstated.rw5", "OC,OP1,N 1,E 1,EL1,--\n", {"--strict"}, exportgen::kExitStrict,
                  "exportgen: inputs/unstated.rw5:1:1: input: the file states no units: distances are read as metres "
                  "and angles as DMS (packed degrees, minutes and seconds); --input-units DIST,ANGLE states them "
                  "(these are metres,packedDms) (an error under --strict)\n"}),
    [](const testing::TestParamInfo<InputCase>& paramInfo) {
        std::string name = paramInfo.param.name;
        for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });
// clang-format on

TEST(CommandErrors, UnknownFormatIsAUsageError) {
    const auto result = run({"convert", "--format", "nosuch"});
    EXPECT_EQ(result.code, exportgen::kExitUsage);
    EXPECT_NE(result.err.find("unknown format \"nosuch\""), std::string::npos) << result.err;
}

TEST(Commands, VersionNeedsNoSubcommand) {
    const auto result = run({"--version"});
    EXPECT_EQ(result.code, exportgen::kExitOk) << result.err;
    EXPECT_EQ(result.out, "exportgen " EXPORTGEN_TEST_VERSION "\n");
}

TEST(CommandErrors, AMisspelledCommandNamesTheCommands) {
    const auto result = run({"conver", "job.json"});
    EXPECT_EQ(result.code, exportgen::kExitUsage);
    EXPECT_EQ(result.err,
              "exportgen: unknown command \"conver\"; the commands are convert, replay, sample, check, read, plot or "
              "schema\n");
}

TEST(CommandErrors, ReadToAFormatsSuffixWarnsThatItWritesAJobFile) {
    const std::string dir = hosttest::freshDirectory("read-suffix");
    const auto result = run({"read", hosttest::memoryFile("read/in.csv", "P,N,E\n1,10,20\n"), "-o", dir + "/x.sdr"});
    EXPECT_EQ(result.code, exportgen::kExitOk) << result.err;
    EXPECT_NE(result.err.find("warning: read writes a job file (JSON); " + dir + "/x.sdr is named as SDR"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(hosttest::readFile(dir + "/x.sdr").substr(0, 1), "{");
}

TEST(CommandErrors, UnknownOptionIsAUsageError) {
    EXPECT_EQ(run({"convert", "--fromat", "rw5"}).code, exportgen::kExitUsage);
    EXPECT_EQ(run({}).code, exportgen::kExitUsage);
    EXPECT_EQ(run({"convert", "--format", "rw5", "--now", "yesterday"}).code, exportgen::kExitUsage);
    EXPECT_EQ(run({"convert", "--format", "rw5", "--encoding", "ebcdic"}).code, exportgen::kExitUsage);
}

TEST(CommandErrors, UnreadableInput) {
    const auto result = run({"convert", "/nonexistent/job.json", "--format", "rw5"});
    EXPECT_EQ(result.code, exportgen::kExitInput);
    EXPECT_NE(result.err.find("cannot read /nonexistent/job.json: No such file or directory"), std::string::npos)
        << result.err;
    EXPECT_EQ(run({"convert", hosttest::dataPath("host"), "--format", "rw5"}).code, exportgen::kExitInput);
}

TEST(Output, WritesTheFileAndLeavesNoTemporaryFile) {
    const std::string dir = hosttest::freshDirectory("output");
    ASSERT_EQ(run({"convert", "--format", "rw5", "-o", dir + "/out.rw5"}).code, 0);
    EXPECT_EQ(hosttest::listDirectory(dir), std::vector<std::string>{"out.rw5"});
    EXPECT_EQ(hosttest::readFile(dir + "/out.rw5").rfind("--Field Version 2.1\r\n", 0), 0U);
}

TEST(Encoding, Latin1AndCp1252WriteTheirCharacters) {
    const std::string dir = hosttest::freshDirectory("encoding");
    hosttest::writeFile(dir + "/job.json", std::string(R"({"points": [{"name": "1", "coords": [0, 0, 0]}],
        "setups": [{"station": "1", "hi": 1.5, "note": "Ærø café", "shots": [{"to": "2", "sd": [10, 90, 20], "note": "cost 5 €"}]}]})"));
    const auto utf8 = run({"convert", dir + "/job.json", "--format", "rw5"});
    ASSERT_EQ(utf8.code, 0) << utf8.err;
    EXPECT_NE(utf8.out.find("--Ærø café\r\n"), std::string::npos);
    const auto cp1252 = run({"convert", dir + "/job.json", "--format", "rw5", "--encoding", "cp1252"});
    ASSERT_EQ(cp1252.code, 0) << cp1252.err;
    EXPECT_NE(cp1252.out.find("--\xC6r\xF8 caf\xE9\r\n"), std::string::npos);
    EXPECT_NE(cp1252.out.find("--cost 5 \x80\r\n"), std::string::npos);

    hosttest::writeFile(dir + "/out.rw5", "previous\n");
    const auto latin1 =
        run({"convert", dir + "/job.json", "--format", "rw5", "--encoding", "latin1", "-o", dir + "/out.rw5"});
    EXPECT_EQ(latin1.code, exportgen::kExitEncoding);
    // The line named is the output's line that holds the character.
    const std::size_t euro = utf8.out.find("€");
    ASSERT_NE(euro, std::string::npos);
    const auto line = 1 + std::count(utf8.out.begin(), utf8.out.begin() + static_cast<std::ptrdiff_t>(euro), '\n');
    EXPECT_NE(
        latin1.err.find("character U+20AC \"€\" cannot be written in latin1: rw5 line " + std::to_string(line) + " ("),
        std::string::npos)
        << latin1.err;
    EXPECT_NE(latin1.err.find("set-up 0 at \"1\", observation to \"2\""), std::string::npos) << latin1.err;
    EXPECT_EQ(hosttest::readFile(dir + "/out.rw5"), "previous\n");
}

TEST(Warnings, AnSdrFieldCutToItsColumnIsReported) {
    const std::string dir = hosttest::freshDirectory("warning");
    hosttest::writeFile(dir + "/job.json",
                        R"({"setups": [{"station": "A-NAME-OF-SEVENTEEN", "coords": [0, 0, 0], "hi": 1,
                                        "backsight": {"bearing": 0}}]})");
    const auto sdr = run({"convert", dir + "/job.json", "--format", "sdr"});
    EXPECT_EQ(sdr.code, 0);
    EXPECT_NE(sdr.out.find("02NMA-NAME-OF-SEVENT0.0000"), std::string::npos) << sdr.out;
    EXPECT_EQ(sdr.err,
              "exportgen: warning: sdr: name \"A-NAME-OF-SEVENTEEN\" is cut to its 16-character column: "
              "\"A-NAME-OF-SEVENT\" ($.setups[0].station)\n");
    EXPECT_EQ(run({"convert", dir + "/job.json", "--format", "rw5"}).err, "");
}

// Without --shots, sample prints the built-in job (conveniences_test.cpp).
TEST(Sample, ShotsMustBeANumber) {
    EXPECT_EQ(run({"sample", "--shots", "-4"}).code, exportgen::kExitUsage);
    EXPECT_EQ(run({"sample", "--shots", "many"}).code, exportgen::kExitUsage);
}

TEST(Schema, TheEmbeddedSchemaIsTheRepositoryFile) {
    const auto result = run({"schema"});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, hosttest::readFile(hosttest::dataPath("../tools/exportgen/readers/job.schema.json")));
}

}  // namespace
