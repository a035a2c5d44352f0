// Traverse stations: a station given with coordinates is known to the set-ups after it, and a
// station occupied without coordinates takes them from the foresight an earlier set-up took
// to it. The coordinates expected here are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"
#include "job/job.h"
#include "readers/job_reader.h"
#include "readers/json_job.h"

namespace {

using exportgen::Job;
using exportgen::JsonValue;
using exportgen::Point3;
using exportgen::Setup;

// Reads a job into the job model as convert does (without the schema) and keeps its set-ups.
class Collect : public exportgen::JobEvents {
public:
    explicit Collect(Job& job) : m_builder(job) {}
    void member(std::string_view key, const JsonValue& value) override { m_builder.apply(key, value); }
    void setupsBegin(bool, std::size_t) override {}
    void setup(std::size_t index, const JsonValue& value) override {
        setups.push_back(m_builder.makeSetup(value, index));
    }
    std::vector<Setup> setups;

private:
    exportgen::JsonJob m_builder;
};

// A: known. The bearing set-up on A sights T1 (east, 50 m, rise 2) as a foresight and X as a
// side shot. T1 is occupied without coordinates, backsighted on A, and sights T3 (north,
// 40 m, rise -1). S is a free station with coordinates, backsighted on T1, the station of the
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

void expectAt(const Point3& point, double n, double e, double h, const char* what) {
    EXPECT_NEAR(point.n, n, 1e-9) << what;
    EXPECT_NEAR(point.e, e, 1e-9) << what;
    EXPECT_NEAR(point.h, h, 1e-9) << what;
}

TEST(Traverse, StationsTakeTheirCoordinatesFromForesightsAndServeAsBacksights) {
    Job job;
    Collect collect(job);
    exportgen::readJob(kTraverse, "traverse.json", collect, false);
    ASSERT_EQ(collect.setups.size(), 4U);
    const auto& setups = collect.setups;
    // T1 = A + 50 m east; height 100 + 1.5 + 2 - 1.5.
    expectAt(setups[1].coords, 1000, 2050, 102, "T1");
    // From T1 the azimuth to A is 270 degrees; the circle reads 0 on it.
    EXPECT_NEAR(setups[1].backsight.azimuth, 270, 1e-9);
    EXPECT_NEAR(setups[1].orientation, 270, 1e-9);
    // S knows T1 as a backsight: the azimuth from (1100, 2000) to (1000, 2050) is
    // 180 - atan(50/100) = 153.434948822922 degrees.
    expectAt(setups[2].coords, 1100, 2000, 100, "S");
    EXPECT_NEAR(setups[2].backsight.azimuth, 153.43494882292202, 1e-9);
    // T3 = T1 + 40 m at azimuth 90 + 270 = north; height 102 + 1.6 - 1 - 1.6.
    expectAt(setups[3].coords, 1040, 2050, 101, "T3");
    // From T3 to S: dN 60, dE -50, azimuth 360 - atan(50/60) = 320.194428907735 degrees, and
    // Q 100 m along it: (1040 + 6000/sqrt(6100), 2050 - 5000/sqrt(6100)).
    EXPECT_NEAR(setups[3].backsight.azimuth, 320.19442890773481, 1e-9);
    Point3 q;
    ASSERT_TRUE(exportgen::target(setups[3].coords, setups[3].hi, setups[3].shots[0].hr, setups[3].orientation,
                                  setups[3].shots[0].measurement(), q));
    expectAt(q, 1116.8221279597376, 1985.9815600335520, 101, "Q");
    // The traverse stations are not added to the job's known points (the header lists).
    EXPECT_EQ(job.points.size(), 1U);
    EXPECT_EQ(job.find("T1"), nullptr);
}

TEST(Traverse, OnlyForesightsAndEarlierSetupsLocateAStation) {
    struct Case {
        const char* name;
        std::string setups;  // appended to the traverse's set-ups
        std::string message;
    };
    const Case cases[] = {
        // X was a side shot, not a foresight.
        {"side shot", R"({"station": "X", "hi": 1.5})", "$.setups[4].station: unknown point \"X\""},
        // Q was sighted but never occupied: not a backsight.
        {"sighted only", R"({"station": "T3", "hi": 1.5, "backsight": {"point": "Q"}})",
         "$.setups[4].backsight.point: unknown point \"Q\""},
    };
    const std::string base = kTraverse;
    for (const Case& c : cases) {
        const std::string job = base.substr(0, base.size() - 2) + ",\n " + c.setups + "]}";
        Job model;
        Collect collect(model);
        try {
            exportgen::readJob(job, "traverse.json", collect, false);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const exportgen::HostError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.name << ": " << error.what();
        }
    }
    // A station named before it is sighted is unknown even when a later set-up sights it.
    const std::string early = R"({"points": [{"name": "A", "coords": [0, 0, 0]}], "setups": [
        {"station": "T9", "hi": 1},
        {"station": "A", "hi": 1, "shots": [{"to": "T9", "fs": true, "hd": [0, 10, 0]}]}]})";
    Job model;
    Collect collect(model);
    EXPECT_THROW(exportgen::readJob(early, "early.json", collect, false), exportgen::HostError);
}

// The whole program: the traverse converts, and its records carry the stations' coordinates.
TEST(Traverse, ConvertsWithTheStationsCoordinates) {
    const std::string dir = hosttest::freshDirectory("traverse");
    hosttest::writeFile(dir + "/traverse.json", kTraverse);
    const auto rw5 = hosttest::run({"convert", dir + "/traverse.json", "-f", "rw5", "--now", "2025-07-04T09:05:03"});
    ASSERT_EQ(rw5.code, 0) << rw5.err;
    EXPECT_NE(rw5.out.find("OC,OPT1,N 1000.0000,E 2050.0000,EL102.0000"), std::string::npos) << rw5.out;
    EXPECT_NE(rw5.out.find("OC,OPT3,N 1040.0000,E 2050.0000,EL101.0000"), std::string::npos) << rw5.out;
    EXPECT_NE(rw5.out.find("BK,OPT3,BPS,BS320.1"), std::string::npos) << rw5.out;
    const auto check = hosttest::run({"check", dir + "/traverse.json"});
    EXPECT_EQ(check.code, 0) << check.err;
}

}  // namespace
