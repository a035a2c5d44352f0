// Placement: where stations stand and how set-ups are oriented, worked out once for every input,
// each value recorded, derived or absent. The coordinates expected here are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using exportgen::Origin;
using exportgen::Point3;

// A: known. The bearing set-up on A sights T1 (east, 50 m, rise 2) as a foresight and X as a
// side shot. T1 is occupied without coordinates, backsighted on A, and sights T3 (north,
// 40 m, rise -1). S is a station with coordinates, backsighted on T1, the station of the
// set-up before. T3 is occupied without coordinates, backsighted on S (the circle reads 0 on
// it), and sights Q 100 m along the line to S.
const char* const kTraverse = R"({
"points": [{"name": "A", "coords": [1000, 2000, 100]}],
"setups": [
 {"station": "A", "hi": 1.5, "backsight": {"bearing": 0, "circle": 0},
  "shots": [{"to": "T1", "fs": true, "hd": [90, 50, 2], "hr": 1.5}, {"to": "X", "hd": [0, 10, 0]}]},
 {"station": "T1", "hi": 1.6, "backsight": {"point": "A", "hr": 1.6},
  "shots": [{"to": "T3", "fs": true, "hd": [90, 40, -1], "hr": 1.6}]},
 {"station": "S", "coords": [1100, 2000, 100], "hi": 1.5, "backsight": {"point": "T1", "hr": 1.5}},
 {"station": "T3", "hi": 1.5, "backsight": {"point": "S", "hr": 1.5},
  "shots": [{"to": "Q", "fs": true, "hd": [0, 100, 0], "hr": 1.5}]}]})";

void expectAt(const exportgen::Located& point, double n, double e, double h, Origin origin, const char* what) {
    EXPECT_EQ(point.origin, origin) << what;
    EXPECT_NEAR(point.at.n, n, 1e-9) << what;
    EXPECT_NEAR(point.at.e, e, 1e-9) << what;
    EXPECT_NEAR(point.at.h, h, 1e-9) << what;
}

TEST(Placement, ATraverseCarriesItsStationsFromTheirFirstForesight) {
    const hosttest::JobModel model = hosttest::readJobModel(kTraverse);
    ASSERT_EQ(model.setups.size(), 4U);
    const auto& setups = model.setups;
    expectAt(setups[0].coords, 1000, 2000, 100, Origin::recorded, "A, a known point");
    EXPECT_EQ(setups[0].orientation.origin, Origin::recorded);
    // T1 = A + 50 m east; height 100 + 1.5 + 2 - 1.5.
    expectAt(setups[1].coords, 1000, 2050, 102, Origin::derived, "T1");
    // From T1 the azimuth to A is 270 degrees; the circle reads 0 on it.
    EXPECT_NEAR(setups[1].backsight.azimuth.value, 270, 1e-9);
    EXPECT_EQ(setups[1].backsight.azimuth.origin, Origin::derived);
    EXPECT_NEAR(setups[1].orientation.value, 270, 1e-9);
    // S knows T1 as a backsight: the azimuth from (1100, 2000) to (1000, 2050) is
    // 180 - atan(50/100) = 153.434948822922 degrees.
    expectAt(setups[2].coords, 1100, 2000, 100, Origin::recorded, "S");
    EXPECT_NEAR(setups[2].backsight.azimuth.value, 153.43494882292202, 1e-9);
    // T3 = T1 + 40 m at azimuth 90 + 270 = north; height 102 + 1.6 - 1 - 1.6.
    expectAt(setups[3].coords, 1040, 2050, 101, Origin::derived, "T3");
    // From T3 to S: dN 60, dE -50, azimuth 360 - atan(50/60) = 320.194428907735 degrees, and
    // Q 100 m along it: (1040 + 6000/sqrt(6100), 2050 - 5000/sqrt(6100)).
    EXPECT_NEAR(setups[3].backsight.azimuth.value, 320.19442890773481, 1e-9);
    Point3 q;
    ASSERT_TRUE(exportgen::target(setups[3].coords.at, setups[3].hi.value, setups[3].shots[0].hr.value,
                                  setups[3].orientation.value, setups[3].shots[0].measurement(), q));
    EXPECT_NEAR(q.n, 1116.8221279597376, 1e-9);
    EXPECT_NEAR(q.e, 1985.9815600335520, 1e-9);
    // The traverse stations are not added to the job's known points (the header lists).
    EXPECT_EQ(model.job.points.size(), 1U);
    EXPECT_EQ(model.job.find("T1"), nullptr);
}

