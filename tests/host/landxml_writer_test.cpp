// LandXML as exportgen writes it: the built-in job against its golden file; every file the
// tests write valid against the published LandXML 1.2 schema (xmllint); units, warnings and
// refusals; and the round trips: a job through LandXML keeps every value the ledger says was
// written, and RW5 through LandXML gives the same RW5 again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "base/embedded.h"
#include "host/host_test_support.h"
#include "job/job.h"
#include "support/text.h"

namespace {

constexpr const char* kNow = "2025-07-04T09:05:03";

hosttest::Result convert(const std::string& job, const std::string& format, const std::string& name,
                         std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"convert", hosttest::memoryFile("landxml/" + name, job), "-f", format, "--now",
                                     kNow};
    args.insert(args.end(), more.begin(), more.end());
    return hosttest::run(args);
}

std::string sampleIn(const char* distance, const char* angle) {
    nlohmann::json job = nlohmann::json::parse(exportgen::sampleJobText());
    job["units"] = {{"distance", distance}, {"angle", angle}};
    return job.dump();
}

// Names, codes, notes and texts an XML file must escape or carry as they are.
const char* const kAwkward = R"({
  "units": {"distance": "usSurveyFeet", "angle": "gons"},
  "job": {"name": "Smith & <Sons> \"North\"", "text2": "Río 'Tinto'", "text3": "a > b"},
  "points": [{"name": "A&B", "coords": [100, 200, 10], "code": "<CP>", "note": "nail & \"washer\""},
             {"name": "Ünter", "coords": [150, 260]}],
  "setups": [{"station": "A&B", "hi": 1.5, "note": "]]> in a note",
              "backsight": {"point": "Ünter", "circle": 0, "hr": 1.7},
              "shots": [{"to": "x<1>", "sd": [12.5, 88.125, 33.3333], "hr": 1.7,
                         "codes": [{"code": "T&R", "attributes": [["<h>", "1 & 2"]], "control": ["", "E\"ND"]}],
                         "note": "übung 😀"}]}]
})";

struct NamedJob {
    std::string name;
    std::string text;
};

std::vector<NamedJob> fixtureJobs() {
    return {{"built-in", std::string(exportgen::sampleJobText())},
            {"metres and decimal degrees", sampleIn("metres", "decimalDegrees")},
            {"US feet and gons", sampleIn("usSurveyFeet", "gons")},
            {"feet and mils", sampleIn("internationalFeet", "mils")},
            {"feet and inches", sampleIn("usSurveyFeetInches", "packedDms")},
            {"awkward texts", kAwkward},
            {"synthetic 1", hosttest::syntheticJob(300, 1)},
            {"synthetic 2", hosttest::syntheticJob(300, 2)}};
}

// ---- the schema

std::string schemaPath() {
    return std::filesystem::path(hosttest::dataPath("../../shared/landxml/LandXML-1.2.xsd")).lexically_normal();
}

// Why the schema cannot be checked here, or empty when it can: a clone of the project alone has
// neither the schema beside it nor, perhaps, xmllint. CI requires both.
std::string schemaMissing() {
    if (!std::filesystem::exists(schemaPath())) return "no LandXML schema at " + schemaPath();
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) return "no xmllint (libxml2-utils)";
    return {};
}

// xmllint's word on `xml`: empty when it validates.
std::string schemaProblems(const std::string& xml, const std::string& name) {
    const std::string dir = hosttest::freshDirectory("landxml-schema");
    const std::string file = dir + "/" + name + ".xml";
    hosttest::writeFile(file, xml);
    const std::string command = "xmllint --noout --schema '" + schemaPath() + "' '" + file + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        if (pclose(pipe) == 0) return {};
    }
    return output.empty() ? "xmllint failed" : output.substr(0, 3000);
}

#define SKIP_WITHOUT_SCHEMA()                                                                  \
    do {                                                                                       \
        const std::string missing = schemaMissing();                                           \
        if (!missing.empty()) {                                                                \
            if (std::getenv("EXPORTGEN_REQUIRE_LANDXML_SCHEMA") != nullptr) FAIL() << missing; \
            GTEST_SKIP() << missing << ": the LandXML written is not validated";               \
        }                                                                                      \
    } while (false)

