// The Quolt/Pashk reader: a file written from a job, read back and written again, gives the
// same bytes; the read job holds what the file carries; records it does not know are skipped
// with a warning, malformed lines are errors with their line and column; the format is told
// from the other five by its first bytes.
#include "readers/quoltpashk_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/problems.h"
#include "formats/registry.h"
#include "host/host_test_support.h"

namespace {

const char* const kNow = "2026-01-01T00:00:00";

using hosttest::sampleJob;

// Converts the job text `job` to `format` with a fixed clock; the output, or a failure.
std::string convert(const std::string& job, const std::string& format = "quoltpashk") {
    static int count = 0;
    const std::string path = hosttest::memoryFile("quoltpashk-reader/job" + std::to_string(++count) + ".json", job);
    const auto result = hosttest::run({"convert", path, "-f", format, "--now", kNow, "--quiet"});
    EXPECT_EQ(result.code, 0) << result.err << "\n" << job.substr(0, 2000);
    return result.out;
}

std::string withUnits(const std::string& job, const char* distance, const char* angle) {
    nlohmann::json parsed = nlohmann::json::parse(job);
    parsed["units"] = {{"distance", distance}, {"angle", angle}};
    return parsed.dump();
}

std::string withoutHeader(const std::string& job) {
    nlohmann::json parsed = nlohmann::json::parse(job);
    parsed.erase("job");
    parsed.erase("observation");
    return parsed.dump();
}

std::string inSetup(const std::string& shots, const std::string& more = "") {
    return R"({"setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "shots": )" + shots + more + "}]}";
}

struct RoundTrip {
    const char* what;
    std::string job;
};

void PrintTo(const RoundTrip& c, std::ostream* out) { *out << c.what; }

