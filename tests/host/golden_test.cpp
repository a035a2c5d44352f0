// The built-in sample job in every format, with a fixed clock, against the golden files
// tests/golden/sample_<format>.txt (lines ended by "\n" there, "\r\n" in the output): on the
// standard output and as the file --all writes, both under a locale whose decimal separator is
// a comma, since numbers never follow the process locale. CI generates that locale and sets
// EXPORTGEN_REQUIRE_COMMA_LOCALE, so that there it cannot be missed; a machine without it still
// checks the goldens, under "C".
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "host/host_test_support.h"
#include "support/text.h"

namespace {

const char* const kNow = "2025-07-04T09:05:03";

// Sets a locale whose decimal separator is a comma; false when the machine has none.
bool setCommaLocale() {
    const bool set =
        std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr || std::setlocale(LC_ALL, "de_DE.utf8") != nullptr;
    if (!set && std::getenv("EXPORTGEN_REQUIRE_COMMA_LOCALE") != nullptr) {
        ADD_FAILURE() << "no German locale on this machine";
    }
    if (set) {
        EXPECT_STREQ(std::localeconv()->decimal_point, ",");
    }
    return set;
}

class SampleGolden : public testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() { directory = hosttest::freshDirectory("all"); }
    void SetUp() override {
        setCommaLocale();
        if (all.code == -1) all = hosttest::run({"convert", "--all", directory, "--now", kNow});
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    static inline std::string directory;
    static inline hosttest::Result all;  // the one --all run, made by the first test
};

TEST_P(SampleGolden, StandardOutputAndAllFileMatchTheGoldenFile) {
    const std::string format = GetParam();
    const std::string golden = testsupport::golden("sample_" + format + ".txt");
    const auto result = hosttest::run({"convert", "--format", format, "--now", kNow});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, golden);
    ASSERT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(hosttest::readFile(directory + "/sample." + format), golden);
}

INSTANTIATE_TEST_SUITE_P(Formats, SampleGolden,
                         testing::Values("vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"));

// The synthetic jobs of `sample` are JSON: their numbers take a point under any locale.
TEST(SampleCommand, IgnoresACommaDecimalLocale) {
    const std::string underC = hosttest::run({"sample", "--shots", "3"}).out;
    if (!setCommaLocale()) GTEST_SKIP() << "no German locale on this machine";
    const std::string underComma = hosttest::run({"sample", "--shots", "3"}).out;
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(underComma, underC);
}

}  // namespace

namespace {

// Raw to raw: the sample's RW5 file read and written as SDR. Against the sample's own SDR file
// (tests/golden/sample_sdr.txt) it differs where RW5 carries less: angles to a tenth of a
// second, no attributes, no set-up code, no level sight lengths or codes; and where its code field
// is one description ("FENCE ST", a code and its control code), which SDR writes whole.
TEST(RawToRaw, TheSampleRw5FileBecomesSdr) {
    const std::string directory = hosttest::freshDirectory("raw-to-raw");
    const hosttest::Result rw5 = hosttest::run({"convert", "-f", "rw5", "--now", kNow, "-o", directory + "/field.rw5"});
    ASSERT_EQ(rw5.code, 0) << rw5.err;
    const hosttest::Result sdr = hosttest::run({"convert", directory + "/field.rw5", "-f", "sdr", "--now", kNow});
    ASSERT_EQ(sdr.code, 0) << sdr.err;
    EXPECT_EQ(sdr.out, testsupport::golden("sample_rw5_to_sdr.txt"));
}

}  // namespace
