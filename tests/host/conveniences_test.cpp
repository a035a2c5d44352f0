// The command line's conveniences: format names in any case, the format from the output
// file's suffix, the built-in job from `sample`, and header dates from the job's own creation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_test_support.h"

namespace {

const char* const kNow = "2025-07-04T09:05:03";

using hosttest::sampleJob;

std::string jobFile(const std::string& text) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("conveniences/job" + std::to_string(++count) + ".json", text);
    return path;
}

TEST(Conveniences, FormatNamesInAnyCase) {
    for (const char* format : {"rw5", "sdr", "vemra", "quoltpashk"}) {
        std::string upper = format;
        for (char& ch : upper) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
        std::string mixed = upper;
        mixed[0] = format[0];
        const auto expected = hosttest::run({"convert", "-f", format, "--now", kNow});
        ASSERT_EQ(expected.code, 0) << expected.err;
        for (const std::string& name : {upper, mixed}) {
            const auto result = hosttest::run({"convert", "-f", name, "--now", kNow});
            EXPECT_EQ(result.code, 0) << name << ": " << result.err;
            EXPECT_EQ(result.out, expected.out) << name;
        }
    }
    EXPECT_EQ(hosttest::run({"convert", "-f", "RW6"}).code, 3);
}

// Without -f the suffix of the -o file names the format: each format's own suffix (the one
// --all gives it), in any case.
TEST(Conveniences, TheOutputSuffixChoosesTheFormat) {
    const std::string dir = hosttest::freshDirectory("suffix");
    struct Case {
        const char* file;
        const char* format;
    };
    const Case cases[] = {{"a.rw5", "rw5"},         {"b.SDR", "sdr"},       {"c.Vemra", "vemra"},
                          {"d.apasima", "apasima"}, {"e.drevan", "drevan"}, {"f.quoltpashk", "quoltpashk"},
                          {"g.job.rw5", "rw5"}};
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.file;
        const auto result = hosttest::run({"convert", "-o", path, "--now", kNow, "--quiet"});
        ASSERT_EQ(result.code, 0) << c.file << ": " << result.err;
        EXPECT_EQ(result.err, "") << c.file;
        const auto expected = hosttest::run({"convert", "-f", c.format, "--now", kNow});
        EXPECT_EQ(hosttest::readFile(path), expected.out) << c.file;
    }
    // A suffix of no format, no suffix, or the standard output: -f is needed.
    for (const char* file : {"h.txt", "rw5", "i.rw5.bak"}) {
        const auto result = hosttest::run({"convert", "-o", dir + "/" + file});
        EXPECT_EQ(result.code, 3) << file;
        EXPECT_NE(result.err.find("convert needs --format"), std::string::npos) << result.err;
    }
    EXPECT_EQ(hosttest::run({"convert"}).code, 3);
}

// -f wins over the suffix, with a warning; a suffix that names no format is no disagreement.
TEST(Conveniences, FormatAndSuffixThatDisagreeGiveAWarning) {
    const std::string dir = hosttest::freshDirectory("disagree");
    const auto result = hosttest::run({"convert", "-f", "rw5", "-o", dir + "/out.sdr", "--now", kNow});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(
        result.err.find("exportgen: warning: --format rw5 writes RW5 to " + dir + "/out.sdr, whose suffix is SDR's\n"),
        std::string::npos)
        << result.err;
    EXPECT_EQ(hosttest::readFile(dir + "/out.sdr"), hosttest::run({"convert", "-f", "rw5", "--now", kNow}).out);
    const auto plain = hosttest::run({"convert", "-f", "RW5", "-o", dir + "/out.txt", "--now", kNow});
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.err.find("whose suffix"), std::string::npos) << plain.err;
    const auto same = hosttest::run({"convert", "-f", "SDR", "-o", dir + "/again.sdr", "--now", kNow});
    EXPECT_EQ(same.err.find("whose suffix"), std::string::npos) << same.err;
}