std::vector<RoundTrip> roundTrips() {
    std::vector<RoundTrip> cases = {
        {"the built-in sample", sampleJob()},
        {"the sample in US survey feet and gons", withUnits(sampleJob(), "usSurveyFeet", "gons")},
        {"the sample in international feet and mils", withUnits(sampleJob(), "internationalFeet", "mils")},
        {"the sample in decimal degrees", withUnits(sampleJob(), "metres", "decimalDegrees")},
        {"the sample without job and observation", withoutHeader(sampleJob())},
        {"a direction alone has no measurement record", inSetup(R"([{"to": "D1", "hz": [10]}])")},
        {"a distance alone, with coordinates", inSetup(R"([{"to": "D2", "dist": [12], "coords": [1, 2, 3]}])")},
        {"a negative distance and a zenith beyond a circle",
         inSetup(R"([{"to": "P1", "sd": [10, 90, -25]}, {"to": "P2", "angles": [10, 361]}])")},
        {"an instrument height beyond a kilometre",
         R"({"setups": [{"station": "S1", "coords": [0, 0, 0], "hi": 1500}]})"},
        {"a note with commas, a long name", inSetup(R"([{"to": "BOUNDARY-MARKER-17", "sd": [10, 90, 25],
           "note": "fence, broken, see photo"}])")},
        {"control codes: the first empty, all three, the second empty",
         inSetup(R"([{"to": "A", "sd": [1, 90, 5], "codes": [{"code": "K", "control": ["", "E"], "strings": ["s1"]}]},
           {"to": "B", "sd": [2, 90, 5], "codes": [{"code": "L", "control": ["ST", "X"], "strings": ["s2"]}]},
           {"to": "C", "sd": [3, 90, 5], "codes": [{"code": null, "control": ["PC", ""]}]}])")},
        {"two bearing backsights, a point backsight sighted without a measurement",
         R"({"points": [{"name": "A", "coords": [0, 0, 0]}, {"name": "B", "coords": [10, 10, 0]}], "setups": [
           {"station": "A", "hi": 1.5, "backsight": {"bearing": 12.5, "circle": 3}},
           {"station": "A", "hi": 1.5, "backsight": {"bearing": 359.99, "circle": 0}},
           {"station": "A", "hi": 1.6, "backsight": {"point": "B", "hr": 1.2}},
           {"station": "B", "hi": 1.6, "backsight": {"point": "A", "hr": 1.2, "angles": [7, 91]}},
           {"station": "A", "hi": 1.6, "backsight": {"point": "B", "hr": 1.2, "hd": [0, 14.1421, 0.1]}}]})"},
        {"a level run whose backsight sees a known point",
         R"({"points": [{"name": "BM1", "coords": [0, 0, 10.5]}, {"name": "BM2", "coords": [5, 5, 12.25]}],
           "setups": [], "levelRuns": [{"name": "L1", "start": "BM1", "readings": [{"point": "BM1", "bs": 1.2},
           {"point": "T1", "fs": 0.8}, {"point": "BM2", "bs": 1.1}, {"point": "T2", "fs": 1.4}]},
           {"name": "L2", "description": "back to the mark", "start": "BM2", "readings": [{"point": "BM2", "bs": 0.5}]}]})"},
        {"a stake-out in feet", withUnits(R"({"points": [{"name": "D9", "coords": [995, 2010, 99.5]}],
           "setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "stakeouts": [
           {"design": "D9", "to": "X9", "sd": [116.56505, 90.2, 11.18], "hr": 1.7, "code": "PEG"}]}]})",
                                          "usSurveyFeet", "degrees")},
        {"names and codes with blanks, an empty code, a station occupied again",
         R"({"points": [{"name": "A 1", "coords": [0, 0, 0]}, {"name": "B", "coords": [30, 40, 0]}], "setups": [
           {"station": "A 1", "hi": 1.5, "code": "C P", "backsight": {"point": "B", "hr": 1.5, "sd": [0, 90, 50]},
            "shots": [{"to": " lead", "sd": [5, 90, 10], "code": "OAK TREE", "note": " spaced "}]},
           {"station": "B", "hi": 1.5, "backsight": {"point": "A 1", "hr": 1.5, "sd": [0, 90, 50]}},
           {"station": "A 1", "hi": 1.4, "backsight": {"point": "B", "hr": 1.3, "circle": 10}}]})"},
        {"a free station's resection and a stake-out in gons",
         withUnits(R"({"points": [{"name": "K1", "coords": [100, 100, 10]}, {"name": "K2", "coords": [200, 100, 12]},
           {"name": "D", "coords": [150, 150, 11]}], "setups": [{"station": "F", "hi": 1.5, "resection": [
           {"to": "K1", "sd": [10, 91, 70.71], "hr": 1.6}, {"to": "K2", "sd": [100, 89, 70.72]}],
           "stakeouts": [{"design": "D", "to": "D-staked", "sd": [55, 90.5, 50.02], "hr": 1.6},
           {"design": "D", "to": "D-again", "sd": [55.1, 90.5, 50.01]}]}]})",
                   "metres", "gons")},
        {"a backsight measured at another circle reading than its own, to a point of no set-up",
         R"({"points": [{"name": "F", "coords": [0, 0, 0]}, {"name": "G", "coords": [50, 50, 1]}], "setups": [
           {"station": "F", "hi": 1.5, "backsight": {"point": "G", "hr": 1.5, "circle": 12.5, "sd": [300, 91, 70.7]},
            "shots": [{"to": "X", "sd": [1, 90, 10], "coords": [10, 0.17, 0]}]}]})"},
        {"level runs that backsight a point the run did not reach",
         withUnits(R"({"points": [{"name": "BM1", "coords": [0, 0, 10.5]}, {"name": "BM2", "coords": [5, 5, 12.25]}],
           "setups": [], "levelRuns": [{"name": "L1", "start": "BM1", "readings": [{"point": "BM1", "bs": 1.21},
           {"point": "T1", "fs": 0.83}, {"point": "BM2", "bs": 1.17}, {"point": "T2", "fs": 1.49}]}]})",
                   "usSurveyFeet", "degrees")},
    };
    for (int seed = 1; seed <= 5; ++seed) {
        static std::vector<std::string> names;
        names.push_back("synthetic, 200 shots, seed " + std::to_string(seed));
        cases.push_back({names.back().c_str(), hosttest::syntheticJob(200, seed)});
    }
    cases.push_back({"synthetic, 600 shots in US feet and gons",
                     withUnits(hosttest::syntheticJob(600, 9), "usSurveyFeet", "gons")});
    return cases;
}

