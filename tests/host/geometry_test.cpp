// The host's geometry: azimuths, resection residuals, stake-out differences and free stations
// against figures worked by hand. (That the targets of a job written in a format and read back
// land where the job put them is round_trip_test's.)
#include "job/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "host/host_test_support.h"

namespace {

constexpr double kRadians = 3.14159265358979323846 / 180.0;

// The azimuth in each quadrant: north 0, east 90, south 180, west 270, clockwise.
TEST(Azimuth, RunsClockwiseFromNorthInEveryQuadrant) {
    using exportgen::Point3;
    const Point3 from{1000, 2000, 0};
    const struct {
        Point3 to;
        double degrees;
    } cases[] = {
        {{1010, 2000, 0}, 0.0},   {{1010, 2010, 0}, 45.0},  {{1000, 2010, 0}, 90.0},
        {{990, 2010, 0}, 135.0},  {{990, 2000, 0}, 180.0},  {{990, 1990, 0}, 225.0},
        {{1000, 1990, 0}, 270.0}, {{1010, 1990, 0}, 315.0}, {{1010, 2000 + 10 * std::tan(30 * kRadians), 0}, 30.0},
    };
    for (const auto& c : cases) EXPECT_NEAR(exportgen::azimuth(from, c.to), c.degrees, 1e-9) << c.degrees;
}

// A station at N 1000, E 2000, H 100 with instrument height 1.5 sights a known point at
// azimuth 30 degrees, 100 m away horizontally, with target height 1.3 on a point of height
// 105.2:
//   known point  N = 1000 + 100 cos 30 = 1086.6025403784438, E = 2000 + 100 sin 30 = 2050
//   line of sight rises 105.2 + 1.3 - 100 - 1.5 = 5 m over 100 m
//   zenith       atan2(100, 5) = 90 - atan(0.05) = 87.13759477388825 degrees
//   slope        sqrt(100^2 + 5^2) = 100.12492197250393 m
// With the circle oriented at 10 degrees (azimuth = reading + 10) the true reading is 20.
struct ResidualCase {
    const char* name;
    double orientation, hz, zenith, slope;
    exportgen::Point3 position;  // computed target minus known point
    double horizontal, zenithResidual, slopeResidual;
};

const ResidualCase kResidualCases[] = {
    // A measurement that fits: nothing is left over.
    {"exact", 10.0, 20.0, 87.13759477388825, 100.12492197250393, {0, 0, 0}, 0.0, 0.0, 0.0},
    // The orientation is 0.5 degrees too large: the computed target swings clockwise to
    // azimuth 30.5, N 100 (cos 30.5 - cos 30) = -0.439624, E 100 (sin 30.5 - sin 30) = +0.753836;
    // the horizontal residual is 30 - 10.5 - 20 = -0.5 degrees.
    {"orientation off",
     10.5,
     20.0,
     87.13759477388825,
     100.12492197250393,
     {-0.43962433429128867, 0.7538362960704148, 0},
     -0.5,
     0.0,
     0.0},
    // The zenith reads 0.01 degrees high and the distance 0.02 m short: the target lands
    // 99.980896 m out (0.019104 short: N -0.019104 cos 30 = -0.016545, E -0.019104 sin 30 =
    // -0.009552) and 4.981551 m up (0.018449 low). Computed minus measured: zenith -0.01,
    // slope +0.02.
    {"zenith high, distance short",
     10.0,
     20.0,
     87.14759477388825,
     100.10492197250393,
     {-0.01654461794987583, -0.009552039627124032, -0.018448634606031078},
     0.0,
     -0.01,
     0.02},
    // A reading of 380.25 (a full turn past 20.25): the target lands at azimuth 30.25,
    // N 100 (cos 30.25 - cos 30) = -0.218990, E 100 (sin 30.25 - sin 30) = +0.377398, and the
    // horizontal residual 30 - 10 - 380.25 = -360.25 comes back into [-180, 180) as -0.25.
    {"a turn past north",
     10.0,
     380.25,
     87.13759477388825,
     100.12492197250393,
     {-0.2189898580043037, 0.37739770455263444, 0},
     -0.25,
     0.0,
     0.0},
};

TEST(ResidualOf, MatchesFiguresWorkedByHand) {
    const exportgen::Point3 station{1000, 2000, 100};
    const exportgen::Point3 known{1086.6025403784438, 2050, 105.2};
    for (const ResidualCase& c : kResidualCases) {
        const orv::ie::DexTSRawMeasurement m(0, {c.hz, c.zenith, c.slope});
        const auto r = exportgen::residualOf(station, 1.5, c.orientation, known, 1.3, m);
        EXPECT_NEAR(r.position.n, c.position.n, 1e-6) << c.name;
        EXPECT_NEAR(r.position.e, c.position.e, 1e-6) << c.name;
        EXPECT_NEAR(r.position.h, c.position.h, 1e-6) << c.name;
        EXPECT_NEAR(r.horizontal, c.horizontal, 1e-9) << c.name;
        EXPECT_NEAR(r.zenith, c.zenithResidual, 1e-9) << c.name;
        EXPECT_NEAR(r.slope, c.slopeResidual, 1e-9) << c.name;
    }
}

// Staked minus design: a point staked 0.25 m north, 0.1 m west and 0.05 m high of its design.
TEST(StakeDelta, IsStakedMinusDesign) {
    const auto delta = exportgen::stakeDelta({1000.25, 1999.9, 100.05}, {1000, 2000, 100});
    EXPECT_NEAR(delta.n, 0.25, 1e-9);
    EXPECT_NEAR(delta.e, -0.1, 1e-9);
    EXPECT_NEAR(delta.h, 0.05, 1e-9);
}

using exportgen::FreeStationFault;
using exportgen::FreeStationSight;
using exportgen::FreeStationUse;
using exportgen::Point3;
using exportgen::StationFit;

// A sight measured as a horizontal distance and height difference (kind 1).
FreeStationSight sightTo(Point3 known, double horizontal, double distance, double rise) {
    FreeStationSight sight;
    sight.known = known;
    sight.hr = 0.0;
    sight.measurement =
        orv::ie::DexTSRawMeasurement(orv::ie::eKindAngleAndHorizontalDistance, {horizontal, distance, rise});
    return sight;
}

// Worked by hand: a station at N 1000, E 2000, H 100 (hi 0) with its circle turned by 30
// degrees (azimuth = reading + 30). Point A lies 100 m due north (azimuth 0, reading 330), B
// 50 m due east (azimuth 90, reading 60), C 80 m due south (azimuth 180, reading 150); each
// 2 m above the axis.
TEST(FreeStation, RecoversAStationFromExactSights) {
    const std::vector<FreeStationSight> sights = {sightTo({1100.0, 2000.0, 102.0}, 330.0, 100.0, 2.0),
                                                  sightTo({1000.0, 2050.0, 102.0}, 60.0, 50.0, 2.0),
                                                  sightTo({920.0, 2000.0, 102.0}, 150.0, 80.0, 2.0)};
    StationFit fit;
    ASSERT_EQ(exportgen::freeStation(sights, 0.0, fit), FreeStationFault::none);
    EXPECT_NEAR(fit.station.n, 1000.0, 1e-9);
    EXPECT_NEAR(fit.station.e, 2000.0, 1e-9);
    EXPECT_NEAR(fit.station.h, 100.0, 1e-9);
    EXPECT_NEAR(fit.orientation, 30.0, 1e-9);
}

// Two points opposite each other, both distances measured 0.01 m long: by symmetry the best
// station stays in the middle and the orientation unchanged, each sight missing by 0.01 m.
TEST(FreeStation, SpreadsAnErrorEvenlyBetweenOppositeSights) {
    const std::vector<FreeStationSight> sights = {sightTo({1100.0, 2000.0, 100.0}, 0.0, 100.01, 0.0),
                                                  sightTo({900.0, 2000.0, 100.0}, 180.0, 100.01, 0.0)};
    StationFit fit;
    ASSERT_EQ(exportgen::freeStation(sights, 1.5, fit), FreeStationFault::none);
    EXPECT_NEAR(fit.station.n, 1000.0, 1e-9);
    EXPECT_NEAR(fit.station.e, 2000.0, 1e-9);
    EXPECT_NEAR(fit.station.h, 98.5, 1e-9);  // the points' height less the instrument height
    EXPECT_NEAR(fit.orientation, 0.0, 1e-9);
}

// What each measurement gives a free station: a horizontal vector needs a horizontal angle and a
// distance, each a finite number, the distance above zero.
TEST(FreeStationUse, NeedsADirectionAndADistanceOfFiniteFigures) {
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const struct {
        const char* name;
        int kind;
        std::vector<double> values;
        FreeStationUse use;
    } cases[] = {
        {"slope distance", orv::ie::eKindAnglesAndSlopeDistance, {10, 90, 50}, FreeStationUse::usable},
        {"horizontal distance", orv::ie::eKindAngleAndHorizontalDistance, {10, 50, -2}, FreeStationUse::usable},
        // Face right: the zenith past 180 gives a negative horizontal distance, which the turned
        // circle reading turns back; the slope distance itself is positive.
        {"face right", orv::ie::eKindAnglesAndSlopeDistance, {190, 270, 50}, FreeStationUse::usable},
        {"angles only", orv::ie::eKindAnglesOnly, {10, 90}, FreeStationUse::noDistance},
        {"direction only", orv::ie::eKindHorizontalAngleOnly, {10}, FreeStationUse::noDistance},
        {"distance only", orv::ie::eKindSlopeDistanceOnly, {50}, FreeStationUse::noDirection},
        {"zenith only", orv::ie::eKindZenithOnly, {90}, FreeStationUse::noDirection},
        {"offsets", orv::ie::eKindDistanceOffsets, {1, 2, 3}, FreeStationUse::noDirection},
        {"a kind of no name", 42, {10, 90, 50}, FreeStationUse::noDirection},
        {"NaN direction", orv::ie::eKindAnglesAndSlopeDistance, {nan, 90, 50}, FreeStationUse::notANumber},
        {"infinite zenith", orv::ie::eKindAnglesAndSlopeDistance, {10, inf, 50}, FreeStationUse::notANumber},
        {"NaN height difference", orv::ie::eKindAngleAndHorizontalDistance, {10, 50, nan}, FreeStationUse::notANumber},
        {"infinite distance", orv::ie::eKindAngleAndHorizontalDistance, {10, -inf, 0}, FreeStationUse::notANumber},
        {"zero slope distance", orv::ie::eKindAnglesAndSlopeDistance, {10, 90, 0}, FreeStationUse::zeroDistance},
        {"zero horizontal distance",
         orv::ie::eKindAngleAndHorizontalDistance,
         {10, 0, 2},
         FreeStationUse::zeroDistance},
        // The values a reader left out read as 0: no distance to fit.
        {"values missing", orv::ie::eKindAnglesAndSlopeDistance, {10}, FreeStationUse::zeroDistance},
        {"negative distance", orv::ie::eKindAnglesAndSlopeDistance, {10, 90, -50}, FreeStationUse::negativeDistance},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exportgen::freeStationUse(orv::ie::DexTSRawMeasurement(c.kind, c.values)), c.use) << c.name;
    }
}

