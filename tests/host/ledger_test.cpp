// The account of every conversion: for every fixture job and every raw file of them, into every
// format, the items of each kind add up (written as recorded, as derived, as no-value, or left
// out), no kind is left out or worked out without its warning, and a file read back holds what
// was written into it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/embedded.h"
#include "formats/registry.h"
#include "host/host_test_support.h"

namespace {

using nlohmann::json;

constexpr const char* kNow = "2026-01-01T00:00:00";

struct Fixture {
    std::string name;
    std::string text;
    std::string from;  ///< what the input is
};

// The built-in job with other units written (its figures stay metres and degrees).
std::string sampleIn(const char* distance, const char* angle) {
    json job = json::parse(exportgen::sampleJobText());
    job["units"] = {{"distance", distance}, {"angle", angle}};
    return job.dump();
}

std::vector<Fixture> jobs() {
    std::vector<Fixture> list{{"built-in", std::string(exportgen::sampleJobText()), "job"},
                              {"built-in in US feet and gons", sampleIn("usSurveyFeet", "gons"), "job"},
                              {"built-in in feet and mils", sampleIn("internationalFeet", "mils"), "job"},
                              {"synthetic", hosttest::syntheticJob(120, 5), "job"},
                              // Nothing places the stations: their positions and orientations
                              // are absent, and so are the resection's residuals.
                              {"unplaced",
                               R"({"setups": [{"station": "S1", "hi": 1.5, "backsight": {"point": "B"},
                                   "shots": [{"to": "A", "sd": [10, 90, 25], "hr": 1.5, "code": "TREE"}]},
                                  {"station": "R1", "hi": 1.5, "resection": [{"to": "A", "sd": [10, 90, 25], "hr": null},
                                   {"to": "B", "sd": [100, 90, 30]}], "shots": [{"to": "C", "sd": [50, 90, 5]}]}]})",
                               "job"}};
    return list;
}

// Raw files that the generators' own operations write (tests/host/record_kinds: every record
// kind of each generator under each of its flags), not our writers: read, and converted into
// every format, their items too are accounted for.
std::vector<Fixture> replayBuilt() {
    static const std::pair<const char*, const char*> kFiles[] = {
        {"rw5", "rw5"},     {"rw5_rb", "rw5"},      {"rw5_force", "rw5"}, {"sdr", "sdr"}, {"quoltpashk", "quoltpashk"},
        {"vemra", "vemra"}, {"apasima", "apasima"}, {"drevan", "drevan"}};
    std::vector<Fixture> list;
    for (const auto& [script, from] : kFiles) {
        list.push_back({std::string("record kinds ") + script,
                        hosttest::replayFile(std::string("host/record_kinds/") + script + ".json").text, from});
    }
    return list;
}

struct Converted {
    hosttest::Result result;
    json report;
};

Converted convert(const Fixture& input, const std::string& format, const std::string& dir) {
    const std::string path = hosttest::memoryFile("ledger/" + input.name + "." + input.from, input.text);
    const std::string report = dir + "/report.json";
    Converted converted;
    converted.result = hosttest::run(
        {"convert", path, "--from", input.from, "-f", format, "--now", kNow, "--report", report, "--sanitize"});
    if (converted.result.code == 0) converted.report = json::parse(hosttest::readFile(report));
    return converted;
}