// What no rule places stays unknown: a station a side shot reached, a backsight point only
// sighted, a station occupied before the set-up that sights it.
TEST(Placement, WhatNothingPlacesIsAbsent) {
    const std::string base = kTraverse;
    const auto extended = [&base](const std::string& setups) {
        return hosttest::readJobModel(base.substr(0, base.size() - 2) + ",\n " + setups + "]}");
    };
    const auto sideShot = extended(R"({"station": "X", "hi": 1.5})");
    EXPECT_EQ(sideShot.setups.back().coords.origin, Origin::absent);
    EXPECT_EQ(sideShot.setups.back().orientation.origin, Origin::absent);
    const auto sightedOnly = extended(R"({"station": "T3", "hi": 1.5, "backsight": {"point": "Q"}})");
    EXPECT_EQ(sightedOnly.setups.back().coords.origin, Origin::derived);  // T3 stands where it stood
    EXPECT_EQ(sightedOnly.setups.back().backsight.azimuth.origin, Origin::absent);
    EXPECT_EQ(sightedOnly.setups.back().orientation.origin, Origin::absent);
    const auto early = hosttest::readJobModel(R"({"points": [{"name": "A", "coords": [0, 0, 0]}], "setups": [
        {"station": "T9", "hi": 1},
        {"station": "A", "hi": 1, "shots": [{"to": "T9", "fs": true, "hd": [0, 10, 0]}]}]})");
    EXPECT_EQ(early.setups[0].coords.origin, Origin::absent);
}

// Without a backsight, the first sight to a placed point orients the set-up.
TEST(Placement, TheFirstSightToAPlacedPointOrientsASetupWithoutBacksight) {
    const auto model = hosttest::readJobModel(R"({"points": [{"name": "A", "coords": [0, 0, 0]},
        {"name": "B", "coords": [0, 100, 0]}], "setups": [
        {"station": "A", "hi": 1, "shots": [{"to": "P", "hd": [10, 5, 0], "hr": 1},
                                           {"to": "B", "hd": [30, 100, 0], "hr": 1}]}]})");
    // B lies at azimuth 90 and reads 30 on the circle.
    EXPECT_EQ(model.setups[0].orientation.origin, Origin::derived);
    EXPECT_NEAR(model.setups[0].orientation.value, 60, 1e-9);
}

// --assume gives the local frame of the first set-up nothing else places; a traverse goes on
// from it.
TEST(Placement, AssumeGivesTheFirstUnplacedSetupALocalFrame) {
    const std::string job = R"({"setups": [
        {"station": "S1", "hi": 1.5, "backsight": {"point": "B", "circle": 0},
         "shots": [{"to": "S2", "fs": true, "hd": [90, 100, 0], "hr": 1.5}]},
        {"station": "S2", "hi": 1.5, "backsight": {"point": "S1"}, "shots": []}]})";
    const std::string path = hosttest::memoryFile("assume/job.json", job);
    const auto plain = hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00"});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_NE(plain.out.find("OC,OPS1,N ,E ,EL,--"), std::string::npos) << plain.out;
    EXPECT_NE(plain.err.find("2 station positions unknown, written empty; --points or --assume"), std::string::npos)
        << plain.err;
    const auto assumed =
        hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00", "--assume", "1000,2000,100"});
    ASSERT_EQ(assumed.code, 0) << assumed.err;
    EXPECT_NE(assumed.out.find("OC,OPS1,N 1000.0000,E 2000.0000,EL100.0000"), std::string::npos) << assumed.out;
    // The circle reading on the backsight taken as its bearing: S2 lies 100 m east.
    EXPECT_NE(assumed.out.find("OC,OPS2,N 1000.0000,E 2100.0000,EL100.0000"), std::string::npos) << assumed.out;
    EXPECT_NE(assumed.err.find("2 station positions worked out from the observations (first: S1)"), std::string::npos)
        << assumed.err;
    // A bearing given turns the frame: the backsight lies at 90, so S2 lies south.
    const auto turned =
        hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00", "--assume", "1000,2000,100,90"});
    EXPECT_NE(turned.out.find("OC,OPS2,N 900.0000,E 2000.0000,EL100.0000"), std::string::npos) << turned.out;
    const auto bad = hosttest::run({"convert", path, "-f", "rw5", "--assume", "1000,x,100"});
    EXPECT_EQ(bad.code, 3);
    EXPECT_NE(bad.err.find("--assume 1000,x,100: expected N,E,Z"), std::string::npos) << bad.err;
}

