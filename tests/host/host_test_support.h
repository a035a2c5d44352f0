// Running exportgen's commands in-process, and small file helpers for the host's tests.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "job/job.h"

namespace hosttest {

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

/// Runs exportgen with `args` (without the program name) in this process. An input named by
/// memoryFile() is read from memory.
Result run(const std::vector<std::string>& args);
/// The version `exportgen --version` states ("0.1.0").
std::string programVersion();
/// Keeps `content` in memory under `name` (replacing what it held) and returns the name, to be
/// given to run() as an input's path.
std::string memoryFile(const std::string& name, std::string content);

std::string readFile(const std::string& path);
/// A file on the disk, for what only a file shows (outputs, links, permissions, signals).
void writeFile(const std::string& path, const std::string& content);
/// A fresh empty directory under the system's temporary directory: the one place the tests
/// write files.
std::string freshDirectory(const std::string& name);
/// The files of `directory`, sorted.
std::vector<std::string> listDirectory(const std::string& directory);
/// A path under tests/.
std::string dataPath(const std::string& relative);
/// `text` with every "\r\n" turned into "\n", as golden files keep it.
std::string withNewlines(const std::string& text);

/// The built-in sample job, as the repository keeps it.
std::string sampleJob();
/// `exportgen sample --shots SHOTS --seed SEED`: a synthetic job.
std::string syntheticJob(int shots, int seed);
/// A job of one set-up at S1 (N 1000, E 2000, H 100, instrument height 1.5) whose shots are
/// `shots` (a JSON list), with `head` (members and their commas) ahead of "setups".
std::string oneSetup(const std::string& shots, const std::string& head = "");

/// A job file read into the job model as a conversion reads it (without the schema): its header
/// and level runs, and its set-ups placed.
struct JobModel {
    exportgen::Job job;
    std::vector<exportgen::Setup> setups;
};
JobModel readJobModel(const std::string& text);

/// The job document that the reader of `format` makes of `text` (a file of that format), as
/// JSON text; the reader's warnings are added to `warnings` when given, one "what (where)" each.
/// `inputUnits`: as --input-units states them. Throws what the reader throws
/// (exportgen::HostError).
std::string readRaw(const std::string& format, const std::string& text, std::vector<std::string>* warnings = nullptr,
                    const std::string& inputUnits = {});

/// The file a replay script (a path under tests/) writes, as the host writes the texts of its
/// calls: each text a line (a record without its line end gets one), the ApaSima entries' texts
/// of one call joined by commas on one line, as the host places them.
struct ReplayFile {
    std::string text;
    std::string script;                  ///< the script's JSON
    std::vector<std::size_t> firstLine;  ///< of each call's lines, from 1
    std::vector<std::size_t> lineCount;  ///< of each call
};
ReplayFile replayFile(const std::string& script);

/// The built exportgen program, for what only a process of its own shows: signals, limits
/// and the standard input.
struct Program {
    std::vector<std::string> args;
    std::string input;              ///< the file the standard input reads; /dev/null when empty
    std::function<void()> inChild;  ///< runs in the child before the program starts (limits)
};
/// Starts the program; its standard output and error go to `out` and `err`. Signals the test
/// process may have ignored or blocked are back to their defaults in the child.
pid_t start(const Program& program, const std::string& out, const std::string& err);
/// Waits for `pid` and returns its status as a shell reports it: the exit status, or 128 + the
/// signal that ended it.
int waitFor(pid_t pid);
/// Runs the program to its end.
Result runProgram(const Program& program);

}  // namespace hosttest
