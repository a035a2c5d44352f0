// The table of formats: its six formats, and the help texts, usage errors and replay
// operations that are built from it.
#include "writers/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/host_test_support.h"
#include "replay/replay.h"

namespace {

TEST(FormatRegistry, HoldsTheSixFormatsInTheirOrder) {
    const struct {
        const char* name;
        const char* suffix;
        const char* displayName;
        exportgen::GeneratorFamily family;
    } expected[] = {
        {"vemra", ".vemra", "Vemra", exportgen::GeneratorFamily::vemra},
        {"apasima", ".apasima", "ApaSima", exportgen::GeneratorFamily::vemra},
        {"drevan", ".drevan", "Drevan", exportgen::GeneratorFamily::vemra},
        {"quoltpashk", ".quoltpashk", "Quolt/Pashk", exportgen::GeneratorFamily::vemra},
        {"rw5", ".rw5", "RW5", exportgen::GeneratorFamily::rw5},
        {"sdr", ".sdr", "SDR", exportgen::GeneratorFamily::rw5},
    };
    const auto& formats = exportgen::formats();
    ASSERT_EQ(formats.size(), std::size(expected));
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const auto& format = formats[i];
        EXPECT_STREQ(format.name, expected[i].name);
        EXPECT_STREQ(format.suffix, expected[i].suffix);
        EXPECT_STREQ(format.displayName, expected[i].displayName);
        EXPECT_EQ(format.family, expected[i].family) << format.name;
        // A format has the factory of its family only.
        EXPECT_EQ(format.createRw5Family != nullptr, format.family == exportgen::GeneratorFamily::rw5) << format.name;
        EXPECT_EQ(format.createVemraFamily != nullptr, format.family == exportgen::GeneratorFamily::vemra)
            << format.name;
        EXPECT_EQ(exportgen::findFormat(format.name), &format);
    }
    EXPECT_EQ(exportgen::findFormat("RW5"), nullptr);
    EXPECT_EQ(exportgen::findFormat(""), nullptr);
}

TEST(FormatRegistry, HelpAndUsageErrorsNameEveryFormat) {
    EXPECT_NE(hosttest::run({"--help"}).out.find("raw-data formats (vemra, apasima, drevan, quoltpashk, rw5, sdr)"),
              std::string::npos);
    EXPECT_NE(hosttest::run({"convert", "--help"}).out.find("vemra, apasima, drevan, quoltpashk, rw5 or sdr"),
              std::string::npos);
    const auto missing = hosttest::run({"convert"});
    EXPECT_NE(missing.err.find("--format (vemra, apasima, drevan, quoltpashk, rw5, sdr)"), std::string::npos)
        << missing.err;
    const auto unknown = hosttest::run({"convert", "--format", "nosuch"});
    EXPECT_NE(unknown.err.find("expected one of vemra, apasima, drevan, quoltpashk, rw5, sdr"), std::string::npos)
        << unknown.err;
}

bool includes(const std::vector<std::string>& all, const std::vector<std::string>& part) {
    return std::includes(all.begin(), all.end(), part.begin(), part.end());
}

// A dialect's script may call every operation of its base generator and some of its own;
// no dialect takes another dialect's operations.
TEST(FormatRegistry, ReplayOperationsFollowTheGeneratorClasses) {
    using exportgen::replayOperations;
    const auto vemra = replayOperations("vemra");
    const auto rw5 = replayOperations("rw5");
    ASSERT_FALSE(vemra.empty());
    ASSERT_FALSE(rw5.empty());
    for (const char* dialect : {"apasima", "drevan", "quoltpashk"}) {
        const auto operations = replayOperations(dialect);
        EXPECT_TRUE(includes(operations, vemra)) << dialect;
        EXPECT_GT(operations.size(), vemra.size()) << dialect;
    }
    const auto sdr = replayOperations("sdr");
    EXPECT_TRUE(includes(sdr, rw5));
    EXPECT_GT(sdr.size(), rw5.size());
    EXPECT_FALSE(includes(replayOperations("drevan"), {"writeProgramInfo"}));
    EXPECT_FALSE(includes(replayOperations("apasima"), {"coordField"}));
    EXPECT_FALSE(includes(rw5, {"levelRunNote"}));
    EXPECT_TRUE(replayOperations("nosuch").empty());
}

}  // namespace
