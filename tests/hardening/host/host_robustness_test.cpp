// The host on bad input and failing output: every failure ends with its documented status and a
// one-line message, never a crash, and an existing output file survives every failure with no
// temporary file left beside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;

const char* const kPrevious = "previous content\n";

// The built-in sample job's text, as `exportgen convert` reads it: the job the bad inputs
// below are cut from.
std::string sampleJob() {
    return hosttest::readFile(std::string(EXPORTGEN_SOURCE_DIR) + "/tools/exportgen/app/sample_job.json");
}

void expectOneLine(const hosttest::Result& result) {
    EXPECT_EQ(result.err.rfind("exportgen: ", 0), 0U) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

// Runs convert of `job` into an existing file; the run must fail with `status` and leave the
// file and its directory as they were.
void expectFailureKeepsTheFile(const std::string& job, int status, const std::vector<std::string>& extra = {}) {
    const std::string dir = hosttest::freshDirectory("keep");
    hosttest::writeFile(dir + "/job.json", job);
    hosttest::writeFile(dir + "/out.txt", kPrevious);
    std::vector<std::string> args{"convert", dir + "/job.json", "--format", "rw5", "-o", dir + "/out.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto result = run(args);
    EXPECT_EQ(result.code, status) << result.err;
    expectOneLine(result);
    EXPECT_EQ(hosttest::readFile(dir + "/out.txt"), kPrevious);
    EXPECT_EQ(hosttest::listDirectory(dir), (std::vector<std::string>{"job.json", "out.txt"}));
}

// A job cut at any byte is malformed JSON or an incomplete job, never a crash or an output.
TEST(HostRobustness, AJobTruncatedAnywhereFailsCleanly) {
    const std::string job = sampleJob();
    ASSERT_GT(job.size(), 1000U);
    for (std::size_t length = 0; length < job.size() - 2; length += 23) {
        SCOPED_TRACE("cut after " + std::to_string(length) + " bytes");
        const std::string dir = hosttest::freshDirectory("truncated");
        hosttest::writeFile(dir + "/job.json", job.substr(0, length));
        hosttest::writeFile(dir + "/out.txt", kPrevious);
        const auto result = run({"convert", dir + "/job.json", "--format", "sdr", "-o", dir + "/out.txt"});
        EXPECT_TRUE(result.code == exportgen::kExitJson || result.code == exportgen::kExitJob) << result.err;
        expectOneLine(result);
        EXPECT_EQ(hosttest::readFile(dir + "/out.txt"), kPrevious);
    }
}

// Every kind of bad job, each into an existing file.
TEST(HostRobustness, BadJobsKeepTheExistingOutput) {
    const std::string job = sampleJob();
    expectFailureKeepsTheFile("", exportgen::kExitJson);
    expectFailureKeepsTheFile("\xFF\xFE{ not json", exportgen::kExitJson);
    expectFailureKeepsTheFile("{\"job\": {\"name\": \"\xC3\x28\"}}", exportgen::kExitJson);  // bad UTF-8
    expectFailureKeepsTheFile(job + " trailing", exportgen::kExitJson);
    expectFailureKeepsTheFile("{\"units\": {\"distance\": 1e999}}", exportgen::kExitJson);
    expectFailureKeepsTheFile("[" + job + "]", exportgen::kExitJob);
    expectFailureKeepsTheFile("{\"units\": {\"distance\": 7}, \"setups\": []}", exportgen::kExitJob);
    expectFailureKeepsTheFile("{\"setups\": [{\"hi\": 1}]}", exportgen::kExitJob);
    expectFailureKeepsTheFile(std::string(200000, '['), exportgen::kExitJob);
    // A character latin1 cannot hold, met after records were written.
    expectFailureKeepsTheFile(
        R"({"points": [{"name": "1", "coords": [0, 0, 0]}], "setups": [{"station": "1", "hi": 1,
            "shots": [{"to": "2", "sd": [10, 90, 20]}, {"to": "3", "sd": [10, 90, 20], "note": "10 €"}]}]})",
        exportgen::kExitEncoding, {"--encoding", "latin1"});
}

// Output paths that cannot be written: status 7 with the path named, nothing left behind.
TEST(HostRobustness, UnwritableOutputPaths) {
    const std::string dir = hosttest::freshDirectory("unwritable");
    hosttest::writeFile(dir + "/file", kPrevious);
    const std::string paths[] = {dir + "/missing/out.rw5", dir + "/", dir, dir + "/file/out.rw5", "/proc/version"};
    for (const std::string& path : paths) {
        const auto result = run({"convert", "--format", "rw5", "-o", path});
        EXPECT_EQ(result.code, exportgen::kExitOutput) << path << ": " << result.err;
        EXPECT_NE(result.err.find("cannot write " + path), std::string::npos) << result.err;
        expectOneLine(result);
    }
    const auto all = run({"convert", "--all", dir + "/file/sub"});  // a file where a folder must be
    EXPECT_EQ(all.code, exportgen::kExitOutput) << all.err;
    EXPECT_EQ(hosttest::readFile(dir + "/file"), kPrevious);
    EXPECT_EQ(hosttest::listDirectory(dir), std::vector<std::string>{"file"});
}

// Bad replay scripts, and a failing replay into an existing file.
TEST(HostRobustness, BadScriptsFailWithTheirStatus) {
    const std::string dir = hosttest::freshDirectory("scripts");
    const struct {
        std::string script;
        int status;
    } cases[] = {
        {"", exportgen::kExitJson},
        {"{\"generator\": \"rw5\", ", exportgen::kExitJson},
        {"[]", exportgen::kExitScript},
        {"{}", exportgen::kExitScript},
        {"{\"generator\": \"rw6\"}", exportgen::kExitScript},
        {"{\"generator\": \"rw5\", \"calls\": {}}", exportgen::kExitScript},
        {"{\"generator\": \"rw5\", \"calls\": [{\"op\": \"d\", \"args\": {\"a\": 1}}]}", exportgen::kExitScript},
        {"{\"generator\": \"rw5\", \"calls\": [{\"op\": \"d\", \"args\": [1, 2147483648]}]}", exportgen::kExitScript},
        {"{\"generator\": \"sdr\", \"calls\": [{\"op\": \"noteRecord\", \"args\": [\"x\", -1]}]}",
         exportgen::kExitScript},
        {"{\"generator\": \"rw5\", \"calls\": [{\"op\": \"offsetRecord\", \"args\": [{\"kind\": 1}, 0, \"\"]}]}",
         exportgen::kExitScript},
        {"{\"generator\": \"rw5\", \"clock\": \"noon\"}", exportgen::kExitScript},
        {"{\"generator\": \"rw5\", \"numericNames\": {\"start\": 0}}", exportgen::kExitScript},
    };
    for (const auto& c : cases) {
        hosttest::writeFile(dir + "/script.json", c.script);
        hosttest::writeFile(dir + "/out.txt", kPrevious);
        const auto result = run({"replay", dir + "/script.json", "-o", dir + "/out.txt"});
        EXPECT_EQ(result.code, c.status) << c.script << ": " << result.err;
        expectOneLine(result);
        EXPECT_EQ(hosttest::readFile(dir + "/out.txt"), kPrevious) << c.script;
    }
    EXPECT_EQ(hosttest::listDirectory(dir), (std::vector<std::string>{"out.txt", "script.json"}));
    EXPECT_EQ(run({"replay", dir + "/missing.json"}).code, exportgen::kExitInput);
    EXPECT_EQ(run({"replay", dir}).code, exportgen::kExitInput);
}

}  // namespace
