// The built-in sample job in every format, with a fixed clock, against the golden files
// tests/golden/sample_<format>.txt (lines ended by "\n" there, "\r\n" in the output).
#include <gtest/gtest.h>

#include <clocale>

#include "host/host_test_support.h"
#include "record_order.h"
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
// comma the output is the same, points included.
TEST(SampleGoldenLocale, OutputIgnoresACommaDecimalLocale) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "de_DE.utf8") == nullptr) {
        GTEST_SKIP() << "no German locale on this machine";
    }
    const auto rw5 = hosttest::run({"convert", "--format", "rw5", "--now", "2025-07-04T09:05:03"});
    const auto sample = hosttest::run({"sample", "--shots", "3"});
    std::setlocale(LC_ALL, "C");
    ASSERT_EQ(rw5.code, 0) << rw5.err;
    EXPECT_EQ(rw5.out, testsupport::golden("sample_rw5.txt"));
    EXPECT_EQ(sample.out, hosttest::run({"sample", "--shots", "3"}).out);
}

// --all writes every available format, each the same as on its own.
TEST(SampleGoldenAll, AllWritesEveryFormat) {
    const std::string dir = hosttest::freshDirectory("all");
    const auto result = hosttest::run({"convert", "--all", dir, "--now", "2025-07-04T09:05:03"});
    ASSERT_EQ(result.code, 0) << result.err;
    for (const std::string format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        EXPECT_EQ(hosttest::readFile(dir + "/sample." + format), testsupport::golden("sample_" + format + ".txt"));
    }
}

}  // namespace