TEST(LandXmlSchema, EveryFixtureJobIsValidInEveryUnitSystem) {
    SKIP_WITHOUT_SCHEMA();
    for (const NamedJob& job : fixtureJobs()) {
        SCOPED_TRACE(job.name);
        const auto written = convert(job.text, "landxml", job.name + ".json");
        ASSERT_EQ(written.code, 0) << written.err;
        EXPECT_EQ(schemaProblems(written.out, "fixture"), "");
    }
}

TEST(LandXmlSchema, AllWritesValidLandXmlBesideTheRawFormats) {
    SKIP_WITHOUT_SCHEMA();
    const std::string dir = hosttest::freshDirectory("landxml-all");
    const auto all = hosttest::run({"convert", "--all", dir, "--now", kNow});
    ASSERT_EQ(all.code, 0) << all.err;
    const std::string xml = hosttest::readFile(dir + "/sample.xml");
    EXPECT_EQ(schemaProblems(xml, "all"), "");
    EXPECT_NE(all.err.find("wrote " + dir + "/sample.xml: "), std::string::npos) << all.err;
}

// ---- what is written

TEST(LandXmlWriter, TheBuiltInJobMatchesItsGoldenFile) {
    const auto written = hosttest::run({"convert", "-f", "landxml", "--now", kNow});
    ASSERT_EQ(written.code, 0) << written.err;
    const std::string golden = hosttest::readFile(hosttest::dataPath("golden/sample_landxml.xml"));
    EXPECT_EQ(written.out, golden);
    // Our own LandXML converted to LandXML: the same bytes.
    const auto again = hosttest::run(
        {"convert", hosttest::memoryFile("landxml/golden.xml", golden), "-f", "landxml", "--now", kNow, "--quiet"});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.out, golden);
}

