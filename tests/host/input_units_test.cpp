// A job given in other units ("inputUnits") converts to the same bytes as the same job in
// metres and decimal degrees: every distance, height, coordinate and angle is converted on the
// way in, and nothing else is. An implausible value is told in the input's own unit; a raw file
// or point list that does not state its units says what they are taken for, and --input-units
// states them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using json = nlohmann::json;

const char* const kFormats[] = {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"};

using hosttest::sampleJob;

hosttest::Result convert(const std::string& job, const std::string& format) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("input-units/job" + std::to_string(++count) + ".json", job);
    return hosttest::run({"convert", path, "--format", format, "--now", "2025-07-04T09:05:03"});
}

// The inverse conversions, from metres and decimal degrees to the units of the file. They are
// worked in long double so that the 17 digits written are those of the exact value.
struct Units {
    const char* distance;
    const char* angle;
    std::function<long double(long double)> fromMetres;
    std::function<long double(long double)> fromDegrees;
};

// Degrees as packed D.MMSSs (the sample's angles are whole to 1e-6 degree, so the seconds are
// written to 17 digits as well).
long double packed(long double degrees) {
    const bool negative = degrees < 0;
    long double magnitude = negative ? -degrees : degrees;
    long double whole = static_cast<long double>(static_cast<long long>(magnitude));
    long double minutes = (magnitude - whole) * 60.0L;
    long double wholeMinutes = static_cast<long double>(static_cast<long long>(minutes));
    long double seconds = (minutes - wholeMinutes) * 60.0L;
    const long double value = whole + wholeMinutes / 100.0L + seconds / 10000.0L;
    return negative ? -value : value;
}

// A number as the placeholder text that write() turns back into a JSON number of 17
// significant digits.
json number(long double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17Lg", value);
    return std::string("#") + text + "#";
}

std::string write(const json& job) {
    std::string text = job.dump();
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\"#") == 0) {
            const std::size_t end = text.find("#\"", i + 2);
            result += text.substr(i + 2, end - i - 2);
            i = end + 1;
        } else {
            result += text[i];
        }
    }
    return result;
}

// The sample job rewritten in `units`: every value converted by its meaning.
std::string rewritten(const Units& units) {
    json job = json::parse(sampleJob());
    const auto length = [&](json& value) { value = number(units.fromMetres(value.get<double>())); };
    const auto angle = [&](json& value) { value = number(units.fromDegrees(value.get<double>())); };
    const auto coords = [&](json& list) {
        for (json& value : list) length(value);
    };
    // A measurement: which of its values are angles.
    const auto measurement = [&](json& object) {
        static const std::pair<const char*, std::vector<bool>> kKinds[] = {{"sd", {true, true, false}},
                                                                           {"hd", {true, false, false}},
                                                                           {"angles", {true, true}},
                                                                           {"hz", {true}},
                                                                           {"dist", {false}}};
        for (const auto& [key, angles] : kKinds) {
            if (!object.contains(key)) continue;
            for (std::size_t i = 0; i < object[key].size(); ++i) {
                angles[i] ? angle(object[key][i]) : length(object[key][i]);
            }
        }
    };
    const auto observation = [&](json& object) {
        measurement(object);
        if (object.contains("hr")) length(object["hr"]);
        if (object.contains("coords")) coords(object["coords"]);
    };
    job["inputUnits"] = {{"distance", units.distance}, {"angle", units.angle}};
    length(job["observation"]["elevation"]);
    for (json& point : job["points"]) coords(point["coords"]);
    for (json& setup : job["setups"]) {
        length(setup["hi"]);
        if (setup.contains("coords")) coords(setup["coords"]);
        if (setup.contains("backsight")) {
            json& backsight = setup["backsight"];
            observation(backsight);
            if (backsight.contains("bearing")) angle(backsight["bearing"]);
            if (backsight.contains("circle")) angle(backsight["circle"]);
        }
        for (const char* list : {"resection", "shots", "stakeouts"}) {
            if (!setup.contains(list)) continue;
            for (json& item : setup[list]) observation(item);
        }
    }
    for (json& run : job["levelRuns"]) {
        for (json& reading : run["readings"]) {
            for (const char* key : {"bs", "fs", "dist"}) {
                if (reading.contains(key)) length(reading[key]);
            }
        }
    }
    return write(job);
}

