// LandXML as office programs write it, read into a job: every angular and linear unit, the
// namespaces of 1.0 to 2.0, observation groups apart from their set-ups and points after the
// survey, reduced observations, what is skipped (counted once per name) and what is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using Json = nlohmann::json;

std::string landXml(
    const std::string& body,
    const std::string& units =
        R"(<Metric areaUnit="squareMeter" linearUnit="meter" volumeUnit="cubicMeter" temperatureUnit="celsius" pressureUnit="HPA" angularUnit="decimal degrees" directionUnit="decimal degrees"/>)",
    const std::string& ns = "http://www.landxml.org/schema/LandXML-1.2") {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<LandXML xmlns=")" +
           ns + R"(" version="1.2" date="2024-03-05" time="07:08:09">
<Units>)" + units +
           "</Units>\n" + body + "</LandXML>\n";
}

// One set-up at P1 with one shot whose figures are `figures`.
std::string oneShot(const std::string& figures) {
    return R"(<CgPoints><CgPoint name="P1">100 200 10</CgPoint></CgPoints>
<Survey><SurveyHeader name="J"/>
<InstrumentSetup id="a" stationName="P1" instrumentHeight="1.5">
 <RawObservation purpose="sideshot" targetHeight="1.2" )" +
           figures + R"(><TargetPoint name="T1"/></RawObservation>
</InstrumentSetup></Survey>
)";
}

Json readJob(const std::string& xml, std::vector<std::string>* warnings = nullptr) {
    return Json::parse(hosttest::readRaw("landxml", xml, warnings));
}

std::string metric(const char* linear, const char* angular) {
    std::string units = R"(<Metric areaUnit="squareMeter" linearUnit=")" + std::string(linear) +
                        R"(" volumeUnit="cubicMeter" temperatureUnit="celsius" pressureUnit="HPA")";
    if (angular != nullptr) units += R"( angularUnit=")" + std::string(angular) + "\"";
    return units + "/>";
}

// The figures of a survey are checked as every input's are, at their element, in the file's units.
TEST(LandXmlReader, ImplausibleFiguresAreWarnedInTheFilesUnits) {
    struct Case {
        const char* units;
        const char* figures;
        const char* warning;  // empty: none
    };
    const Case cases[] = {
        {"meter", R"(horizAngle="90" zenithAngle="95.5" slopeDistance="10")", ""},
        {"meter", R"(horizAngle="90" zenithAngle="95.5" slopeDistance="-10")", "negative distance -10 metres"},
        {"USSurveyFoot", R"(horizAngle="90" zenithAngle="95.5" slopeDistance="-82")",
         "negative distance -82 US survey feet"},
        {"meter", R"(horizAngle="90" zenithAngle="365" slopeDistance="10")",
         "zenith 365 degrees is outside 0 to 360 degrees"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.figures);
        std::vector<std::string> warnings;
        (void)readJob(landXml(oneShot(c.figures), metric(c.units, "decimal degrees")), &warnings);
        if (*c.warning == '\0') {
            EXPECT_TRUE(warnings.empty()) << warnings.front();
            continue;
        }
        ASSERT_EQ(warnings.size(), 1U);
        EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
    }
}