class QuoltPashkRoundTrip : public testing::TestWithParam<RoundTrip> {};

// Written, read and written again: the same bytes.
TEST_P(QuoltPashkRoundTrip, WritingTheReadJobGivesTheSameBytes) {
    const std::string first = convert(GetParam().job);
    ASSERT_FALSE(first.empty());
    std::vector<std::string> warnings;
    const std::string read = hosttest::readRaw("quoltpashk", first, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    const std::string second = convert(read);
    EXPECT_EQ(second, first) << read.substr(0, 3000);
}

INSTANTIATE_TEST_SUITE_P(Table, QuoltPashkRoundTrip, testing::ValuesIn(roundTrips()),
                         [](const testing::TestParamInfo<RoundTrip>& param) {
                             return "case" + std::to_string(param.index);
                         });

nlohmann::json readSample(const std::string& job = sampleJob()) {
    return nlohmann::json::parse(hosttest::readRaw("quoltpashk", convert(job)));
}

TEST(QuoltPashkReader, TheHeaderGivesUnitsJobAndObservation) {
    const nlohmann::json job = readSample();
    EXPECT_EQ(job["inputUnits"], nlohmann::json::parse(R"({"distance": "metres", "angle": "packedDms"})"));
    EXPECT_EQ(job["units"], nlohmann::json::parse(R"({"distance": "metres", "angle": "degrees"})"));
    EXPECT_EQ(job["job"], nlohmann::json::parse(R"({"application": "Field", "version": "2.1", "name": "SAMPLE",
        "text2": "closed traverse", "text3": "north site", "created": {"date": "4/7/2025", "time": "08:30:00"}})"));
    EXPECT_EQ(job["observation"], nlohmann::json::parse(R"({"instrument": "TS-1", "scaleFactor": 1.0,
        "elevation": 100.0, "temperature": 18.5, "pressure": 1008.4})"));

    const nlohmann::json feet = readSample(withUnits(sampleJob(), "usSurveyFeet", "gons"));
    EXPECT_EQ(feet["inputUnits"], nlohmann::json::parse(R"({"distance": "usSurveyFeet", "angle": "gons"})"));
    EXPECT_DOUBLE_EQ(feet["observation"]["elevation"].get<double>(), 328.083333);
    const nlohmann::json mils = readSample(withUnits(sampleJob(), "metres", "mils"));
    EXPECT_EQ(mils["units"]["angle"], "mils");
}

TEST(QuoltPashkReader, SetupsHoldTheStationsSightsAndMeasurementsOfTheFile) {
    const nlohmann::json job = readSample();
    const nlohmann::json& setups = job["setups"];
    ASSERT_EQ(setups.size(), 5U);
    const char* const stations[] = {"1", "2", "3", "4", "R1"};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(setups[i]["station"], stations[i]);
    EXPECT_EQ(setups[0]["hi"], 1.55);
    EXPECT_EQ(setups[0]["code"], "CP");
    EXPECT_EQ(setups[0]["note"], "traverse leg 1");
    EXPECT_EQ(setups[0]["backsight"], nlohmann::json::parse(R"({"bearing": 180.0, "circle": 0.0})"));
    // A backsight point: its target height, circle reading and measurement as the file has them.
    EXPECT_EQ(setups[1]["backsight"],
              nlohmann::json::parse(R"({"point": "1", "hr": 1.6, "sd": [0.0, 90.34226, 120.006], "circle": 0.0})"));
    // Angles stay packed degrees, minutes and seconds: 89°24'11.5" is 89.24115.
    const nlohmann::json& first = setups[0]["shots"][0];
    EXPECT_EQ(first, nlohmann::json::parse(
                         R"({"to": "2", "sd": [270.0, 89.24115, 120.0065], "hr": 1.6, "fs": true, "code": "CP"})"));
    const nlohmann::json& tree = setups[0]["shots"][1];
    EXPECT_EQ(tree["note"], "old oak by the gate");
    EXPECT_EQ(tree["coords"], nlohmann::json::parse("[5022.0836, 10012.75, 100.4]"));
    EXPECT_EQ(setups[0]["shots"][2]["codes"], nlohmann::json::parse(R"([{"code": "FENCE", "control": ["ST", ""]}])"));
    EXPECT_EQ(setups[1]["shots"][1]["hd"], nlohmann::json::parse("[290.0, 18.0, 0.0]"));
    EXPECT_EQ(setups[1]["shots"][2]["angles"], nlohmann::json::parse("[340.0, 87.35333]"));
    // The resection: its slope distances, not the RES_OBS lines made of them.
    const nlohmann::json& resection = setups[4]["resection"];
    ASSERT_EQ(resection.size(), 3U);
    // The resection's target height is not in the file: the set-up's first sight gives it.
    EXPECT_EQ(resection[1], nlohmann::json::parse(R"({"to": "2", "sd": [16.57444, 89.23141, 86.0282], "hr": 1.6})"));
    EXPECT_FALSE(setups[4].contains("backsight"));
}

TEST(QuoltPashkReader, HostNotesBecomeStakeoutsAndLevelRunsAgain) {
    const nlohmann::json job = readSample();
    const nlohmann::json& setup = job["setups"][2];
    ASSERT_EQ(setup["shots"].size(), 3U);  // SO1 is no shot
    EXPECT_EQ(setup["stakeouts"], nlohmann::json::parse(R"([{"design": "D1", "to": "SO1",
        "sd": [306.52265, 90.00275, 75.0128], "hr": 1.8, "coords": [4955.012, 10059.993, 100.49]}])"));
    // The design point stands where the staked point less the differences of the note puts it.
    bool design = false;
    for (const auto& point : job["points"]) {
        if (point["name"] == "D1") {
            design = true;
            EXPECT_EQ(point["coords"], nlohmann::json::parse("[4955.0, 10060.0, 100.5]"));
        }
        if (point["name"] == "1") {
            EXPECT_EQ(point["coords"][2], 100.0);  // the level run's start
        }
    }
    EXPECT_TRUE(design);
    EXPECT_EQ(job["levelRuns"], nlohmann::json::parse(R"([{"name": "LR1", "description": "benchmark loop",
        "start": "1", "readings": [{"point": "1", "bs": 1.4321}, {"point": "TP1", "fs": 0.9876},
        {"point": "TP1", "bs": 1.6543}, {"point": "2", "fs": 0.887}]}])"));
    // No note of the host stays a note.
    for (const auto& s : job["setups"]) {
        for (const auto& shot : s.value("shots", nlohmann::json::array())) {
            const std::string note = shot.value("note", "");
            EXPECT_EQ(note.rfind("Stake ", 0), std::string::npos) << note;
            EXPECT_EQ(note.rfind("Level run ", 0), std::string::npos) << note;
        }
    }
}

