#include "read_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "app/app.h"
#include "base/problems.h"
#include "formats/registry.h"

namespace fuzzing {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& message) {
    std::fprintf(stderr, "read check failed: %s: %s\n", what.c_str(), message.substr(0, 600).c_str());
    std::abort();
}

// Converts the file `data` read as `from` into `format`; true with the output in `out`, false
// when the file is rejected as it may be.
bool convertAs(const char* from, const std::string& format, const void* data, std::size_t size, std::string& out) {
    exportgen::app::ConvertOptions options;
    options.input.source =
        exportgen::app::Source::memory("input", std::string_view(static_cast<const char*>(data), size));
    options.input.from = from;
    options.format = format;
    options.now = "2025-07-04T09:05:03";
    options.quiet = true;
    std::ostringstream text;
    std::ostringstream err;
    try {
        exportgen::app::convert(options, text, err);
    } catch (const exportgen::HostError& error) {
        const std::string message = error.what();
        const int code = error.code();
        if (code != exportgen::kExitJson && code != exportgen::kExitJob && code != exportgen::kExitEncoding) {
            fail("a bad file gave status " + std::to_string(code), message);
        }
        if (message.empty() || message.find('\n') != std::string::npos) fail("not a one-line message", message);
        return false;
    }
    out = text.str();
    return true;
}

}  // namespace

void runReadInput(const char* from, const std::uint8_t* data, std::size_t size) {
    static const char* const kVemraFamily[] = {"vemra", "apasima", "drevan"};
    const auto& formats = exportgen::formats();
    if (std::strcmp(from, "vemra") == 0) from = kVemraFamily[size % 3];
    const std::string format = std::strcmp(from, "points") == 0 ? formats[size % formats.size()].name : from;
    std::string first;
    if (!convertAs(from, format, data, size, first)) return;
    if (std::strcmp(from, "points") == 0) return;
    // Our own file of what was read: it reads back, and writes the same bytes. Asked for by
    // EXPORTGEN_FUZZ_ROUND_TRIP (the stored inputs' test sets it): on mutated files it still
    // finds records that settle only on the second writing (see docs/testing.md).
    const bool roundTrip = std::getenv("EXPORTGEN_FUZZ_ROUND_TRIP") != nullptr;
    if (!roundTrip) return;
    std::string second;
    if (!convertAs(from, format, first.data(), first.size(), second)) fail("our own file is refused", first);
    if (second != first) fail("our own file written again differs", first + "\n----\n" + second);
}

}  // namespace fuzzing