const Units kUsFeetGons{"usSurveyFeet", "gons", [](long double m) { return m * 3937.0L / 1200.0L; },
                        [](long double d) { return d * 10.0L / 9.0L; }};

TEST(InputUnits, TheSampleInUsSurveyFeetAndGonsGivesTheMetricBytes) {
    const std::string metric = sampleJob();
    const std::string feet = rewritten(kUsFeetGons);
    // The rewrite itself, checked loosely: its last digit depends on the width of long double
    // (valgrind computes it in 64 bits).
    const json rewrittenJob = json::parse(feet);
    ASSERT_NEAR(rewrittenJob["setups"][0]["hi"].get<double>(), 1.55 * 3937.0 / 1200.0, 1e-12);   // 1.55 m
    ASSERT_NEAR(rewrittenJob["setups"][0]["backsight"]["bearing"].get<double>(), 200.0, 1e-12);  // 180 degrees
    for (const char* format : kFormats) {
        const auto expected = convert(metric, format);
        const auto result = convert(feet, format);
        ASSERT_EQ(expected.code, 0) << expected.err;
        ASSERT_EQ(result.code, 0) << format << ": " << result.err;
        EXPECT_EQ(result.out, expected.out) << format;
    }
}

TEST(InputUnits, EveryUnitGivesTheMetricBytes) {
    const Units units[] = {
        {"internationalFeet", "mils", [](long double m) { return m / 0.3048L; },
         [](long double d) { return d * 6400.0L / 360.0L; }},
        {"usSurveyFeetInches", "packedDms", [](long double m) { return m * 3937.0L / 1200.0L; }, packed},
        {"internationalFeetInches", "decimalDegrees", [](long double m) { return m / 0.3048L; },
         [](long double d) { return d; }},
        {"metres", "gons", [](long double m) { return m; }, [](long double d) { return d * 10.0L / 9.0L; }},
    };
    const std::string metric = sampleJob();
    for (const Units& unit : units) {
        const std::string job = rewritten(unit);
        for (const char* format : kFormats) {
            const auto expected = convert(metric, format);
            const auto result = convert(job, format);
            ASSERT_EQ(result.code, 0) << unit.distance << " " << unit.angle << " " << format << ": " << result.err;
            EXPECT_EQ(result.out, expected.out) << unit.distance << " " << unit.angle << " " << format;
        }
    }
}

// The prism constant is millimetres whatever the units (the ApaSima header carries it on its
// own line); "units" alone chooses what is written.
TEST(InputUnits, ThePrismConstantStaysInMillimetres) {
    const std::string job = sampleJob();
    const std::string inFeet = "{\"inputUnits\":{\"distance\":\"internationalFeet\"}," + job.substr(1);
    const auto metric = convert(job, "apasima");
    const auto feet = convert(inFeet, "apasima");
    ASSERT_EQ(feet.code, 0) << feet.err;
    EXPECT_NE(feet.out, metric.out);  // every length differs
    EXPECT_NE(metric.out.find("\r\n-30\r\n"), std::string::npos) << metric.out;
    EXPECT_NE(feet.out.find("\r\n-30\r\n"), std::string::npos) << feet.out;
    // A 100 ft height is written as 30.48 m by the metric output units.
    const auto rw5 = convert(inFeet, "rw5");
    EXPECT_NE(rw5.out.find("SP,PN1,N 1524.0000,E 3048.0000,EL30.4800,--CP"), std::string::npos) << rw5.out;
}

// ---- Implausible values, and the units an input states or leaves unstated.

// SDR fields: a name right-aligned in its 16 characters, a value left-aligned in them.
std::string sdrName(const std::string& text) { return std::string(16 - text.size(), ' ') + text; }
std::string sdrValue(const std::string& text) { return text + std::string(16 - text.size(), ' '); }
const std::string kSdrStation = "02NM" + sdrName("S1") + sdrValue("100.0000") + sdrValue("200.0000") +
                                sdrValue("10.0000") + sdrValue("1.5000") + sdrValue("");