// What a field file may hold besides the host's records.
struct Skipped {
    const char* what;
    std::string file;
    std::vector<std::string> warnings;
};

void PrintTo(const Skipped& c, std::ostream* out) { *out << c.what; }

const char* const kHead = "Field   v1\r\nUNITS   M,D\r\n";

class QuoltPashkSkipped : public testing::TestWithParam<Skipped> {};

TEST_P(QuoltPashkSkipped, IsReportedWithItsLine) {
    std::vector<std::string> warnings;
    const std::string read = hosttest::readRaw("quoltpashk", std::string(kHead) + GetParam().file, &warnings);
    EXPECT_EQ(warnings, GetParam().warnings);
    EXPECT_TRUE(nlohmann::json::accept(read)) << read;
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuoltPashkSkipped,
    testing::Values(
        Skipped{"an unknown keyword",
                "STN     A,1.5,\r\nPRISM   -30\r\nSS      B,1.5,\r\n",
                {"an unknown record \"PRISM\" is not read (in.quoltpashk:4)"}},
        Skipped{
            "an offset and a missing line",
            "STN     A,1.5,\r\nSS      B,1.5,\r\nSD      1.00000,90.00000,5.0000\r\nOFFSET  1.0000,0.0000,0.0000\r\n"
            "MLM     A,B,1.0000,1.0000,0.0000\r\n",
            {"a OFFSET record has no place in the job and is not read (in.quoltpashk:6)",
             "a MLM record has no place in the job and is not read (in.quoltpashk:7)"}},
        Skipped{"records before any station",
                "SS      B,1.5,\r\nBKB     X,0.00000,0.00000\r\nSTN     A,1.5,\r\n",
                {"a SS record before any station is not read (in.quoltpashk:3)",
                 "a BKB record before any station is not read (in.quoltpashk:4)"}},
        Skipped{"a measurement after another, coordinates twice",
                "STN     A,1.5,\r\nSS      B,1.5,\r\nSD      1.00000,90.00000,5.0000\r\nHV      1.00000,90.00000\r\n"
                "XYZ     1.0000,2.0000,3.0000\r\nXYZ     1.0000,2.0000,3.0000\r\n",
                {"HV: a measurement that follows no sight is not read (in.quoltpashk:6)",
                 "XYZ: coordinates that follow no sight are not read (in.quoltpashk:8)"}},
        Skipped{"a second note, a note in the backsight",
                "STN     A,1.5,\r\nBKB     X,0.00000,0.00000\r\nNOTE    where?\r\nSS      B,1.5,\r\nNOTE    one\r\n"
                "NOTE    two\r\n",
                {"a note that belongs to no record that carries one is not read (in.quoltpashk:5)",
                 "a note that belongs to no record that carries one is not read (in.quoltpashk:8)"}},
        Skipped{"a resection observation without a slope distance",
                "STN     A,1.5,\r\nRES_OBS X,1.000,1\r\nHV      1.00000,90.00000\r\nRES_OBS Y,1.000,2\r\n"
                "SS      B,1.5,\r\n",
                {"a resection observation is read with its slope distance only: this one is not read "
                 "(in.quoltpashk:5)",
                 "RES_OBS: a resection observation without its slope distance is not read (in.quoltpashk:6)"}},
        Skipped{"values beyond the record's",
                "STN     A,1.5,CP,extra\r\nSS      B,1.5,C,second\r\n",
                {"STN: the values after the 3rd are not read (in.quoltpashk:3)",
                 "SS: the text after the code has no place in the job and is not read (in.quoltpashk:4)"}}),
    [](const testing::TestParamInfo<Skipped>& param) { return "case" + std::to_string(param.index); });

