// Where exportgen writes, and what it refuses to write: an output never costs the user a file.
// Each case sets up a folder, converts the sample job (read from job.json in that folder) and
// checks the folder afterwards: the bytes, the permission bits, the links, and that no
// temporary file is left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

using hosttest::run;
using Files = std::vector<std::string>;

const char* const kPrevious = "previous content\n";
const char* const kNow = "2020-01-02T03:04:05";

using hosttest::sampleJob;

// The sample job converted to RW5 on the standard output: what every output below must hold.
std::string expectedRw5() {
    const auto result = run({"convert", "--format", "rw5", "--now", kNow});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

struct stat statOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

mode_t modeOf(const std::string& path) { return statOf(path).st_mode & 07777; }

std::string linkOf(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t size = readlink(path.c_str(), target.data(), target.size());
    target.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
    return target;
}

void writeMode(const std::string& path, const std::string& content, mode_t mode) {
    hosttest::writeFile(path, content);
    chmod(path.c_str(), mode);
}

struct Case {
    const char* what;
    std::function<void(const std::string& dir)> prepare;
    std::vector<std::string> args;  // after "convert"; "DIR" at the start of an argument is the folder
    int status;
    std::function<void(const std::string& dir, const hosttest::Result& result)> check;
};

// Replaces a leading "DIR" by the case's folder.
std::vector<std::string> inFolder(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& arg : args) out.push_back(arg.rfind("DIR", 0) == 0 ? dir + arg.substr(3) : arg);
    return out;
}

void keepsJob(const std::string& dir) { EXPECT_EQ(hosttest::readFile(dir + "/job.json"), sampleJob()); }