// A later sight to a placed point that misses it is warned; a measured backsight that reads off
// the circle reading set on it is warned and orients nothing.
TEST(Placement, ChecksThatMissAreWarned) {
    const std::string job = R"({"points": [{"name": "A", "coords": [0, 0, 0]}, {"name": "B", "coords": [0, 100, 0]}],
        "setups": [{"station": "A", "hi": 1, "backsight": {"point": "B", "circle": 0, "hr": 1, "hd": [0.5, 100, 0]},
                    "shots": [{"to": "B", "hd": [0, 100.3, 0], "hr": 1}]}]})";
    const auto result = hosttest::run(
        {"convert", hosttest::memoryFile("checks/job.json", job), "-f", "sdr", "--now", "2026-01-01T00:00:00"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.err.find("the measured backsight to \"B\" reads 1800 seconds off the circle reading"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("a sight to \"B\" misses where it stands by 0.300 m horizontally"), std::string::npos)
        << result.err;
}

// A free station R1 at N 1000, E 2000, H 100 (hi 1.5, target heights 1.5), its circle turned by
// 30 degrees (azimuth = reading + 30): A lies 100 m north (reading 330), B 50 m east (60), C 80 m
// south (150), each 2 m above the axis. D stands where A stands, lower; A, E and F stand 120
// degrees apart around R1.
std::string freeStationJob(const std::string& resection, const std::string& setup = R"("hi": 1.5)") {
    return R"({"points": [{"name": "A", "coords": [1100, 2000, 102]}, {"name": "B", "coords": [1000, 2050, 102]},)"
           R"( {"name": "C", "coords": [920, 2000, 102]}, {"name": "D", "coords": [1100, 2000, 50]},)"
           R"( {"name": "E", "coords": [950, 2086.602540378443865, 102]},)"
           R"( {"name": "F", "coords": [950, 1913.397459621556135, 102]}],)"
           "\n\"setups\": [\n"
           R"({"station": "R1", )" +
           setup + R"(, "resection": [)" + resection + "]}]}";
}

struct Refusal {
    const char* name;
    const char* resection;
    const char* message;  // after the set-up's place, 3:1
};

class FreeStationRefusals : public testing::TestWithParam<Refusal> {};

// A free station its resection cannot fix is refused at its set-up, with status 6 and the
// reason, and nothing is written.
TEST_P(FreeStationRefusals, NameTheStationAndTheReason) {
    const Refusal& c = GetParam();
    const std::string path = hosttest::memoryFile(std::string("free/") + c.name + ".json", freeStationJob(c.resection));
    const auto result = hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00"});
    EXPECT_EQ(result.code, exportgen::kExitJob) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("exportgen: " + path + ":3:1: free station \"R1\": " + c.message + "\n"),
              std::string::npos)
        << result.err;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, FreeStationRefusals,
    testing::Values(
        Refusal{"one_known_point",
                R"({"to": "A", "hr": 1.5, "hd": [330, 100, 2]}, {"to": "X", "hr": 1.5, "hd": [60, 50, 2]})",
                "its resection has 1 usable sight (to \"A\"); a free station needs two known points measured with "
                "distances; not usable: \"X\" (an unknown point)"},
        Refusal{"each_reason",
                R"({"to": "A", "hr": 1.5, "hd": [330, 100, 2]}, {"to": "B", "angles": [60, 88]},)"
                R"( {"to": "C", "hd": [150, 0, 2]}, {"to": "B", "sd": [60, 90, -50]}, {"to": "B", "measured": false},)"
                R"( {"to": "C", "dist": [80]})",
                "its resection has 1 usable sight (to \"A\"); a free station needs two known points measured with "
                "distances; not usable: \"B\" (no distance), \"C\" (a distance of 0), \"B\" (a negative distance), "
                "\"B\" (not measured) and 1 more"},
        Refusal{"no_usable_sight",
                R"({"to": "A", "sd": [330, 90, 0]}, {"to": "B", "measured": false})",
                "its resection has no usable sight; a free station needs two known points measured with distances; "
                "not usable: \"A\" (a distance of 0), \"B\" (not measured)"},
        Refusal{"directions_only",
                R"({"to": "A", "hr": 1.5, "hz": [330]}, {"to": "B", "hr": 1.5, "angles": [60, 87.7]},)"
                R"( {"to": "C", "hz": [150]})",
                "its resection measures directions only; a free station needs two known points measured with "
                "distances (a resection of directions alone is not supported)"},
        Refusal{"one_point_twice",
                R"({"to": "A", "hr": 1.5, "hd": [330, 100, 2]}, {"to": "A", "hr": 1.5, "sd": [330.001, 88.85, 100.02]})",
                "its resection has 2 usable sights, both to \"A\"; a free station needs two known points measured "
                "with distances"},
        Refusal{"coincident_points",
                R"({"to": "A", "hr": 1.5, "hd": [330, 100, 2]}, {"to": "D", "hr": 1.5, "hd": [60, 50, 2]})",
                "its known points \"A\" and \"D\" coincide, so no rotation can be fitted; a free station needs two "
                "known points apart"},
        Refusal{"one_vector",
                R"({"to": "A", "hr": 1.5, "hd": [330, 100, 2]}, {"to": "B", "hr": 1.5, "hd": [330, 100, 2]},)"
                R"( {"to": "C", "hr": 1.5, "sd": [330, 90, 100]})",
                "its sights to \"A\", \"B\" and \"C\" measure the same vector (horizontal angle and distance), so no "
                "rotation can be fitted onto the known points"},
        // A, E and F read in the other order round the circle.
        Refusal{"mirrored",
                R"({"to": "A", "hd": [0, 100, 2]}, {"to": "E", "hd": [240, 100, 2]}, {"to": "F", "hd": [120, 100, 2]})",
                "no rotation fits its sights to \"A\", \"E\" and \"F\" better than another (as when the figure they "
                "measure is a mirror image of the known points')"}),
    [](const testing::TestParamInfo<Refusal>& paramInfo) { return std::string(paramInfo.param.name); });