// A shot of 25 units at a zenith and a horizontal angle as written; a direction alone.
std::string sdrShot(const char* zenith, const char* horizontal) {
    return "09F1" + sdrName("S1") + sdrName("P1") + sdrValue("25.0000") + sdrValue(zenith) + sdrValue(horizontal);
}
std::string sdrDirection(const char* horizontal) {
    return "09F1" + sdrName("S1") + sdrName("P2") + sdrValue("") + sdrValue("") + sdrValue(horizontal);
}
std::string lines(std::initializer_list<std::string> list) {
    std::string text;
    for (const std::string& line : list) text += line + "\r\n";
    return text;
}

// An RW5 file: a stored point and a set-up at it with one side shot, after `head` (the job and
// mode records).
std::string rw5(const std::string& head, const std::string& shot = "AR10.0000,ZE90.0000,SD25.0000",
                const std::string& hi = "1.5000") {
    return head + "SP,PN1,N 100.0000,E 200.0000,EL10.0000,--CP\nOC,OP1,N 100.0000,E 200.0000,EL10.0000,--\nLS,HI" + hi +
           ",HR1.5000\nSS,OP1,FP2," + shot + ",--\n";
}
// A Quolt/Pashk file of one set-up and one shot, after `head` (the UNITS line).
std::string quolt(const std::string& head) {
    return head + "STN     A,1.5,\r\nSS      B,1.5,\r\nSD      1.30000,90.00000,25.0000\r\n";
}
// A Vemra file of one set-up and one shot whose distance carries the letter `distance`.
std::string vemra(char distance, const char* slope = "+00025000") {
    return std::string("_!X_\"_#TS-1_$07/4/2025_%18.500_&1008_\r\n'1_(CP_)1.550_\r\n+2_ a+2700000d_ b0900000d_ c") +
           slope + distance + "_*CP_,1.600_\r\n";
}

const char* const kUnstated =
    "1: the file states no units: distances are read as metres and angles as DMS (packed degrees, minutes and "
    "seconds); --input-units DIST,ANGLE states them (these are metres,packedDms)";

struct UnitsCase {
    const char* what;
    const char* name;  ///< the input's name, whose suffix tells its kind
    std::string content;
    std::vector<std::string> options;
    /// Every warning `check` gives, as "LINE: [path: ]what".
    std::vector<std::string> warnings;
    /// A value of the job `read` makes of a raw input (a JSON pointer), and what it is.
    const char* pointer = nullptr;
    double value = 0.0;
};

void PrintTo(const UnitsCase& c, std::ostream* out) { *out << c.what; }