const std::vector<Case>& cases() {
    static const std::vector<Case> table{
        // An output that is one of the inputs: refused before anything is written, whatever
        // name leads to the file.
        {"the job itself",
         nullptr,
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/job.json"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result& result) {
             keepsJob(dir);
             EXPECT_NE(result.err.find("cannot write " + dir + "/job.json: it is an input"), std::string::npos)
                 << result.err;
             EXPECT_EQ(hosttest::listDirectory(dir), Files{"job.json"});
         }},
        {"the job by a relative symbolic link",
         [](const std::string& dir) { symlink("job.json", (dir + "/out.rw5").c_str()); },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) {
             keepsJob(dir);
             EXPECT_EQ(linkOf(dir + "/out.rw5"), "job.json");
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "out.rw5"}));
         }},
        {"the job by a hard link",
         [](const std::string& dir) { link((dir + "/job.json").c_str(), (dir + "/out.rw5").c_str()); },
         {"DIR/job.json", "-f", "sdr", "-o", "DIR/out.rw5"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) {
             keepsJob(dir);
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "out.rw5"}));
         }},
        {"the job named through a link to it, written to the file itself",
         [](const std::string& dir) { symlink((dir + "/job.json").c_str(), (dir + "/link.json").c_str()); },
         {"DIR/link.json", "-f", "rw5", "-o", "DIR/job.json"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) { keepsJob(dir); }},
        {"the job as an --all output",
         [](const std::string& dir) {
             mkdir((dir + "/all").c_str(), 0755);
             symlink("../job.json", (dir + "/all/job.sdr").c_str());
         },
         {"DIR/job.json", "--all", "DIR/all"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) {
             keepsJob(dir);
             EXPECT_EQ(hosttest::listDirectory(dir + "/all"), Files{"job.sdr"});
         }},

        // Permission bits: kept for an existing file, 0666 less the umask (022 here) for a new one.
        {"an existing file of mode 0600",
         [](const std::string& dir) { writeMode(dir + "/out.rw5", kPrevious, 0600); },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5"},
         0,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::readFile(dir + "/out.rw5"), expectedRw5());
             EXPECT_EQ(modeOf(dir + "/out.rw5"), 0600U);
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "out.rw5"}));
         }},
        {"an existing file of mode 0751",
         [](const std::string& dir) { writeMode(dir + "/out.rw5", kPrevious, 0751); },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5"},
         0,
         [](const std::string& dir, const hosttest::Result&) { EXPECT_EQ(modeOf(dir + "/out.rw5"), 0751U); }},
        {"a new file",
         nullptr,
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/new.rw5"},
         0,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::readFile(dir + "/new.rw5"), expectedRw5());
             EXPECT_EQ(modeOf(dir + "/new.rw5"), 0644U);
         }},
        // A file nobody may write is refused, even to root, who could replace it.
        {"a read-only file",
         [](const std::string& dir) { writeMode(dir + "/out.rw5", kPrevious, 0444); },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result& result) {
             EXPECT_EQ(hosttest::readFile(dir + "/out.rw5"), kPrevious);
             EXPECT_EQ(modeOf(dir + "/out.rw5"), 0444U);
             EXPECT_NE(result.err.find("out.rw5: the file is read-only"), std::string::npos) << result.err;
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "out.rw5"}));
         }},

        // Links are followed; the target is replaced in its own folder and the link stays.
        {"a link to a file in another folder",
         [](const std::string& dir) {
             mkdir((dir + "/sub").c_str(), 0755);
             writeMode(dir + "/sub/target.rw5", kPrevious, 0640);
             symlink("sub/target.rw5", (dir + "/out.rw5").c_str());
         },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5"},
         0,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(linkOf(dir + "/out.rw5"), "sub/target.rw5");
             EXPECT_EQ(hosttest::readFile(dir + "/sub/target.rw5"), expectedRw5());
             EXPECT_EQ(modeOf(dir + "/sub/target.rw5"), 0640U);
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "out.rw5", "sub"}));
             EXPECT_EQ(hosttest::listDirectory(dir + "/sub"), Files{"target.rw5"});
         }},
        {"a chain of links, relative and absolute",
         [](const std::string& dir) {
             mkdir((dir + "/a").c_str(), 0755);
             mkdir((dir + "/b").c_str(), 0755);
             hosttest::writeFile(dir + "/b/target.rw5", kPrevious);
             symlink((dir + "/b/target.rw5").c_str(), (dir + "/a/second").c_str());
             symlink("a/second", (dir + "/out.rw5").c_str());
         },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5"},
         0,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(linkOf(dir + "/out.rw5"), "a/second");
             EXPECT_EQ(linkOf(dir + "/a/second"), dir + "/b/target.rw5");
             EXPECT_EQ(hosttest::readFile(dir + "/b/target.rw5"), expectedRw5());
             EXPECT_EQ(hosttest::listDirectory(dir + "/a"), Files{"second"});
             EXPECT_EQ(hosttest::listDirectory(dir + "/b"), Files{"target.rw5"});
         }},
        {"a link to a file not there yet",
         [](const std::string& dir) {
             mkdir((dir + "/sub").c_str(), 0755);
             symlink("sub/made.rw5", (dir + "/out.rw5").c_str());
         },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5"},
         0,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(linkOf(dir + "/out.rw5"), "sub/made.rw5");
             EXPECT_EQ(hosttest::readFile(dir + "/sub/made.rw5"), expectedRw5());
         }},
        {"links in a loop",
         [](const std::string& dir) {
             symlink("b", (dir + "/a").c_str());
             symlink("a", (dir + "/b").c_str());
         },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/a"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result& result) {
             EXPECT_NE(result.err.find("cannot write " + dir + "/a: Too many levels of symbolic links"),
                       std::string::npos)
                 << result.err;
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"a", "b", "job.json"}));
         }},

        // --no-clobber
        {"--no-clobber and an existing file",
         [](const std::string& dir) { hosttest::writeFile(dir + "/out.rw5", kPrevious); },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5", "--no-clobber"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result& result) {
             EXPECT_EQ(hosttest::readFile(dir + "/out.rw5"), kPrevious);
             EXPECT_NE(result.err.find("out.rw5: the file exists (--no-clobber)"), std::string::npos) << result.err;
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "out.rw5"}));
         }},
        {"--no-clobber and a link to an existing file",
         [](const std::string& dir) {
             hosttest::writeFile(dir + "/target", kPrevious);
             symlink("target", (dir + "/out.rw5").c_str());
         },
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/out.rw5", "--no-clobber"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::readFile(dir + "/target"), kPrevious);
         }},
        {"--no-clobber and a new file",
         nullptr,
         {"DIR/job.json", "-f", "rw5", "-o", "DIR/new.rw5", "--no-clobber"},
         0,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::readFile(dir + "/new.rw5"), expectedRw5());
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "new.rw5"}));
         }},
        {"--no-clobber --all and one existing file",
         [](const std::string& dir) { hosttest::writeFile(dir + "/job.sdr", kPrevious); },
         {"DIR/job.json", "--all", "DIR", "--no-clobber"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::readFile(dir + "/job.sdr"), kPrevious);
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"job.json", "job.sdr"}));
         }},

        // --all makes its folder with the parents, and names the files without a doubled slash.
        {"--all into new nested folders",
         nullptr,
         {"DIR/job.json", "--all", "DIR/new/er/"},
         0,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::listDirectory(dir + "/new/er"), (Files{"job.apasima", "job.drevan", "job.quoltpashk",
                                                                        "job.rw5", "job.sdr", "job.vemra", "job.xml"}));
             EXPECT_EQ(hosttest::readFile(dir + "/new/er/job.rw5"), expectedRw5());
             EXPECT_EQ(modeOf(dir + "/new/er"), 0755U);
         }},
        {"--all names its files with one slash",
         [](const std::string& dir) {
             mkdir((dir + "/all").c_str(), 0755);
             writeMode(dir + "/all/job.rw5", kPrevious, 0444);
         },
         {"DIR/job.json", "--all", "DIR/all//"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result& result) {
             EXPECT_EQ(result.err, "exportgen: cannot write " + dir + "/all/job.rw5: the file is read-only\n");
             EXPECT_EQ(hosttest::listDirectory(dir + "/all"), Files{"job.rw5"});
         }},
        {"--all with a file in the way",
         [](const std::string& dir) { hosttest::writeFile(dir + "/file", kPrevious); },
         {"DIR/job.json", "--all", "DIR/file/sub"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::readFile(dir + "/file"), kPrevious);
         }},
        {"--all of a bad job takes back the folders it made",
         [](const std::string& dir) { hosttest::writeFile(dir + "/bad.json", "{\"setups\": 1}"); },
         {"DIR/bad.json", "--all", "DIR/new/er"},
         exportgen::kExitJob,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::listDirectory(dir), (Files{"bad.json", "job.json"}));
         }},

        // The replay command follows the same rules for its script.
        {"a replay script as its own output",
         [](const std::string& dir) {
             hosttest::writeFile(dir + "/script.json",
                                 hosttest::readFile(hosttest::dataPath("replay/rw5_station.json")));
         },
         {"replay", "DIR/script.json", "-o", "DIR/script.json"},
         exportgen::kExitOutput,
         [](const std::string& dir, const hosttest::Result&) {
             EXPECT_EQ(hosttest::readFile(dir + "/script.json"),
                       hosttest::readFile(hosttest::dataPath("replay/rw5_station.json")));
         }},
    };
    return table;
}

