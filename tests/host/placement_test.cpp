// Placement: where stations stand and how set-ups are oriented, worked out once for every input,
// each value recorded, derived or absent. The coordinates expected here are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

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

}  // namespace
