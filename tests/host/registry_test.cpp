// The table of formats: its six formats, and the help texts, usage errors and replay
// operations that are built from it.
#include "formats/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/host_test_support.h"
#include "replay/replay.h"

namespace {

// Each row's parts belong together: the suffix `convert --all` gives a format's file names that
// format when the file is written with -o alone and when it is read back, and its generator is
// the one a replay script of that name creates.
TEST(FormatRegistry, AFormatsSuffixNamesItWhenWrittenAndWhenRead) {
    const std::string dir = hosttest::freshDirectory("registry");
    for (const auto& format : exportgen::formats()) {
        SCOPED_TRACE(format.name);
        // LandXML is written by the host itself, without a generator of the library.
        if (format.generator != nullptr) {
            EXPECT_STREQ(format.generator->name, format.name);
        }
        EXPECT_EQ(format.generator == nullptr, std::string(format.name) == "landxml");
        EXPECT_EQ(exportgen::findFormat(format.name), &format);
        const hosttest::Result named = hosttest::run({"convert", "-f", format.name, "--now", "2026-01-01T00:00:00"});
        ASSERT_EQ(named.code, 0) << named.err;
        const std::string path = dir + "/job" + format.suffix;
        const hosttest::Result bySuffix = hosttest::run({"convert", "-o", path, "--now", "2026-01-01T00:00:00"});
        ASSERT_EQ(bySuffix.code, 0) << bySuffix.err;
        EXPECT_EQ(hosttest::readFile(path), named.out);
        // Read back by its suffix alone, it writes the same bytes as read by its name.
        const hosttest::Result again =
            hosttest::run({"convert", path, "-f", format.name, "--now", "2026-01-01T00:00:00", "--quiet"});
        const hosttest::Result asNamed = hosttest::run(
            {"convert", path, "--from", format.name, "-f", format.name, "--now", "2026-01-01T00:00:00", "--quiet"});
        ASSERT_EQ(again.code, 0) << again.err;
        EXPECT_EQ(again.out, asNamed.out);
    }
    EXPECT_EQ(exportgen::findFormat("RW5"), nullptr);
    EXPECT_EQ(exportgen::findFormat(""), nullptr);
}

TEST(FormatRegistry, HelpAndUsageErrorsNameEveryFormat) {
    EXPECT_NE(hosttest::run({"--help"})
                  .out.find("raw-data formats and LandXML (vemra, apasima, drevan, quoltpashk, rw5, sdr, landxml)"),
              std::string::npos);
    EXPECT_NE(hosttest::run({"convert", "--help"}).out.find("vemra, apasima, drevan, quoltpashk, rw5, sdr or landxml"),
              std::string::npos);
    const auto missing = hosttest::run({"convert"});
    EXPECT_NE(missing.err.find("--format (vemra, apasima, drevan, quoltpashk, rw5, sdr, landxml)"), std::string::npos)
        << missing.err;
    const auto unknown = hosttest::run({"convert", "--format", "nosuch"});
    EXPECT_NE(unknown.err.find("expected one of vemra, apasima, drevan, quoltpashk, rw5, sdr, landxml"),
              std::string::npos)
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