// clang-format on

// check lists each free station it refuses and goes on with the set-ups after it.
TEST(FreeStation, CheckListsEachRefusalAndGoesOn) {
    std::string job = freeStationJob(R"({"to": "A", "hd": [330, 100, 2]}, {"to": "D", "hd": [60, 50, 2]})");
    job.replace(job.size() - 2, 2,
                ",\n"
                R"({"station": "R2", "hi": 1.5, "resection": [{"to": "B", "hd": [60, 50, 2]}]},)"
                "\n"
                R"({"station": "R3", "hj": 1})"
                "]}");
    const std::string path = hosttest::memoryFile("free/check.json", job);
    const auto result = hosttest::run({"check", path});
    EXPECT_EQ(result.code, exportgen::kExitJob);
    EXPECT_EQ(
        result.err,
        "exportgen: " + path +
            ":3:1: free station \"R1\": its known points \"A\" and \"D\" coincide, so no rotation can be fitted; a "
            "free station needs two known points apart\n"
            "exportgen: " +
            path +
            ":4:1: free station \"R2\": its resection has 1 usable sight (to \"B\"); a free station needs two "
            "known points measured with distances\n"
            "exportgen: " +
            path + ":5:25: $.setups[2].hj: unknown field\nexportgen: " + path + ": 3 errors, 0 warnings\n");
}

