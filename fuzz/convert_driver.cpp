#include "convert_driver.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/app.h"
#include "base/problems.h"
#include "formats/registry.h"

namespace fuzzing {

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& message) {
    std::fprintf(stderr, "convert check failed: %s: %s\n", what.c_str(), message.substr(0, 400).c_str());
    std::abort();
}

}  // namespace

void runConvertInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kEncodings[] = {"utf-8", "latin1", "cp1252"};
    exportgen::app::ConvertOptions options;
    options.input.source =
        exportgen::app::Source::memory("input", std::string_view(reinterpret_cast<const char*>(data), size));
    options.input.from = "job";
    // The input's size picks the format and the encoding, so a stored input always meets the same ones.
    const auto& formats = exportgen::formats();
    options.format = formats[size % formats.size()].name;
    options.encoding = kEncodings[(size / formats.size()) % 3];
    options.now = "2025-07-04T09:05:03";
    std::ostringstream out;
    std::ostringstream err;
    try {
        exportgen::app::convert(options, out, err);
    } catch (const exportgen::HostError& error) {
        const std::string message = error.what();
        const int code = error.code();
        if (code != exportgen::kExitJson && code != exportgen::kExitJob && code != exportgen::kExitEncoding) {
            fail("a bad job gave status " + std::to_string(code), message);
        }
        if (message.empty() || message.find('\n') != std::string::npos) fail("not a one-line message", message);
    }
}

}  // namespace fuzzing
