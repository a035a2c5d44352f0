// exportgen plot: the built-in job against a golden SVG; positions, fills and what is not drawn
// read back from the SVG of small jobs; every stored job and raw file plotted into XML that
// xmllint and rsvg-convert accept (each check skips itself where its tool is absent); the texts
// of the SVG; errors as convert gives them; the limits of big jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"
#include "plot/svg_text.h"

namespace {

using hosttest::run;

bool haveTool(const std::string& name) { return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0; }

// The plan of `job` (a job file's text) with `extra` options; the run must succeed.
std::string plotOf(const std::string& job, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"plot", hosttest::memoryFile("job.json", job)};
    args.insert(args.end(), extra.begin(), extra.end());
    const hosttest::Result result = run(args);
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

// The plan's frame as its <desc> states it, and the positions its paths start their symbols at.
struct Drawn {
    double e0 = 0.0, n0 = 0.0, resolution = 1.0;
    std::vector<std::pair<double, double>> at(const std::string& svg, const std::string& id) const {
        std::vector<std::pair<double, double>> points;
        const std::size_t start = svg.find("id=\"" + id + "\"");
        if (start == std::string::npos) return points;
        // The group's paths, up to its end.
        const std::string paths = svg.substr(start, svg.find("</g>", start) - start);
        static const std::regex move("M(-?[0-9.]+) (-?[0-9.]+)");
        for (auto it = std::sregex_iterator(paths.begin(), paths.end(), move); it != std::sregex_iterator(); ++it) {
            points.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
        }
        return points;
    }
};

Drawn frameOf(const std::string& svg) {
    static const std::regex desc("E0 (-?[0-9.]+), N0 (-?[0-9.]+); ([0-9]+) decimals");
    std::smatch match;
    Drawn drawn;
    EXPECT_TRUE(std::regex_search(svg, match, desc)) << svg.substr(0, 600);
    if (match.empty()) return drawn;
    drawn.e0 = std::stod(match[1]);
    drawn.n0 = std::stod(match[2]);
    drawn.resolution = 0.5 * std::pow(10.0, -std::stoi(match[3]));
    return drawn;
}

// Each of `expected` (easting, northing in the job's units) drawn at x = E - E0, y = N0 - N.
void expectDrawnAt(const std::string& svg, const std::string& id,
                   const std::vector<std::pair<double, double>>& expected) {
    const Drawn frame = frameOf(svg);
    const auto drawn = frame.at(svg, id);
    ASSERT_EQ(drawn.size(), expected.size()) << id;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        SCOPED_TRACE(id + " " + std::to_string(i));
        EXPECT_NEAR(drawn[i].first, expected[i].first - frame.e0, frame.resolution + 1e-9);
        EXPECT_NEAR(drawn[i].second, frame.n0 - expected[i].second, frame.resolution + 1e-9);
    }
}