TEST(LandXmlWriter, UnitsAndTheirConversionsAreStatedAndWarned) {
    struct Case {
        const char* distance;
        const char* angle;
        const char* units;    // what the Units element says
        const char* warning;  // a conversion warned, or null
        const char* zenith;   // the first shot's zenith 89.403191 degrees as written
    };
    const Case cases[] = {
        {"metres", "degrees", R"(<Metric areaUnit="squareMeter" linearUnit="meter" volumeUnit="cubicMeter")", nullptr,
         R"(zenithAngle="89.24114876")"},
        {"usSurveyFeet", "gons", R"(<Imperial areaUnit="squareFoot" linearUnit="USSurveyFoot")", nullptr,
         R"(zenithAngle="99.3368788888889")"},
        {"internationalFeet", "mils", R"(linearUnit="foot" volumeUnit="cubicFeet")",
         "angles in mils are written in decimal degrees", R"(zenithAngle="89.403191")"},
        {"internationalFeetInches", "decimalDegrees", R"(angularUnit="decimal degrees")",
         "feet and inches are written in decimal feet", R"(slopeDistance="393.722112860892")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.distance) + " " + c.angle);
        const auto written = convert(sampleIn(c.distance, c.angle), "landxml", "units.json");
        ASSERT_EQ(written.code, 0) << written.err;
        EXPECT_NE(written.out.find(c.units), std::string::npos);
        EXPECT_NE(written.out.find(c.zenith), std::string::npos);
        if (c.warning != nullptr) {
            EXPECT_NE(written.err.find(c.warning), std::string::npos) << written.err;
        }
        // Celsius and hectopascals are Metric's: in Imperial they are converted, and said so.
        const bool imperial = std::string(c.distance) != "metres";
        EXPECT_EQ(written.err.find("the temperature is written in Fahrenheit") != std::string::npos, imperial);
        EXPECT_EQ(written.err.find("the pressure is written in inches of mercury") != std::string::npos, imperial);
    }
}

TEST(LandXmlWriter, TextsAreEscapedAndNumbersIgnoreTheLocale) {
    const auto written = convert(kAwkward, "landxml", "awkward.json");
    ASSERT_EQ(written.code, 0) << written.err;
    for (const char* expected :
         {R"(<SurveyHeader name="Smith &amp; &lt;Sons&gt; &quot;North&quot;" desc="Río 'Tinto'")",
          "<FieldNote>a &gt; b</FieldNote>", R"(<CgPoint name="A&amp;B" code="&lt;CP&gt;")",
          R"(<TargetPoint name="x&lt;1&gt;"/>)", R"(<Property label="&lt;h&gt;" value="1 &amp; 2"/>)",
          R"(<Feature name="control2" code="E&quot;ND"/>)", "<FieldNote>]]&gt; in a note</FieldNote>",
          "<FieldNote>übung 😀</FieldNote>", R"(slopeDistance="109.36100175")"}) {
        EXPECT_NE(written.out.find(expected), std::string::npos) << expected;
    }
}

TEST(LandXmlWriter, ASetupWithoutAnInstrumentHeightIsRefused) {
    const std::string job = hosttest::oneSetup(R"([{"to": "P1", "sd": [10, 90, 5], "hr": 1.5}])");
    nlohmann::json parsed = nlohmann::json::parse(job);
    parsed["setups"][0].erase("hi");
    const auto refused = convert(parsed.dump(), "landxml", "no-hi.json");
    EXPECT_EQ(refused.code, 5);
    EXPECT_NE(refused.err.find("$.setups[0]: the set-up at \"S1\" has no instrument height"), std::string::npos)
        << refused.err;
    // RW5 writes an empty height instead.
    EXPECT_EQ(convert(parsed.dump(), "rw5", "no-hi.json").code, 0);
}

// The largest double is a length in metres but none in feet: what it places is left out and
// counted, the file stays valid, and an instrument height the file cannot hold is refused.
TEST(LandXmlWriter, CoordinatesBeyondTheFilesUnitAreLeftOutAndCounted) {
    const std::string job = R"({"units": {"distance": "internationalFeet", "angle": "degrees"},
      "points": [{"name": "BIG", "coords": [1.7976931348623157e308, 0, 0]}, {"name": "OK", "coords": [10, 20, 30]}],
      "setups": [{"station": "BIG", "hi": HI, "shots": [{"to": "X", "sd": [1, 90, 5], "hr": 1.5}]}]})";
    const auto replaced = [&job](const char* hi) { return std::regex_replace(job, std::regex("HI"), hi); };
    const auto written = convert(replaced("1.5"), "landxml", "big.json");
    ASSERT_EQ(written.code, 0) << written.err;
    EXPECT_EQ(written.out.find("name=\"BIG\" pntSurv"), std::string::npos);
    EXPECT_NE(written.out.find(R"(<CgPoint name="OK" pntSurv="control" role="control point">32.8083989501312 )"),
              std::string::npos);
    EXPECT_EQ(written.out.find("<InstrumentPoint"), std::string::npos);
    EXPECT_NE(written.err.find("1 known point left out: its coordinates are beyond what the file's linear unit holds"),
              std::string::npos)
        << written.err;
    EXPECT_NE(written.err.find("1 station position left out"), std::string::npos) << written.err;
    if (schemaMissing().empty()) {
        EXPECT_EQ(schemaProblems(written.out, "big"), "");
    }
    const auto refused = convert(replaced("1.7976931348623157e308"), "landxml", "big.json");
    EXPECT_EQ(refused.code, 5);
    EXPECT_NE(refused.err.find("has an instrument height beyond the file's unit"), std::string::npos) << refused.err;
}

TEST(LandXmlWriter, WhatLandXmlCannotHoldIsLeftOutAndCounted) {
    const std::string dir = hosttest::freshDirectory("landxml-report");
    const auto written = convert(std::string(exportgen::sampleJobText()), "landxml", "report.json",
                                 {"-o", dir + "/out.xml", "--report", dir + "/report.json"});
    ASSERT_EQ(written.code, 0) << written.err;
    const auto report = nlohmann::json::parse(hosttest::readFile(dir + "/report.json"));
    const auto& items = report["outputs"][0]["items"];
    EXPECT_EQ(items["levelRuns"]["leftOut"], 1);
    EXPECT_EQ(items["residuals"]["leftOut"], items["residuals"]["total"]);
    EXPECT_EQ(items["atmosphere"]["leftOut"], 2);  // the ppm, and a scale factor at an elevation
    for (const char* key : {"stationPositions", "slopeDistanceObservations", "horizontalDistanceObservations",
                            "knownPoints", "controlCodes", "attributes", "notes", "jobTexts", "stakeouts"}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(items.contains(key));
        EXPECT_EQ(items[key]["leftOut"], 0);
        EXPECT_GT(items[key]["total"], 0);
    }
    EXPECT_NE(written.err.find("1 level run left out: LandXML 1.2 has no element for a level run"), std::string::npos);
}

// ---- round trips