std::vector<UnitsCase> unitsCases() {
    using hosttest::oneSetup;
    const double usFoot = 1200.0 / 3937.0;
    return {
        // Implausible values of a job file: tested in metres and degrees, told in the file's units.
        {"a zenith in mils beyond the circle",
         "mils.json",
         oneSetup(R"([{"to": "P1", "angles": [100, 7000]}])", R"("inputUnits": {"angle": "mils"}, )"),
         {},
         {"1: $.setups[0].shots[0].angles[1]: zenith 7000 mils is outside 0 to 6400 mils"}},
        {"a zenith of 1600 mils, the horizon",
         "horizon.json",
         oneSetup(R"([{"to": "P1", "angles": [100, 1600]}])", R"("inputUnits": {"angle": "mils"}, )"),
         {},
         {}},
        {"a zenith of the full circle in mils",
         "circle.json",
         oneSetup(R"([{"to": "P1", "angles": [100, 6400]}])", R"("inputUnits": {"angle": "mils"}, )"),
         {},
         {}},
        {"a zenith of 380 gons, within the circle",
         "gons.json",
         oneSetup(R"([{"to": "P1", "sd": [100, 380, 25]}])", R"("inputUnits": {"angle": "gons"}, )"),
         {},
         {}},
        {"a zenith of 401 gons",
         "gons401.json",
         oneSetup(R"([{"to": "P1", "sd": [100, 401, 25]}])", R"("inputUnits": {"angle": "gons"}, )"),
         {},
         {"1: $.setups[0].shots[0].sd[1]: zenith 401 gons is outside 0 to 400 gons"}},
        {"a zenith in packed DMS beyond the circle",
         "dms.json",
         oneSetup(R"([{"to": "P1", "angles": [100, 360.3]}])", R"("inputUnits": {"angle": "packedDms"}, )"),
         {},
         {"1: $.setups[0].shots[0].angles[1]: zenith 360.3 DMS is outside 0 to 360 degrees"}},
        {"a zenith in degrees beyond the circle",
         "degrees.json",
         oneSetup(R"([{"to": "P1", "angles": [100, 361]}])"),
         {},
         {"1: $.setups[0].shots[0].angles[1]: zenith 361 degrees is outside 0 to 360 degrees"}},
        {"a negative distance in US survey feet",
         "sd.json",
         oneSetup(R"([{"to": "P1", "sd": [100, 90, -82]}])", R"("inputUnits": {"distance": "usSurveyFeet"}, )"),
         {},
         {"1: $.setups[0].shots[0].sd[2]: negative distance -82 US survey feet"}},
        {"an instrument height beyond a kilometre in international feet",
         "hi.json",
         R"({"inputUnits": {"distance": "internationalFeet"}, "setups": [{"station": "S1", "hi": 3500}]})",
         {},
         {"1: $.setups[0].hi: instrument height 3500 international feet is beyond a kilometre"}},
        {"3000 US survey feet, below a kilometre",
         "hi3000.json",
         R"({"inputUnits": {"distance": "usSurveyFeet"}, "setups": [{"station": "S1", "hi": 3000}]})",
         {},
         {}},
        {"a target height beyond a kilometre in US survey feet",
         "hr.json",
         oneSetup(R"([{"to": "P1", "sd": [100, 90, 25], "hr": 4000}])",
                  R"("inputUnits": {"distance": "usSurveyFeet"}, )"),
         {},
         {"1: $.setups[0].shots[0].hr: target height 4000 US survey feet is beyond a kilometre"}},
        {"a negative sight length of a level run in feet",
         "level.json",
         R"({"inputUnits": {"distance": "usSurveyFeet"}, "setups": [], "points": [{"name": "BM", "coords": [0, 0, 10]}],
             "levelRuns": [{"name": "R", "start": "BM", "readings": [{"point": "BM", "bs": 1.2, "dist": -30}]}]})",
         {},
         {"2: $.levelRuns[0].readings[0].dist: negative distance -30 US survey feet"}},

        // The same checks on raw files, in the units they are read in.
        {"RW5: a negative distance in US survey feet",
         "sd.rw5",
         rw5("JB,NMX\nMO,AD0,UN2,SF1.0,EC0,EO0.0,AU1\n", "AR10.0000,ZE90.0000,SD-82.0000"),
         {},
         {"6: negative distance -82 US survey feet"}},
        {"RW5: a zenith of 401 gons",
         "zenith.rw5",
         rw5("JB,NMX\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU1\n", "AR10.0000,ZE401.0000,SD25.0000"),
         {},
         {"6: zenith 401 gons is outside 0 to 400 gons"}},
        {"RW5: a zenith of 7000 in mils stated with --input-units",
         "mils.rw5",
         rw5("JB,NMX\n", "AR10.0000,ZE7000.0000,SD25.0000"),
         {"--input-units", "metres,mils"},
         {"5: zenith 7000 mils is outside 0 to 6400 mils"}},
        {"RW5: an instrument height of 3500 international feet",
         "hi.rw5",
         rw5("JB,NMX\nMO,AD0,UN0,SF1.0,EC0,EO0.0,AU0\n", "AR10.0000,ZE90.0000,SD25.0000", "3500.0000"),
         {},
         {"4: instrument height 3500 international feet is beyond a kilometre"}},

        // RW5 states its units in the mode record.
        {"RW5 without a mode record", "none.rw5", rw5("JB,NMX\n"), {}, {kUnstated}, "/points/0/coords/0", 100.0},
        {"RW5 in US survey feet and gons",
         "stated.rw5",
         rw5("JB,NMX\nMO,AD0,UN2,SF1.0,EC0,EO0.0,AU1\n"),
         {},
         {},
         "/points/0/coords/0",
         100 * usFoot},
        {"RW5 stating its distance unit alone",
         "distance.rw5",
         rw5("JB,NMX\nMO,AD0,UN2\n"),
         {},
         {"2: the file states no angle unit: angles are read as DMS (packed degrees, minutes and seconds); "
          "--input-units states it (this is packedDms)"}},
        {"RW5 without a mode record, its units stated",
         "flag.rw5",
         rw5("JB,NMX\n"),
         {"--input-units", "usSurveyFeet,gons"},
         {},
         "/setups/0/shots/0/sd/1",
         81.0},
        {"RW5 in metres, stated to be in US survey feet",
         "other.rw5",
         rw5("JB,NMX\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\n"),
         {"--input-units", "usSurveyFeet"},
         {"2: the file states distances in metres; they are read as US survey feet, as --input-units says"},
         "/points/0/coords/1",
         200 * usFoot},

        // SDR states its units only in a mode line; without it the angles' digits tell.
        {"SDR without a mode line, 6 decimals",
         "six.sdr",
         lines({kSdrStation, sdrShot("90.000000", "10.000000")}),
         {},
         {"1: the file states no units: distances are read as metres and angles as degrees, which their 6 decimals "
          "suggest; --input-units DIST,ANGLE states them (these are metres,decimalDegrees)"},
         "/setups/0/shots/0/sd/1",
         90.0},
        {"SDR with a mode line in US survey feet and gons",
         "mode.sdr",
         lines({"MO,AD0,UN2,SF1.0,EC0,EO0.0,AU1", kSdrStation, sdrShot("100.00000000", "10.00000000")}),
         {},
         {},
         "/setups/0/shots/0/sd/2",
         25 * usFoot},
        {"SDR with a mode line not in gons, 6 decimals",
         "degrees.sdr",
         lines({"MO,AD0,UN1,SF1.0,EC0,EO0.0,AU0", kSdrStation, sdrShot("90.000000", "10.000000")}),
         {},
         {}},
        {"SDR in metres by its mode line, angles of 8 decimals",
         "eight.sdr",
         lines({"MO,AD0,UN1", kSdrStation, sdrShot("1600.00000000", "10.00000000")}),
         {},
         {"1: the file states no angle unit: angles are read as mils, which the zeniths of most sights (near 1600 "
          "mils) suggest; --input-units states it (this is mils)"},
         "/setups/0/shots/0/sd/1",
         90.0},
        {"SDR directions from 360 to 400",
         "circle.sdr",
         lines({kSdrStation, sdrDirection("380.00000000")}),
         {},
         {"1: the file states no units: distances are read as metres and angles as gons, which horizontal angles "
          "from 360 to 400 suggest; --input-units DIST,ANGLE states them (these are metres,gons)"},
         "/setups/0/shots/0/hz/0",
         342.0},
        {"SDR directions of 400 or more",
         "beyond.sdr",
         lines({kSdrStation, sdrDirection("4800.00000000")}),
         {},
         {"1: the file states no units: distances are read as metres and angles as mils, which angles of 400 or "
          "more suggest; --input-units DIST,ANGLE states them (these are metres,mils)"},
         "/setups/0/shots/0/hz/0",
         270.0},
        {"SDR of 6 decimals, stated to be in gons",
         "flag.sdr",
         lines({kSdrStation, sdrShot("90.000000", "10.000000")}),
         {"--input-units", "internationalFeet,gons"},
         {},
         "/setups/0/shots/0/sd/1",
         81.0},

        // Quolt/Pashk states them in its UNITS line; F is feet without saying which.
        {"Quolt/Pashk without a UNITS line",
         "none.quoltpashk",
         quolt(""),
         {},
         {"1: the file states no units: distances are read as metres and angles as DMS (packed degrees, minutes and "
          "seconds); --input-units DIST,ANGLE states them (these are metres,packedDms)"}},
        {"Quolt/Pashk in feet, stated to be international feet",
         "feet.quoltpashk",
         quolt("UNITS   F,D\r\n"),
         {"--input-units", "internationalFeet"},
         {},
         "/setups/0/shots/0/sd/2",
         25 * 0.3048},
        {"Quolt/Pashk in feet: US survey feet",
         "us.quoltpashk",
         quolt("UNITS   F,D\r\n"),
         {},
         {"1: the file states feet but not which: distances are read as US survey feet; --input-units states them "
          "(this is usSurveyFeet, or internationalFeet)"},
         "/setups/0/shots/0/sd/2",
         25 * usFoot},
        {"Quolt/Pashk in metres, stated to be in US survey feet",
         "other.quoltpashk",
         quolt("UNITS   M,D\r\n"),
         {"--input-units", "usSurveyFeet"},
         {"1: the file states distances in metres; they are read as US survey feet, as --input-units says"},
         "/setups/0/shots/0/sd/2",
         25 * usFoot},
        {"Quolt/Pashk in feet, stated to be in metres",
         "metres.quoltpashk",
         quolt("UNITS   F,G\r\n"),
         {"--input-units", "metres"},
         {"1: the file states distances in feet; they are read as metres, as --input-units says"},
         "/setups/0/shots/0/sd/2",
         25.0},

        // The Vemra family's letters state the units of every value.
        {"Vemra in feet",
         "feet.vemra",
         vemra('f'),
         {},
         {"1: the file states feet but not which: distances are read as US survey feet; --input-units states them "
          "(this is usSurveyFeet, or internationalFeet)"},
         "/setups/0/shots/0/sd/2",
         25 * usFoot},
        {"Vemra in feet, stated to be US survey feet",
         "us.vemra",
         vemra('f'),
         {"--input-units", "usSurveyFeet"},
         {},
         "/setups/0/shots/0/sd/2",
         25 * usFoot},
        {"Vemra in feet, stated to be international feet",
         "intl.vemra",
         vemra('f'),
         {"--input-units", "internationalFeet"},
         {},
         "/setups/0/shots/0/sd/2",
         25 * 0.3048},
        {"Vemra in degrees, stated to be in gons",
         "gons.vemra",
         vemra('m'),
         {"--input-units", "gons"},
         {"1: the file states angles in DMS; they are read as gons, as --input-units says"},
         "/setups/0/shots/0/sd/1",
         81.0},
        {"Vemra: a negative distance in metres",
         "negative.vemra",
         vemra('m', "-00082000"),
         {},
         {"3: negative distance -82 metres"}},

        // A point list never states its unit.
        {"a point list",
         "list.csv",
         "P,N,E,Z\nA,16404.1667,32808.3333,328.0833\n",
         {},
         {"1: the file states no unit: coordinates are read as metres; --input-units states it (this is metres)"},
         "/points/0/coords/0",
         16404.1667},
        {"a point list in US survey feet",
         "feet.csv",
         "P,N,E,Z\nA,16404.1667,32808.3333,328.0833\n",
         {"--input-units", "usSurveyFeet"},
         {},
         "/points/0/coords/0",
         16404.1667 * usFoot},
    };
}