TEST(Conveniences, SampleWithoutShotsIsTheBuiltInJob) {
    const auto sample = hosttest::run({"sample"});
    ASSERT_EQ(sample.code, 0) << sample.err;
    EXPECT_EQ(sample.out, sampleJob());
    const std::string path = jobFile(sample.out);
    for (const char* format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        const auto builtIn = hosttest::run({"convert", "-f", format, "--now", kNow});
        const auto printed = hosttest::run({"convert", path, "-f", format, "--now", kNow});
        ASSERT_EQ(printed.code, 0) << printed.err;
        EXPECT_EQ(printed.out, builtIn.out) << format;
    }
    // --shots still makes a synthetic job, and a negative count is refused.
    const auto synthetic = hosttest::run({"sample", "--shots", "3"});
    EXPECT_EQ(synthetic.code, 0);
    EXPECT_NE(synthetic.out, sample.out);
    EXPECT_EQ(hosttest::run({"sample", "--shots", "-1"}).code, 3);
}

// The sample job was created on 4 July 2025 (day/month/year) at 08:30:00.
TEST(Conveniences, NowJobTakesTheJobsCreationDateAndTime) {
    for (const char* format : {"rw5", "vemra", "apasima", "sdr"}) {
        const auto fromJob = hosttest::run({"convert", "-f", format, "--now", "job"});
        const auto fixed = hosttest::run({"convert", "-f", format, "--now", "2025-07-04T08:30:00"});
        ASSERT_EQ(fromJob.code, 0) << fromJob.err;
        EXPECT_EQ(fromJob.out, fixed.out) << format;
    }
    EXPECT_NE(hosttest::run({"convert", "-f", "rw5", "--now", "job"}).out.find("JB,NMSAMPLE,DT07-04-2025,TM08:30:00"),
              std::string::npos);

    const std::string sample = sampleJob();
    struct Case {
        std::string from, to;  // in the sample job
        int code;
        std::string message;  // empty: converts, and `expectedNow` gives the same bytes
        const char* expectedNow;
    };
    const std::string created = "\"created\":{\"date\":\"4/7/2025\",\"time\":\"08:30:00\"}";
    const Case cases[] = {
        {created, "\"created\":{\"date\":\"31/12/2024\"}", 0, "", "2024-12-31T00:00:00"},
        {created, "\"created\":{\"date\":\"01/02/2024\",\"time\":\"7:05\"}", 0, "", "2024-02-01T07:05:00"},
        {created, "\"created\":{\"date\":\"2025-07-04\",\"time\":\"08:30:00\"}", 6,
         ":2:127: $.job.created.date: --now job reads a date day/month/year such as 4/7/2025, found \"2025-07-04\"",
         ""},
        {created, "\"created\":{\"date\":\"4/13/2025\"}", 6, ":2:127: $.job.created.date: --now job reads a date", ""},
        {created, "\"created\":{\"date\":\"29/2/2023\"}", 6, ":2:127: $.job.created.date: --now job reads a date", ""},
        {created, "\"created\":{\"date\":\"29/2/2024\"}", 0, "", "2024-02-29T00:00:00"},
        {created, "\"created\":{\"date\":\"4/7/2025\",\"time\":\"8h30\"}", 6,
         ":2:145: $.job.created.time: --now job reads a time h:mm:ss such as 08:30:00, found \"8h30\"", ""},
        {"," + created, "", 6, ":1:1: $.job.created.date: missing; --now job takes the header dates", ""},
    };
    for (const Case& c : cases) {
        std::string job = sample;
        ASSERT_NE(job.find(c.from), std::string::npos);
        job.replace(job.find(c.from), c.from.size(), c.to);
        const std::string path = jobFile(job);
        const auto result = hosttest::run({"convert", path, "-f", "rw5", "--now", "job"});
        EXPECT_EQ(result.code, c.code) << c.to << ": " << result.err;
        if (c.message.empty()) {
            EXPECT_EQ(result.out, hosttest::run({"convert", path, "-f", "rw5", "--now", c.expectedNow}).out) << c.to;
        } else {
            EXPECT_EQ(result.out, "");
            EXPECT_NE(result.err.find(path + c.message), std::string::npos) << result.err;
        }
    }
}

}  // namespace