class OutputTarget : public testing::TestWithParam<std::size_t> {};

TEST_P(OutputTarget, WritesOrRefusesAsDocumented) {
    const Case& c = cases()[GetParam()];
    SCOPED_TRACE(c.what);
    const std::string dir = hosttest::freshDirectory("target");
    hosttest::writeFile(dir + "/job.json", sampleJob());
    if (c.prepare) c.prepare(dir);
    std::vector<std::string> args = inFolder(c.args, dir);
    if (args[0] != "replay") {
        args.insert(args.begin(), "convert");
        args.insert(args.end(), {"--now", kNow});
    }
    const mode_t mask = umask(022);
    const auto result = run(args);
    umask(mask);
    EXPECT_EQ(result.code, c.status) << result.err;
    if (c.status == exportgen::kExitOutput) {
        EXPECT_EQ(result.err.rfind("exportgen: cannot ", 0), 0U) << result.err;
    }
    c.check(dir, result);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputTarget, testing::Range<std::size_t>(0, cases().size()),
                         [](const testing::TestParamInfo<std::size_t>& paramInfo) {
                             std::string name;
                             for (const char* c = cases()[paramInfo.param].what; *c != '\0'; ++c) {
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return std::to_string(paramInfo.param) + "_" + name;
                         });

// A new file takes 0666 less the umask: the system applies the mask, whatever it is.
TEST(OutputModes, ANewFileTakesTheUmask) {
    const std::string dir = hosttest::freshDirectory("umask");
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{027}, mode_t{0}}) {
        const mode_t previous = umask(mask);
        const std::string path = dir + "/out-" + std::to_string(mask) + ".rw5";
        const auto result = run({"convert", "-f", "rw5", "-o", path});
        umask(previous);
        ASSERT_EQ(result.code, 0) << result.err;
        EXPECT_EQ(modeOf(path), 0666U & ~mask) << "umask " << std::oct << mask;
    }
}

// Files that are not files: written directly, never replaced by a regular file, and no
// temporary file beside them.

