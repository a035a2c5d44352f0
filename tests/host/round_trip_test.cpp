// Writing a job in a format, reading the file back and writing it again: the same bytes, for
// every format that is read, on the built-in job, synthetic jobs and jobs with awkward texts and
// units. And the points of the read job lie where the job put them, within what the format's
// figures can resolve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/embedded.h"
#include "formats/registry.h"
#include "host/host_test_support.h"
#include "job/job.h"

namespace {

constexpr const char* kNow = "2026-01-01T00:00:00";

struct NamedJob {
    std::string name;
    std::string text;
};

// The built-in job with its units changed (the figures stay the job's metres and degrees: only
// what the files write changes).
std::string sampleIn(const char* distance, const char* angle) {
    nlohmann::json job = nlohmann::json::parse(exportgen::sampleJobText());
    job["units"] = {{"distance", distance}, {"angle", angle}};
    return job.dump();
}

// Texts that formats find awkward: a name as wide as the fields, blanks, accents, a note of
// several lines, a code with attributes and a second code.
const char* const kAwkwardTexts = R"({
  "units": {"distance": "metres", "angle": "degrees"},
  "job": {"name": "Río Tinto 4", "created": {"date": "31/12/2025", "time": "23:59:58"}},
  "points": [{"name": "CTRL-NORTH-0001", "coords": [6100.125, 2200.5, 310.25], "code": "CP"},
             {"name": "B 2", "coords": [6050, 2260.75, 309.5], "code": "CP", "note": "brass cap"}],
  "setups": [{"station": "CTRL-NORTH-0001", "hi": 1.512, "note": "first line\nsecond line",
              "backsight": {"point": "B 2", "hr": 1.7, "sd": [0, 91.25, 77.5432]},
              "shots": [{"to": "Élan", "sd": [12.5, 88.125, 33.3333], "hr": 1.7, "code": "TREE",
                         "codes": [{"code": "TREE", "attributes": [["SPECIES", "oak"], ["GIRTH", "1.2"]]},
                                   {"code": "HEDGE"}], "note": "by the gate"},
                        {"to": "1001", "sd": [359.99999, 90.0001, 0.0011]},
                        {"to": "1002", "sd": [180, 270, 5.5], "hr": 0}]}]
})";

std::vector<NamedJob> jobs() {
    std::vector<NamedJob> list{{"built-in", std::string(exportgen::sampleJobText())},
                               {"built-in in US feet and gons", sampleIn("usSurveyFeet", "gons")},
                               {"built-in in feet and mils", sampleIn("internationalFeet", "mils")},
                               {"awkward texts", kAwkwardTexts}};
    for (int seed = 1; seed <= 3; ++seed)
        list.push_back({"synthetic seed " + std::to_string(seed), hosttest::syntheticJob(240, seed)});
    return list;
}

// The job as `format`, each character a format cannot carry replaced by a blank (so that every
// job converts to every format).
hosttest::Result convert(const std::string& jobText, const std::string& format, const std::string& name) {
    const std::string path = hosttest::memoryFile("round-trip/" + name + ".json", jobText);
    return hosttest::run({"convert", path, "--from", "job", "-f", format, "--now", kNow, "--quiet", "--sanitize"});
}

// Where the job model puts a point: its coordinates and, for an observed target, how far it
// lies from the station that observed it (a file without coordinates keeps that much).
struct Placed {
    exportgen::Point3 at;
    bool located = true;  ///< `at` is known
    bool observed = false;
    double horizontal = 0.0, rise = 0.0;  ///< from the station's mark to the target
};

