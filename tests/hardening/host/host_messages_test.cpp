// How the host reports values of a bad job or script: every message is one short line, and
// no value, however large or deeply nested, is walked through to quote it.
#include <gtest/gtest.h>

#include <string>

#include "errors.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;

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

}  // namespace
