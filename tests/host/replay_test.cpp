// Replay scripts as data files: every tests/replay/NAME.json runs and its output must equal
// tests/replay/NAME.expected (lines ended by "\n" there). Together the scripts of a
// generator call every one of its operations.
#include "replay/replay.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "host/host_test_support.h"

namespace {

std::vector<std::string> scripts() {
    std::vector<std::string> names;
    for (const auto& file : hosttest::listDirectory(hosttest::dataPath("replay"))) {
        if (file.size() > 5 && file.compare(file.size() - 5, 5, ".json") == 0)
            names.push_back(file.substr(0, file.size() - 5));
    }
    return names;
}

class ReplayScript : public testing::TestWithParam<std::string> {};

TEST_P(ReplayScript, WritesTheExpectedOutput) {
    const std::string name = GetParam();
    const auto result = hosttest::run({"replay", hosttest::dataPath("replay/" + name + ".json")});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(hosttest::withNewlines(result.out),
              hosttest::readFile(hosttest::dataPath("replay/" + name + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Scripts, ReplayScript, testing::ValuesIn(scripts()),
                         [](const testing::TestParamInfo<std::string>& paramInfo) { return paramInfo.param; });

// Every operation of every generator is called by at least one script.
TEST(ReplayCoverage, EveryOperationIsCalledByAScript) {
    std::map<std::string, std::set<std::string>> called;
    for (const auto& name : scripts()) {
        const auto script = nlohmann::json::parse(hosttest::readFile(hosttest::dataPath("replay/" + name + ".json")));
        for (const auto& call : script["calls"]) called[script["generator"]].insert(call["op"].get<std::string>());
    }
    for (const std::string generator : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        for (const auto& op : exportgen::replayOperations(generator)) {
            EXPECT_EQ(called[generator].count(op), 1U) << generator << " " << op << " is called by no script";
        }
    }
}

// --json gives every call's result and out-parameters; the SDR report status when present.
TEST(ReplayJson, ReportsResultsAndOutParameters) {
    const std::string dir = hosttest::freshDirectory("replay-json");
    hosttest::writeFile(dir + "/s.json", R"({"generator": "rw5", "clock": "2025-07-04T09:05:03",
        "job": {"appName": "Field", "appVersion": "2.1", "jobName": "J1"},
        "calls": [{"op": "header", "out": ["x"]},
                  {"op": "isFace1", "args": [{"kind": 0, "values": [0, 270, 5]}]},
                  {"op": "verticalSightDistance", "args": [{"kind": 0, "values": [0, 0, 5]}, 4], "out": [9]}]})");
    const auto result = hosttest::run({"replay", dir + "/s.json", "--json"});
    ASSERT_EQ(result.code, 0) << result.err;
    const auto doc = nlohmann::json::parse(result.out);
    EXPECT_EQ(doc["results"][0]["op"], "header");
    EXPECT_EQ(doc["results"][0]["result"], true);
    EXPECT_EQ(doc["results"][0]["out"][1], "JB,NMJ1,DT07-04-2025,TM09:05:03\r\n");
    EXPECT_EQ(doc["results"][1]["result"], false);
    EXPECT_EQ(doc["results"][2]["result"], true);
    EXPECT_EQ(doc["results"][2]["out"][0], 5.0);
    EXPECT_FALSE(doc.contains("reportStatus"));
}

// Script errors: status 2 and the call's index and operation named.
TEST(ReplayErrors, NameTheCallAndOperation) {
    const std::string dir = hosttest::freshDirectory("replay-errors");
    const struct {
        const char* calls;
        const char* message;
    } cases[] = {
        {R"([{"op": "header"}, {"op": "nosuch"}])", "call 1 (nosuch): unknown operation"},
        {R"([{"op": "lsHr", "args": []}])", "call 0 (lsHr): expected 1 argument, got 0"},
        {R"([{"op": "lsHr", "args": ["1.5"]}])", "call 0 (lsHr): argument 1: expected a number"},
        {R"([{"op": "hrField", "args": [1], "out": [""]}])", "call 0 (hrField): expected at most 0 out starting texts"},
        {R"([{"op": "offsetRecord", "args": [{"kind": 1}, 0, ""]}])",
         "call 0 (offsetRecord): argument 1: a foresight must have kind 2 or 3"},
        {R"([{"op": "typeFor", "args": [true]}])", "call 0 (typeFor): argument 1: expected an integer"},
        {R"([{"op": "foresight", "args": ["FD", "7", {"kind": 0, "valuez": []}, true]}])", "unknown field \"valuez\""},
    };
    for (const auto& c : cases) {
        hosttest::writeFile(dir + "/s.json", std::string(R"({"generator": "rw5", "calls": )") + c.calls + "}");
        const auto result = hosttest::run({"replay", dir + "/s.json"});
        EXPECT_EQ(result.code, 2) << c.calls;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    hosttest::writeFile(dir + "/s.json", R"({"generator": "nosuch", "calls": []})");
    const auto unknown = hosttest::run({"replay", dir + "/s.json"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("unknown generator \"nosuch\""), std::string::npos) << unknown.err;
}

}  // namespace
