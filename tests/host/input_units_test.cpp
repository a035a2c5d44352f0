// A job given in other units ("inputUnits") converts to the same bytes as the same job in
// metres and decimal degrees: every distance, height, coordinate and angle is converted on the
// way in, and nothing else is.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

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

TEST(InputUnits, UnknownUnitsAreRefusedWithTheirPath) {
    const std::string job = "{\"inputUnits\":{\"angle\":\"degrees\"}," + sampleJob().substr(1);
    const auto result = convert(job, "rw5");
    EXPECT_EQ(result.code, 6);
    EXPECT_NE(result.err.find(":1:24: $.inputUnits.angle: \"degrees\" is not one of"), std::string::npos) << result.err;
}

}  // namespace