struct Malformed {
    const char* line;
    const char* error;
};

class QuoltPashkMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(QuoltPashkMalformed, IsAnErrorWithLineAndColumn) {
    const std::string file = std::string(kHead) + "STN     A,1.5,\r\nSS      B,1.5,\r\n" + GetParam().line + "\r\n";
    try {
        (void)hosttest::readRaw("quoltpashk", file);
        ADD_FAILURE() << "no error for " << GetParam().line;
    } catch (const exportgen::HostError& error) {
        EXPECT_EQ(error.code(), exportgen::kExitJson);
        EXPECT_EQ(std::string(error.what()), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuoltPashkMalformed,
    testing::Values(
        Malformed{"SS      B,1.5O,", "in.quoltpashk:5:11: SS: target height \"1.5O\" is not a number"},
        Malformed{"SS      B", "in.quoltpashk:5:10: SS: the record is cut short: the target height is missing"},
        Malformed{"SD      1.00000,90.00000",
                  "in.quoltpashk:5:25: SD: the record is cut short: the third value is missing"},
        Malformed{"STN     C,1.5,\r\nBKB     X,1.2.3,0", "in.quoltpashk:6:11: BKB: bearing \"1.2.3\" is not a number"},
        Malformed{"STN     C,1.5,\r\nBKB     X,,0", "in.quoltpashk:6:11: BKB: bearing \"\" is not a number"},
        Malformed{"XYZ     1.0,-,3", "in.quoltpashk:5:13: XYZ: northing \"-\" is not a number"},
        Malformed{"STN     B,1e3,", "in.quoltpashk:5:11: STN: instrument height \"1e3\" is not a number"},
        Malformed{"RES_OBS X,1.000,one", "in.quoltpashk:5:17: RES_OBS: observation number \"one\" is not a number"},
        Malformed{"UNITS   Y,D", "in.quoltpashk:5:9: UNITS: distance unit \"Y\" is neither M nor F"},
        Malformed{"UNITS   M,R", "in.quoltpashk:5:11: UNITS: angle unit \"R\" is none of D, G and M"},
        Malformed{"TEMP    20.0", "in.quoltpashk:5:13: TEMP: the record is cut short: the pressure is missing"},
        Malformed{"SCALE   1.0,x,0", "in.quoltpashk:5:13: SCALE: grid scale factor \"x\" is not a number"}),
    [](const testing::TestParamInfo<Malformed>& param) { return "case" + std::to_string(param.index); });

// Packed degrees, minutes and seconds (D.MMSSs) in decimal degrees.
double unpacked(double packed) {
    const double magnitude = std::fabs(packed);
    const double degrees = std::floor(magnitude + 1e-9);
    const double minutes = std::floor((magnitude - degrees) * 100.0 + 1e-9);
    const double seconds = ((magnitude - degrees) * 100.0 - minutes) * 100.0;
    const double value = degrees + minutes / 60.0 + seconds / 3600.0;
    return packed < 0 ? -value : value;
}

// The read job against the job written: every sight's target, height, code, note, measurement
// and coordinates, at the precision of the file (angles to 0.05", heights to half a
// millimetre, distances and coordinates to half a unit of their fourth decimal).
TEST(QuoltPashkReader, TheReadJobAgreesWithTheWrittenOneAtTheFilesPrecision) {
    const nlohmann::json original = nlohmann::json::parse(hosttest::syntheticJob(400, 4));
    const nlohmann::json read = nlohmann::json::parse(hosttest::readRaw("quoltpashk", convert(original.dump())));
    const double second = 0.05 / 3600.0 + 1e-9;
    ASSERT_EQ(read["setups"].size(), original["setups"].size());
    std::size_t compared = 0;
    for (std::size_t i = 0; i < original["setups"].size(); ++i) {
        const nlohmann::json& was = original["setups"][i];
        const nlohmann::json& now = read["setups"][i];
        EXPECT_EQ(now["station"], was["station"]);
        EXPECT_NEAR(now["hi"].get<double>(), was["hi"].get<double>(), 0.0005 + 1e-9);
        ASSERT_EQ(now["shots"].size(), was["shots"].size());
        for (std::size_t k = 0; k < was["shots"].size(); ++k) {
            const nlohmann::json& a = was["shots"][k];
            const nlohmann::json& b = now["shots"][k];
            SCOPED_TRACE("setup " + std::to_string(i) + " shot " + std::to_string(k));
            EXPECT_EQ(b["to"], a["to"]);
            EXPECT_NEAR(b["hr"].get<double>(), a.value("hr", 0.0), 0.0005 + 1e-9);
            EXPECT_EQ(b.value("fs", false), a.value("fs", false));
            const std::string code = a.contains("codes") ? a["codes"][0].value("code", "") : a.value("code", "");
            EXPECT_EQ(b.contains("codes") ? b["codes"][0].value("code", "") : b.value("code", ""), code);
            EXPECT_EQ(b.value("note", ""), a.value("note", ""));
            for (std::size_t c = 0; c < 3 && a.contains("coords"); ++c) {
                EXPECT_NEAR(b["coords"][c].get<double>(), a["coords"][c].get<double>(), 0.00005 + 1e-9);
            }
            const char* kinds[] = {"sd", "hd", "angles"};
            for (const char* kind : kinds) {
                if (!a.contains(kind)) continue;
                ASSERT_TRUE(b.contains(kind)) << kind;
                const std::string key = kind;
                for (std::size_t v = 0; v < a[kind].size(); ++v) {
                    const bool angle = v == 0 || (v == 1 && key != "hd");
                    const double was_ = a[kind][v].get<double>();
                    const double now_ = b[kind][v].get<double>();
                    if (angle) {
                        // Angles as written: 0 to 360 degrees.
                        EXPECT_NEAR(std::remainder(unpacked(now_) - was_, 360.0), 0.0, second) << kind << v;
                    } else {
                        EXPECT_NEAR(now_, was_, 0.00005 + 1e-9) << kind << v;
                    }
                }
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 300U);
}

// The read document remembers the raw byte each value came from, so that an error the job
// reader finds in it names the raw file's line and column.
TEST(QuoltPashkReader, TheDocumentsValuesPointBackToTheirBytes) {
    const std::string file = std::string("UNITS   M,D\r\nSTN     A,1.5,\r\nSS      B,1.5,K\r\n") +
                             "SD      1.00000,90.00000,-5.0000\r\nNOTE    a, note\r\n";
    const exportgen::RawInput input(file, "in.quoltpashk", nullptr);
    exportgen::JobParts parts;
    exportgen::readQuoltPashk(input, parts);
    const exportgen::JobDocument document = exportgen::assemble(parts);
    const std::string& json = document.json();
    const struct {
        const char* inDocument;
        const char* inFile;
    } values[] = {
        {"\"B\"", "B,1.5"}, {"\"K\"", "K\r"}, {"[1.00000", "1.00000"}, {"\"a, note\"", "a, note"}, {"\"A\"", "A,1.5"}};
    for (const auto& value : values) {
        const std::size_t at = json.find(value.inDocument);
        ASSERT_NE(at, std::string::npos) << value.inDocument << " in " << json;
        EXPECT_EQ(document.sourceOffset(at + (value.inDocument[0] == '[' ? 1 : 0)), file.find(value.inFile))
            << value.inDocument;
    }
}

TEST(QuoltPashkReader, LooksLikeItsOwnOutputsOnly) {
    const exportgen::FormatEntry* entry = exportgen::findFormat("quoltpashk");
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->looksLike, nullptr);
    for (const char* format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        for (const std::string& job : {sampleJob(), hosttest::syntheticJob(30, 2), withoutHeader(sampleJob())}) {
            const std::string out = convert(job, format);
            const std::string head = out.substr(0, 4096);
            EXPECT_EQ(entry->looksLike(head), std::string(format) == "quoltpashk") << format << "\n" << head;
        }
    }
    EXPECT_FALSE(entry->looksLike(sampleJob().substr(0, 4096)));
    EXPECT_FALSE(entry->looksLike(R"({"setups": [{"station": "STN     1"}]})"));
    EXPECT_FALSE(entry->looksLike(""));
    // A field file without the header: set-up records alone.
    EXPECT_TRUE(entry->looksLike("STN     1,1.500,\r\nSS      2,1.500,\r\nSD      1.00000,90.00000,5.0000\r\n"));
}

TEST(QuoltPashkReader, AnyBytesReadOrFailCleanly) {
    // Truncations of a real file at every byte of its first lines, and bytes that are no text.
    const std::string file = convert(sampleJob());
    for (std::size_t size = 0; size < 900 && size <= file.size(); ++size) {
        try {
            (void)hosttest::readRaw("quoltpashk", file.substr(0, size));
        } catch (const exportgen::HostError& error) {
            EXPECT_EQ(error.code(), exportgen::kExitJson) << error.what();
        }
    }
    // Bytes of the grammar dropped into a file at places a simple generator picks.
    const std::string grammar = ",.-+0123456789 \r\nvSTNBKBSFSHDXYZNOTE:";
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525U + 1013904223U;
        return state >> 8;
    };
    const std::string sample = file.substr(0, 2500);
    for (int round = 0; round < 3000; ++round) {
        std::string mutated = sample;
        for (int change = 0; change < 4; ++change) {
            const std::size_t at = next() % mutated.size();
            mutated[at] = grammar[next() % grammar.size()];
        }
        try {
            EXPECT_TRUE(nlohmann::json::accept(hosttest::readRaw("quoltpashk", mutated)));
        } catch (const exportgen::HostError& error) {
            EXPECT_EQ(error.code(), exportgen::kExitJson) << error.what();
        }
    }
    std::string binary;
    for (int i = 0; i < 2048; ++i) binary += static_cast<char>((i * 7919) & 0xff);
    try {
        (void)hosttest::readRaw("quoltpashk", binary);
    } catch (const exportgen::HostError& error) {
        EXPECT_EQ(error.code(), exportgen::kExitJson);
    }
}

}  // namespace