class InputUnitsTable : public testing::TestWithParam<UnitsCase> {};

TEST_P(InputUnitsTable, AreToldInTheInputsOwnTerms) {
    const UnitsCase& c = GetParam();
    const std::string path = hosttest::memoryFile(std::string("units/") + c.name, c.content);
    std::vector<std::string> args{"check", path};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const hosttest::Result checked = hosttest::run(args);
    EXPECT_EQ(checked.code, 0) << checked.err;
    // "exportgen: warning: PATH:LINE:COLUMN: what" as "LINE: what".
    std::vector<std::string> warnings;
    std::istringstream err(checked.err);
    const std::string head = "exportgen: warning: " + path + ":";
    for (std::string line; std::getline(err, line);) {
        if (line.rfind(head, 0) != 0) continue;
        const std::string rest = line.substr(head.size());
        const std::size_t column = rest.find(':'), end = rest.find(": ", column);
        warnings.push_back(rest.substr(0, column) + rest.substr(end));
    }
    EXPECT_EQ(warnings, c.warnings) << checked.err;
    if (c.pointer == nullptr) return;
    args[0] = "read";
    const hosttest::Result read = hosttest::run(args);
    ASSERT_EQ(read.code, 0) << read.err;
    const json job = json::parse(read.out);
    const json::json_pointer at(c.pointer);
    ASSERT_TRUE(job.contains(at)) << read.out;
    EXPECT_NEAR(job[at].get<double>(), c.value, 1e-9 * std::max(1.0, std::fabs(c.value))) << read.out;
}