// A traverse: S1 on a known point (recorded), T1 and T2 placed by foresights (derived), LOST and
// STN_3 that nothing places; B the backsight, due north of S1. `head` gives the units; lengths
// are written times `scale` and angles times `angle` (400/360 for gons), so that every variant
// stands at the same places on the ground.
std::string traverse(const std::string& head, double scale = 1.0, double angle = 1.0) {
    const auto v = [&](double value) { return std::to_string(value * scale); };
    const auto a = [&](double value) { return std::to_string(value * angle); };
    return "{" + head + R"("job": {"name": "TRAV"},
      "points": [{"name": "S1", "coords": [)" +
           v(5000.25) + "," + v(12000.75) + "," + v(50) + R"(]}, {"name": "B", "coords": [)" + v(5100.25) + "," +
           v(12000.75) + "," + v(51) + R"(]}],
      "setups": [
        {"station": "S1", "hi": 1.5, "backsight": {"point": "B", "circle": 0, "hr": 1.5}, "shots": [
          {"to": "T1", "fs": true, "hd": [)" +
           a(90) + "," + v(100) + R"(, 0], "hr": 1.5}, {"to": "x1", "hd": [)" + a(45) + "," + v(30) +
           R"(, 0], "hr": 1.5}]},
        {"station": "T1", "hi": 1.5, "backsight": {"point": "S1", "circle": 0, "hr": 1.5}, "shots": [
          {"to": "T2", "fs": true, "hd": [)" +
           a(90) + "," + v(80) + R"(, 0], "hr": 1.5}]},
        {"station": "T2", "hi": 1.5, "backsight": {"point": "T1", "circle": 0, "hr": 1.5}, "shots": [
          {"to": "x3", "hd": [)" +
           a(270) + "," + v(25) + R"(, 0], "hr": 1.5}]},
        {"station": "LOST", "hi": 1.5, "shots": [{"to": "y1", "hd": [10, 20, 0], "hr": 1.5}]},
        {"station": "STN_3", "hi": 1.5, "shots": [{"to": "y2", "hd": [10, 20, 0], "hr": 1.5}]}]})";
}

const char* const kMetres = R"("units": {"distance": "metres"},)";

// --------------------------------------------------------------------------------------------
// The built-in job, by eye in review: tests/golden/plot_sample.svg (docs/images/plot_sample.png
// is its picture). Under a locale with a decimal comma when the machine has one.

TEST(Plot, TheBuiltInJobMatchesTheGoldenSvg) {
    const bool comma =
        std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr || std::setlocale(LC_ALL, "de_DE.utf8") != nullptr;
    const hosttest::Result result = run({"plot"});
    std::setlocale(LC_ALL, "C");
    ASSERT_EQ(result.code, 0) << result.err;
    const std::string path = hosttest::dataPath("golden/plot_sample.svg");
    if (std::getenv("EXPORTGEN_UPDATE_GOLDEN") != nullptr) hosttest::writeFile(path, result.out);
    EXPECT_EQ(result.out, hosttest::readFile(path)) << (comma ? "under de_DE" : "under C");
    // The level run's turning point is placed by nothing: said on stderr and in the legend.
    EXPECT_NE(result.err.find("1 level run point not drawn"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("1 level run point the job does not place"), std::string::npos);
}

// One input, one file: the same bytes again, and a date only when --now gives one.
TEST(Plot, IsDeterministicAndDatedOnlyByNow) {
    const std::string job = hosttest::sampleJob();
    const std::string first = plotOf(job);
    EXPECT_EQ(plotOf(job), first);
    EXPECT_EQ(first.find("plotted:"), std::string::npos);
    EXPECT_NE(plotOf(job, {"--now", "2025-07-04T09:05:03"}).find("plotted: 2025-07-04T09:05:03"), std::string::npos);
    // --size sets the picture's size alone.
    const std::string sized = plotOf(job, {"--size", "600x450"});
    EXPECT_NE(sized.find("width=\"600\" height=\"450\""), std::string::npos);
    EXPECT_EQ(sized.substr(sized.find("viewBox")), first.substr(first.find("viewBox")));
}

// --------------------------------------------------------------------------------------------
// Positions and fills read back from the SVG.

// Known points and stations at x = E - E0, y = N0 - N in the job's units; stations filled where
// their position is recorded, hollow where it is derived, absent where nothing places them.
TEST(Plot, PointsAndStationsAreDrawnWhereTheJobPlacesThem) {
    constexpr double kFeet = 3937.0 / 1200.0;  // US survey feet to the metre
    const struct {
        const char* what;
        std::string job;
        double scale;  // the plan's units to the metre
    } cases[] = {
        {"metres", traverse(kMetres), 1.0},
        {"US survey feet and gons",
         traverse(R"("units": {"distance": "usSurveyFeet", "angle": "gons"},
                     "inputUnits": {"distance": "usSurveyFeet", "angle": "gons"},)",
                  kFeet, 400.0 / 360.0),
         kFeet},
        {"international feet out, metres in", traverse(R"("units": {"distance": "internationalFeet"},)"), 1.0 / 0.3048},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string svg = plotOf(c.job);
        const auto at = [&](double e, double n) { return std::make_pair(e * c.scale, n * c.scale); };
        expectDrawnAt(svg, "known-points", {at(12000.75, 5000.25), at(12000.75, 5100.25)});
        expectDrawnAt(svg, "stations-recorded", {at(12000.75, 5000.25)});
        // T1 100 east of S1 (the backsight B is due north, circle 0); T2 80 north of T1 (its
        // backsight S1 is due west, circle 0, and the foresight turns 90 degrees right of it).
        expectDrawnAt(svg, "stations-derived", {at(12100.75, 5000.25), at(12100.75, 5080.25)});
        // Nothing places LOST and STN_3: not drawn, named in the legend with --assume; their
        // shots are counted.
        EXPECT_NE(svg.find("not drawn, no position: LOST, STN_3"), std::string::npos);
        EXPECT_NE(svg.find("--assume N,E,Z[,BEARING]"), std::string::npos);
        EXPECT_NE(svg.find("2 targets not drawn"), std::string::npos);
        EXPECT_EQ(svg.find(">LOST<"), std::string::npos);
    }
}

// --assume places the first set-up nothing else places, as a conversion does: hollow.
TEST(Plot, AssumeDrawsTheFirstUnplacedStationHollow) {
    const std::string svg = plotOf(traverse(kMetres), {"--assume", "4000,11000,40"});
    expectDrawnAt(svg, "stations-recorded", {{12000.75, 5000.25}});
    expectDrawnAt(svg, "stations-derived", {{12100.75, 5000.25}, {12100.75, 5080.25}, {11000, 4000}});
    EXPECT_NE(svg.find("not drawn, no position: STN_3"), std::string::npos);
    EXPECT_NE(svg.find("(--points places them)"), std::string::npos);
}

// A free station: hollow where the resection places it; its residuals are vectors at the
// known points, at an exaggeration the legend states.
TEST(Plot, AFreeStationIsHollowWithItsResidualsExaggerated) {
    const std::string job = R"({"points": [{"name": "1", "coords": [5000, 10000, 100]},
        {"name": "2", "coords": [5000, 10120, 101.2]}, {"name": "3", "coords": [4910, 10120, 100.8]}],
      "setups": [{"station": "R1", "hi": 1.58, "resection": [
        {"to": "1", "sd": [277.5, 90.226879, 70.7112], "hr": 1.6},
        {"to": "2", "sd": [16.962322, 89.387257, 86.0282], "hr": 1.6},
        {"to": "3", "sd": [82.244881, 89.630458, 80.6243], "hr": 1.6}]}]})";
    const std::string svg = plotOf(job);
    const Drawn frame = frameOf(svg);
    EXPECT_TRUE(frame.at(svg, "stations-recorded").empty());
    const auto derived = frame.at(svg, "stations-derived");
    ASSERT_EQ(derived.size(), 1U);
    EXPECT_NEAR(derived[0].first + frame.e0, 10050.0, 0.05);
    EXPECT_NEAR(frame.n0 - derived[0].second, 4950.0, 0.05);
    // One vector per sight, each starting at its known point.
    const std::size_t group = svg.find("marker-end=\"url(#residual)\">");
    ASSERT_NE(group, std::string::npos);
    const std::string vectors = svg.substr(group, svg.find("</g>", group) - group);
    static const std::regex start("<path d=\"M(-?[0-9.]+) (-?[0-9.]+)l");
    std::vector<std::pair<double, double>> starts;
    for (auto it = std::sregex_iterator(vectors.begin(), vectors.end(), start); it != std::sregex_iterator(); ++it) {
        starts.emplace_back(std::stod((*it)[1]) + frame.e0, frame.n0 - std::stod((*it)[2]));
    }
    EXPECT_EQ(starts, (std::vector<std::pair<double, double>>{{10000, 5000}, {10120, 5000}, {10120, 4910}}));
    static const std::regex legend("resection residual, \xC3\x97 [1-9][0-9,]*<");
    EXPECT_TRUE(std::regex_search(svg, legend));
}

// A stake-out: an arrow from where the point was staked to its design point, labelled with the
// horizontal miss and the cut or fill in the job's units; a sight with no position is drawn at
// the coordinates the input gives it.
TEST(Plot, StakeOutsAndSightsWithoutAPosition) {
    const std::string job = hosttest::oneSetup(
        R"([{"to": "T", "hz": [10], "coords": [1010, 2005, 100]}, {"to": "U", "dist": [12]}],
           "backsight": {"bearing": 0, "circle": 0},
           "stakeouts": [{"design": "D", "to": "SO", "hd": [90, 10.03, 0.25], "hr": 1.5},
                         {"design": "E", "to": "SO2", "hd": [0, 5, 0], "hr": 1.5}])",
        R"("points": [{"name": "D", "coords": [1000, 2010, 101]}, {"name": "E", "coords": [1005, 2000]}],)");
    const std::string svg = plotOf(job);
    // Staked 0.03 east of D, at 100 + 1.5 + 0.25 - 1.5: 0.75 below it.
    EXPECT_NE(svg.find(">SO: 0.030 m, fill 0.750<"), std::string::npos);
    // E is known in plan only: the height of the miss is unknown, not zero.
    EXPECT_NE(svg.find(">SO2: 0.000 m, height unknown<"), std::string::npos);
    EXPECT_NE(svg.find(">T<"), std::string::npos);  // at its recorded coordinates
    EXPECT_EQ(svg.find(">U<"), std::string::npos);  // a distance alone: nowhere
    EXPECT_NE(svg.find("1 target not drawn"), std::string::npos);
}

// --labels: none, the stations and known points, or everything; names that would overlap are
// left out and counted, never drawn over each other.
TEST(Plot, LabelsFollowTheOptionAndNeverOverlap) {
    const std::string job = hosttest::oneSetup(
        R"([{"to": "A1", "hd": [0, 10, 0]}, {"to": "A2", "hd": [0, 10.001, 0]}, {"to": "FAR", "hd": [180, 10, 0]}],
           "backsight": {"bearing": 0, "circle": 0})",
        R"("points": [{"name": "K", "coords": [990, 1990, 0]}],)");
    const auto names = [](const std::string& svg) {
        std::vector<std::string> found;
        static const std::regex text("<text x=\"[-0-9.]+\" y=\"[-0-9.]+\"(?: text-anchor=\"end\")?>([^<]*)</text>");
        const std::size_t from = svg.find("<g id=\"labels\"");
        if (from == std::string::npos) return found;
        const std::string labels = svg.substr(from, svg.find("</g>", from) - from);
        for (auto it = std::sregex_iterator(labels.begin(), labels.end(), text); it != std::sregex_iterator(); ++it) {
            found.push_back((*it)[1]);
        }
        return found;
    };
    const std::string all = plotOf(job);
    EXPECT_EQ(names(all), (std::vector<std::string>{"S1", "K", "A1", "FAR"}));
    EXPECT_NE(all.find("1 name not drawn where it would overlap"), std::string::npos);
    EXPECT_EQ(names(plotOf(job, {"--labels", "stations"})), (std::vector<std::string>{"S1", "K"}));
    EXPECT_TRUE(names(plotOf(job, {"--labels", "none"})).empty());
}

// --------------------------------------------------------------------------------------------
// Texts: names in any script as given, and whatever a name holds gives well-formed XML.

TEST(Plot, HostileNamesGiveWellFormedXml) {
    const std::string job = R"({"job": {"name": "A & B <north> \"site\"", "text2": "line\nbreak\u0001", "text3": "ﾃｽﾄ"},
      "points": [{"name": "K&<1>", "coords": [990, 1990, 0]}],
      "setups": [{"station": "測站\u00011", "coords": [1000, 2000, 100], "hi": 1.5,
        "backsight": {"bearing": 0, "circle": 0},
        "shots": [{"to": "نقطة", "hd": [0, 10, 0]}, {"to": "a\nb", "hd": [90, 10, 0]},
                  {"to": ")" +
                            std::string(3000, 'L') + R"(", "hd": [180, 10, 0]}]}]})";
    const std::string svg = plotOf(job);
    EXPECT_NE(svg.find("<title>Plan of A &amp; B &lt;north&gt; &quot;site&quot;</title>"), std::string::npos);
    EXPECT_NE(svg.find(">line\xEF\xBF\xBD"
                       "break\xEF\xBF\xBD<"),
              std::string::npos);
    EXPECT_NE(svg.find(">K&amp;&lt;1&gt;<"), std::string::npos);
    EXPECT_NE(svg.find(">測站\xEF\xBF\xBD"
                       "1<"),
              std::string::npos);
    EXPECT_NE(svg.find(">نقطة<"), std::string::npos);
    EXPECT_NE(svg.find(">a\xEF\xBF\xBD"
                       "b<"),
              std::string::npos);
    EXPECT_NE(svg.find(std::string(40, 'L') + "\xE2\x80\xA6<"), std::string::npos);  // cut, marked
    EXPECT_EQ(svg.find(std::string(41, 'L')), std::string::npos);
    if (!haveTool("xmllint")) GTEST_SKIP() << "xmllint is not installed (libxml2-utils)";
    const std::string file = hosttest::freshDirectory("plot-hostile") + "/plan.svg";
    hosttest::writeFile(file, svg);
    EXPECT_EQ(std::system(("xmllint --noout " + file).c_str()), 0);
}

TEST(PlotText, FixedNumbersAndEscapedTexts) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } numbers[] = {
        {1234.5678, 2, "1234.57"},      {-0.004, 2, "0.00"}, {-0.0, 0, "0"}, {-12.5, 1, "-12.5"},
        {1e12, 3, "1000000000000.000"}, {0.125, 0, "0"},     {2.5, 0, "2"},
    };
    for (const auto& n : numbers) {
        std::string out;
        EXPECT_TRUE(exportgen::plot::appendFixed(out, n.value, n.decimals));
        EXPECT_EQ(out, n.text) << n.value;
    }
    std::string none;
    for (const double bad : {NAN, INFINITY, -INFINITY}) EXPECT_FALSE(exportgen::plot::appendFixed(none, bad, 2));
    EXPECT_TRUE(none.empty());
    std::string largest;
    EXPECT_TRUE(exportgen::plot::appendFixed(largest, -1.7976931348623157e308, 9));
    EXPECT_EQ(largest.size(), 1 + 309 + 1 + 9);

    const struct {
        std::string utf8;
        std::size_t max;
        std::string xml;
    } texts[] = {
        {"a&b<c>\"d'", 60, "a&amp;b&lt;c&gt;&quot;d'"},
        {std::string("x\0y\t\r\n\x7F\xC2\x85", 9), 60,
         "x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xFF\xC3\x28\xE0\x80\x80", 60, "\xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // no UTF-8
        {"\xED\xA0\x80\xEF\xBF\xBE", 60, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate, U+FFFE
        {"\xF0\x9F\x93\x90 Ωμέγα 中", 60, "\xF0\x9F\x93\x90 Ωμέγα 中"},
        {"abcdef", 3, "abc\xE2\x80\xA6"},
        {"abc", 3, "abc"},
        {"", 3, ""},
    };
    for (const auto& t : texts) {
        std::string out;
        exportgen::plot::appendXmlText(out, t.utf8, t.max);
        EXPECT_EQ(out, t.xml) << t.utf8;
    }
}

// --------------------------------------------------------------------------------------------
// Every input plots: the built-in job as a raw file of each format and as a point list, and
// every stored job and raw file of the fuzz corpus. Each plan that is drawn is well-formed XML
// (xmllint) and renders (rsvg-convert); an input that is refused is refused as convert refuses
// it, never with an internal error.

TEST(Plot, EveryFormatAndAPointListPlot) {
    const std::string directory = hosttest::freshDirectory("plot-formats");
    const hosttest::Result all = run({"convert", "--all", directory, "--now", "2025-07-04T09:05:03"});
    ASSERT_EQ(all.code, 0) << all.err;
    hosttest::writeFile(directory + "/points.csv", "P,N,E,Z,D\n1,5000,10000,100,CP\n2,5000,10120,101.2,CP\n");
    for (const std::string& file : hosttest::listDirectory(directory)) {
        SCOPED_TRACE(file);
        const hosttest::Result result = run({"plot", directory + "/" + file, "-o", directory + "/" + file + ".svg"});
        ASSERT_EQ(result.code, 0) << result.err;
        const std::string svg = hosttest::readFile(directory + "/" + file + ".svg");
        // Known points and stations where the file records their coordinates: the point list,
        // RW5, SDR and LandXML. The Vemra family records none, and Quolt/Pashk those of targets
        // alone: their stations stay unplaced, and the legend says so.
        const bool coordinates =
            file == "points.csv" || file == "sample.rw5" || file == "sample.sdr" || file == "sample.xml";
        EXPECT_EQ(frameOf(svg).at(svg, "known-points").empty(), !coordinates);
        if (coordinates && file != "points.csv") {
            EXPECT_FALSE(frameOf(svg).at(svg, "stations-recorded").empty());
        }
        if (!coordinates) {
            EXPECT_NE(svg.find("not drawn, no position:"), std::string::npos);
        }
        if (haveTool("xmllint")) {
            EXPECT_EQ(std::system(("xmllint --noout " + directory + "/" + file + ".svg").c_str()), 0);
        }
    }
}

std::vector<std::string> storedInputs() {
    std::vector<std::string> files;
    for (const char* target : {"convert", "read_points", "read_quoltpashk", "read_rw5", "read_sdr", "read_vemra"}) {
        const std::filesystem::path folder = hosttest::dataPath(std::string("../fuzz/corpus/") + target);
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Plot, EveryStoredInputPlotsIntoXmlThatRenders) {
    const std::vector<std::string> inputs = storedInputs();
    ASSERT_GT(inputs.size(), 100U);
    const std::string directory = hosttest::freshDirectory("plot-stored");
    std::vector<std::string> plans;
    for (const std::string& input : inputs) {
        const bool job = input.find("/convert/") != std::string::npos;
        const std::string plan = directory + "/" + std::to_string(plans.size()) + ".svg";
        std::vector<std::string> args{"plot", input, "-o", plan, "--quiet"};
        if (job) args.insert(args.end(), {"--from", "job"});
        const hosttest::Result result = run(args);
        if (result.code == 0) {
            plans.push_back(plan);
            continue;
        }
        // Raw files of the corpus are all readable; job files may be refused, as convert
        // refuses them.
        EXPECT_TRUE(job) << input << ": " << result.err;
        EXPECT_TRUE(result.code == exportgen::kExitJson || result.code == exportgen::kExitJob ||
                    result.code == exportgen::kExitUsage)
            << input << ": " << result.err;
    }
    ASSERT_GT(plans.size(), 40U);
    if (haveTool("xmllint")) {
        std::string command = "xmllint --noout";
        for (const std::string& plan : plans) command += " " + plan;
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    if (!haveTool("rsvg-convert")) GTEST_SKIP() << "rsvg-convert is not installed (librsvg2-bin)";
    for (const std::string& plan : plans) {
        EXPECT_EQ(std::system(("rsvg-convert -w 300 -o " + plan + ".png " + plan).c_str()), 0) << plan;
    }
}

// Positions no survey reaches: beyond 1e12 (the largest double) are counted, not drawn; a plan
// that reaches 1e11 from zero is drawn with type a renderer still handles.
TEST(Plot, FarPositionsAreCountedOrDrawnWithinReason) {
    const std::string svg = plotOf(R"({"points": [{"name": "BIG", "coords": [1.7976931348623157e308, 1e308, 0]},
        {"name": "A", "coords": [-1e11, -1e11, 0]}, {"name": "B", "coords": [1e11, 1e11, 0]}],
      "setups": [{"station": "BIG", "hi": 1, "backsight": {"bearing": 0, "circle": 0},
                  "shots": [{"to": "q", "hd": [0, 1e300, 0]}]}]})");
    EXPECT_NE(svg.find("2 positions not drawn: out of range"), std::string::npos);
    expectDrawnAt(svg, "known-points", {{-1e11, -1e11}, {1e11, 1e11}});
    EXPECT_NE(svg.find(">A<"), std::string::npos);
    if (!haveTool("rsvg-convert")) GTEST_SKIP() << "rsvg-convert is not installed (librsvg2-bin)";
    const std::string file = hosttest::freshDirectory("plot-far") + "/plan.svg";
    hosttest::writeFile(file, svg);
    EXPECT_EQ(std::system(("rsvg-convert -w 300 -o " + file + ".png " + file).c_str()), 0);
}

// --------------------------------------------------------------------------------------------
// Errors are those of convert: the same status and message.

TEST(Plot, ErrorsAreThoseOfConvert) {
    const std::string directory = hosttest::freshDirectory("plot-errors");
    hosttest::writeFile(directory + "/job.json", hosttest::sampleJob());
    hosttest::writeFile(directory + "/bad.json", "{\"setups\": [{\"hi\": 1}]}");
    const struct {
        std::vector<std::string> plot;
    } cases[] = {
        {{directory + "/missing.json"}},
        {{directory + "/bad.json"}},
        {{directory + "/job.json", "-o", directory + "/no/such/folder/p.svg"}},
        {{directory + "/job.json", "-o", directory + "/job.json"}},
        {{directory + "/job.json", "--assume", "1,2"}},
        {{directory + "/job.json", "--now", "yesterday"}},
    };
    for (const auto& c : cases) {
        // convert into a file, as plot writes: at the end (to the standard output, convert checks
        // the whole job first and lists every error).
        std::vector<std::string> plot{"plot"}, convert{"convert", "-f", "rw5"};
        plot.insert(plot.end(), c.plot.begin(), c.plot.end());
        convert.insert(convert.end(), c.plot.begin(), c.plot.end());
        if (std::find(c.plot.begin(), c.plot.end(), "-o") == c.plot.end()) {
            convert.insert(convert.end(), {"-o", directory + "/out.rw5"});
        }
        const hosttest::Result plotted = run(plot), converted = run(convert);
        SCOPED_TRACE(plotted.err);
        EXPECT_NE(plotted.code, 0);
        EXPECT_EQ(plotted.code, converted.code);
        EXPECT_EQ(plotted.err, converted.err);
        EXPECT_TRUE(plotted.out.empty());
    }
    EXPECT_EQ(hosttest::listDirectory(directory), (std::vector<std::string>{"bad.json", "job.json"}));
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--size", "0x10"},
                                                {"--size", "12"},
                                                {"--size", "100x100000000"},
                                                {"--labels", "some"}}) {
        const hosttest::Result result = run({"plot", directory + "/job.json", bad[0], bad[1]});
        EXPECT_EQ(result.code, exportgen::kExitUsage) << bad[1];
        EXPECT_EQ(result.err.rfind("exportgen: " + bad[0] + " " + bad[1] + ": ", 0), 0U) << result.err;
    }
}