// The warnings of one format, a line each.
std::vector<std::string> warningsOf(const std::string& err, const std::string& format) {
    std::vector<std::string> lines;
    const std::string head = "exportgen: warning: " + format + ": ";
    std::size_t start = 0;
    for (std::size_t end; (end = err.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = err.substr(start, end - start);
        if (line.rfind(head, 0) == 0) lines.push_back(line.substr(head.size()));
    }
    return lines;
}

bool hasWarning(const std::vector<std::string>& warnings, const std::string& words) {
    for (const auto& line : warnings) {
        if (line.find(words) != std::string::npos) return true;
    }
    return false;
}

// The ledger's promises for one conversion.
void expectAccounted(const Converted& c, const std::string& format) {
    ASSERT_EQ(c.result.code, 0) << c.result.err;
    ASSERT_EQ(c.report["outputs"].size(), 1U);
    const json& items = c.report["outputs"][0]["items"];
    const std::vector<std::string> warnings = warningsOf(c.result.err, format);
    for (auto it = items.begin(); it != items.end(); ++it) {
        const json& item = it.value();
        const auto total = item["total"].get<std::uint64_t>();
        EXPECT_EQ(item["recorded"].get<std::uint64_t>() + item["derived"].get<std::uint64_t>() +
                      item["noValue"].get<std::uint64_t>() + item["leftOut"].get<std::uint64_t>(),
                  total)
            << it.key();
        EXPECT_EQ(c.report["job"][it.key()]["total"], total) << it.key();
        // Every kind left out has had its warning, and so has every kind worked out (but the
        // units, whose conversion the format's own warning names).
        if (item["leftOut"] > 0) {
            EXPECT_TRUE(hasWarning(warnings, "left out") || hasWarning(warnings, "no record in this format"))
                << it.key() << "\n"
                << c.result.err;
        }
        if (item["derived"] > 0 && it.key() != "units") {
            EXPECT_TRUE(hasWarning(warnings, "worked out") || hasWarning(warnings, "written with heights worked out"))
                << it.key() << "\n"
                << c.result.err;
        }
    }
}

std::vector<std::string> formatNames() {
    std::vector<std::string> names;
    for (const auto& format : exportgen::formats()) names.emplace_back(format.name);
    return names;
}

class Ledger : public testing::TestWithParam<std::string> {};

TEST_P(Ledger, EveryJobsItemsAreAccountedFor) {
    const std::string format = GetParam();
    const std::string dir = hosttest::freshDirectory("ledger-" + format);
    for (const Fixture& job : jobs()) {
        SCOPED_TRACE(job.name);
        expectAccounted(convert(job, format, dir), format);
    }
}

TEST_P(Ledger, EveryReplayBuiltFilesItemsAreAccountedFor) {
    const std::string format = GetParam();
    const std::string dir = hosttest::freshDirectory("ledger-kinds-" + format);
    for (const Fixture& raw : replayBuilt()) {
        SCOPED_TRACE(raw.name);
        expectAccounted(convert(raw, format, dir), format);
    }
}

// A raw file of each format, converted into this one: the same promises; and what the file
// written holds reads back as recorded.
TEST_P(Ledger, EveryRawFilesItemsAreAccountedForAndReadBack) {
    const std::string format = GetParam();
    const std::string dir = hosttest::freshDirectory("ledger-raw-" + format);
    for (const std::string& source : formatNames()) {
        for (const Fixture& job : jobs()) {
            SCOPED_TRACE(source + " of " + job.name);
            const Converted first = convert(job, source, dir);
            ASSERT_EQ(first.result.code, 0) << first.result.err;
            const Fixture raw{job.name + " as " + source, first.result.out, source};
            const Converted second = convert(raw, format, dir);
            expectAccounted(second, format);
            // Each station position, known point and observation the file holds was read back
            // as the input recorded it: what the first conversion wrote as a value, recorded or
            // worked out, the file now states. Observations are counted together: SDR books a
            // horizontal distance as the slope distance and zenith it makes, which read back as
            // a slope-distance observation.
            const json& written = first.report["outputs"][0]["items"];
            const auto wroteValue = [&written](const char* kind) {
                return written[kind]["recorded"].get<std::uint64_t>() + written[kind]["derived"].get<std::uint64_t>();
            };
            const auto readBack = [&second](const char* kind) {
                return second.report["job"][kind]["read"].get<std::uint64_t>();
            };
            for (const char* kind : {"stationPositions", "knownPoints"}) {
                EXPECT_EQ(readBack(kind), wroteValue(kind)) << kind;
            }
            std::uint64_t observationsRead = 0;
            std::uint64_t observationsWritten = 0;
            for (const char* kind :
                 {"slopeDistanceObservations", "horizontalDistanceObservations", "anglesOnlyObservations"}) {
                observationsRead += readBack(kind);
                observationsWritten += wroteValue(kind);
            }
            EXPECT_EQ(observationsRead, observationsWritten);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, Ledger, testing::ValuesIn(formatNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