// A fit through sights that disagree passes, and the sight it leaves farthest from its known point
// is named when it misses by more than 5 cm: here C measured half a metre long, or a point
// staked on the wrong mark.
TEST(FreeStation, AFitThatLeavesASightFarFromItsPointIsWarned) {
    struct Case {
        const char* resection;
        const char* warning;  // empty: none
    };
    const Case cases[] = {
        {R"({"to": "A", "hd": [330, 100, 2]}, {"to": "B", "hd": [60, 50, 2]}, {"to": "C", "hd": [150, 80, 2]})", ""},
        {R"({"to": "A", "hd": [330, 100.01, 2]}, {"to": "B", "hd": [60, 50, 2]}, {"to": "C", "hd": [150, 80, 2]})", ""},
        {R"({"to": "A", "hd": [330, 100, 2]}, {"to": "B", "hd": [60, 50, 2]}, {"to": "C", "hd": [150, 80.5, 2]})",
         "free station \"R1\": the fit leaves its sight to \"C\" 0.3"},
        {R"({"to": "A", "hd": [330, 100, 2]}, {"to": "E", "hd": [90, 100, 2]}, {"to": "B", "hd": [210, 100, 2]})",
         "free station \"R1\": the fit leaves its sight to \"B\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resection);
        const std::string path = hosttest::memoryFile("free/fit.json", freeStationJob(c.resection));
        const auto result = hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00"});
        ASSERT_EQ(result.code, 0) << result.err;
        const bool warned = result.err.find("the fit leaves its sight") != std::string::npos;
        EXPECT_EQ(warned, *c.warning != '\0') << result.err;
        if (*c.warning != '\0') {
            EXPECT_NE(result.err.find(std::string("job: ") + c.warning), std::string::npos) << result.err;
            EXPECT_NE(result.err.find("m from the known point (more than 0.050 m); a wrong point or a blunder in the "
                                      "sights is likely (" +
                                      path + ":3:1)"),
                      std::string::npos)
                << result.err;
        }
    }
}

// A resection to none of the points the job knows places nothing and is no error: a job of
// measurements alone is a job like another, and --assume gives it a frame.
TEST(FreeStation, AResectionToNoKnownPointLeavesTheStationToAssume) {
    const std::string path = hosttest::memoryFile(
        "free/unknown.json", freeStationJob(R"({"to": "X", "hd": [330, 100, 2]}, {"to": "Y", "hz": [60]})"));
    const auto plain = hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00"});
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_NE(plain.out.find("OC,OPR1,N ,E ,EL,--"), std::string::npos) << plain.out;
    EXPECT_NE(plain.err.find("resection point \"X\" is not a known point"), std::string::npos) << plain.err;
    const auto assumed =
        hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00", "--assume", "10,20,30"});
    ASSERT_EQ(assumed.code, 0) << assumed.err;
    EXPECT_NE(assumed.out.find("OC,OPR1,N 10.0000,E 20.0000,EL30.0000"), std::string::npos) << assumed.out;
}

// Three points at 120 degrees around R1, 100 m out, each distance measured 0.01 m long as a
// horizontal distance: by symmetry the station and its orientation stay true, and each sight
// lands 0.01 m beyond its point along its azimuth.
TEST(FreeStation, AGoodFitOfHorizontalDistancesHasTheResidualsOfItsNoise) {
    const double s120 = 86.602540378443865;  // 100 sin 120
    const auto model = hosttest::readJobModel(R"({"points": [{"name": "P0", "coords": [1100, 2000, 102]},
        {"name": "P1", "coords": [950, 2086.602540378443865, 102]},
        {"name": "P2", "coords": [950, 1913.397459621556135, 102]}],
        "setups": [{"station": "R1", "hi": 1.5, "resection": [{"to": "P0", "hr": 1.5, "hd": [330, 100.01, 2]},
            {"to": "P1", "hd": [90, 100.01, 2]}, {"to": "P2", "hd": [210, 100.01, 2]}]}]})");
    ASSERT_EQ(model.setups.size(), 1U);
    const exportgen::Setup& r1 = model.setups[0];
    constexpr double kNear = 1e-9;
    EXPECT_EQ(r1.coords.origin, Origin::derived);
    EXPECT_TRUE(r1.coords.hasHeight);
    EXPECT_NEAR(r1.coords.at.n, 1000, kNear);
    EXPECT_NEAR(r1.coords.at.e, 2000, kNear);
    EXPECT_NEAR(r1.coords.at.h, 100, 1e-9);
    EXPECT_EQ(r1.orientation.origin, Origin::derived);
    EXPECT_NEAR(r1.orientation.value, 30, 1e-9);
    const double expected[3][2] = {{0.01, 0}, {-0.005, 0.01 * s120 / 100}, {-0.005, -0.01 * s120 / 100}};
    ASSERT_EQ(r1.resection.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        const exportgen::Located& residual = r1.resection[i].residual;
        EXPECT_EQ(residual.origin, Origin::derived) << i;
        EXPECT_NEAR(residual.at.n, expected[i][0], kNear) << i;
        EXPECT_NEAR(residual.at.e, expected[i][1], kNear) << i;
        EXPECT_NEAR(residual.at.h, 0, 1e-9) << i;
    }
    // The worst residuals: the zenith and slope distance of 100 m and 2 m against those of 100.01 m.
    constexpr double kDegrees = 180.0 / 3.14159265358979323846;
    EXPECT_EQ(r1.worstResiduals.origin, Origin::derived);
    EXPECT_NEAR(r1.worstResiduals.value.horizontal, 0, 1e-9);
    EXPECT_NEAR(r1.worstResiduals.value.zenith, (std::atan2(100, 2) - std::atan2(100.01, 2)) * kDegrees, 1e-9);
    EXPECT_NEAR(r1.worstResiduals.value.slope, std::hypot(100, 2) - std::hypot(100.01, 2), 1e-9);
}

