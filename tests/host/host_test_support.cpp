#include "host/host_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "app/app.h"
#include "cli/commands.h"
#include "formats/registry.h"
#include "job/builder.h"
#include "readers/job_reader.h"
#include "readers/json_job.h"

namespace hosttest {

std::string sampleJob() { return readFile(dataPath("../tools/exportgen/app/sample_job.json")); }

std::string syntheticJob(int shots, int seed) {
    const Result result = run({"sample", "--shots", std::to_string(shots), "--seed", std::to_string(seed)});
    EXPECT_EQ(result.code, 0) << result.err;
    return result.out;
}

std::string oneSetup(const std::string& shots, const std::string& head) {
    return "{" + head + R"("setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "shots": )" + shots +
           "}]}";
}

std::string readRaw(const std::string& format, const std::string& text, std::vector<std::string>* warnings,
                    const std::string& inputUnits) {
    exportgen::app::InputOptions input;
    input.source = exportgen::app::Source::memory("in." + format, text);
    input.from = format;
    input.inputUnits = inputUnits;
    std::ostringstream out, err;
    exportgen::app::read(input, {}, out, err);
    if (warnings != nullptr) {
        // "exportgen: warning: input: what (where)" a line each.
        std::istringstream lines(err.str());
        const std::string head = "exportgen: warning: input: ";
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(head, 0) == 0) warnings->push_back(line.substr(head.size()));
        }
    }
    return out.str();
}

ReplayFile replayFile(const std::string& script) {
    using nlohmann::json;
    ReplayFile file;
    const std::string path = dataPath(script);
    file.script = readFile(path);
    const json calls = json::parse(file.script)["calls"];
    const bool apaSima = json::parse(file.script)["generator"] == "apasima";
    const Result result = run({"replay", path, "--json"});
    if (result.code != 0) throw std::runtime_error(script + ": " + result.err);
    const json results = json::parse(result.out)["results"];
    std::size_t line = 1;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const json& r = results[i];
        const std::string op = calls[i]["op"];
        std::vector<std::string> texts;
        if (r["result"].is_string()) texts.push_back(r["result"]);
        std::vector<std::string> outs;
        for (const json& out : r["out"]) {
            if (out.is_string()) outs.push_back(out);
        }
        if (apaSima && (op == "writeProgramInfo" || op == "writeJobInfo" || op == "writeAtmosphere")) {
            std::string joined;
            for (std::size_t k = 0; k < outs.size(); ++k) joined += (k == 0 ? "" : ",") + outs[k];
            texts.push_back(joined);
        } else {
            texts.insert(texts.end(), outs.begin(), outs.end());
        }
        std::size_t count = 0;
        for (std::string text : texts) {
            if (text.empty()) continue;
            if (text.back() != '\n') text += "\r\n";
            for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at) ++count;
            file.text += text;
        }
        file.firstLine.push_back(line);
        file.lineCount.push_back(count);
        line += count;
    }
    return file;
}

JobModel readJobModel(const std::string& text) {
    class Collect : public exportgen::JobListener {
    public:
        JobModel model;
        void header(exportgen::JobBuilder&) override {}
        void setup(exportgen::Setup& setup) override { model.setups.push_back(std::move(setup)); }
        void end(const exportgen::Job& job) override { model.job = job; }
        void warning(const char*, const std::string&, const exportgen::Place&, const std::string&) override {}
    } collect;
    exportgen::JobBuilder builder(exportgen::BuildOptions{}, collect);
    exportgen::buildJsonJob(text, "job", false, builder, nullptr);
    builder.finish();
    return std::move(collect.model);
}

namespace {

exportgen::MemoryFiles& memoryFiles() {
    static exportgen::MemoryFiles files;
    return files;
}

}  // namespace

std::string programVersion() {
    const std::string line = run({"--version"}).out;
    const std::string head = "exportgen ";
    if (line.rfind(head, 0) != 0) return "(no version: " + line + ")";
    return line.substr(head.size(), line.find_first_of("\r\n") - head.size());
}

std::string memoryFile(const std::string& name, std::string content) {
    memoryFiles()[name] = std::move(content);
    return name;
}

Result run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Result result;
    result.code = exportgen::run(args, out, err, &memoryFiles());
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary);
    file << content;
}

namespace {

// Removes `path` and, for a folder (not a link to one), everything in it.
void removeAll(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        chmod(path.c_str(), 0700);
        for (const auto& file : listDirectory(path)) removeAll(path + "/" + file);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

}  // namespace

std::string freshDirectory(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string path =
        std::string(base != nullptr ? base : "/tmp") + "/exportgen-test-" + name + "-" + std::to_string(getpid());
    removeAll(path);
    mkdir(path.c_str(), 0755);
    return path;
}

std::vector<std::string> listDirectory(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string dataPath(const std::string& relative) { return std::string(EXPORTGEN_TEST_DATA_DIR) + "/" + relative; }

std::string withNewlines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

pid_t start(const Program& program, const std::string& out, const std::string& err) {
    std::vector<std::string> args{EXPORTGEN_BINARY};
    args.insert(args.end(), program.args.begin(), program.args.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string input = program.input.empty() ? "/dev/null" : program.input;
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // The child: only calls that are safe between fork and exec.
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) signal(number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int in = open(input.c_str(), O_RDONLY);
    const int to = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int error = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || to < 0 || error < 0 || dup2(in, 0) < 0 || dup2(to, 1) < 0 || dup2(error, 2) < 0) _exit(126);
    if (program.inChild) program.inChild();
    execv(argv[0], argv.data());
    _exit(127);
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

Result runProgram(const Program& program) {
    const std::string dir = freshDirectory("program");
    Result result;
    result.code = waitFor(start(program, dir + "/out", dir + "/err"));
    result.out = readFile(dir + "/out");
    result.err = readFile(dir + "/err");
    return result;
}

}  // namespace hosttest
