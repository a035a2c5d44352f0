// Reading the Vemra family back: a file written, read and written again gives the same bytes; the
// read job holds what the records carry; records the reader does not know are skipped with a
// warning and malformed ones are errors naming the line and column; each dialect is told from
// the others by the start of its file.
#include "readers/vemra_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
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

using hosttest::sampleJob;

// The sample job written in other units.
std::string sampleIn(const std::string& distance, const std::string& angle) {
    nlohmann::json job = nlohmann::json::parse(sampleJob());
    job["units"] = {{"distance", distance}, {"angle", angle}};
    return job.dump();
}

using hosttest::syntheticJob;

// The job text `job` converted to `format` with the fixed clock.
hosttest::Result convert(const std::string& job, const std::string& format) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("vemra_reader/job" + std::to_string(++count) + ".json", job);
    return run({"convert", path, "-f", format, "--now", kNow, "--quiet"});
}

using hosttest::oneSetup;

struct Job {
    const char* what;
    std::string text;
};

void PrintTo(const Job& job, std::ostream* out) { *out << job.what; }

std::vector<Job> jobs() {
    std::vector<Job> list = {
        {"the sample job", sampleJob()},
        {"the sample in US survey feet and gons", sampleIn("usSurveyFeet", "gons")},
        {"the sample in international feet and mils", sampleIn("internationalFeet", "mils")},
        {"the sample in metres and mils", sampleIn("metres", "mils")},
        {"the sample in decimal degrees", sampleIn("metres", "decimalDegrees")},
        {"synthetic, 200 shots, seed 1", syntheticJob(200, 1)},
        {"synthetic, 200 shots, seed 2", syntheticJob(200, 2)},
        {"synthetic, 200 shots, seed 3", syntheticJob(200, 3)},
        {"synthetic, 200 shots, seed 4", syntheticJob(200, 4)},
        {"synthetic, 200 shots, seed 5", syntheticJob(200, 5)},
        {"synthetic, 1200 shots, seed 6", syntheticJob(1200, 6)},
        // What the writers change or leave out, from the hostile jobs.
        {"two names cut to 8 characters become one",
         oneSetup(R"([{"to": "KERB_NORTH_0001", "sd": [10, 90, 25]}, {"to": "KERB_NORTH_0002", "sd": [11, 90, 25]}])")},
        {"names without their underscore meet",
         oneSetup(
             R"([{"to": "A_1", "sd": [10, 90, 25]}, {"to": "A1", "sd": [11, 90, 25]}, {"to": "A11", "hd": [1, 2, 3]}])")},
        {"codes without their '*' and '_'",
         R"({"setups": [{"station": "S_1", "coords": [0, 0, 0], "hi": 1, "code": "ST*A",
"shots": [{"to": "P", "sd": [1, 90, 2], "code": "KERB_L"}, {"to": "Q", "sd": [1, 90, 2], "code": "KERB_L"}]}]})"},
        {"direction-only and distance-only shots, with and without coordinates",
         oneSetup(R"([{"to": "D1", "hz": [10]}, {"to": "D2", "hz": [20], "coords": [1, 2, 3]},
{"to": "D3", "dist": [12]}, {"to": "P", "angles": [10, 95]}])")},
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
        {"a nameless job, an empty station code, a station used twice",
         R"({"setups": [{"station": "A", "coords": [0, 0, 0], "hi": 0, "shots": [{"to": "B", "sd": [1, 2, 3], "fs": true}]},
{"station": "B", "hi": 1.25, "backsight": {"point": "A", "sd": [181, 178, 3]}},
{"station": "A", "hi": 1}]})"},
        {"names made only of '+' and '_'",
         R"({"setups": [{"station": "+", "coords": [0, 0, 0], "hi": 1, "shots": [{"to": "_", "sd": [1, 2, 3]},
{"to": "+_", "hd": [1, 2, 3]}, {"to": "A", "angles": [1, 2]}]}, {"station": "_+", "hi": 2, "coords": [1, 1, 1]}]})"},
        {"atmosphere in other units",
         R"({"observation": {"instrument": "X 1", "temperature": 68, "temperatureUnits": "fahrenheit",
"pressure": 29.92, "pressureUnits": "inHg", "ppm": -12.3, "prismConstant": 0.4},
"job": {"name": "J", "created": {"date": "2009"}}, "setups": []})"},
        {"a temperature that rounds otherwise with one decimal",
         R"({"observation": {"temperature": 18.2503, "pressure": 1013.25}, "setups": []})"},
        {"pressure in mmHg, a negative constant under a millimetre",
         R"({"observation": {"pressure": 760, "pressureUnits": "mmHg", "prismConstant": -0.3},
"job": {"application": "A", "version": "", "created": {"date": "25/12/2009", "time": "10:00"}}, "setups": []})"},
    };
    return list;
}

