// Point lists as inputs: the columns a header names or --columns gives, the separators, quoting
// and numbers offices and programs write, points given twice, and the errors a list that cannot
// be read gives, on its own line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/host_test_support.h"

namespace {

std::string listFile(const std::string& name, const std::string& content) {
    return hosttest::memoryFile("point-list/" + name, content);
}

// A list of one point, [[name, n, e, h, code]].
nlohmann::json pt(const char* name, double n, double e, nlohmann::json h, const char* code = "") {
    return nlohmann::json::array({nlohmann::json::array({name, n, e, h, code})});
}

// The points of a job document, [name, n, e, h, code] each; h null for a point in plan only.
nlohmann::json pointsIn(const std::string& document) {
    nlohmann::json out = nlohmann::json::array();
    const nlohmann::json job = nlohmann::json::parse(document);
    for (const auto& point : job["points"]) {
        const nlohmann::json height = point["coords"].size() == 3 ? point["coords"][2] : nlohmann::json();
        out.push_back({point["name"], point["coords"][0], point["coords"][1], height, point.value("code", "")});
    }
    return out;
}

TEST(PointList, ReadsListsAsOfficesAndProgramsWriteThem) {
    const nlohmann::json p1 = pt("1", 5000.5, 10000.25, 100.0, "CP");
    // Jobs a list of --points joins: one in metres, one in US survey feet.
    const std::string metres =
        R"({"setups": [], "points": [{"name": "1", "coords": [5000.004, 10000, 100], "code": "CP"}]})";
    const std::string feet = R"({"inputUnits": {"distance": "usSurveyFeet"}, "setups": [],
"points": [{"name": "1", "coords": [16404.204, 32808.4], "code": "CP"}]})";
    struct Case {
        std::string what;
        std::string content;
        std::vector<std::string> options;
        int code;
        nlohmann::json points;  // what the list reads as (status 0); joining a job: its one SDR point record
        std::string message{};  // in the standard error, '@' the list's path
        std::string job{};      // the job the list joins as --points; empty: the list is read on its own
    } const cases[] = {
        // clang-format off
        // Columns: a header row names them, or their letters.
        {"a header in words", "Point,Northing,Easting,Elevation,Description\n1,5000.5,10000.25,100,CP\n", {}, 0, p1},
        {"a header as drawings name them", "Name;X;Y;H;Code\n1;10000.25;5000.5;100;CP\n", {}, 0, p1},
        {"no header: PNEZD", "1,5000.5,10000.25,100,CP\n", {}, 0, p1},
        {"--columns, a column passed over", "1,x,10000.25,5000.5,100,CP\n", {"--columns", "p-enzd"}, 0, p1},
        {"--columns over a header row", "Nr,Rechts,Hoch,Hoehe,D\n1,10000.25,5000.5,100,CP\n", {"--columns", "PENZD"},
         0, p1},
        {"a header with words it does not know", "Nr,Rechts,Hoch\n1,10000.25,5000.5\n", {}, 5, nullptr,
         "@:1:1: the header row names no name column (it does not know \"Nr\", \"Rechts\", \"Hoch\"); the names a "
         "header may give are name: P Pt PN Point"},
        {"a header naming a column twice", "P,N,E,Northing\n1,2,3,4\n", {}, 5, nullptr,
         "@:1:7: the header row names the northing twice (\"N\" and \"Northing\")"},
        // Separators, quotes, numbers.
        {"tabs alone: empty fields kept", "1\t5000.5\t10000.25\t\tCP\n", {}, 0,
         pt("1", 5000.5, 10000.25, nullptr, "CP")},
        {"a tab, then blanks to align", "1\t  5000.5 \t10000.25\t100      CP\n", {}, 0, p1},
        {"semicolons and decimal commas", "1;5000,5;10000,25;100;CP\n", {}, 0, p1},
        {"exponents", "1,5.0005e3,1.000025E+04,1E2,CP\n", {}, 0, p1},
        {"comments, blank lines, CRLF, a byte-order mark", "\xEF\xBB\xBF# control\r\n\r\n1,5000.5,10000.25,100,CP\r\n",
         {}, 0, p1},
        {"quoted name and code with separators and quotes", "\"A,1\",5000.5,10000.25,100,\"FENCE \"\"old\"\", west\"\n",
         {}, 0, pt("A,1", 5000.5, 10000.25, 100.0, "FENCE \"old\", west")},
        // Three numbers a line: name, northing, easting, or x, y, z?
        {"three numbers a line are refused", "1,5000.5,10000.25\n2,5001,10001\n", {}, 5, nullptr,
         "@:1:1: three numbers a line may be a name, a northing and an easting, or a point's x, y and z; say which "
         "with a header row (P,N,E) or --columns"},
        {"three numbers with --columns", "1,5000.5,10000.25\n", {"--columns", "PNE"}, 0,
         pt("1", 5000.5, 10000.25, nullptr)},
        {"names that are no numbers tell", "CP1 5000.5 10000.25\n", {}, 0, pt("CP1", 5000.5, 10000.25, nullptr)},
        // A point given twice.
        {"twice within a unit of the last decimal: one point, the height taken",
         "1,5000.5,10000.25,,CP\n7,1,2,3\n1,5000.51,10000.24,100,FENCE\n", {}, 0,
         {pt("1", 5000.5, 10000.25, 100.0, "CP")[0], pt("7", 1, 2, 3.0)[0]},
         "point \"1\" is given again, 10 mm from line 1; they are one point, line 1's entry kept with this line's "
         "height; this line's code \"FENCE\" is passed over (@:3:1)"},
        {"twice within half a millimetre, in a finer list", "1,5000.5,10000.2500,100\n1,5000.5,10000.2504,100.0001\n",
         {}, 0, pt("1", 5000.5, 10000.25, 100.0),
         "point \"1\" is given again, 0.4 mm from line 1; they are one point, line 1's entry kept (@:2:1)"},
        {"twice, farther apart", "1,5000.500,10000.25,100\n1,5000.502,10000.25,100\n", {}, 6, nullptr,
         "@:2:1: point \"1\" is defined again with other coordinates than at @:1:1 (2 mm apart)"},
        {"a job's point within the list's last decimal", "1,5000.01,10000.00,,X\n", {}, 0,
         "08TP               15000.0040       10000.0000      100.0000        CP", "is kept (@:1:1)", metres},
        {"a job's point in feet, the height taken", "1,16404.21,32808.40,328.08\n", {}, 0,
         "08TP               15000.0114       10000.0203      99.9990         CP",
         "point \"1\" is given again; the entry at job.json:2:12 is kept with this entry's height (@:1:1)", feet},
        {"a job's point in feet, farther", "P,N,E\n1,16404.23,32808.40\n", {}, 6, nullptr,
         "@:2:1: point \"1\" is defined again with other coordinates than at job.json:2:12", feet},
        // Lines that cannot be read.
        {"a northing that is no number", "1,5000,10000,1\n2,50x0,10000,1\n", {}, 5, nullptr,
         "@:2:3: expected the northing as a number, found \"50x0\""},
        {"a number past the largest double", "1,5000,10000,1\n2,1e309,10000\n", {}, 5, nullptr,
         "@:2:3: expected the northing as a number"},
        {"too few fields", "P,N,E\n1,5000\n", {}, 5, nullptr,
         "@:2:7: a point needs a name, a northing and an easting; found 2 fields"},
        {"a quote not closed", "1,5000,10000,1\n\"2,5000,10000\n", {}, 5, nullptr,
         "@:2:1: a quoted field is not closed"},
        {"no name", ",5000,10000,1\n", {}, 5, nullptr, "@:1:1: a point without a name"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = listFile("points.csv", c.content);
        // A list read alone is stated to be in metres (it states no unit: a warning otherwise).
        std::vector<std::string> args{"read", path, "--input-units", "metres"};
        if (!c.job.empty()) {
            args = {"convert", hosttest::memoryFile("job.json", c.job), "-f", "sdr", "--points", path};
        }
        args.insert(args.end(), c.options.begin(), c.options.end());
        const hosttest::Result result = hosttest::run(args);
        EXPECT_EQ(result.code, c.code) << result.err;
        std::string message = c.message;
        for (std::size_t at = message.find('@'); at != std::string::npos; at = message.find('@', at + path.size())) {
            message.replace(at, 1, path);
        }
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(c.message.empty(), result.err.empty()) << result.err;
        if (c.code != 0) {
            EXPECT_EQ(result.out, "");
        } else if (c.job.empty()) {
            EXPECT_EQ(pointsIn(result.out), c.points) << result.out;
        } else {  // the point written once, as the job gives it
            EXPECT_NE(result.out.find(c.points.get<std::string>()), std::string::npos) << result.out;
            EXPECT_EQ(result.out.find("08TP"), result.out.rfind("08TP")) << result.out;
        }
    }
}