// Four sights with slope distances and uneven noise (D below A, 50 m down): the fit is the least-squares one,
// so the residual vectors sum to nothing (no shift improves it) and turn nothing about their
// centroid (no rotation does), and the heights' residuals sum to nothing (the mean).
TEST(FreeStation, ANoisyFitLeavesResidualsNoShiftOrTurnImproves) {
    const auto model = hosttest::readJobModel(freeStationJob(
        R"({"to": "A", "hr": 1.5, "sd": [330.002, 88.85, 100.03]}, {"to": "B", "sd": [59.997, 87.7, 50.0]},)"
        R"( {"to": "C", "sd": [150.001, 88.6, 79.98]}, {"to": "D", "hr": 1.6, "sd": [329.998, 116.52, 111.77]})"));
    ASSERT_EQ(model.setups.size(), 1U);
    const exportgen::Setup& r1 = model.setups[0];
    ASSERT_EQ(r1.coords.origin, Origin::derived);
    EXPECT_NEAR(r1.coords.at.n, 1000, 0.05);
    EXPECT_NEAR(r1.coords.at.e, 2000, 0.05);
    EXPECT_NEAR(r1.orientation.value, 30, 0.01);
    double sumN = 0, sumE = 0, sumH = 0, cn = 0, ce = 0;
    for (const exportgen::Observation& obs : r1.resection) {
        ASSERT_EQ(obs.residual.origin, Origin::derived);
        sumN += obs.residual.at.n, sumE += obs.residual.at.e, sumH += obs.residual.at.h;
        cn += obs.coords.at.n + obs.residual.at.n, ce += obs.coords.at.e + obs.residual.at.e;
    }
    cn /= 4, ce /= 4;
    double turn = 0;
    for (const exportgen::Observation& obs : r1.resection) {
        turn += (obs.coords.at.n + obs.residual.at.n - cn) * obs.residual.at.e -
                (obs.coords.at.e + obs.residual.at.e - ce) * obs.residual.at.n;
    }
    EXPECT_NEAR(sumN, 0, 1e-9);
    EXPECT_NEAR(sumE, 0, 1e-9);
    EXPECT_NEAR(sumH, 0, 1e-9);
    EXPECT_NEAR(turn, 0, 1e-9);
    // The noise is there: A's residual is of the order of its 3 cm.
    EXPECT_GT(std::hypot(r1.resection[0].residual.at.n, r1.resection[0].residual.at.e), 0.005);
}

