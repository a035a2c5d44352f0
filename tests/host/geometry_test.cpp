// The host's geometry: the resection residuals and stake-out differences against figures
// worked by hand, and the round trip: a synthetic job converted to RW5 and SDR, read back with
// a small reader of each format, lands every fully measured target on the job's own
// coordinates within what the written digits allow.
#include "job/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/host_test_support.h"

namespace {

constexpr double kRadians = 3.14159265358979323846 / 180.0;

struct Xyz {
    double n = 0, e = 0, h = 0;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        out.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "every line ends with \\r\\n";
    return out;
}

// The known coordinates of every target of the job.
std::map<std::string, Xyz> targetsOf(const std::string& job) {
    std::map<std::string, Xyz> targets;
    const auto document = nlohmann::json::parse(job);
    for (const auto& setup : document["setups"]) {
        for (const auto& shot : setup["shots"]) {
            const auto& c = shot["coords"];
            targets[shot["to"]] = {c[0], c[1], c[2]};
        }
    }
    return targets;
}

// Checks one observation; `tolerance` grows with the distance by the angular resolution.
struct Checker {
    const std::map<std::string, Xyz>& known;
    int checked = 0;
    void check(const std::string& name, const Xyz& station, double hi, double hr, double orientation, double hz,
               double zenith, double slope, double angularResolution) {
        const double horizontal = slope * std::sin(zenith * kRadians);
        const double direction = (hz + orientation) * kRadians;
        const Xyz computed{station.n + horizontal * std::cos(direction), station.e + horizontal * std::sin(direction),
                           station.h + hi + slope * std::cos(zenith * kRadians) - hr};
        auto found = known.find(name);
        ASSERT_NE(found, known.end()) << name;
        const double tolerance = std::fabs(slope) * angularResolution * kRadians + 0.0003;
        EXPECT_NEAR(computed.n, found->second.n, tolerance) << name;
        EXPECT_NEAR(computed.e, found->second.e, tolerance) << name;
        EXPECT_NEAR(computed.h, found->second.h, tolerance) << name;
        ++checked;
    }
};

// RW5 angles are packed degrees-minutes-seconds D.MMSSs….
double packedDms(const std::string& text) {
    const auto point = text.find('.');
    const std::string digits = text.substr(point + 1) + "0000";
    return std::stod(text.substr(0, point)) + std::stod(digits.substr(0, 2)) / 60.0 +
           std::stod(digits.substr(2, 2) + "." + digits.substr(4)) / 3600.0;
}

std::map<std::string, std::string> rw5Fields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::stringstream parts(line);
    std::string part;
    std::getline(parts, part, ',');
    fields["type"] = part;
    while (std::getline(parts, part, ',')) {
        if (part.size() < 2) continue;
        std::string tag = part.substr(0, 2);
        if (tag[1] == ' ') tag.pop_back();  // the coordinate tags "N " and "E "
        fields[tag] = part.substr(2);
    }
    return fields;
}

std::string sampleJob(const std::string& dir) {
    const auto sample = hosttest::run({"sample", "--shots", "700", "--seed", "7"});
    EXPECT_EQ(sample.code, 0) << sample.err;
    hosttest::writeFile(dir + "/synthetic.json", sample.out);
    return sample.out;
}

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

TEST(GeometryRoundTrip, Rw5TargetsLandOnTheirCoordinates) {
    const std::string dir = hosttest::freshDirectory("geometry-rw5");
    const auto targets = targetsOf(sampleJob(dir));
    const auto rw5 = hosttest::run({"convert", dir + "/synthetic.json", "--format", "rw5"});
    ASSERT_EQ(rw5.code, 0) << rw5.err;
    Checker checker{targets};
    Xyz station;
    double hi = 0, hr = 0, orientation = 0;
    for (const auto& line : lines(rw5.out)) {
        auto f = rw5Fields(line);
        const std::string& type = f["type"];
        if (type == "OC") {
            station = {std::stod(f["N"]), std::stod(f["E"]), std::stod(f["EL"])};
        } else if (type == "LS") {
            hi = std::stod(f["HI"]);
            hr = std::stod(f["HR"]);
        } else if (type == "BK") {
            orientation = packedDms(f["BS"]) - packedDms(f["BC"]);
        } else if ((type == "FD" || type == "FR") && (!f["SD"].empty() || f.count("HD") != 0)) {
            if (f.count("ZE") != 0 && f["ZE"].empty()) continue;     // a horizontal angle alone
            if (f.count("AR") == 0 && f.count("AL") == 0) continue;  // a slope distance alone
            const double hz = f.count("AR") != 0 ? packedDms(f["AR"]) : -packedDms(f["AL"]);
            if (f.count("HD") != 0) {  // horizontal distance and height difference
                const double horizontal = std::stod(f["HD"]), rise = std::stod(f["CE"]);
                checker.check(f["FP"], station, hi, hr, orientation, hz, std::atan2(horizontal, rise) / kRadians,
                              std::hypot(horizontal, rise), 1.0 / 3600);
            } else if (f.count("ZE") != 0) {
                // 0.5" of the 1" backsight azimuth and 0.05" of each observed angle
                checker.check(f["FP"], station, hi, hr, orientation, hz, packedDms(f["ZE"]), std::stod(f["SD"]),
                              0.6 / 3600);
            }
        }
    }
    EXPECT_GT(checker.checked, 500);
}

std::string column(const std::string& line, std::size_t from, std::size_t width) {
    std::string text = line.substr(from, width);
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

TEST(GeometryRoundTrip, SdrTargetsLandOnTheirCoordinates) {
    const std::string dir = hosttest::freshDirectory("geometry-sdr");
    const auto targets = targetsOf(sampleJob(dir));
    const auto sdr = hosttest::run({"convert", dir + "/synthetic.json", "--format", "sdr"});
    ASSERT_EQ(sdr.code, 0) << sdr.err;
    Checker checker{targets};
    Xyz station;
    double hi = 0, hr = 0, orientation = 0;
    for (const auto& line : lines(sdr.out)) {
        const std::string head = line.substr(0, 4);
        if (head == "02NM") {
            station = {std::stod(column(line, 20, 16)), std::stod(column(line, 36, 16)),
                       std::stod(column(line, 52, 16))};
            hi = std::stod(column(line, 68, 16));
        } else if (head == "03NM") {
            hr = std::stod(column(line, 4, 16));
        } else if (head == "07TP") {
            orientation = std::stod(column(line, 36, 16)) - std::stod(column(line, 52, 16));
        } else if ((head == "09F1" || head == "09F2") && line.size() >= 84) {
            const std::string sd = column(line, 36, 16), zenith = column(line, 52, 16), hz = column(line, 68, 16);
            if (sd.empty() || zenith.empty() || hz.empty()) continue;
            if (targets.count(column(line, 20, 16)) == 0) continue;  // the backsight observation
            checker.check(column(line, 20, 16), station, hi, hr, orientation, std::stod(hz), std::stod(zenith),
                          std::stod(sd), 3 * 0.5e-6);
        }
    }
    EXPECT_GT(checker.checked, 500);
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
