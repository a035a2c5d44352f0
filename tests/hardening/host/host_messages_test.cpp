// How the host reports values of a bad job or script: every message is one short line, and
// no value, however large or deeply nested, is walked through to quote it.
#include <gtest/gtest.h>

#include <string>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// The message of a run: one line, "exportgen: " first, at most `limit` bytes.
void expectOneShortLine(const hosttest::Result& result, std::size_t limit = 400) {
    EXPECT_EQ(result.err.rfind("exportgen: ", 0), 0U) << result.err.substr(0, 400);
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err.substr(0, 400);
    EXPECT_LE(result.err.size(), limit) << result.err.substr(0, 400);
}

// A number beyond the double range is malformed JSON (the reader calls it out of range): it was
// an internal error, status 1.
TEST(HostMessages, ANumberTooLargeForADoubleIsMalformedJson) {
    const std::string dir = hosttest::freshDirectory("overflow");
    hosttest::writeFile(dir + "/script.json", R"({"generator": "rw5", "calls": [{"op": "d", "args": [1e999, 3]}]})");
    const auto result = run({"replay", dir + "/script.json"});
    EXPECT_EQ(result.code, exportgen::kExitJson);
    EXPECT_NE(result.err.find("script.json:?:?: malformed JSON: number overflow parsing '1e999'"), std::string::npos)
        << result.err;
    expectOneShortLine(result);
}

// Quoting a deeply nested value walked it recursively: 100,000 levels overflowed the stack
// (SIGSEGV) in the replay and in the job's schema check.
TEST(HostMessages, DeeplyNestedValuesAreNamedNotWalked) {
    const std::string dir = hosttest::freshDirectory("nested");
    hosttest::writeFile(dir + "/script.json",
                        R"({"generator": "rw5", "settings": {"distUnits": )" + nested(100000) + "}}");
    const auto script = run({"replay", dir + "/script.json"});
    EXPECT_EQ(script.code, exportgen::kExitScript);
    EXPECT_NE(script.err.find("settings.distUnits: expected an integer, found an array of 1 item"), std::string::npos)
        << script.err.substr(0, 400);
    expectOneShortLine(script);

    hosttest::writeFile(dir + "/job.json", R"({"units": {"distance": )" + nested(100000) + "}}");
    const auto job = run({"convert", dir + "/job.json", "--format", "rw5"});
    EXPECT_EQ(job.code, exportgen::kExitJob);
    EXPECT_NE(job.err.find("$.units.distance: an array of 1 item is not one of"), std::string::npos)
        << job.err.substr(0, 400);
}

// Long values, names and texts with line breaks are shown escaped and cut, so the message stays
// one short line.
TEST(HostMessages, LongAndMultiLineTextsAreShownEscapedAndCut) {
    const std::string dir = hosttest::freshDirectory("texts");
    const std::string longName = "line one\\nline two " + std::string(5000, 'x');
    const struct {
        std::string script;
        const char* message;
    } cases[] = {
        {R"({"generator": ")" + longName + "\"}", "unknown generator \"line one\\nline two xxxxxxxxxxxxxxxxxxxxxx…\""},
        {R"({"generator": "rw5", "calls": [{"op": ")" + longName + "\"}]}", "call 0 (line one\\nline two xxxx"},
        {R"({"generator": "rw5", "calls": [{"op": "d", "args": [")" + longName + "\", 1]}]}",
         "argument 1: expected a number or \"noValue\", \"-noValue\", \"nan\", \"inf\", \"-inf\", found \"line one\\n"},
        {R"({"generator": "rw5", "calls": [{"op": "d", "args": [{"a\nb": ")" + std::string(5000, '1') + "\"}, 1]}]}",
         "found an object of 1 member"},
        {R"({"generator": "rw5", "settings": {"a\nb": 1}})", "settings: unknown field \"a\\nb\""},
    };
    for (const auto& c : cases) {
        hosttest::writeFile(dir + "/script.json", c.script);
        const auto result = run({"replay", dir + "/script.json"});
        EXPECT_EQ(result.code, exportgen::kExitScript) << result.err.substr(0, 400);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err.substr(0, 400);
        expectOneShortLine(result);
    }

    // The token a malformed file stops at is quoted cut too.
    hosttest::writeFile(dir + "/script.json",
                        R"({"generator": "rw5", "settings": {"distUnits": )" + std::string(5000, '9') + "}}");
    const auto number = run({"replay", dir + "/script.json"});
    EXPECT_EQ(number.code, exportgen::kExitJson);
    EXPECT_NE(number.err.find("malformed JSON: number overflow parsing '999"), std::string::npos)
        << number.err.substr(0, 400);
    expectOneShortLine(number);

    hosttest::writeFile(dir + "/job.json", R"({"setups": [{"station": ")" + longName + R"(", "hi": 1}]})");
    const auto job = run({"convert", dir + "/job.json", "--format", "rw5"});
    EXPECT_EQ(job.code, exportgen::kExitJob);
    EXPECT_NE(job.err.find("$.setups[0].station: point name \"line one\\nline two"), std::string::npos)
        << job.err.substr(0, 400);
    expectOneShortLine(job);

    hosttest::writeFile(dir + "/job.json", "{\"units\": {\"a\\nb\": 1}}");
    const auto key = run({"convert", dir + "/job.json", "--format", "rw5"});
    EXPECT_EQ(key.code, exportgen::kExitJob);
    EXPECT_NE(key.err.find("$.units[\"a\\nb\"]: unknown field"), std::string::npos) << key.err;
}

}  // namespace
