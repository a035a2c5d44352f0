#include "replay_driver.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "base/problems.h"
#include "output/encoding.h"
#include "output/output.h"
#include "replay/replay.h"

namespace fuzzing {

namespace {

[[noreturn]] void fail(const char* what, const std::string& message) {
    std::fprintf(stderr, "replay check failed: %s: %s\n", what, message.substr(0, 400).c_str());
    std::abort();
}

}  // namespace

void runReplayInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    std::ostringstream sink;
    exportgen::Encoder encoder("utf-8");
    exportgen::Output output(sink, encoder);
    try {
        exportgen::replay(script, "fuzz.json", size % 2 == 1, output);
        output.commit();
    } catch (const exportgen::HostError& error) {
        const std::string message = error.what();
        if (error.code() != exportgen::kExitScript && error.code() != exportgen::kExitJson) {
            fail(("a bad script gave status " + std::to_string(error.code())).c_str(), message);
        }
        if (message.empty() || message.find('\n') != std::string::npos) fail("not a one-line message", message);
    }
}

}  // namespace fuzzing
