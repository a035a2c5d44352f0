// The host's geometry: azimuths, resection residuals, stake-out differences and free stations
// against figures worked by hand. (That the targets of a job written in a format and read back
// land where the job put them is round_trip_test's.)
#include "job/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

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

using exportgen::FreeStationSight;
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
    ASSERT_TRUE(exportgen::freeStation(sights, 0.0, fit));
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
    ASSERT_TRUE(exportgen::freeStation(sights, 1.5, fit));
    EXPECT_NEAR(fit.station.n, 1000.0, 1e-9);
    EXPECT_NEAR(fit.station.e, 2000.0, 1e-9);
    EXPECT_NEAR(fit.station.h, 98.5, 1e-9);  // the points' height less the instrument height
    EXPECT_NEAR(fit.orientation, 0.0, 1e-9);
}

TEST(FreeStation, NeedsTwoSightsWithDistancesAtTwoPlaces) {
    StationFit fit;
    EXPECT_FALSE(exportgen::freeStation({sightTo({1100.0, 2000.0, 100.0}, 0.0, 100.0, 0.0)}, 0.0, fit));
    FreeStationSight anglesOnly;
    anglesOnly.known = {900.0, 2000.0, 100.0};
    anglesOnly.measurement = orv::ie::DexTSRawMeasurement(orv::ie::eKindAnglesOnly, {180.0, 90.0});
    EXPECT_FALSE(exportgen::freeStation({sightTo({1100.0, 2000.0, 100.0}, 0.0, 100.0, 0.0), anglesOnly}, 0.0, fit));
    EXPECT_FALSE(exportgen::freeStation(
        {sightTo({1000.0, 2000.0, 100.0}, 0.0, 0.0, 0.0), sightTo({1000.0, 2000.0, 100.0}, 90.0, 0.0, 0.0)}, 0.0, fit));
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