// The plan needs no heights: without target heights, or without the instrument height, the
// free station stands in plan only and its height is absent, not made up.
TEST(FreeStation, WithoutHeightsTheStationIsPlacedInPlanOnly) {
    const struct {
        const char* setup;
        const char* resection;
    } cases[] = {
        // The target height unknown from the first sight on.
        {R"("hi": 1.5)",
         R"({"to": "A", "hr": null, "hd": [330, 100, 2]}, {"to": "B", "hd": [60, 50, 2]}, {"to": "C", "hd": [150, 80, 2]})"},
        {R"("code": "FS")", R"({"to": "A", "hr": 1.5, "hd": [330, 100, 2]}, {"to": "B", "hd": [60, 50, 2]})"},
    };
    for (const auto& c : cases) {
        const std::string setup = c.setup;
        const auto model = hosttest::readJobModel(freeStationJob(c.resection, setup));
        const exportgen::Setup& r1 = model.setups[0];
        EXPECT_EQ(r1.coords.origin, Origin::derived) << setup;
        EXPECT_FALSE(r1.coords.hasHeight) << setup;
        EXPECT_NEAR(r1.coords.at.n, 1000, 1e-9) << setup;
        EXPECT_NEAR(r1.coords.at.e, 2000, 1e-9) << setup;
        EXPECT_NEAR(r1.orientation.value, 30, 1e-9) << setup;
    }
}

// On a placed station without backsight, directions alone orient it: the mean of azimuth minus
// reading, B at azimuth 90 reading 60 (30) and C at 180 reading 150.02 (29.98).
TEST(Placement, DirectionsOfAResectionOrientAPlacedStation) {
    std::string job = freeStationJob(R"({"to": "B", "hz": [60]}, {"to": "C", "angles": [150.02, 88.6]})");
    job.replace(job.find(R"("station": "R1")"), 15, R"("station": "R1", "coords": [1000, 2000, 100])");
    const auto model = hosttest::readJobModel(job);
    const exportgen::Setup& r1 = model.setups[0];
    EXPECT_EQ(r1.coords.origin, Origin::recorded);
    EXPECT_EQ(r1.orientation.origin, Origin::derived);
    EXPECT_NEAR(r1.orientation.value, 29.99, 1e-9);
    // The directions leave a residual of 0.01 degrees each way and no position (no distance).
    EXPECT_NEAR(std::fabs(r1.worstResiduals.value.horizontal), 0.01, 1e-9);
    EXPECT_EQ(r1.resection[0].residual.origin, Origin::absent);
}

// A raw file's resection of directions is written by read as a job file's, and read back: the
// job file takes every measurement in a resection that a shot takes.
TEST(Placement, AResectionOfDirectionsReadFromARawFileReadsBackFromItsJobFile) {
    const std::string raw = hosttest::memoryFile(
        "free/directions.quoltpashk",
        "Field   v2.1\r\nUNITS   M,D\r\nSTN     R1,1.500\r\nRES_OBS B,1.500,1\r\nHV      60.00000,90.00000\r\n"
        "RES_OBS C,1.500,2\r\nHV      150.00000,90.00000\r\n");
    const auto read = hosttest::run({"read", raw});
    ASSERT_EQ(read.code, 0) << read.err;
    EXPECT_NE(read.out.find(R"("resection":[{"to":"B","angles":[60.0,90.0])"), std::string::npos) << read.out;
    const std::string job = hosttest::memoryFile("free/directions.json", read.out);
    const auto again = hosttest::run({"read", job});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.out, read.out);
    // With the points known, R1 is a free station of directions alone: refused.
    const std::string points = hosttest::memoryFile("free/points.csv", "B,1000,2050,102\nC,920,2000,102\n");
    const auto placed = hosttest::run({"convert", job, "--points", points, "-f", "rw5"});
    EXPECT_EQ(placed.code, exportgen::kExitJob);
    EXPECT_NE(placed.err.find("free station \"R1\": its resection measures directions only"), std::string::npos)
        << placed.err;
}

}  // namespace
