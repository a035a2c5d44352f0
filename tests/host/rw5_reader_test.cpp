// The RW5 reader: a file written as RW5, read back and written again, gives the same bytes;
// the job it reads holds what the file carries; unknown records are warnings and malformed
// ones errors that name line and column; the format is told from the others by its content.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "base/problems.h"
#include "formats/registry.h"
#include "host/host_test_support.h"
#include "readers/job_document.h"
#include "readers/raw_input.h"

namespace {

using hosttest::readRaw;
using hosttest::run;

const char* const kNow = "2026-01-01T00:00:00";

using hosttest::sampleJob;

std::string jobPath(const std::string& job) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("rw5_reader/job" + std::to_string(++count) + ".json", job);
    return path;
}

// The job text `job` as RW5, with the clock at `now` ("job" takes the job's creation).
std::string toRw5(const std::string& job, const std::string& now = kNow) {
    const hosttest::Result result = run({"convert", jobPath(job), "-f", "rw5", "--now", now, "--quiet"});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

using hosttest::syntheticJob;

// The sample job with other units of its own written (its values stay metres and degrees).
std::string sampleIn(const std::string& units) {
    std::string job = sampleJob();
    const std::string from = R"({"units":{"distance":"metres","angle":"degrees"},)";
    EXPECT_EQ(job.compare(0, from.size(), from), 0);
    return "{\"units\":" + units + "," + job.substr(from.size());
}

using hosttest::oneSetup;

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
        {"every measurement kind, angles to the left and a hair below the full circle",
         oneSetup(R"([{"to": "P1", "sd": [-10, 90, 25], "hr": 1.7}, {"to": "P2", "hd": [-0.000001, 25, -1.25]},
                      {"to": "P3", "angles": [370, 271]}, {"to": "P4", "hz": [359.9999999]},
                      {"to": "P7", "hz": [-359.9999999]},
                      {"to": "P5", "dist": [12.5], "hr": 1.7004}, {"to": "P6", "sd": [0, 180, 3], "hr": 1.702}])")},
        {"a hair below the full circle in gons",
         oneSetup(R"([{"to": "P4", "hz": [359.9999999]}, {"to": "P5", "sd": [-359.9999999, 90, 3]}])",
                  R"("units": {"angle": "gons"},)")},
        {"codes with control codes and strings",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, 25], "codes": [{"code": "TREE", "control": ["ST", "X"]},
                        {"code": "FENCE", "strings": ["line-3"], "control": ["", "END"]}, null, {"code": "MH"}]},
                      {"to": "P2", "sd": [10, 90, 25], "codes": [{"code": "A", "control": ["B C", ""]}], "note": "n, with comma"},
                      {"to": "P3", "sd": [10, 90, 25], "codes": [{"code": "WALL", "strings": ["top"]}]}])")},
        {"a note holding commas, a job name with a blank, a version",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, 25], "note": "fence, broken"}])",
                  R"("job": {"name": "ROAD 7", "application": "Field", "version": "3.0 beta"},)")},
        {"implausible values written as given: a negative distance, a zenith past the circle",
         oneSetup(R"([{"to": "P1", "sd": [10, 90, -25]}, {"to": "P2", "angles": [10, 361]}, {"to": "P3", "hz": [10]},
                      {"to": "P4", "dist": [12]}])")},
        {"an instrument height beyond a kilometre, a set-up without sights, then the same height",
         R"({"setups": [{"station": "S1", "coords": [0, 0, 0], "hi": 1500, "shots": [{"to": "P", "sd": [1, 90, 2]}]},
                        {"station": "S2", "coords": [1, 0, 0], "hi": 1500},
                        {"station": "S3", "coords": [2, 0, 0], "hi": 1500, "shots": [{"to": "Q", "sd": [1, 90, 2]}]}]})"},
        {"set-ups without sights between set-ups of one instrument height, in feet",
         R"({"units": {"distance": "internationalFeet", "angle": "degrees"},
            "points": [{"name": "A", "coords": [0, 0, 10]}, {"name": "B", "coords": [100, 0, 11]},
                       {"name": "C", "coords": [0, 100, 12]}],
            "setups": [{"station": "A", "hi": 1.5, "shots": [{"to": "X", "sd": [45, 90, 10], "hr": 1.6}]},
                       {"station": "B", "hi": 1.7},
                       {"station": "A", "hi": 1.5, "shots": [{"to": "Y", "sd": [45, 90, 10], "hr": 1.6}]},
                       {"station": "F", "hi": 1.5, "resection": [{"to": "A", "sd": [0, 90, 50], "hr": 1.6},
                          {"to": "B", "sd": [90.3, 89.5, 70.71]}, {"to": "C", "sd": [181, 91, 70.7]}]},
                       {"station": "C", "hi": 1.5},
                       {"station": "A", "hi": 1.5, "shots": [{"to": "Z", "sd": [45, 90, 10], "hr": 1.6}]},
                       {"station": "B", "hi": 0},
                       {"station": "C", "hi": 0},
                       {"station": "A", "hi": 1.5, "shots": [{"to": "W", "sd": [45, 90, 10], "hr": 1.6004}]},
                       {"station": "B", "hi": 1.5}]})"},
        {"a free station whose resection does not fit exactly, in feet",
         R"({"units": {"distance": "usSurveyFeet", "angle": "degrees"},
            "points": [{"name": "A", "coords": [0, 0, 10]}, {"name": "B", "coords": [100, 0, 11]},
                       {"name": "C", "coords": [0, 100, 12]}],
            "setups": [{"station": "F", "hi": 1.5, "resection": [{"to": "A", "sd": [0, 90, 50], "hr": 1.6},
                          {"to": "B", "sd": [90.3, 89.5, 70.71]}, {"to": "C", "sd": [181, 91, 70.7]}],
                        "shots": [{"to": "X", "sd": [45, 90, 10], "hr": 1.6}]}]})"},
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
        EXPECT_EQ(toRw5(read, "job"), second);
    }
}

