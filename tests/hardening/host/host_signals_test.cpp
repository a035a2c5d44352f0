// The built program interrupted and limited: a signal or the file-size limit in the middle of
// a conversion ends it with its status, the existing files as they were and no temporary file
// left. Run as processes of their own, so that the test process is neither signalled nor
// limited.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using Files = std::vector<std::string>;

const char* const kPrevious = "previous content\n";
const Files kAll{"job.apasima", "job.drevan", "job.quoltpashk", "job.rw5", "job.sdr", "job.vemra", "job.xml"};

// A synthetic job large enough that converting it takes a while (about 12 MB).
const std::string& largeJob() {
    static const std::string path = [] {
        const std::string dir = hosttest::freshDirectory("large-job");
        const auto made = hosttest::runProgram({{"sample", "--shots", "100000", "-o", dir + "/job.json"}, "", {}});
        EXPECT_EQ(made.code, 0) << made.err;
        return dir + "/job.json";
    }();
    return path;
}

// The large job is 12 MB: gone with the test program.
class RemoveLargeJob : public testing::Environment {
public:
    void TearDown() override {
        const std::string dir = hosttest::freshDirectory("large-job");
        rmdir(dir.c_str());
    }
};
[[maybe_unused]] testing::Environment* const kRemoveLargeJob = testing::AddGlobalTestEnvironment(new RemoveLargeJob);

bool hasHiddenFile(const std::string& dir) {
    for (const auto& name : hosttest::listDirectory(dir)) {
        if (name[0] == '.') return true;
    }
    return false;
}

struct SignalCase {
    int number;
    bool ignoredAtStart;  // as nohup leaves SIGHUP: the program must not take it back
    int status;
};

class HostSignals : public testing::TestWithParam<SignalCase> {};

// --all into a folder holding an older job.rw5; the signal comes once the temporary files are
// there and being written.
TEST_P(HostSignals, RemoveTheTemporaryFilesAndEndWithTheSignal) {
    const SignalCase c = GetParam();
    const std::string& job = largeJob();
    const std::string dir = hosttest::freshDirectory("signal");
    mkdir((dir + "/all").c_str(), 0755);
    hosttest::writeFile(dir + "/all/job.rw5", kPrevious);
    hosttest::Program program{{"convert", job, "--all", dir + "/all"}, "", {}};
    if (c.ignoredAtStart) program.inChild = [number = c.number] { signal(number, SIG_IGN); };
    const pid_t pid = hosttest::start(program, dir + "/out", dir + "/err");

    bool writing = false;
    for (int i = 0; i < 30000 && !writing; ++i) {
        writing = hasHiddenFile(dir + "/all");
        if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(writing) << "no temporary file appeared";
    ASSERT_EQ(kill(pid, c.number), 0);
    const int status = hosttest::waitFor(pid);

    EXPECT_EQ(status, c.status) << hosttest::readFile(dir + "/err");
    if (c.ignoredAtStart) {
        EXPECT_EQ(hosttest::listDirectory(dir + "/all"), kAll);
        EXPECT_NE(hosttest::readFile(dir + "/all/job.rw5"), kPrevious);
    } else {
        EXPECT_EQ(hosttest::listDirectory(dir + "/all"), Files{"job.rw5"});
        EXPECT_EQ(hosttest::readFile(dir + "/all/job.rw5"), kPrevious);
    }
    rmdir(hosttest::freshDirectory("signal").c_str());  // the outputs are large
}

INSTANTIATE_TEST_SUITE_P(Signals, HostSignals,
                         testing::Values(SignalCase{SIGTERM, false, 128 + SIGTERM},
                                         SignalCase{SIGINT, false, 128 + SIGINT},
                                         SignalCase{SIGHUP, false, 128 + SIGHUP}, SignalCase{SIGHUP, true, 0}),
                         [](const testing::TestParamInfo<SignalCase>& paramInfo) {
                             return std::string(strsignal(paramInfo.param.number)).substr(0, 4) +
                                    std::to_string(paramInfo.index);
                         });

// The file-size limit (`ulimit -f`) met part-way is a failed write: status 7 and a message,
// never the signal that would end the program silently, and nothing changed.
TEST(HostLimits, TheFileSizeLimitIsAWriteError) {
    const std::string& job = largeJob();
    const auto limited = [] {
        rlimit small{};
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
    };
    const struct {
        const char* what;
        std::vector<std::string> args;  // "DIR" at the start of an argument is the folder
        const char* message;            // after "exportgen: "
    } cases[] = {
        {"one file", {"convert", job, "-f", "rw5", "-o", "DIR/job.rw5"}, "cannot write DIR/job.rw5: File too large"},
        {"every format (LandXML, the widest, meets it first)",
         {"convert", job, "--all", "DIR"},
         "cannot write DIR/job.xml: File too large"},
        {"a synthetic job",
         {"sample", "--shots", "10000", "-o", "DIR/job.rw5"},
         "cannot write DIR/job.rw5: File too large"},
        // The standard output redirected to a file meets the same limit.
        {"the standard output", {"convert", job, "-f", "sdr"}, "cannot write to the standard output"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = hosttest::freshDirectory("limit");
        hosttest::writeFile(dir + "/job.rw5", kPrevious);
        std::vector<std::string> args;
        for (const auto& arg : c.args) args.push_back(arg.rfind("DIR", 0) == 0 ? dir + arg.substr(3) : arg);
        std::string message = c.message;
        if (message.rfind("cannot write DIR", 0) == 0) message.replace(13, 3, dir);

        const std::string out = dir + ".out", err = dir + ".err";
        const int status = hosttest::waitFor(hosttest::start({args, "", limited}, out, err));

        EXPECT_EQ(status, exportgen::kExitOutput) << hosttest::readFile(err);
        EXPECT_EQ(hosttest::readFile(err), "exportgen: " + message + "\n");
        EXPECT_EQ(hosttest::readFile(dir + "/job.rw5"), kPrevious);
        EXPECT_EQ(hosttest::listDirectory(dir), Files{"job.rw5"});
        unlink(out.c_str());
        unlink(err.c_str());
    }
}

}  // namespace
