// Point lists as inputs: the columns a header names or --columns gives, the separators and
// quoting offices use, and the errors a list that cannot be read gives, on its own line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/host_test_support.h"

namespace {

std::string listFile(const std::string& name, const std::string& content) {
    return hosttest::memoryFile("point-list/" + name, content);
}

// The points `content` reads as, [name, n, e, h, code] each, or the error.
nlohmann::json pointsOf(const std::string& content, const std::vector<std::string>& options = {},
                        const std::string& name = "points.csv") {
    std::vector<std::string> args{"read", listFile(name, content)};
    args.insert(args.end(), options.begin(), options.end());
    const hosttest::Result result = hosttest::run(args);
    if (result.code != 0) return result.err;
    nlohmann::json out = nlohmann::json::array();
    const nlohmann::json document = nlohmann::json::parse(result.out);
    for (const auto& point : document["points"]) {
        // A point known in plan only has no height.
        const nlohmann::json height = point["coords"].size() == 3 ? point["coords"][2] : nlohmann::json();
        out.push_back({point["name"], point["coords"][0], point["coords"][1], height, point.value("code", "")});
    }
    return out;
}

TEST(PointList, ColumnsFromAHeaderOrTheirLetters) {
    const nlohmann::json p1 = nlohmann::json::array({nlohmann::json::array({"1", 5000.5, 10000.25, 100.0, "CP"})});
    struct Case {
        const char* what;
        std::string content;
        std::vector<std::string> options;
        nlohmann::json expected;
    } const cases[] = {
        {"a header in words", "Point,Northing,Easting,Elevation,Description\n1,5000.5,10000.25,100,CP\n", {}, p1},
        {"a header in letters, another order", "P,E,N,Z,D\n1,10000.25,5000.5,100,CP\n", {}, p1},
        {"a header as drawings name them", "Name;X;Y;H;Code\n1;10000.25;5000.5;100;CP\n", {}, p1},
        {"no header: PNEZD", "1,5000.5,10000.25,100,CP\n", {}, p1},
        {"no header: --columns PENZD", "1,10000.25,5000.5,100,CP\n", {"--columns", "penzd"}, p1},
        {"a column passed over", "1,x,5000.5,10000.25,100,CP\n", {"--columns", "P-NEZD"}, p1},
        {"tabs, blanks around fields", "1\t 5000.5 \t10000.25\t100\tCP\n", {}, p1},
        {"semicolons and decimal commas", "1;5000,5;10000,25;100;CP\n", {}, p1},
        {"blanks between columns", "1  5000.5   10000.25 100 CP\n", {}, p1},
        {"comments and blank lines", "# control\n\n1,5000.5,10000.25,100,CP\n\n", {}, p1},
        {"CRLF and a byte-order mark",
         "\xEF\xBB\xBF"
         "1,5000.5,10000.25,100,CP\r\n",
         {},
         p1},
        {"no height and no code",
         "1,5000.5,10000.25\n",
         {},
         nlohmann::json::array({nlohmann::json::array({"1", 5000.5, 10000.25, nullptr, ""})})},
        {"quoted name and code with separators and quotes",
         "\"A,1\",5000.5,10000.25,100,\"FENCE \"\"old\"\", west\"\n",
         {},
         nlohmann::json::array({nlohmann::json::array({"A,1", 5000.5, 10000.25, 100.0, "FENCE \"old\", west"})})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pointsOf(c.content, c.options), c.expected);
    }
}

TEST(PointList, ALineThatCannotBeReadIsAnErrorOnItsLine) {
    struct Case {
        const char* what;
        std::string content;
        std::vector<std::string> options;
        std::string message;  // after the file's path
    } const cases[] = {
        {"a northing that is no number",
         "1,5000,10000,1\n2,50x0,10000,1\n",
         {},
         ":2:3: expected the northing as a number, found \"50x0\""},
        {"too few fields",
         "P,N,E\n1,5000\n",
         {},
         ":2:7: a point needs a name, a northing and an easting; found 2 fields"},
        {"a quote not closed", "1,5000,10000\n\"2,5000,10000\n", {}, ":2:1: a quoted field is not closed"},
        {"no name", ",5000,10000\n", {}, ":1:1: a point without a name"},
        {"a number past the largest double",
         "1,5000,10000\n2,1" + std::string(400, '0') + ",10000\n",
         {},
         ":2:3: expected the northing as a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = listFile("bad.csv", c.content);
        const hosttest::Result result = hosttest::run({"convert", path, "-f", "sdr"});
        EXPECT_EQ(result.code, 5);
        EXPECT_NE(result.err.find(path + c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST(PointList, BadColumnLettersAreAUsageError) {
    for (const char* letters : {"PNX", "PNEE", "PZD", ""}) {
        SCOPED_TRACE(letters);
        const std::string path = listFile("p.csv", "1,2,3\n");
        const hosttest::Result result = hosttest::run({"read", path, "--columns", letters});
        if (std::string(letters).empty()) {
            EXPECT_EQ(result.code, 0);  // no letters: the header or PNEZD
        } else {
            EXPECT_EQ(result.code, 3) << result.err;
        }
    }
}

TEST(PointList, BecomesOneCoordinateRecordPerPoint) {
    const std::string path = listFile("control.csv", "P,N,E,Z,D\n1,5000,10000,100,CP\n2,5010.125,10020,101.5,CP\n");
    const hosttest::Result result = hosttest::run({"convert", path, "-f", "sdr", "--now", "2026-01-01T00:00:00"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(hosttest::withNewlines(result.out),
              "13NMexportgen Version 1.0\n"
              "08TP               15000.0000       10000.0000      100.0000        CP              \n"
              "08TP               25010.1250       10020.0000      101.5000        CP              \n");
}

TEST(PointList, PointsJoinAJobAsKnownPoints) {
    const std::string list = listFile("design.csv", "P,N,E,Z,D\nD9,4960,10070,100.2,DESIGN\n");
    const hosttest::Result result =
        hosttest::run({"convert", "-f", "rw5", "--points", list, "--now", "2026-01-01T00:00:00"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("SP,PND9,N 4960.0000,E 10070.0000,EL100.2000,--DESIGN\r\n"), std::string::npos);

    // A point the job knows at another place is an error on the list's line.
    const std::string clash = listFile("clash.csv", "P,N,E,Z\nD9,1,1,1\n1,4900,10100,99.5\n");
    const hosttest::Result refused = hosttest::run({"convert", "-f", "rw5", "--points", clash});
    EXPECT_EQ(refused.code, 6);
    EXPECT_NE(refused.err.find(clash + ":3:1: "), std::string::npos) << refused.err;
}

TEST(Inputs, WhatAFileHoldsIsToldByItsSuffixItsFirstLinesOrFrom) {
    const std::string job = R"({"setups": []})";
    const std::string list = "1,5000,10000,100\n";
    struct Case {
        const char* what;
        std::string name, content;
        std::vector<std::string> options;
        int code;
    } const cases[] = {
        {"a job without a suffix", "job", job, {}, 0},
        {"a point list named .txt", "points.txt", list, {}, 0},
        {"a point list named .json is read as a job", "points.json", list, {}, 6},
        {"--from points overrides the suffix", "points.json", list, {"--from", "points"}, 0},
        {"--from in any case", "points.json", list, {"--from", "Points"}, 0},
        {"an unknown --from", "points.csv", list, {"--from", "dxf"}, 3},
        {"--columns on a job", "job.json", job, {"--columns", "PNE"}, 3},
        {"nothing to tell by", "notes.txt", "nothing here\n", {}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args{"convert", listFile(c.name, c.content), "-f", "sdr"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const hosttest::Result result = hosttest::run(args);
        EXPECT_EQ(result.code, c.code) << result.err;
    }
}

}  // namespace
