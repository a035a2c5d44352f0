// What the formats write of values a job holds that a format books in its own way: an angle left
// as a circle reading, this program's version where the input names no program, values too wide
// for their fields, descriptions with blanks, and names that meet once made safe. A row is the
// job, the format, a text the output must hold, and the warning the conversion must give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_test_support.h"

namespace {

struct Written {
    const char* what;
    std::string job;
    const char* format;
    std::vector<std::string> options;
    std::string holds;    ///< "@version" stands for the program's version
    std::string warning;  ///< a text of a warning on stderr; empty: none about this value
};

void PrintTo(const Written& c, std::ostream* out) { *out << c.what; }

std::string oneShot(const std::string& shot) {
    return R"({"setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "backsight": {"bearing": 0},
               "shots": [)" +
           shot + "]}]}";
}

class WhatTheFormatsWrite : public testing::TestWithParam<Written> {};

TEST_P(WhatTheFormatsWrite, HoldsTheValueAndWarnsWhereDue) {
    const Written& c = GetParam();
    std::vector<std::string> args{
        "convert", hosttest::memoryFile("written/job.json", c.job), "-f", c.format, "--now", "2026-01-01T00:00:00"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const hosttest::Result result = hosttest::run(args);
    ASSERT_EQ(result.code, 0) << result.err;
    std::string holds = c.holds;
    if (const std::size_t at = holds.find("@version"); at != std::string::npos) {
        holds.replace(at, 8, hosttest::programVersion());
    }
    EXPECT_NE(result.out.find(holds), std::string::npos) << "expected " << holds << " in\n" << result.out;
    if (!c.warning.empty()) {
        EXPECT_NE(result.err.find(c.warning), std::string::npos) << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WhatTheFormatsWrite,
    testing::Values(
        // An angle turned to the left is booked as the circle reading of the same direction.
        Written{"an angle left in SDR",
                oneShot(R"({"to": "A", "sd": [-30, 90, 25]})"),
                "sdr",
                {},
                "A25.0000         90.000000       330.000000",
                ""},
        Written{"an angle left in Quolt/Pashk",
                oneShot(R"({"to": "A", "sd": [-30, 90, 25]})"),
                "quoltpashk",
                {},
                "SD      330.00000,90.00000,25.0000",
                ""},
        Written{"an angle past a full turn is as given",
                oneShot(R"({"to": "A", "sd": [390.5, 90, 25]})"),
                "quoltpashk",
                {},
                "SD      390.30000,90.00000,25.0000",
                ""},
        Written{"a hair left of zero reads zero",
                oneShot(R"({"to": "A", "sd": [-1e-7, 90, 25]})"),
                "quoltpashk",
                {},
                "SD      0.00000,90.00000,25.0000",
                ""},
        Written{"an angle left of a measured backsight in SDR",
                R"({"points": [{"name": "B", "coords": [1100, 2000, 100]}],
                    "setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5,
                                "backsight": {"point": "B", "sd": [-0.5, 90, 100]}}]})",
                "sdr",
                {},
                "90.000000       359.500000",
                ""},
        // A job that names no program is this program's own.
        Written{"the program line of a job without one",
                oneShot(R"({"to": "A", "sd": [30, 90, 25]})"),
                "sdr",
                {},
                "13NMexportgen Version @version\r\n",
                ""},
        Written{"the Quolt/Pashk program line of a job without one",
                oneShot(R"({"to": "A", "sd": [30, 90, 25]})"),
                "quoltpashk",
                {},
                "exportgenv@version\r\n",
                ""},
        // A Vemra-family distance field holds 8 digits with 3 decimals in the output's unit.
        Written{"the widest slope distance Vemra holds",
                oneShot(R"({"to": "A", "sd": [10, 90, 99999.999]})"),
                "vemra",
                {},
                "c+99999999m",
                ""},
        Written{"a Vemra slope distance too wide",
                oneShot(R"({"to": "A", "sd": [10, 90, 123456.789]})"),
                "vemra",
                {},
                "_ c+",
                "vemra: slope distance 123456.789 m is too wide for its 8-digit field: written cut"},
        Written{"a Drevan horizontal distance too wide in feet",
                R"({"units": {"distance": "internationalFeet", "angle": "degrees"},
                    "setups": [{"station": "S1", "hi": 1.5, "shots": [{"to": "A", "hd": [10, 40000, 0]}]}]})",
                "drevan",
                {},
                "+A_",
                "drevan: horizontal distance 131233.596 ft is too wide for its 8-digit field: written cut"},
        // --sanitize: a name made safe that meets another name of the job, in either order.
        Written{"a name made safe meets a name given after it",
                oneShot(R"({"to": "A,B", "sd": [10, 90, 12]}, {"to": "A B", "sd": [20, 90, 12]})"),
                "rw5",
                {"--sanitize"},
                "FPA B,",
                "names \"A,B\" and \"A B\" are both written as \"A B\" once made safe"},
        Written{"a name made safe meets a name given before it",
                oneShot(R"({"to": "A B", "sd": [10, 90, 12]}, {"to": "A,B", "sd": [20, 90, 12]})"),
                "rw5",
                {"--sanitize"},
                "FPA B,",
                "names \"A,B\" and \"A B\" are both written as \"A B\" once made safe"},
        Written{"two names made safe meet",
                oneShot(R"({"to": "A,B", "sd": [10, 90, 12]}, {"to": "A\nB", "sd": [20, 90, 12]})"),
                "quoltpashk",
                {"--sanitize"},
                "SS      A B,",
                "are both written as \"A B\" once made safe"}));

}  // namespace
