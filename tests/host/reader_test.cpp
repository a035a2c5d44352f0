// The job reader as a user meets it: members in any order, a member named twice, escapes in
// names, numbers however they are written, a job whose last value ends the file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "host/host_test_support.h"

namespace {

const char* const kFormats[] = {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"};

using hosttest::sampleJob;

// Converts the job text `job` to `format` with a fixed clock.
hosttest::Result convert(const std::string& job, const std::string& format) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("reader/job" + std::to_string(++count) + ".json", job);
    return hosttest::run({"convert", path, "--format", format, "--now", "2025-07-04T09:05:03"});
}

void expectSameOutput(const std::string& job, const std::string& reference) {
    for (const char* format : kFormats) {
        const auto expected = convert(reference, format);
        const auto result = convert(job, format);
        ASSERT_EQ(expected.code, 0) << expected.err;
        ASSERT_EQ(result.code, 0) << format << ": " << result.err;
        EXPECT_EQ(result.out, expected.out) << format;
    }
}

// A serializer that sorts its keys puts "levelRuns" before "points" and "setups" before
// "units"; the job reads the same.
TEST(JobReader, MembersInAnyOrderGiveTheSameBytes) {
    const std::string sample = sampleJob();
    const std::string sorted = nlohmann::json::parse(sample).dump(1);  // nlohmann's objects sort their keys
    ASSERT_LT(sorted.find("\"levelRuns\""), sorted.find("\"points\""));
    ASSERT_LT(sorted.find("\"setups\""), sorted.find("\"units\""));
    expectSameOutput(sorted, sample);
}

TEST(JobReader, AMemberNamedTwiceCountsWithItsLastValue) {
    const std::string sample = sampleJob();
    const std::string twice = "{\"units\": {\"distance\": \"usSurveyFeet\", \"angle\": \"gons\"}," + sample.substr(1);
    expectSameOutput(twice, sample);
    // Within a set-up too: the later instrument height counts.
    std::string later = sample;
    later.replace(later.find("\"hi\":1.55"), 9, "\"hi\":9.99,\"hi\":1.55");
    expectSameOutput(later, sample);
}

TEST(JobReader, EscapedNamesAndNumbersInAnyNotationReadAsWritten) {
    const std::string sample = sampleJob();
    std::string escaped = sample;
    escaped.replace(escaped.find("\"units\""), 7, "\"\\u0075nits\"");
    escaped.replace(escaped.find("\"hi\":1.55"), 9, "\"hi\":155e-2");
    escaped.replace(escaped.find("\"prismConstant\":-30"), 19, "\"prismConstant\":-3.0E+1");
    escaped.replace(escaped.find("\"circle\":0"), 10, "\"circle\":-0");
    expectSameOutput(escaped, sample);
}

TEST(JobReader, TextsWithEscapesReachTheRecords) {
    std::string job = sampleJob();
    job.replace(job.find("\"note\":\"traverse leg 1\""), 23, R"("note":"caf\u00e9 \"A\" \\ \/")");
    const auto result = convert(job, "rw5");
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("--caf\xC3\xA9 \"A\" \\ /\r\n"), std::string::npos);
}

// A byte order mark and white space around the job are no part of it; nothing else may follow.
TEST(JobReader, ByteOrderMarkAndSurroundingSpaceAreSkipped) {
    const std::string sample = sampleJob();
    expectSameOutput("\xEF\xBB\xBF \r\n\t" + sample + "\n\n", sample);
}

}  // namespace