// --------------------------------------------------------------------------------------------
// Big jobs: past 100,000 sights the targets are dots alone, and the lines not drawn are counted;
// the file stays small.

TEST(Plot, PastTheSightLimitTargetsAreDotsAlone) {
    const int shots = 100250;
    const std::string svg = plotOf(hosttest::syntheticJob(shots, 3));
    EXPECT_NE(svg.find("100,250 sight lines not drawn (over 100,000)"), std::string::npos);
    EXPECT_EQ(svg.find("id=\"sights\""), std::string::npos);  // no sight paths
    EXPECT_LT(svg.size(), static_cast<std::size_t>(shots) * 80U);
    // The dots in many short paths: libxml2 2.9 reads no file past 10 MB whose paths are long.
    std::size_t longest = 0, paths = 0;
    for (std::size_t at = svg.find(" d=\""); at != std::string::npos; at = svg.find(" d=\"", at + 1)) {
        longest = std::max(longest, svg.find('"', at + 4) - at);
        ++paths;
    }
    EXPECT_LT(longest, 20000U);
    EXPECT_GT(paths, 50U);
    const std::string below = plotOf(hosttest::syntheticJob(500, 3));
    EXPECT_NE(below.find("id=\"sights\""), std::string::npos);
    EXPECT_EQ(below.find("sight lines not drawn"), std::string::npos);
}

}  // namespace