// What the sample job's RW5 file carries comes back at the file's precision.
TEST(Rw5Reader, TheReadJobHoldsWhatTheFileCarries) {
    const nlohmann::json job = nlohmann::json::parse(readRaw("rw5", toRw5(sampleJob())));
    EXPECT_EQ(job["inputUnits"], nlohmann::json::parse(R"({"distance": "metres", "angle": "packedDms"})"));
    EXPECT_EQ(job["units"], nlohmann::json::parse(R"({"distance": "metres", "angle": "degrees"})"));
    EXPECT_EQ(job["job"], nlohmann::json::parse(R"({"application": "Field", "version": "2.1", "name": "SAMPLE",
                                                   "created": {"date": "1/1/2026", "time": "0:00:00"}})"));
    ASSERT_EQ(job["points"].size(), 5U);
    EXPECT_EQ(job["points"][4],
              nlohmann::json::parse(R"({"name": "D1", "coords": [4955, 10060, 100.5], "code": "DESIGN"})"));

    const nlohmann::json& setups = job["setups"];
    ASSERT_EQ(setups.size(), 5U);
    // A known point is named alone; a station of its own keeps its coordinates.
    EXPECT_EQ(setups[0]["station"], "1");
    EXPECT_FALSE(setups[0].contains("coords"));
    EXPECT_EQ(setups[0]["hi"], 1.55);
    EXPECT_EQ(setups[0]["note"], "traverse leg 1");
    EXPECT_EQ(setups[0]["backsight"], nlohmann::json::parse(R"({"bearing": 180, "circle": 0, "hr": 1.6})"));
    EXPECT_EQ(setups[4]["coords"], nlohmann::json::parse("[4950, 10050, 100.3]"));

    // Packed degrees-minutes-seconds as written; an observation's note line is its note.
    const nlohmann::json& oak = setups[0]["shots"][1];
    EXPECT_EQ(oak["to"], "101");
    EXPECT_EQ(oak["sd"], nlohmann::json::parse("[210, 89.12491, 25.5024]"));
    EXPECT_EQ(oak["hr"], 1.5);
    EXPECT_EQ(oak["note"], "old oak by the gate");
    EXPECT_EQ(oak["code"], "TREE");
    EXPECT_EQ(setups[1]["shots"][3]["codes"], nlohmann::json::parse(R"([{"code": "FENCE", "control": ["END"]}])"));
    EXPECT_EQ(setups[1]["backsight"],
              nlohmann::json::parse(R"({"point": "1", "circle": 0, "hr": 1.6, "sd": [0, 90.34226, 120.006]})"));
    EXPECT_EQ(setups[1]["shots"][1]["hd"], nlohmann::json::parse("[290, 18, 0]"));
    EXPECT_EQ(setups[1]["shots"][2]["angles"], nlohmann::json::parse("[340, 87.35333]"));
    EXPECT_EQ(setups[2]["shots"][1]["hz"], nlohmann::json::parse("[10]"));
    EXPECT_EQ(setups[2]["shots"][2]["dist"], nlohmann::json::parse("[15.0083]"));

    // The staked point's record with its "Stake" note is the stake-out, not a point or a shot.
    ASSERT_EQ(setups[2]["shots"].size(), 3U);
    EXPECT_EQ(setups[2]["stakeouts"], nlohmann::json::parse(R"([{"design": "D1", "to": "SO1", "hr": 1.8,
        "sd": [306.52265, 90.00275, 75.0128], "coords": [4955.012, 10059.993, 100.49],
        "differences": [0.012, -0.007, -0.01]}])"));
    // The worst residuals as recorded; the resection's target heights are the set-up's first.
    EXPECT_EQ(setups[4]["worstResiduals"], nlohmann::json::parse("[0, 0, 0]"));
    EXPECT_EQ(setups[4]["resection"][1],
              nlohmann::json::parse(R"({"to": "2", "sd": [16.57444, 89.23141, 86.0282], "hr": 1.6})"));
    EXPECT_EQ(setups[4]["shots"].size(), 1U);

    EXPECT_EQ(job["levelRuns"], nlohmann::json::parse(R"([{"name": "LR1", "description": "benchmark loop", "start": "1",
        "readings": [{"point": "1", "bs": 1.4321, "hi": 101.4321}, {"point": "TP1", "fs": 0.9876, "elevation": 100.4445},
                     {"point": "TP1", "bs": 1.6543, "hi": 102.0988}, {"point": "2", "fs": 0.887, "elevation": 101.2118}]}])"));
}

