// The atmosphere of a job in the units it is given in. The library holds a temperature in
// degrees Celsius and a pressure in hectopascals, with the unit each format is to state them
// in, so the host converts on the way in; each format then writes the value back in the unit
// it was given (Quolt/Pashk's TEMP record, the Vemra header's _% and _& fields, which Drevan
// and ApaSima share), except ApaSima's atmosphere record, whose pressure is always in hPa.
// RW5 and SDR carry no atmosphere.
//
// The values are worked by hand with the factors the formats write with, 0.750061683 mmHg and
// 0.0295299831 inHg to the hectopascal:
//   68 °F = (68 - 32) × 5/9 = 20 °C          29.92 inHg = 29.92 / 0.0295299831 = 1013.207… hPa
//   50 °F = (50 - 32) × 5/9 = 10 °C          750 mmHg  = 750 / 0.750061683    =  999.917… hPa
//   -4 °F = (-4 - 32) × 5/9 = -20 °C         760 mmHg  = 760 / 0.750061683    = 1013.249… hPa
//   98.6 °F = 37 °C                          30.12 inHg = 30.12 / 0.0295299831 = 1019.980… hPa
// The Vemra header writes the temperature to 3 decimals and the pressure to a whole number in
// the given unit; Quolt/Pashk and ApaSima write one decimal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_test_support.h"

namespace {

struct Case {
    const char* what;
    const char* observation;  // the job's "observation" member
    const char* quoltPashk;   // the TEMP record
    const char* vemra;        // the header's atmosphere fields (Vemra, Drevan, ApaSima)
    const char* apaSima;      // ApaSima's atmosphere record: the temperature as given, hPa
};

const Case kCases[] = {
    {"fahrenheit and inHg",
     R"({"temperature": 68, "temperatureUnits": "fahrenheit", "pressure": 29.92, "pressureUnits": "inHg"})",
     "TEMP    68.0,29.9", "_%68.000_&30_", "1,1,68.0,1013.2,0.0,1"},
    {"fahrenheit and mmHg",
     R"({"temperature": 50, "temperatureUnits": "fahrenheit", "pressure": 750, "pressureUnits": "mmHg"})",
     "TEMP    50.0,750.0", "_%50.000_&750_", "1,1,50.0,999.9,0.0,1"},
    {"below zero, and mmHg just under a half",
     R"({"temperature": -4, "temperatureUnits": "fahrenheit", "pressure": 760, "pressureUnits": "mmHg"})",
     "TEMP    -4.0,760.0", "_%-4.000_&760_", "1,1,-4.0,1013.2,0.0,1"},
    {"fractions of both",
     R"({"temperature": 98.6, "temperatureUnits": "fahrenheit", "pressure": 30.12, "pressureUnits": "inHg",
         "ppm": 12.5})",
     "TEMP    98.6,30.1", "_%98.600_&30_", "1,1,98.6,1020.0,12.5,1"},
    // Celsius and hPa pass as they are; units left out are Celsius and hPa.
    {"celsius and hPa",
     R"({"temperature": 20, "temperatureUnits": "celsius", "pressure": 1008.6, "pressureUnits": "hPa"})",
     "TEMP    20.0,1008.6", "_%20.000_&1009_", "1,1,20.0,1008.6,0.0,1"},
    {"no units", R"({"temperature": -3.5, "pressure": 990.04})", "TEMP    -3.5,990.0", "_%-3.500_&990_",
     "1,1,-3.5,990.0,0.0,1"},
};

std::string job(const char* observation) {
    return std::string(R"({"observation": )") + observation + R"(,
        "points": [{"name": "1", "coords": [0, 0, 0]}, {"name": "2", "coords": [10, 0, 0]}],
        "setups": [{"station": "1", "hi": 1.5, "backsight": {"point": "2"},
                    "shots": [{"to": "3", "sd": [10, 90, 20]}]}]})";
}

std::string convert(const std::string& path, const char* format) {
    const auto result = hosttest::run({"convert", path, "-f", format, "--now", "2020-01-02T03:04:05"});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

// A whole record, between line ends.
bool hasLine(const std::string& output, const std::string& line) {
    return ("\r\n" + output).find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(Atmosphere, EveryFormatWritesItInTheUnitsItWasGiven) {
    const std::string dir = hosttest::freshDirectory("atmosphere");
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        hosttest::writeFile(dir + "/job.json", job(c.observation));
        const std::string path = dir + "/job.json";
        const std::string quoltPashk = convert(path, "quoltpashk");
        EXPECT_TRUE(hasLine(quoltPashk, c.quoltPashk)) << quoltPashk;
        for (const char* format : {"vemra", "drevan", "apasima"}) {
            const std::string output = convert(path, format);
            EXPECT_NE(output.find(std::string("_$01/2/2020") + c.vemra + "\r\n"), std::string::npos) << format << ":\n"
                                                                                                     << output;
        }
        const std::string apaSima = convert(path, "apasima");
        EXPECT_TRUE(hasLine(apaSima, c.apaSima)) << apaSima;
    }
}

}  // namespace