// Every known point, station and observed target of a job where the job model puts it; a target
// under "STATION>TARGET", since a point observed from two set-ups lies at two distances.
std::map<std::string, Placed> pointsOf(const std::string& jobText) {
    const auto narrow = [](const COrvStringT& text) {
        std::string out;
        for (wchar_t ch : text.view()) out += static_cast<char>(ch);
        return out;
    };
    const hosttest::JobModel model = hosttest::readJobModel(jobText);
    std::map<std::string, Placed> points;
    for (const auto& point : model.job.points) points[narrow(point.design.getStation().name())].at = point.coords;
    for (const exportgen::Setup& setup : model.setups) {
        if (setup.coords.known()) points[narrow(setup.station)] = Placed{setup.coords.at};
        for (std::size_t i = 0; i < setup.shots.size(); ++i) {
            const exportgen::Observation& shot = setup.shots[i];
            double horizontal = 0.0, rise = 0.0;
            if (!setup.hi.known() || !shot.hr.known() || !shot.measured() ||
                !exportgen::reduce(shot.measurement(), horizontal, rise)) {
                continue;
            }
            // How far the target lies from the station's mark holds without the station's place.
            Placed placed;
            placed.located = false;
            placed.observed = true;
            placed.horizontal = horizontal;
            placed.rise = setup.hi.value + rise - shot.hr.value;
            const exportgen::Figure orientation = setup.orientationOfShot(i);
            if (setup.coords.known() && orientation.known()) {
                placed.located = exportgen::target(setup.coords.at, setup.hi.value, shot.hr.value, orientation.value,
                                                   shot.measurement(), placed.at);
            } else if (shot.coords.origin == exportgen::Origin::recorded) {
                // A file that places no station may still record where a target lies (Drevan's
                // groups with coordinates).
                placed.at = shot.coords.at;
                placed.located = true;
            }
            points[narrow(setup.station) + ">" + narrow(shot.sight.targetName())] = placed;
        }
    }
    return points;
}

// What a file does not state and its reader guesses, stated as a user who knows the units the
// job was written in states them (--input-units): SDR states no units, and writes degrees of
// either style as decimals; the Vemra family and Quolt/Pashk write one letter for US survey and
// international feet. Empty where the file states its units.
std::string statedUnits(const std::string& format, const std::string& jobText) {
    const nlohmann::json job = nlohmann::json::parse(jobText);
    const std::string distance = job.value("/units/distance"_json_pointer, std::string("metres"));
    if (format == "sdr") {
        std::string angle = job.value("/units/angle"_json_pointer, std::string("degrees"));
        if (angle == "degrees" || angle == "packedDms") angle = "decimalDegrees";
        return distance + "," + angle;
    }
    if (format == "rw5" || format == "landxml" || distance == "metres") return {};
    return distance.rfind("international", 0) == 0 ? "internationalFeet" : "usSurveyFeet";
}

class RoundTrip : public testing::TestWithParam<std::string> {};

TEST_P(RoundTrip, WritingTheReadFileAgainGivesItsBytes) {
    const std::string format = GetParam();
    for (const NamedJob& job : jobs()) {
        SCOPED_TRACE(job.name);
        const hosttest::Result first = convert(job.text, format, "job");
        ASSERT_EQ(first.code, 0) << first.err;
        std::vector<std::string> warnings;
        const std::string read = hosttest::readRaw(format, first.out, &warnings, statedUnits(format, job.text));
        const hosttest::Result second = convert(read, format, "read");
        ASSERT_EQ(second.code, 0) << second.err << "\nthe read job: " << read.substr(0, 2000);
        EXPECT_EQ(second.out, first.out) << "the read job: " << read.substr(0, 2000);
        for (const auto& warning : warnings) ADD_FAILURE() << "the reader warned about our own file: " << warning;
    }
}

// Within what the format's figures resolve: a second of arc over a few hundred metres and the
// last written digit of a distance, the backsight's own included: a few millimetres. And 2 ppm
// of the coordinates: formats that write international and US survey feet with one letter read
// both as US survey feet.
double tolerance(const exportgen::Point3& at) { return 0.005 + 2.5e-6 * std::max(std::fabs(at.n), std::fabs(at.e)); }

