// The built-in sample job in every format, with a fixed clock, against the golden files
// tests/golden/sample_<format>.txt (lines ended by "\n" there, "\r\n" in the output).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "host/host_test_support.h"
#include "support/text.h"

namespace {

class SampleGolden : public testing::TestWithParam<std::string> {};

TEST_P(SampleGolden, MatchesTheGoldenFile) {
    const std::string format = GetParam();
    const auto result = hosttest::run({"convert", "--format", format, "--now", "2025-07-04T09:05:03"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, testsupport::golden("sample_" + format + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(Formats, SampleGolden,
                         testing::Values("vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"));

// Numbers never follow the process locale: under a locale whose decimal separator is a
// comma every format is written as under "C", points included. CI generates the locale and sets
// EXPORTGEN_REQUIRE_COMMA_LOCALE, so that there the test cannot pass by being skipped.
TEST(SampleGoldenLocale, EveryFormatIgnoresACommaDecimalLocale) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "de_DE.utf8") == nullptr) {
        if (std::getenv("EXPORTGEN_REQUIRE_COMMA_LOCALE") != nullptr) FAIL() << "no German locale on this machine";
        GTEST_SKIP() << "no German locale on this machine";
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    std::vector<std::pair<std::string, hosttest::Result>> runs;
    for (const std::string format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        runs.emplace_back(format, hosttest::run({"convert", "--format", format, "--now", "2025-07-04T09:05:03"}));
    }
    const auto sample = hosttest::run({"sample", "--shots", "3"});
    std::setlocale(LC_ALL, "C");
    for (const auto& [format, result] : runs) {
        ASSERT_EQ(result.code, 0) << format << ": " << result.err;
        EXPECT_EQ(result.out, testsupport::golden("sample_" + format + ".txt")) << format;
    }
    EXPECT_EQ(sample.out, hosttest::run({"sample", "--shots", "3"}).out);
}

// --all writes every format, each the same as on its own.
TEST(SampleGoldenAll, AllWritesEveryFormat) {
    const std::string dir = hosttest::freshDirectory("all");
    const auto result = hosttest::run({"convert", "--all", dir, "--now", "2025-07-04T09:05:03"});
    ASSERT_EQ(result.code, 0) << result.err;
    for (const std::string format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        EXPECT_EQ(hosttest::readFile(dir + "/sample." + format), testsupport::golden("sample_" + format + ".txt"));
    }
}

}  // namespace