// A FIFO with `cat` reading it.
TEST(OutputDirect, AFifoIsWrittenToItsReader) {
    const std::string dir = hosttest::freshDirectory("fifo");
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0644), 0);
    const pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        const int to = open((dir + "/read").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(to, 1);
        execlp("cat", "cat", (dir + "/pipe").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto result = run({"convert", "-f", "rw5", "--now", kNow, "-o", dir + "/pipe"});
    // Today's fault would leave `cat` waiting for a writer forever: end it after a while.
    int status = -1;
    for (int i = 0; i < 500 && waitpid(reader, &status, WNOHANG) == 0; ++i) usleep(10000);
    if (status == -1) {
        kill(reader, SIGKILL);
        waitpid(reader, &status, 0);
        ADD_FAILURE() << "cat never saw the end of the output";
    }
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(hosttest::readFile(dir + "/read"), expectedRw5());
    EXPECT_TRUE(S_ISFIFO(statOf(dir + "/pipe").st_mode));
    EXPECT_EQ(hosttest::listDirectory(dir), (Files{"pipe", "read"}));
}

// A character device: a node of the null device made in a test folder (never the system's
// /dev/null, which a fault here would replace).
TEST(OutputDirect, ACharacterDeviceStaysADevice) {
    const std::string dir = hosttest::freshDirectory("device");
    if (mknod((dir + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    }
    const auto result = run({"convert", "-f", "rw5", "-o", dir + "/null"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_TRUE(S_ISCHR(statOf(dir + "/null").st_mode));
    EXPECT_EQ(hosttest::listDirectory(dir), Files{"null"});
}

// /dev/fd/N of a pipe (what `-o >(wc -c)` gives), and of a file opened for appending, which
// gets the output after its content, in the same file.
TEST(OutputDirect, ADescriptorPathWritesTheDescriptor) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const auto piped = run({"convert", "-f", "rw5", "--now", kNow, "-o", "/dev/fd/" + std::to_string(ends[1])});
    close(ends[1]);
    std::string received;
    char block[4096];
    for (ssize_t got; (got = read(ends[0], block, sizeof block)) > 0;)
        received.append(block, static_cast<std::size_t>(got));
    close(ends[0]);
    EXPECT_EQ(piped.code, 0) << piped.err;
    EXPECT_EQ(received, expectedRw5());

    const std::string dir = hosttest::freshDirectory("descriptor");
    hosttest::writeFile(dir + "/log", kPrevious);
    const ino_t inode = statOf(dir + "/log").st_ino;
    const int fd = open((dir + "/log").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    const auto appended = run({"convert", "-f", "rw5", "--now", kNow, "-o", "/proc/self/fd/" + std::to_string(fd)});
    close(fd);
    EXPECT_EQ(appended.code, 0) << appended.err;
    EXPECT_EQ(hosttest::readFile(dir + "/log"), kPrevious + expectedRw5());
    EXPECT_EQ(statOf(dir + "/log").st_ino, inode);
    EXPECT_EQ(hosttest::listDirectory(dir), Files{"log"});
}

// A descriptor path that leads to the job is refused like the job's own name.
TEST(OutputDirect, ADescriptorOfTheJobIsRefused) {
    const std::string dir = hosttest::freshDirectory("descriptor-job");
    hosttest::writeFile(dir + "/job.json", sampleJob());
    const int fd = open((dir + "/job.json").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const auto result = run({"convert", dir + "/job.json", "-f", "rw5", "-o", "/dev/fd/" + std::to_string(fd)});
    close(fd);
    EXPECT_EQ(result.code, exportgen::kExitOutput) << result.err;
    keepsJob(dir);
}

// A listening local socket gets a connection and the output.
TEST(OutputDirect, ASocketGetsAConnection) {
    const std::string dir = hosttest::freshDirectory("socket");
    const std::string path = dir + "/sock";
    const int server = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(server, 1), 0);
    std::string received;
    std::thread reader([&] {
        pollfd waiting{server, POLLIN, 0};
        if (poll(&waiting, 1, 5000) != 1) return;  // no connection came
        const int connection = accept(server, nullptr, nullptr);
        char block[4096];
        for (ssize_t got; (got = read(connection, block, sizeof block)) > 0;)
            received.append(block, static_cast<std::size_t>(got));
        close(connection);
    });
    const auto result = run({"convert", "-f", "rw5", "--now", kNow, "-o", path});
    reader.join();
    close(server);
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(received, expectedRw5());
    EXPECT_TRUE(S_ISSOCK(statOf(path).st_mode));
    EXPECT_EQ(hosttest::listDirectory(dir), Files{"sock"});
}

// A block device is no output: refused before it is opened.
TEST(OutputDirect, ABlockDeviceIsRefused) {
    const std::string dir = hosttest::freshDirectory("block");
    if (mknod((dir + "/disk").c_str(), S_IFBLK | 0600, makedev(7, 250)) != 0) {
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    }
    const auto result = run({"convert", "-f", "rw5", "-o", dir + "/disk"});
    EXPECT_EQ(result.code, exportgen::kExitOutput) << result.err;
    EXPECT_NE(result.err.find("block device"), std::string::npos) << result.err;
    EXPECT_TRUE(S_ISBLK(statOf(dir + "/disk").st_mode));
}

// "-": the standard input as the job (and the replay script), the standard output as -o.
TEST(OutputStandardStreams, DashIsTheStandardInputAndOutput) {
    const std::string dir = hosttest::freshDirectory("dash");
    hosttest::writeFile(dir + "/job.json", sampleJob());
    const std::string script = hosttest::dataPath("replay/rw5_station.json");

    const auto toStdout = run({"convert", "-f", "rw5", "--now", kNow, "-o", "-"});
    EXPECT_EQ(toStdout.code, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out, expectedRw5());
    EXPECT_NE(access("-", F_OK), 0) << "a file named \"-\" in the working folder";
    unlink("-");

    const auto fromStdin = hosttest::runProgram({{"convert", "-", "-f", "rw5", "--now", kNow}, dir + "/job.json", {}});
    EXPECT_EQ(fromStdin.code, 0) << fromStdin.err;
    EXPECT_EQ(fromStdin.out, expectedRw5());

    const auto both =
        hosttest::runProgram({{"convert", "-", "-f", "rw5", "--now", kNow, "-o", "-"}, dir + "/job.json", {}});
    EXPECT_EQ(both.out, expectedRw5());

    const auto replayed = hosttest::runProgram({{"replay", "-"}, script, {}});
    EXPECT_EQ(replayed.code, 0) << replayed.err;
    EXPECT_EQ(replayed.out, run({"replay", script}).out);

    // The standard input redirected from the very file -o names.
    const auto itself =
        hosttest::runProgram({{"convert", "-", "-f", "rw5", "-o", dir + "/job.json"}, dir + "/job.json", {}});
    EXPECT_EQ(itself.code, exportgen::kExitOutput) << itself.err;
    keepsJob(dir);

    // A malformed job on the standard input is named as such.
    hosttest::writeFile(dir + "/bad.json", "{\"setups\": [}");
    const auto bad = hosttest::runProgram({{"convert", "-", "-f", "rw5"}, dir + "/bad.json", {}});
    EXPECT_EQ(bad.code, exportgen::kExitJson) << bad.err;
    EXPECT_EQ(bad.err.rfind("exportgen: <stdin>:1:", 0), 0U) << bad.err;
}

}  // namespace

// Interrupted while it writes --all into folders it made: the temporary files and the folders
// go, and the program ends by the signal. The job is large enough that the signal comes while
// the files are written: it is sent as soon as the innermost folder appears.
TEST(OutputSignals, AnInterruptedRunTakesBackTheFoldersItMade) {
    const std::string dir = hosttest::freshDirectory("interrupted");
    hosttest::writeFile(dir + "/job.json", hosttest::syntheticJob(300000, 7));
    const std::string made = dir + "/new/deeper";
    const pid_t pid = hosttest::start({{"convert", dir + "/job.json", "--all", made, "--now", kNow}, {}, {}},
                                      dir + "/out", dir + "/err");
    ASSERT_GT(pid, 0);
    struct stat info {};
    int waited = 0;
    for (; waited < 60000 && stat(made.c_str(), &info) != 0; ++waited) usleep(1000);
    ASSERT_EQ(stat(made.c_str(), &info), 0) << "the folder never appeared";
    kill(pid, SIGINT);
    const int status = hosttest::waitFor(pid);
    if (status == 0) GTEST_SKIP() << "the run ended before the signal reached it";
    EXPECT_EQ(status, 128 + SIGINT) << hosttest::readFile(dir + "/err");
    EXPECT_NE(stat((dir + "/new").c_str(), &info), 0) << "the folders the run made are still there";
    EXPECT_EQ(hosttest::listDirectory(dir), (Files{"err", "job.json", "out"}));
}