TEST_P(RoundTrip, TheReadPointsLieWhereTheJobPutThem) {
    const std::string format = GetParam();
    std::size_t placed = 0, observed = 0;
    for (const NamedJob& job : jobs()) {
        SCOPED_TRACE(job.name);
        const hosttest::Result written = convert(job.text, format, "job");
        ASSERT_EQ(written.code, 0) << written.err;
        // A format that does not say its distance unit (SDR) is read in the units stated for it.
        const std::string readJob = hosttest::readRaw(format, written.out, nullptr, statedUnits(format, job.text));
        // A format that carries no coordinates (the Vemra family) keeps where each target lies
        // from its station, not where the station stands.
        bool coordinates = nlohmann::json::parse(readJob).contains("points");
        const auto original = pointsOf(job.text);
        for (const auto& [name, read] : pointsOf(readJob)) {
            const auto it = original.find(name);
            if (it == original.end()) continue;
            const Placed& expected = it->second;
            const double within = tolerance(expected.at);
            if (coordinates && read.located && expected.located) {
                ++placed;
                EXPECT_NEAR(read.at.n, expected.at.n, within) << name;
                EXPECT_NEAR(read.at.e, expected.at.e, within) << name;
                EXPECT_NEAR(read.at.h, expected.at.h, within) << name;
            }
            if (read.observed && expected.observed) {
                ++observed;
                EXPECT_NEAR(read.horizontal, expected.horizontal, within) << name;
                EXPECT_NEAR(read.rise, expected.rise, within) << name;
            }
        }
    }
    // Every format keeps its targets' distances; all but the Vemra family their coordinates, and
    // Drevan the coordinates of the targets it writes them for.
    EXPECT_GT(observed, 100U);
    const bool vemraFamily = format == "vemra" || format == "apasima" || format == "drevan";
    if (!vemraFamily) {
        EXPECT_GT(placed, 100U);
    }
    if (format == "drevan") {
        EXPECT_GT(placed, 100U);
    }
}

std::vector<std::string> readFormats() {
    std::vector<std::string> names;
    for (const auto& format : exportgen::formats()) {
        if (format.readable()) names.emplace_back(format.name);
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(EveryReadFormat, RoundTrip, testing::ValuesIn(readFormats()),
                         [](const auto& param) { return param.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RoundTrip);

}  // namespace

namespace {

// The formats that note a stake-out's differences in the host's own text ("Stake D: dN … dE … dH
// …") read it back as a stake-out whatever measured the staked point; a point staked or designed
// in plan only keeps its height difference unknown ("dH unknown"), never 0, and one whose landing
// is unknown keeps its design point.
TEST(StakeOuts, ReadBackWithTheirDesignAndDifferencesFromEveryMeasurementKind) {
    const std::string job = R"({"points": [{"name": "A", "coords": [1100, 2000, 102]},
        {"name": "D", "coords": [1050, 2050, 101]}, {"name": "E", "coords": [1050, 1950]}],
        "setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "backsight": {"point": "A", "hr": 1.6},
        "stakeouts": [{"design": "D", "to": "SO1", "sd": [45, 88.8, 70.72], "hr": 1.6},
                      {"design": "D", "to": "SO2", "hd": [45, 70.7, 1], "hr": 1.6},
                      {"design": "E", "to": "SO3", "sd": [315, 90, 70.7], "hr": 1.6},
                      {"design": "D", "to": "SO4", "angles": [45, 89], "hr": 1.6}]}]})";
    for (const char* format : {"rw5", "quoltpashk", "landxml"}) {
        SCOPED_TRACE(format);
        const hosttest::Result written = convert(job, format, "stakeouts");
        ASSERT_EQ(written.code, 0) << written.err;
        EXPECT_NE(written.out.find("Stake E: dN -0.0076 dE 0.0076 dH unknown"), std::string::npos) << written.out;
        const nlohmann::json read = nlohmann::json::parse(hosttest::readRaw(format, written.out));
        const nlohmann::json& stakeouts = read["setups"][0]["stakeouts"];
        ASSERT_EQ(stakeouts.size(), 4U) << read.dump();
        const char* const keys[] = {"sd", "hd", "sd", "angles"};
        const char* const designs[] = {"D", "D", "E", "D"};
        const std::size_t figures[] = {3, 3, 2, 0};  // angles alone: where it landed is unknown
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(stakeouts[i]["design"], designs[i]) << i;
            EXPECT_TRUE(stakeouts[i].contains(keys[i])) << stakeouts[i].dump();
            const bool differences = stakeouts[i].contains("differences");
            EXPECT_EQ(differences, figures[i] > 0) << stakeouts[i].dump();
            if (differences) {
                EXPECT_EQ(stakeouts[i]["differences"].size(), figures[i]) << stakeouts[i].dump();
            }
        }
        EXPECT_FALSE(read["points"].dump().find("Stake") != std::string::npos) << read["points"].dump();
    }
}

}  // namespace