TEST(LandXmlReader, EveryAngularUnitReadsTheSameAngles) {
    struct Case {
        const char* unit;  // null: none stated, which is radians
        const char* figures;
    };
    const Case cases[] = {
        {"decimal degrees", R"(horizAngle="90" zenithAngle="95.5" slopeDistance="10")"},
        {"decimal dd.mm.ss", R"(horizAngle="90.0000" zenithAngle="95.30" slopeDistance="10")"},
        {"grads", R"(horizAngle="100" zenithAngle="106.111111111111111" slopeDistance="10")"},
        {"radians", R"(horizAngle="1.5707963267948966" zenithAngle="1.6667894356545" slopeDistance="10")"},
        {nullptr, R"(horizAngle="1.5707963267948966" zenithAngle="1.6667894356545" slopeDistance="10")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit == nullptr ? "none" : c.unit);
        const Json job = readJob(landXml(oneShot(c.figures), metric("meter", c.unit)));
        const Json& sd = job["setups"][0]["shots"][0]["sd"];
        ASSERT_EQ(sd.size(), 3U) << job.dump();
        EXPECT_NEAR(sd[0].get<double>(), 90.0, 1e-9);
        EXPECT_NEAR(sd[1].get<double>(), 95.5, 1e-9);
        EXPECT_DOUBLE_EQ(sd[2].get<double>(), 10.0);
    }
}

TEST(LandXmlReader, EveryLinearUnitIsReadInMetres) {
    const std::pair<const char*, double> cases[] = {
        {"meter", 10.0},        {"millimeter", 0.01}, {"centimeter", 0.1},
        {"kilometer", 10000.0}, {"foot", 3.048},      {"USSurveyFoot", 10.0 * 1200.0 / 3937.0},
    };
    for (const auto& [unit, metres] : cases) {
        SCOPED_TRACE(unit);
        const Json job = readJob(
            landXml(oneShot(R"(horizAngle="0" zenithAngle="90" slopeDistance="10")"), metric(unit, "decimal degrees")));
        EXPECT_NEAR(job["setups"][0]["shots"][0]["sd"][2].get<double>(), metres, 1e-9 * metres);
        EXPECT_NEAR(job["setups"][0]["hi"].get<double>(), metres * 0.15, 1e-9 * metres);
    }
    // Imperial's feet for every length, elevations in the elevation unit where one is named.
    const Json feet = readJob(landXml(
        R"(<CgPoints><CgPoint name="P">1000 2000 300</CgPoint></CgPoints>)",
        R"(<Imperial areaUnit="squareFoot" linearUnit="USSurveyFoot" volumeUnit="cubicFeet" temperatureUnit="fahrenheit" pressureUnit="inHG" elevationUnit="meter"/>)"));
    EXPECT_NEAR(feet["points"][0]["coords"][0].get<double>(), 1000 * 1200.0 / 3937.0, 1e-9);
    EXPECT_DOUBLE_EQ(feet["points"][0]["coords"][2].get<double>(), 300.0);
    EXPECT_EQ(feet["units"]["distance"], "usSurveyFeet");
}

TEST(LandXmlReader, TheNamespacesOfEveryVersionAreRead) {
    for (const char* ns : {"http://www.landxml.org/schema/LandXML-1.0", "http://www.landxml.org/schema/LandXML-1.1",
                           "http://www.landxml.org/schema/LandXML-2.0", ""}) {
        SCOPED_TRACE(ns);
        std::vector<std::string> warnings;
        const Json job = readJob(landXml(oneShot(R"(horizAngle="0")"), metric("meter", "grads"), ns), &warnings);
        EXPECT_EQ(job["points"].size(), 1U);
        EXPECT_EQ(job["setups"][0]["shots"][0]["to"], "T1");
        EXPECT_TRUE(warnings.empty()) << warnings.front();
    }
}

TEST(LandXmlReader, MalformedFilesAndOtherXmlAreRefusedWithTheirLineAndColumn) {
    const std::pair<std::string, std::string> cases[] = {
        {"<LandXML><Units>", "in.landxml:1:17: malformed XML: no element found"},
        {"<?xml version=\"1.0\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"/>",
         "in.landxml:2:1: not a LandXML file: its root element is \"kml\""},
        {"<LandXML xmlns=\"http://example.com/LandXML-1.2\"/>", "in.landxml:1:1: not a LandXML file"},
        {landXml(oneShot(R"(horizAngle="ninety")")), "in.landxml:7:2: the horizAngle \"ninety\" is no number"},
        {landXml(oneShot(R"(horizAngle="12.5" zenithAngle="INF")")), "the zenithAngle \"INF\" is no number"},
        {landXml("<CgPoints><CgPoint name=\"P\">1 2 3 4</CgPoint></CgPoints>"),
         "the coordinates of point \"P\" are not two or three numbers"},
        {landXml("", R"(<Metric linearUnit="furlong"/>)"), "unknown linear unit \"furlong\""},
        {"", "in.landxml: the input is empty"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text.substr(0, 80));
        try {
            hosttest::readRaw("landxml", text);
            ADD_FAILURE() << "read without an error";
        } catch (const exportgen::HostError& error) {
            EXPECT_EQ(error.code(), exportgen::kExitJson);
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
}

// Set-ups first, their observation groups after them in another order (joined by setupID), and
// the control points after the survey: each set-up gets its own sights, placed on the points.
TEST(LandXmlReader, GroupsApartFromTheirSetupsAndPointsAfterTheSurveyAreJoined) {
    const std::string body = R"(<Survey><SurveyHeader name="apart"/>
<InstrumentSetup id="A" stationName="P1" instrumentHeight="1.5"/>
<InstrumentSetup id="B" stationName="P2" instrumentHeight="1.6"/>
<ObservationGroup id="gB" setupID="B">
 <Backsight circle="0"><BacksightPoint name="P1"/></Backsight>
 <RawObservation horizAngle="90" zenithAngle="90" slopeDistance="5" targetHeight="0"><TargetPoint name="B1"/></RawObservation>
</ObservationGroup>
<ObservationGroup id="gA" setupID="A">
 <Backsight circle="0"><BacksightPoint name="P2"/></Backsight>
 <RawObservation horizAngle="180" zenithAngle="90" slopeDistance="7" targetHeight="0"><TargetPoint name="A1"/></RawObservation>
 <RawObservation setupID="B" horizAngle="270" zenithAngle="90" slopeDistance="3" targetHeight="0"><TargetPoint name="B2"/></RawObservation>
</ObservationGroup>
</Survey>
<CgPoints><CgPoint name="P1">0 0 0</CgPoint><CgPoint name="P2">0 100 0</CgPoint></CgPoints>
)";
    std::vector<std::string> warnings;
    const std::string read = hosttest::readRaw("landxml", landXml(body), &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    const auto model = hosttest::readJobModel(read);
    ASSERT_EQ(model.setups.size(), 2U);
    ASSERT_EQ(model.setups[0].shots.size(), 1U);
    ASSERT_EQ(model.setups[1].shots.size(), 2U);
    // P1 sights P2 due east on a circle reading of 0: the orientation is 90 degrees.
    EXPECT_NEAR(model.setups[0].orientation.value, 90.0, 1e-9);
    EXPECT_NEAR(model.setups[1].orientation.value, 270.0, 1e-9);
    EXPECT_EQ(model.job.points.size(), 2U);
}

TEST(LandXmlReader, ReducedObservationsAreReadOnlyWhereASetupHasNoRawOnes) {
    const std::string body = R"(<Survey><SurveyHeader name="reduced"/>
<InstrumentSetup id="A" stationName="P1" instrumentHeight="1.5"/>
<ObservationGroup id="gA" setupID="A">
 <ReducedObservation horizAngle="10" horizDistance="20" vertDistance="-1" targetHeight="1.3"><TargetPoint name="R1"/></ReducedObservation>
 <ReducedObservation horizAngle="12" zenithAngle="91" slopeDistance="30"><TargetPoint name="R2"/></ReducedObservation>
 <ReducedObservation azimuth="45" horizDistance="20"><TargetPoint name="R3"/></ReducedObservation>
</ObservationGroup>
<InstrumentSetup id="B" stationName="P2" instrumentHeight="1.5">
 <RawObservation horizAngle="5" zenithAngle="90" slopeDistance="2"><TargetPoint name="W1"/></RawObservation>
 <ObservationGroup id="gB"><ReducedObservation horizAngle="6" horizDistance="2" vertDistance="0"><TargetPoint name="W2"/></ReducedObservation></ObservationGroup>
</InstrumentSetup>
</Survey>
)";
    std::vector<std::string> warnings;
    const Json job = readJob(landXml(body), &warnings);
    const Json& a = job["setups"][0]["shots"];
    ASSERT_EQ(a.size(), 2U) << job.dump();
    EXPECT_EQ(a[0]["hd"], Json::array({10, 20, -1}));
    EXPECT_EQ(a[1]["sd"], Json::array({12, 91, 30}));
    ASSERT_EQ(job["setups"][1]["shots"].size(), 1U);
    EXPECT_EQ(job["setups"][1]["shots"][0]["to"], "W1");
    ASSERT_EQ(warnings.size(), 2U);
    EXPECT_NE(warnings[0].find("2 reduced observations are read as measured"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("2 reduced observations are skipped"), std::string::npos) << warnings[1];
}

TEST(LandXmlReader, WhatAJobHasNoPlaceForIsSkippedWithOneCountedWarningPerName) {
    const std::string body = R"(<Surfaces><Surface name="EG"/></Surfaces><Surfaces/>
<Parcels/><x:Extra xmlns:x="urn:other"/>
<CgPoints><CgPoint name="P1" oID="7" state="existing">1 2 3</CgPoint><CgPoint name="P2">5 6</CgPoint></CgPoints>
<Survey><SurveyHeader name="J"/>
<InstrumentSetup id="a" stationName="P1" instrumentHeight="1.5">
 <RawObservation horizAngle="10" timeStamp="2024-01-01T00:00:00" unused="true"><TargetPoint name="T0"/></RawObservation>
 <RawObservation horizAngle="10" azimuth="45"><TargetPoint name="T1"/><OffsetVals/></RawObservation>
</InstrumentSetup></Survey>
)";
    std::vector<std::string> warnings;
    const Json job = readJob(landXml(body), &warnings);
    EXPECT_EQ(job["points"].size(), 2U);
    EXPECT_FALSE(job["points"][1]["coords"].size() == 3U);  // P2 is known in plan only
    std::string all;
    for (const auto& w : warnings) all += w + "\n";
    for (const char* expected :
         {"the element Surfaces is skipped: a job has no place for it (2 times, the first here) (in.landxml:4:1)",
          "the element Parcels is skipped", "the element urn:other:Extra is skipped",
          "the attribute state of CgPoint is skipped", "the attribute azimuth of RawObservation is skipped",
          "the element OffsetVals is skipped", "1 observation marked unused or deleted is skipped"}) {
        EXPECT_NE(all.find(expected), std::string::npos) << expected << "\n" << all;
    }
    EXPECT_EQ(all.find("oID"), std::string::npos) << all;
    ASSERT_EQ(job["setups"][0]["shots"].size(), 1U);
}

// A design from the office to stake out: a file of CgPoints in US survey feet, as coordinate
// records of SDR, and beside a job as the points it stakes out (--points).
TEST(LandXmlReader, AFileOfCgPointsIsADesignToStakeOut) {
    const std::string design = landXml(
        R"(<CgPoints name="design"><CgPoint name="D7" code="PEG" role="to stake out">3280.8333 6561.6667 328.08333</CgPoint></CgPoints>)",
        R"(<Imperial areaUnit="squareFoot" linearUnit="USSurveyFoot" volumeUnit="cubicFeet" temperatureUnit="fahrenheit" pressureUnit="inHG"/>)");
    const std::string path = hosttest::memoryFile("landxml/design.xml", design);
    const auto sdr = hosttest::run({"convert", path, "-f", "sdr", "--now", "2025-07-04T09:05:03"});
    ASSERT_EQ(sdr.code, 0) << sdr.err;
    EXPECT_NE(sdr.out.find("08TP              D73280.8333       6561.6667       328.0833        PEG"),
              std::string::npos)
        << sdr.out;

    const std::string job = hosttest::oneSetup(
        R"([{"to": "B", "sd": [0, 90, 10], "hr": 1.5}], "stakeouts": [{"design": "D7", "to": "S7", "sd": [0, 90, 10], "hr": 1.5}])",
        R"("units": {"distance": "metres", "angle": "degrees"},)");
    const auto staked = hosttest::run({"convert", hosttest::memoryFile("landxml/job.json", job), "--points", path, "-f",
                                       "landxml", "--now", "2025-07-04T09:05:03"});
    ASSERT_EQ(staked.code, 0) << staked.err;
    // 3280.8333 US survey feet are 999.99999 m: the design point in the job's metres.
    EXPECT_NE(staked.out.find("<CgPoint name=\"D7\" role=\"to stake out\">999.99998983998 2000.00001016002 "
                              "99.999998983998</CgPoint>"),
              std::string::npos)
        << staked.out;
    EXPECT_NE(staked.out.find("<TargetPoint name=\"S7\" pntRef=\"D7\" role=\"staked out\"/>"), std::string::npos);
}

TEST(LandXmlReader, AFileIsToldByItsFirstElementAndItsSuffix) {
    const std::string xml = landXml(oneShot(R"(horizAngle="1")"));
    for (const char* name : {"landxml/by-content.txt", "landxml/by-suffix.XML"}) {
        SCOPED_TRACE(name);
        const auto converted = hosttest::run(
            {"convert", hosttest::memoryFile(name, xml), "-f", "rw5", "--now", "2025-07-04T09:05:03", "--quiet"});
        ASSERT_EQ(converted.code, 0) << converted.err;
        EXPECT_NE(converted.out.find("FPT1"), std::string::npos) << converted.out;
    }
}

}  // namespace