// The station of RecoversAStationFromExactSights, sighting the same points: each row breaks the
// figure in one way, and the fit says which rather than give a position.
TEST(FreeStation, SaysWhySightsFixNoStation) {
    const Point3 a{1100.0, 2000.0, 102.0}, b{1000.0, 2050.0, 102.0};
    FreeStationSight anglesOnly;
    anglesOnly.known = b;
    anglesOnly.measurement = orv::ie::DexTSRawMeasurement(orv::ie::eKindAnglesOnly, {60.0, 90.0});
    // An equilateral triangle around the station, measured mirrored (the circle read the wrong
    // way round): the best rotation is any.
    const double r = 100.0, s60 = std::sin(60.0 * kRadians) * r;
    const Point3 p0{1000.0 + r, 2000.0, 100.0}, p1{1000.0 - r / 2, 2000.0 + s60, 100.0},
        p2{1000.0 - r / 2, 2000.0 - s60, 100.0};
    const struct {
        const char* name;
        std::vector<FreeStationSight> sights;
        FreeStationFault fault;
    } cases[] = {
        {"no sight", {}, FreeStationFault::tooFew},
        {"one sight", {sightTo(a, 330.0, 100.0, 2.0)}, FreeStationFault::tooFew},
        // A sight without a distance is passed over, leaving one.
        {"one sight and a direction", {sightTo(a, 330.0, 100.0, 2.0), anglesOnly}, FreeStationFault::tooFew},
        {"a zero distance passed over",
         {sightTo(a, 330.0, 100.0, 2.0), sightTo(b, 60.0, 0.0, 2.0)},
         FreeStationFault::tooFew},
        // Two points 0.5 mm apart measured 100 m apart: the rotation would follow the half
        // millimetre.
        {"coincident points",
         {sightTo(a, 330.0, 100.0, 2.0), sightTo({1100.0005, 2000.0, 50.0}, 60.0, 50.0, 2.0)},
         FreeStationFault::onePlace},
        {"every point at one place",
         {sightTo(a, 330.0, 100.0, 2.0), sightTo(a, 60.0, 50.0, 2.0), sightTo(a, 150.0, 80.0, 2.0)},
         FreeStationFault::onePlace},
        // Two points measured alike (0.4 mm apart): no direction between them to turn.
        {"one vector", {sightTo(a, 330.0, 100.0, 2.0), sightTo(b, 330.0, 100.0004, 2.0)}, FreeStationFault::oneVector},
        {"mirrored",
         {sightTo(p0, 0.0, r, 0.0), sightTo(p1, 240.0, r, 0.0), sightTo(p2, 120.0, r, 0.0)},
         FreeStationFault::noRotation},
        // Coordinates whose sum is beyond a double.
        {"too large",
         {sightTo({1e308, 0.0, 0.0}, 0.0, 100.0, 0.0), sightTo({1.7e308, 0.0, 0.0}, 90.0, 100.0, 0.0)},
         FreeStationFault::notFinite},
    };
    for (const auto& row : cases) {
        StationFit fit;
        EXPECT_EQ(exportgen::freeStation(row.sights, 0.0, fit), row.fault) << row.name;
    }
    // The same points in their true order fit.
    StationFit fit;
    ASSERT_EQ(exportgen::freeStation({sightTo(p0, 0.0, r, 0.0), sightTo(p1, 120.0, r, 0.0), sightTo(p2, 240.0, r, 0.0)},
                                     0.0, fit),
              FreeStationFault::none);
    EXPECT_NEAR(fit.station.n, 1000.0, 1e-9);
    EXPECT_NEAR(fit.station.e, 2000.0, 1e-9);
    EXPECT_NEAR(fit.orientation, 0.0, 1e-9);
}