TEST(Rw5Reader, AnglesToTheLeftAndFeetAndGons) {
    const std::string file =
        "--F Version 1\r\nJB,NMJ,DT12-31-2025,TM23:59:58\r\nMO,AD0,UN0,SF1.0,EC0,EO0.0,AU1\r\n"
        "OC,OPS,N 1.0000,E 2.0000,EL3.0000,--\r\nLS,HI1.5000,HR1.6000\r\n"
        "FD,OPS,FPA,AL10.50000,CE-0.3750,HD20.5000,--\r\nFD,OPS,FPB,AL0.00000,ZE100.00000,--\r\n";
    const nlohmann::json job = nlohmann::json::parse(readRaw("rw5", file));
    EXPECT_EQ(job["inputUnits"], nlohmann::json::parse(R"({"distance": "internationalFeet", "angle": "gons"})"));
    EXPECT_EQ(job["job"]["created"], nlohmann::json::parse(R"({"date": "31/12/2025", "time": "23:59:58"})"));
    const nlohmann::json& shots = job["setups"][0]["shots"];
    EXPECT_EQ(shots[0]["hd"], nlohmann::json::parse("[-10.5, 20.5, -0.375]"));
    EXPECT_FALSE(shots[0].contains("codes"));
    // Zero to the left stays to the left.
    EXPECT_LT(shots[1]["angles"][0].get<double>(), 0.0);
    EXPECT_GT(shots[1]["angles"][0].get<double>(), -1e-6);
}

// An RB-mode file (backsight "RB" with its target height, observations "OB") reads as the job
// its plain twin does. These files come from the generator alone: their backsight point has no
// stored coordinates, so its azimuth is kept as a bearing; an offset record and a note of no
// observation are skipped with warnings.
TEST(Rw5Reader, RbModeReadsAsThePlainRecords) {
    std::vector<std::string> plainWarnings, rbWarnings;
    const std::string plain =
        readRaw("rw5", hosttest::readFile(hosttest::dataPath("golden/rw5_setup.rw5")), &plainWarnings);
    const std::string rb =
        readRaw("rw5", hosttest::readFile(hosttest::dataPath("golden/rw5_setup_rb.rw5")), &rbWarnings);
    EXPECT_EQ(nlohmann::json::parse(rb), nlohmann::json::parse(plain));
    const std::vector<std::string> expected = {
        "the backsight point \"2\" has no coordinates in the file: read as a bearing (in.rw5:6)",
        "an offset record (OF) is skipped: a job holds no offset measurements (in.rw5:12)",
        "a note that belongs to no observation is skipped (in.rw5:14)"};
    EXPECT_EQ(plainWarnings, expected);
    EXPECT_EQ(rbWarnings, expected);
    const nlohmann::json job = nlohmann::json::parse(plain);
    EXPECT_EQ(job["setups"][0]["backsight"], nlohmann::json::parse(R"({"bearing": 45, "circle": 0, "hr": 1.7})"));
    const nlohmann::json& shots = job["setups"][0]["shots"];
    ASSERT_EQ(shots.size(), 3U);
    EXPECT_EQ(shots[1]["sd"], nlohmann::json::parse("[210.3, 270.15, 52.3458]"));
    EXPECT_EQ(shots[2]["hr"], 2.0);
    EXPECT_EQ(shots[2]["codes"], nlohmann::json::parse(R"([{"code": "MH"}, {"code": "inv", "control": ["98.2"]}])"));
    // A stored point among the observations, not a stake-out: a known point.
    EXPECT_EQ(job["points"][0]["name"], "9");
    EXPECT_EQ(job["points"][0]["code"], "wall");
    EXPECT_EQ(job["points"][0]["note"], "corner");
}