void expectNear(double a, double b, const std::string& what) {
    EXPECT_NEAR(a, b, 1e-9 * std::max(1.0, std::fabs(b))) << what;
}

void expectSameSight(const exportgen::Observation& read, const exportgen::Observation& given, const std::string& at) {
    using testsupport::narrow;
    EXPECT_EQ(narrow(read.sight.targetName()), narrow(given.sight.targetName())) << at;
    ASSERT_EQ(read.kind(), given.kind()) << at;
    for (int i = 0; given.measured() && i < 3; ++i) {
        expectNear(read.measurement().valueAt(i), given.measurement().valueAt(i), at + " value " + std::to_string(i));
    }
    EXPECT_EQ(read.hr.known(), given.hr.known()) << at;
    if (given.hr.known()) expectNear(read.hr.value, given.hr.value, at + " hr");
    EXPECT_EQ(read.sight.sightKind(), given.sight.sightKind()) << at;
    EXPECT_EQ(narrow(read.sight.getNote()), narrow(given.sight.getNote())) << at;
    const COrvStringT none;
    EXPECT_EQ(narrow(read.sight.codes.getCodesAsCodeStyle(nullptr, none, orv::ie::eCodeStyleFormat0)),
              narrow(given.sight.codes.getCodesAsCodeStyle(nullptr, none, orv::ie::eCodeStyleFormat0)))
        << at;
    ASSERT_EQ(read.sight.codes.getNumberOfCodes(), given.sight.codes.getNumberOfCodes()) << at;
    for (int c = 0; c < given.sight.codes.getNumberOfCodes(); ++c) {
        const auto* a = read.sight.codes.getCode(c);
        const auto* b = given.sight.codes.getCode(c);
        if (b == nullptr || a == nullptr) continue;
        for (auto which : {orv::ie::eControlCode1, orv::ie::eControlCode2}) {
            EXPECT_EQ(narrow(a->getControlCode(which)), narrow(b->getControlCode(which))) << at;
        }
        for (int k = 0; b->getDescription() != nullptr && k < b->getDescription()->getSize(); ++k) {
            EXPECT_EQ(narrow(a->getAttrAt(k)), narrow(b->getAttrAt(k))) << at;
        }
    }
    if (given.coords.origin == exportgen::Origin::recorded) {
        ASSERT_TRUE(read.coords.known()) << at;
        expectNear(read.coords.at.n, given.coords.at.n, at + " n");
        expectNear(read.coords.at.e, given.coords.at.e, at + " e");
    }
}