// The first line where `b` differs from `a`, for a short failure message.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::size_t line = 1, start = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
        if (a[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    const auto lineOf = [start](const std::string& text) { return text.substr(start, text.find('\r', start) - start); };
    return "line " + std::to_string(line) + ":\n  " + lineOf(a) + "\n  " + lineOf(b);
}

class VemraFamilyRoundTrip : public testing::TestWithParam<Job> {};

// Write, read, write again: the same bytes in each dialect.
TEST_P(VemraFamilyRoundTrip, WritingTheReadJobGivesTheSameBytes) {
    for (const char* format : kFamily) {
        const auto first = convert(GetParam().text, format);
        ASSERT_EQ(first.code, 0) << format << ": " << first.err;
        std::string document;
        ASSERT_NO_THROW(document = readRaw(format, first.out)) << format;
        const auto again = convert(document, format);
        ASSERT_EQ(again.code, 0) << format << ": " << again.err << "\n" << document.substr(0, 2000);
        EXPECT_TRUE(again.out == first.out) << format << ", first at " << firstDifference(first.out, again.out);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, VemraFamilyRoundTrip, testing::ValuesIn(jobs()),
                         [](const testing::TestParamInfo<Job>& item) { return std::to_string(item.index); });

nlohmann::json readJob(const std::string& format, const std::string& text,
                       std::vector<std::string>* warnings = nullptr) {
    return nlohmann::json::parse(readRaw(format, text, warnings));
}

// What the sample's Vemra file carries, read back at the file's resolution.
TEST(VemraReader, TheSampleReadsAsItsSetUpsAndShots) {
    const auto written = run({"convert", "-f", "vemra", "--now", kNow, "--quiet"});
    ASSERT_EQ(written.code, 0) << written.err;
    const nlohmann::json job = readJob("vemra", written.out);
    EXPECT_EQ(job["inputUnits"], nlohmann::json({{"distance", "metres"}, {"angle", "packedDms"}}));
    EXPECT_EQ(job["units"], nlohmann::json({{"distance", "metres"}, {"angle", "degrees"}}));
    EXPECT_EQ(job["job"], nlohmann::json({{"name", "SAMPLE"}, {"text3", "north site"}}));
    EXPECT_EQ(job["observation"], nlohmann::json({{"instrument", "TS-1"}, {"temperature", 18.5}, {"pressure", 1008}}));
    EXPECT_FALSE(job.contains("points"));
    EXPECT_FALSE(job.contains("levelRuns"));
    const auto& setups = job["setups"];
    ASSERT_EQ(setups.size(), 5U);
    const char* const stations[] = {"1", "2", "3", "4", "R1"};
    const double heights[] = {1.55, 1.6, 1.5, 1.62, 1.58};
    const std::size_t shots[] = {3, 5, 3, 2, 4};  // the backsight, resection and stake-out among them
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(setups[i]["station"], stations[i]);
        EXPECT_DOUBLE_EQ(setups[i]["hi"].get<double>(), heights[i]);
        EXPECT_EQ(setups[i]["coords"], nlohmann::json({0, 0, 0}));
        EXPECT_EQ(setups[i]["shots"].size(), shots[i]) << stations[i];
        EXPECT_FALSE(setups[i].contains("backsight"));
    }
    EXPECT_EQ(setups[0]["code"], "CP");
    EXPECT_FALSE(setups[1].contains("code"));
    // +2_ a+2700000d_ b0892411d_ c+00120007m_*CP_,1.600_
    EXPECT_EQ(setups[0]["shots"][0], nlohmann::json::parse(R"({"to": "2", "sd": [270.0, 89.2411, 120.007],
        "hr": 1.6, "code": "CP"})"));
    // The backsight of set-up 2: +1_ a+3600000d_ b0903423d_ c+00120006m_*CP_,1.600_
    EXPECT_EQ(setups[1]["shots"][0]["to"], "1");
    EXPECT_EQ(setups[1]["shots"][0]["sd"], nlohmann::json({360.0, 90.3423, 120.006}));
    // +103_ a+2900000d_ d+00018000m_ e+00000000m_*KERB_,1.500_ and +104_ ... b0873533d_*POLE_
    EXPECT_EQ(setups[1]["shots"][2]["hd"], nlohmann::json({290.0, 18.0, 0.0}));
    EXPECT_EQ(setups[1]["shots"][3]["angles"], nlohmann::json({340.0, 87.3533}));
    // The stake-out is a shot to the staked point.
    EXPECT_EQ(setups[2]["shots"][2]["to"], "SO1");
    EXPECT_FALSE(setups[2]["shots"][2].contains("code"));
}

// Drevan's groups carry the target's coordinates (in metres, whatever the job's distances are
// in) and, beside a slope distance, angles with 5 decimals.
TEST(VemraReader, DrevanGroupsAndTheirCoordinates) {
    const std::string golden = hosttest::readFile(hosttest::dataPath("golden/drevan_setout.txt"));
    const nlohmann::json job = readJob("drevan", golden);
    const auto& shots = job["setups"][0]["shots"];
    ASSERT_EQ(shots.size(), 4U);
    EXPECT_EQ(shots[0]["sd"], nlohmann::json({0.0, 90.0, 250.125}));
    EXPECT_FALSE(shots[0].contains("coords"));
    // W+000482000m9115000+3123000d+0050123450+0029876540+0001012000
    EXPECT_EQ(shots[1]["sd"], nlohmann::json({312.3, 91.15, 48.2}));
    EXPECT_EQ(shots[1]["coords"], nlohmann::json({5012.345, 2987.654, 101.2}));
    EXPECT_EQ(shots[1]["hr"], 1.6);
    // R+00032000m0871858+0470000d+00001500: the zenith is worked out again from the distances.
    EXPECT_EQ(shots[2]["hd"], nlohmann::json({47.0, 32.0, 1.5}));
    // U+05012345+02987654+00101200m+0150000d
    EXPECT_EQ(shots[3]["hz"], nlohmann::json({15.0}));
    EXPECT_EQ(shots[3]["coords"], nlohmann::json({5012.345, 2987.654, 101.2}));

    // 16°57'44.4" is written 1657444: 165°74' is no angle, so it reads as 16.57444.
    const std::string sample = hosttest::readFile(hosttest::dataPath("golden/sample_drevan.txt"));
    const nlohmann::json read = readJob("drevan", hosttest::withNewlines(sample));
    EXPECT_EQ(read["setups"][4]["shots"][1]["sd"][0], 16.57444);
    EXPECT_EQ(read["setups"][4]["shots"][0]["sd"][0], 277.3);

    // In feet the coordinates stay metres in the file and are given to the job in its feet.
    const auto feet = convert(sampleIn("usSurveyFeet", "degrees"), "drevan");
    ASSERT_EQ(feet.code, 0) << feet.err;
    const nlohmann::json inFeet = readJob("drevan", feet.out);
    EXPECT_EQ(inFeet["inputUnits"]["distance"], "usSurveyFeet");
    EXPECT_NEAR(inFeet["setups"][0]["shots"][1]["coords"][0].get<double>() * 1200.0 / 3937.0, 5022.0836, 1e-9);
}

// ApaSima's entries give the program, the creation date, the ppm and the prism constant, and
// its angle digits are degrees, minutes and seconds whatever the unit letter says.
TEST(VemraReader, ApaSimaEntries) {
    const std::string golden =
        hosttest::withNewlines(hosttest::readFile(hosttest::dataPath("golden/sample_apasima.txt")));
    const nlohmann::json job = readJob("apasima", golden);
    EXPECT_EQ(job["job"], nlohmann::json::parse(R"({"name": "SAMPLE", "text3": "north site", "application": "Field",
        "version": "2.1", "created": {"date": "4/7/2025"}})"));
    EXPECT_EQ(job["observation"], nlohmann::json::parse(R"({"instrument": "TS-1", "temperature": 18.5,
        "pressure": 1008.4, "ppm": 3.2, "prismConstant": -30})"));

    const auto mils = convert(sampleIn("metres", "mils"), "apasima");
    ASSERT_EQ(mils.code, 0) << mils.err;
    const nlohmann::json inMils = readJob("apasima", mils.out);
    EXPECT_EQ(inMils["units"]["angle"], "mils");
    EXPECT_EQ(inMils["inputUnits"]["angle"], "packedDms");
    EXPECT_EQ(inMils["setups"][0]["shots"][0]["sd"], nlohmann::json({270.0, 89.241, 120.007}));
}

struct Bad {
    const char* what;
    const char* format;
    std::string text;
    const char* error;  ///< the whole message, or "" when the line is only skipped
    const char* warning = "";
};

void PrintTo(const Bad& bad, std::ostream* out) { *out << bad.what; }

const std::string kHeader = "_!J_\"_#_$1/1/2026_%0.000_&000_\r\n";
const std::string kStation = "'S1_(_)1.500_\r\n";
const std::string kEntries = "P,Ver 1\r\nJ,,,,2026/1/1\r\n1,1,0.0,0.0,0.0,1\r\n+00\r\n";

std::vector<Bad> badFiles() {
    return {
        {"an unknown record", "vemra", kHeader + kStation + "#XYZ_\r\n+P_ a+0100000d_ b0900000d_*_,1.000_\r\n", "",
         "a record the reader does not know (\"#XYZ_\"), skipped (in.vemra:3)"},
        {"Drevan: a distance of a kind the job has not", "drevan",
         kHeader + kStation + "+P_ A+00001000m000_*_,1.0000_\r\n", "",
         "a distance of kind A, which a job cannot hold, skipped (in.drevan:3)"},
        {"Drevan: an observation without a measurement", "drevan", kHeader + kStation + "+P_ _*_,1.0000_\r\n", "",
         "an observation without a measurement, skipped (in.drevan:3)"},
        {"a digit that is not one", "vemra", kHeader + kStation + "+P_ a+01x0000d_ b0900000d_*_,1.000_\r\n",
         "in.vemra:3:9: the horizontal angle: expected 7 digits"},
        {"a record cut short", "vemra", kHeader + kStation + "+P_ a+0100000d_ b0900",
         "in.vemra:3:22: the vertical angle: expected 7 digits"},
        {"a field without its end", "vemra", kHeader + "'S1_(CP",
         "in.vemra:2:8: the station code is cut short: no closing '_'"},
        {"a height that is not a number", "vemra", kHeader + "'S1_(_)1.5.0_\r\n",
         "in.vemra:2:8: the instrument height is not a number"},
        {"a unit letter that is none", "vemra", kHeader + kStation + "+P_ a+0100000x_ b0900000d_*_,1.000_\r\n",
         "in.vemra:3:14: the horizontal angle: expected a unit letter, one of \"dgm\""},
        {"angles in two units", "vemra", kHeader + kStation + "+P_ a+0100000d_ b1000000g_*_,1.000_\r\n",
         "in.vemra:3:25: the vertical angle is in gons where the file's angles are in degrees"},
        {"distances in two units", "vemra",
         kHeader + kStation + "+P_ a+0100000d_ d+00001000m_ e+00001000f_*_,1.000_\r\n",
         "in.vemra:3:40: the height difference is in feet where the file's distances are in metres"},
        {"seconds of 60", "vemra", kHeader + kStation + "+P_ a+0100060d_ b0900000d_*_,1.000_\r\n",
         "in.vemra:3:7: angle \"0100060\" is no degrees, minutes and seconds: 60 minutes or seconds"},
        {"a slope distance after a horizontal distance", "vemra",
         kHeader + kStation + "+P_ a+0100000d_ d+00001000m_ c+00001000m_*_,1.000_\r\n",
         "in.vemra:3:30: expected the height difference (\" e\")"},
        {"text after the last field", "vemra", kHeader + kStation + "+P_ a+0100000d_ b0900000d_*_,1.000_x\r\n",
         "in.vemra:3:36: unexpected text after the record's last field"},
        {"an observation before any station", "vemra", kHeader + "+P_ a+0100000d_ b0900000d_*_,1.000_\r\n",
         "in.vemra:2:1: an observation before the first station"},
        {"a second header", "vemra", kHeader + kHeader, "in.vemra:2:1: a second job header"},
        {"a height beyond the range of a double", "vemra", kHeader + "'S1_(_)1" + std::string(400, '0') + "_\r\n",
         "in.vemra:2:8: the instrument height is not a number"},
        {"a pressure with decimals", "vemra", "_!J_\"_#_$1/1/2026_%0.000_&1013.2_\r\n",
         "in.vemra:1:27: the pressure is not a whole number"},
        {"Drevan: a group letter that is none", "drevan", kHeader + kStation + "+P_ Q+00001000m000_*_,1.0000_\r\n",
         "in.drevan:3:5: expected a measurement group: one of ?WR<DAEU"},
        {"Drevan: a group without its closing text", "drevan",
         kHeader + kStation + "+P_ ?+00120007m0892411+2700000d+00120000***+**+**00_*_,1.6000_\r\n",
         "in.drevan:3:52: expected the group's closing text (\"***+**+**000\")"},
        {"ApaSima: no entries", "apasima", kHeader, "in.apasima:1:1: expected the program entry"},
        {"ApaSima: a short atmosphere entry", "apasima", "P,Ver 1\r\nJ,,,,2026/1/1\r\n1,1,0.0\r\n",
         "in.apasima:3:8: the atmosphere entry has fewer than 6 texts"},
        {"ApaSima: a date of two parts", "apasima", "P,Ver 1\r\nJ,,,,2026/1\r\n",
         "in.apasima:2:6: the creation date is not three parts year/month/day"},
        {"ApaSima: a constant that is no number", "apasima", "P,Ver 1\r\nJ,,,,2026/1/1\r\n1,1,0.0,0.0,0.0,1\r\nx\r\n",
         "in.apasima:4:1: the prism constant is not a number"},
        {"ApaSima: the entries without a header", "apasima", kEntries + kStation,
         "in.apasima:5:14: no job header (\"_!\") after the ApaSima entries"},
    };
}

class VemraFamilyBadFiles : public testing::TestWithParam<Bad> {};

TEST_P(VemraFamilyBadFiles, AreSkippedWithAWarningOrRefusedAtTheirPlace) {
    const Bad& bad = GetParam();
    std::vector<std::string> warnings;
    if (*bad.error == '\0') {
        const nlohmann::json job = readJob(bad.format, bad.text, &warnings);
        ASSERT_EQ(warnings.size(), 1U);
        EXPECT_EQ(warnings[0], bad.warning);
        // The skipped record leaves the station and its other shots as they were.
        EXPECT_EQ(job["setups"].size(), 1U);
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

// Each dialect knows its own files and none of the other formats' nor a job file; a file of
// stations alone could be Vemra or Drevan and is taken for Vemra.
TEST(VemraReader, LooksLikeTellsTheDialectsApart) {
    const std::string formats[] = {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"};
    for (const std::string& written : formats) {
        const auto file = run({"convert", "-f", written, "--now", kNow, "--quiet"});
        ASSERT_EQ(file.code, 0) << file.err;
        const std::string head = file.out.substr(0, 4096);
        EXPECT_EQ(exportgen::looksLikeVemra(head), written == "vemra") << written;
        EXPECT_EQ(exportgen::looksLikeApaSima(head), written == "apasima") << written;
        EXPECT_EQ(exportgen::looksLikeDrevan(head), written == "drevan") << written;
    }
    const std::string json = sampleJob().substr(0, 4096);
    EXPECT_FALSE(exportgen::looksLikeVemra(json));
    EXPECT_FALSE(exportgen::looksLikeApaSima(json));
    EXPECT_FALSE(exportgen::looksLikeDrevan(json));
    EXPECT_TRUE(exportgen::looksLikeVemra("\xEF\xBB\xBF" + kHeader + kStation));
    EXPECT_FALSE(exportgen::looksLikeDrevan(kHeader + kStation));
}

// Bytes changed at random in the three samples: each file is read or refused with an error
// naming its place; nothing else is thrown (and the sanitizers see no fault).
TEST(VemraReader, AnyBytesAreReadOrRefused) {
    const char* const samples[] = {"sample_vemra", "sample_apasima", "sample_drevan"};
    std::uint32_t state = 12345;
    const auto random = [&state](std::uint32_t below) {
        state = state * 1664525U + 1013904223U;
        return (state >> 8) % below;
    };
    int refused = 0, read = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string original =
            hosttest::readFile(hosttest::dataPath(std::string("golden/") + samples[i] + ".txt"));
        for (int round = 0; round < 1500; ++round) {
            std::string text = original;
            for (std::uint32_t edits = 1 + random(4); edits > 0; --edits) {
                const std::size_t at = random(static_cast<std::uint32_t>(text.size()));
                static const char kBytes[] = "_+*,'!0123456789. -adgmf?WRU<\r\n\x80\xff";
                const char byte = kBytes[random(sizeof kBytes - 1)];
                switch (random(3)) {
                    case 0:
                        text[at] = byte;
                        break;
                    case 1:
                        text.insert(at, 1, byte);
                        break;
                    default:
                        text.erase(at, 1 + random(8));
                }
            }
            try {
                readRaw(kFamily[i], text);
                ++read;
            } catch (const exportgen::HostError& error) {
                ++refused;
                EXPECT_EQ(error.code(), exportgen::kExitJson);
                EXPECT_EQ(std::string(error.what()).rfind(std::string("in.") + kFamily[i] + ":", 0), 0U)
                    << error.what();
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(read, 0);
}

}  // namespace