INSTANTIATE_TEST_SUITE_P(Rows, InputUnitsTable, testing::ValuesIn(unitsCases()),
                         [](const testing::TestParamInfo<UnitsCase>& row) {
                             return "row" + std::to_string(row.index);
                         });

// A file converted with the units it is in gives the file that states them: an RW5 file in feet
// whose mode record was lost converts to the file with it, figure for figure.
TEST(InputUnits, AStatedUnitConvertsAsTheFileThatStatesIt) {
    const std::string stated = rw5("JB,NMX,DT07-04-2025,TM09:05:03\nMO,AD0,UN2,SF1.0,EC0,EO0.0,AU0\n");
    const std::string bare = rw5("JB,NMX,DT07-04-2025,TM09:05:03\n");
    const auto convert = [](const std::string& name, const std::string& text, std::vector<std::string> options) {
        std::vector<std::string> args{
            "convert", hosttest::memoryFile("units/" + name, text), "-f", "rw5", "--now", "job", "--quiet"};
        args.insert(args.end(), options.begin(), options.end());
        return hosttest::run(args);
    };
    const auto expected = convert("stated.rw5", stated, {});
    const auto result = convert("bare.rw5", bare, {"--input-units", "usSurveyFeet,packedDms"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, expected.out);
    EXPECT_NE(result.out.find("UN2"), std::string::npos) << result.out;
    // Without the flag the same digits are taken for metres, and the output says metres.
    const auto metres = convert("bare.rw5", bare, {});
    EXPECT_NE(metres.out.find("UN1"), std::string::npos) << metres.out;
}

// check, read, plot and convert all take the flag; --strict passes a file whose units are stated.
TEST(InputUnits, EveryCommandThatReadsAnInputTakesTheFlag) {
    const std::string file = hosttest::memoryFile("units/commands.rw5", rw5("JB,NMX\n"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"check", file}, {"read", file}, {"plot", file}, {"convert", file, "-f", "sdr"}}) {
        std::vector<std::string> stated = args;
        stated.insert(stated.end(), {"--input-units", "metres,packedDms", "--quiet"});
        if (args[0] == "check" || args[0] == "read") stated.pop_back();
        const hosttest::Result result = hosttest::run(stated);
        EXPECT_EQ(result.code, 0) << args[0] << ": " << result.err;
        EXPECT_EQ(result.err.find("states no units"), std::string::npos) << args[0] << ": " << result.err;
    }
    // Under --strict the unstated units are the first error; stated, they are none (the file's
    // unoriented set-up is the next).
    const auto strict = hosttest::run({"convert", file, "-f", "rw5", "--strict"});
    EXPECT_EQ(strict.code, exportgen::kExitStrict);
    EXPECT_NE(strict.err.find("the file states no units"), std::string::npos) << strict.err;
    const auto stated = hosttest::run({"convert", file, "-f", "rw5", "--strict", "--input-units", "metres,packedDms"});
    EXPECT_EQ(stated.err.find("units"), std::string::npos) << stated.err;
    EXPECT_NE(stated.err.find("orientation"), std::string::npos) << stated.err;
    // The built-in job is a job file: it states its units.
    EXPECT_EQ(hosttest::run({"convert", "-f", "rw5", "--input-units", "metres"}).code, exportgen::kExitUsage);
}

TEST(InputUnits, UnknownUnitsAreRefusedWithTheirPath) {
    const std::string job = "{\"inputUnits\":{\"angle\":\"degrees\"}," + sampleJob().substr(1);
    const auto result = convert(job, "rw5");
    EXPECT_EQ(result.code, 6);
    EXPECT_NE(result.err.find(":1:24: $.inputUnits.angle: \"degrees\" is not one of"), std::string::npos) << result.err;
}

}  // namespace