// The height is the mean over the sights that give one, and absent without the instrument height
// or such a sight; the plan position needs neither.
TEST(FreeStation, TakesItsHeightFromTheSightsThatGiveOne) {
    // Station at N 1000, E 2000, H 100, hi 1.5, orientation 30, as above; the target heights 0.
    std::vector<FreeStationSight> sights = {sightTo({1100.0, 2000.0, 103.5}, 330.0, 100.0, 2.0),
                                            sightTo({1000.0, 2050.0, 103.7}, 60.0, 50.0, 2.0),
                                            sightTo({920.0, 2000.0, 0.0}, 150.0, 80.0, 2.0)};
    sights[2].height = false;  // C known in plan only: its height of 0 is no height
    StationFit fit;
    ASSERT_EQ(exportgen::freeStation(sights, 1.5, fit), FreeStationFault::none);
    EXPECT_TRUE(fit.hasHeight);
    EXPECT_NEAR(fit.station.h, 100.1, 1e-9);  // (100 + 100.2) / 2
    EXPECT_NEAR(fit.station.n, 1000.0, 1e-9);
    EXPECT_NEAR(fit.orientation, 30.0, 1e-9);
    ASSERT_EQ(exportgen::freeStation(sights, std::nullopt, fit), FreeStationFault::none);
    EXPECT_FALSE(fit.hasHeight);
    EXPECT_NEAR(fit.station.e, 2000.0, 1e-9);
    for (FreeStationSight& sight : sights) sight.height = false;
    ASSERT_EQ(exportgen::freeStation(sights, 1.5, fit), FreeStationFault::none);
    EXPECT_FALSE(fit.hasHeight);
}