TEST(PointList, BadColumnLettersAreAUsageError) {
    for (const char* letters : {"PNX", "PNEE", "PZD", ""}) {
        SCOPED_TRACE(letters);
        const std::string path = listFile("p.csv", "1,2,3,4\n");
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
    // A list names no program: the file's program line is this program's, at its real version.
    EXPECT_EQ(hosttest::withNewlines(result.out),
              "13NMexportgen Version " + hosttest::programVersion() +
                  "\n"
                  "08TP               15000.0000       10000.0000      100.0000        CP              \n"
                  "08TP               25010.1250       10020.0000      101.5000        CP              \n");
}

TEST(PointList, PointsJoinAJobAsKnownPoints) {
    const std::string list = listFile("design.csv", "P,N,E,Z,D\nD9,4960,10070,100.2,DESIGN\n");
    const hosttest::Result result =
        hosttest::run({"convert", "-f", "rw5", "--points", list, "--now", "2026-01-01T00:00:00"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("SP,PND9,N 4960.0000,E 10070.0000,EL100.2000,--DESIGN\r\n"), std::string::npos);
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

namespace {

// --columns with a job file and a --points list: the columns are the list's.
TEST(PointList, ColumnsNameTheColumnsOfThePointsList) {
    const std::string job = hosttest::memoryFile(
        "columns/job.json", R"({"setups": [{"station": "CP1", "hi": 1.5, "backsight": {"point": "CP2"}}]})");
    const std::string list = hosttest::memoryFile("columns/control.txt", "CP1 5000 10000 100\nCP2 5100 10000 101\n");
    const auto result = hosttest::run({"convert", job, "--points", list, "--columns", "PENZ", "-f", "rw5", "--now",
                                       "2026-01-01T00:00:00", "--input-units", "metres"});
    ASSERT_EQ(result.code, 0) << result.err;
    // Easting first, as the columns say, and the list's unit stated by --input-units.
    EXPECT_NE(result.out.find("SP,PNCP2,N 10000.0000,E 5100.0000,EL101.0000"), std::string::npos) << result.out;
    EXPECT_EQ(result.err.find("states no unit"), std::string::npos) << result.err;
    // Without a list the columns have nothing to name.
    const auto alone = hosttest::run({"convert", job, "--columns", "PENZ", "-f", "rw5"});
    EXPECT_EQ(alone.code, 3);
}

}  // namespace