TEST(LandXmlRoundTrip, AJobThroughLandXmlKeepsEveryValueWritten) {
    using testsupport::narrow;
    for (const NamedJob& job : fixtureJobs()) {
        SCOPED_TRACE(job.name);
        const auto written = convert(job.text, "landxml", "keep.json", {"--sanitize"});
        ASSERT_EQ(written.code, 0) << written.err;
        std::vector<std::string> warnings;
        const std::string readBack = hosttest::readRaw("landxml", written.out, &warnings);
        for (const auto& warning : warnings) ADD_FAILURE() << "the reader warned about our own file: " << warning;
        const auto given = hosttest::readJobModel(job.text);
        const auto read = hosttest::readJobModel(readBack);
        EXPECT_EQ(narrow(read.job.info.jobName), narrow(given.job.info.jobName));
        ASSERT_EQ(read.job.points.size(), given.job.points.size());
        for (std::size_t i = 0; i < given.job.points.size(); ++i) {
            const auto& a = read.job.points[i];
            const auto& b = given.job.points[i];
            EXPECT_EQ(narrow(a.design.getStation().name()), narrow(b.design.getStation().name()));
            expectNear(a.coords.n, b.coords.n, "point n");
            expectNear(a.coords.e, b.coords.e, "point e");
            EXPECT_EQ(a.hasHeight, b.hasHeight);
            if (b.hasHeight) expectNear(a.coords.h, b.coords.h, "point h");
            EXPECT_EQ(narrow(a.code), narrow(b.code));
            EXPECT_EQ(narrow(a.design.getStation().getNotes()), narrow(b.design.getStation().getNotes()));
        }
        ASSERT_EQ(read.setups.size(), given.setups.size());
        for (std::size_t s = 0; s < given.setups.size(); ++s) {
            const auto& a = read.setups[s];
            const auto& b = given.setups[s];
            const std::string at = "set-up " + std::to_string(s);
            EXPECT_EQ(narrow(a.station), narrow(b.station)) << at;
            expectNear(a.hi.value, b.hi.value, at + " hi");
            EXPECT_EQ(narrow(a.note), narrow(b.note)) << at;
            EXPECT_EQ(narrow(a.code), narrow(b.code)) << at;
            EXPECT_EQ(a.coords.known(), b.coords.known()) << at;
            if (b.coords.known()) expectNear(a.coords.at.e, b.coords.at.e, at + " station e");
            EXPECT_EQ(a.orientation.known(), b.orientation.known()) << at;
            if (b.orientation.known()) expectNear(a.orientation.value, b.orientation.value, at + " orientation");
            EXPECT_EQ(a.backsight.measured, b.backsight.measured) << at;
            if (b.backsight.circle.known()) expectNear(a.backsight.circle.value, b.backsight.circle.value, at);
            ASSERT_EQ(a.shots.size(), b.shots.size()) << at;
            for (std::size_t i = 0; i < b.shots.size(); ++i) {
                expectSameSight(a.shots[i], b.shots[i], at + " shot " + std::to_string(i));
            }
            ASSERT_EQ(a.resection.size(), b.resection.size()) << at;
            for (std::size_t i = 0; i < b.resection.size(); ++i) {
                expectSameSight(a.resection[i], b.resection[i], at + " resection " + std::to_string(i));
            }
            ASSERT_EQ(a.stakeouts.size(), b.stakeouts.size()) << at;
            for (std::size_t i = 0; i < b.stakeouts.size(); ++i) {
                EXPECT_EQ(narrow(a.stakeouts[i].design), narrow(b.stakeouts[i].design)) << at;
                expectSameSight(a.stakeouts[i].shot, b.stakeouts[i].shot, at + " stake-out");
                if (b.stakeouts[i].differences.known()) {
                    EXPECT_NEAR(a.stakeouts[i].differences.at.n, b.stakeouts[i].differences.at.n, 1e-4) << at;
                }
            }
        }
    }
}

// A synthetic job's RW5 holds only what LandXML carries too: through LandXML it comes back the
// same, byte for byte.
TEST(LandXmlRoundTrip, RawRw5ThroughLandXmlGivesTheSameRw5) {
    for (int seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        const auto rw5 = convert(hosttest::syntheticJob(400, seed), "rw5", "synthetic.json");
        ASSERT_EQ(rw5.code, 0) << rw5.err;
        const auto xml = hosttest::run(
            {"convert", hosttest::memoryFile("landxml/s.rw5", rw5.out), "-f", "landxml", "--now", kNow, "--quiet"});
        ASSERT_EQ(xml.code, 0) << xml.err;
        const auto again = hosttest::run(
            {"convert", hosttest::memoryFile("landxml/s.xml", xml.out), "-f", "rw5", "--now", kNow, "--quiet"});
        ASSERT_EQ(again.code, 0) << again.err;
        EXPECT_EQ(again.out, rw5.out);
    }
}

// Packed angles read back as the very doubles they were packed from: RW5 rounds 0.097875
// degrees (0°05'52.35", a tie at five decimals) the same way from the job and from its LandXML.
TEST(LandXmlRoundTrip, PackedAnglesReadBackAsTheDoublesTheyWerePackedFrom) {
    const std::string job = hosttest::oneSetup(
        R"([{"to": "A", "sd": [0.097875, 90.607648, 282.0635], "hr": 1.5},
            {"to": "B", "sd": [359.999999, 179.9999995, 1], "hr": 1.5}])",
        R"("units": {"distance": "metres", "angle": "degrees"},)");
    const auto rw5 = convert(job, "rw5", "tie.json", {"--quiet"});
    ASSERT_EQ(rw5.code, 0) << rw5.err;
    const auto xml = convert(job, "landxml", "tie.json", {"--quiet"});
    ASSERT_EQ(xml.code, 0) << xml.err;
    EXPECT_NE(xml.out.find(R"(horizAngle="0.055235")"), std::string::npos) << xml.out;
    const auto again = hosttest::run(
        {"convert", hosttest::memoryFile("landxml/tie.xml", xml.out), "-f", "rw5", "--now", kNow, "--quiet"});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.out, rw5.out);
}

}  // namespace