// A horizontal distance and height difference give residuals as the slope distance and zenith
// they make (the known point of the table above measured as 100.02 m horizontally and 5 m up),
// and each other kind those of the figures it measures.
TEST(ResidualOf, ReadsEachKindAsTheFiguresItMeasures) {
    const exportgen::Point3 station{1000, 2000, 100};
    const exportgen::Point3 known{1086.6025403784438, 2050, 105.2};
    const orv::ie::DexTSRawMeasurement m(orv::ie::eKindAngleAndHorizontalDistance, {20.0, 100.02, 5.0});
    const auto r = exportgen::residualOf(station, 1.5, 10.0, known, 1.3, m);
    EXPECT_NEAR(r.horizontal, 0.0, 1e-9);
    // The target lands 0.02 m long: N 0.02 cos 30, E 0.02 sin 30.
    EXPECT_NEAR(r.position.n, 0.017320508075688773, 1e-9);
    EXPECT_NEAR(r.position.e, 0.01, 1e-9);
    EXPECT_NEAR(r.position.h, 0.0, 1e-9);
    EXPECT_NEAR(r.zenith, (std::atan2(100.0, 5.0) - std::atan2(100.02, 5.0)) / kRadians, 1e-9);
    EXPECT_NEAR(r.slope, std::hypot(100.0, 5.0) - std::hypot(100.02, 5.0), 1e-9);
    // Angles alone give the horizontal angle and the zenith, and no position.
    const orv::ie::DexTSRawMeasurement angles(orv::ie::eKindAnglesOnly, {20.5, 87.0});
    const auto a = exportgen::residualOf(station, 1.5, 10.0, known, 1.3, angles);
    EXPECT_NEAR(a.horizontal, -0.5, 1e-9);
    EXPECT_NEAR(a.zenith, 87.13759477388825 - 87.0, 1e-9);
    EXPECT_EQ(a.slope, 0.0);
    EXPECT_EQ(a.position.n, 0.0);
    EXPECT_EQ(a.position.e, 0.0);
    // A distance alone gives its slope residual and no direction; a zenith alone its zenith.
    const auto d = exportgen::residualOf(station, 1.5, 10.0, known, 1.3,
                                         orv::ie::DexTSRawMeasurement(orv::ie::eKindSlopeDistanceOnly, {100.1}));
    EXPECT_EQ(d.horizontal, 0.0);
    EXPECT_EQ(d.zenith, 0.0);
    EXPECT_NEAR(d.slope, 100.12492197250393 - 100.1, 1e-9);
    const auto z = exportgen::residualOf(station, 1.5, 10.0, known, 1.3,
                                         orv::ie::DexTSRawMeasurement(orv::ie::eKindZenithOnly, {87.2}));
    EXPECT_EQ(z.horizontal, 0.0);
    EXPECT_NEAR(z.zenith, 87.13759477388825 - 87.2, 1e-9);
    EXPECT_EQ(z.slope, 0.0);
}

// The sample job's set-up R1 is a resection on points 1, 2 and 3 whose sights are exact: without
// its coordinates, as a free station, every format writes the same bytes.
TEST(FreeStation, TheSampleResectionWithoutCoordinatesGivesTheSameBytes) {
    const std::string sample = hosttest::readFile(hosttest::dataPath("../tools/exportgen/app/sample_job.json"));
    std::string free = sample;
    const std::string coords = R"("coords":[4950.0,10050.0,100.3],)";
    ASSERT_NE(free.find(coords), std::string::npos);
    free.erase(free.find(coords), coords.size());
    const std::string dir = hosttest::freshDirectory("free-station");
    hosttest::writeFile(dir + "/free.json", free);
    for (const char* format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        const auto expected = hosttest::run({"convert", "-f", format, "--now", "2025-07-04T09:05:03"});
        const auto result =
            hosttest::run({"convert", dir + "/free.json", "-f", format, "--now", "2025-07-04T09:05:03"});
        ASSERT_EQ(result.code, 0) << format << ": " << result.err;
        EXPECT_EQ(result.out, expected.out) << format;
    }
}

}  // namespace