const std::string kHead =
    "--F Version 1\r\nJB,NMJ,DT01-02-2025,TM10:00:00\r\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n"
    "OC,OPS,N 1.0000,E 2.0000,EL3.0000,--\r\n";

TEST(Rw5Reader, UnknownRecordsAreSkippedWithAWarningNamingTheLine) {
    struct Case {
        const char* what;
        std::string tail;
        std::string warning;
    };
    const Case cases[] = {
        {"an unknown record", "XX,AB1\r\n", "an unknown record XX is skipped (in.rw5:5)"},
        {"a line of no record", "hello\r\n", "a line that is no RW5 record is skipped (in.rw5:5)"},
        {"an offset", "OF,HD1.0,--Horizontal Distance Offset\r\n",
         "an offset record (OF) is skipped: a job holds no offset measurements (in.rw5:5)"},
        {"a note of nothing", "LS,HI1.0000,HR1.0000\r\n--hello\r\n",
         "a note that belongs to no observation is skipped (in.rw5:6)"},
        {"an empty note after an observation", "FD,OPS,FPA,SD1.0000,--\r\n--\r\n",
         "an empty note line is skipped (in.rw5:6)"},
        {"a second note after an observation", "FD,OPS,FPA,SD1.0000,--\r\n--one\r\n--two\r\n",
         "a note that belongs to no observation is skipped (in.rw5:7)"},
        {"a resection with the circle only", "RS,PNS,CR1.00000\r\nOC,OPT,N 1.0,E 1.0,EL1.0,--\r\n",
         "a resection observation without zenith and slope distance is skipped (in.rw5:5)"},
        {"a resection to a point without coordinates", "RS,PNQ,CR1.0,ZE90.0,SD5.0\r\nOC,OPT,N 1.0,E 1.0,EL1.0,--\r\n",
         "a resection observation to \"Q\", a point without coordinates in the file, is skipped (in.rw5:5)"},
        {"a backsight to a point without coordinates",
         "BK,OPS,BPQ,BS12.3000,BC0.0000\r\nBD,OPS,BPQ,AR0.00000,ZE90.00000,SD5.0000\r\n",
         "the backsight point \"Q\" has no coordinates in the file: read as a bearing (in.rw5:5)"},
        {"a level run without a name", "FD,OPS,FPA,SD1.0000,--\r\n--note\r\n--Level run  L: start Q EL 1.0000\r\n",
         "a note that belongs to no observation is skipped (in.rw5:7)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> warnings;
        const std::string read = readRaw("rw5", kHead + c.tail, &warnings);
        ASSERT_EQ(warnings.size(), 1U);
        EXPECT_EQ(warnings[0], c.warning);
        EXPECT_EQ(nlohmann::json::parse(read)["setups"][0]["station"], "S");
    }
}

TEST(Rw5Reader, AMalformedRecordIsAnErrorNamingLineAndColumn) {
    struct Case {
        const char* what;
        std::string tail;
        std::string error;
    };
    const Case cases[] = {
        {"a number that is not one", "LS,HI1.5x00,HR1.0\r\n",
         "in.rw5:5:6: expected a number after HI, found \"1.5x00\""},
        {"a coordinate cut short", "OC,OPT,N 1.0,E 2.0\r\n", "in.rw5:5:19: record cut short: no EL field"},
        {"a bare coordinate", "SP,PNA,N ,E 2.0,EL1.0,--\r\n", "in.rw5:5:10: the N  field has no value"},
        {"a field without its tag", "FD,OPS,FPA,S\r\n", "in.rw5:5:12: a field cut short: no two-letter tag"},
        {"an observation without measurement", "FD,OPS,FPA,--X \r\n",
         "in.rw5:5:16: the measurement fields make no measurement"},
        {"a zenith without angle", "FD,OPS,FPA,AR,ZE90.00000,SD1.0\r\n",
         "in.rw5:5:12: the measurement fields make no measurement"},
        {"an unknown field in an observation", "FD,OPS,FPA,AR1.0,XY1\r\n",
         "in.rw5:5:18: unexpected field XY in an observation"},
        {"an observation without target", "FD,OPS\r\n", "in.rw5:5:3: expected the station (OP) and the target (FP)"},
        {"an angle in the wrong field", "BK,OPS,BPA,BS1.0,BC-\r\n",
         "in.rw5:5:20: expected a number after BC, found \"-\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            readRaw("rw5", kHead + c.tail);
            ADD_FAILURE() << "no error";
        } catch (const exportgen::HostError& error) {
            EXPECT_EQ(std::string(error.what()), c.error);
            EXPECT_EQ(error.code(), exportgen::kExitJson);
        }
    }
    for (const auto& [header, error] : std::vector<std::pair<std::string, std::string>>{
             {"JB,NMJ,DT2025-01-02\r\n", "in.rw5:1:10: expected a date MM-DD-YYYY"},
             {"JB,NMJ,TM10:00\r\n", "in.rw5:1:10: expected a time hh:mm:ss"},
             {"MO,AD0,UN3\r\n", "in.rw5:1:10: expected the distance unit 0, 1 or 2"},
             {"MO,AD0,AU2\r\n", "in.rw5:1:10: expected the angle unit 0 or 1"}}) {
        try {
            readRaw("rw5", header);
            ADD_FAILURE() << "no error for " << header;
        } catch (const exportgen::HostError& e) {
            EXPECT_EQ(std::string(e.what()), error);
        }
    }
}

TEST(Rw5Reader, LooksLikeRw5AndNotTheOtherFormats) {
    const exportgen::FormatEntry* rw5 = exportgen::findFormat("rw5");
    ASSERT_NE(rw5, nullptr);
    ASSERT_NE(rw5->looksLike, nullptr);
    const auto head = [](const std::string& text) { return std::string_view(text).substr(0, 4096); };
    for (const std::string& job : {sampleJob(), syntheticJob(300, 2)}) {
        for (const exportgen::FormatEntry& format : exportgen::formats()) {
            const hosttest::Result out = run({"convert", jobPath(job), "-f", format.name, "--now", kNow, "--quiet"});
            ASSERT_EQ(out.code, 0) << out.err;
            EXPECT_EQ(rw5->looksLike(head(out.out)), std::string(format.name) == "rw5") << format.name;
        }
        EXPECT_FALSE(rw5->looksLike(head(job)));
    }
    for (const char* golden : {"golden/rw5_setup.rw5", "golden/rw5_setup_rb.rw5", "golden/rw5_setup_ft_gon.rw5"}) {
        EXPECT_TRUE(rw5->looksLike(head(hosttest::readFile(hosttest::dataPath(golden))))) << golden;
    }
    EXPECT_FALSE(rw5->looksLike(""));
    EXPECT_FALSE(rw5->looksLike("--just a note\r\n"));
    EXPECT_FALSE(rw5->looksLike("JB,NMJ\r\nsomething else\r\n"));
}

// Any bytes: every cut and every changed byte of a real file either reads (with warnings for
// what it skips) or is refused with an error that names the line and column; nothing else.
TEST(Rw5Reader, EveryDamagedLineReadsOrIsRefusedAtItsPlace) {
    const std::string file = toRw5(sampleJob());
    const char replacements[] = {',', '-', 'X', '\0'};
    int refused = 0;
    int read = 0;
    const auto attempt = [&](const std::string& damaged) {
        std::vector<std::string> warnings;
        try {
            const std::string job = readRaw("rw5", damaged, &warnings);
            EXPECT_TRUE(nlohmann::json::accept(job)) << damaged;
            for (const std::string& warning : warnings) {
                EXPECT_NE(warning.find("(in.rw5:"), std::string::npos) << warning;
            }
            ++read;
        } catch (const exportgen::HostError& error) {
            const std::string message = error.what();
            std::size_t line = 0, column = 0;
            char colon = 0;
            EXPECT_EQ(std::sscanf(message.c_str(), "in.rw5:%zu:%zu%c", &line, &column, &colon), 3) << message;
            EXPECT_EQ(colon, ':') << message;
            EXPECT_GT(line, 0U);
            EXPECT_GT(column, 0U);
            EXPECT_EQ(error.code(), exportgen::kExitJson);
            ++refused;
        }
    };
    for (std::size_t at = 0; at < file.size(); ++at) {
        attempt(file.substr(0, at));
        for (const char c : replacements) {
            std::string damaged = file;
            damaged[at] = c;
            attempt(damaged);
        }
    }
    // Both outcomes happen: the test sees errors and damaged files that still read.
    EXPECT_GT(refused, 100);
    EXPECT_GT(read, 100);
}

}  // namespace
