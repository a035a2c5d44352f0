#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::string narrow(const COrvStringT& text) {
    std::string out;
    for (wchar_t ch : text.view()) {
        auto code = static_cast<unsigned long>(ch);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

COrvStringT wide(const std::string& text) {
    COrvStringT out;
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        unsigned long code = byte;
        int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
        if (extra > 0) code = byte & (0x3F >> extra);
        for (int k = 1; k <= extra && i + static_cast<std::size_t>(k) < text.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        }
        out += static_cast<wchar_t>(code);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string golden(const std::string& name) {
    std::ifstream file(std::string(EXPORTGEN_TEST_DATA_DIR) + "/golden/" + name, std::ios::binary);
    if (!file) throw std::runtime_error("missing golden file " + name);
    std::string out;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out += line;
        out += "\r\n";
    }
    return out;
}

void expectGolden(const std::string& name, const std::string& actual) {
    const char* update = std::getenv("EXPORTGEN_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream file(std::string(EXPORTGEN_TEST_DATA_DIR) + "/golden/" + name, std::ios::binary);
        for (char ch : actual) {
            if (ch != '\r') file << ch;
        }
        return;
    }
    std::string expected = golden(name);
    std::istringstream want(expected);
    std::istringstream got(actual);
    std::string wantLine;
    std::string gotLine;
    int number = 0;
    while (true) {
        bool moreWant = static_cast<bool>(std::getline(want, wantLine));
        bool moreGot = static_cast<bool>(std::getline(got, gotLine));
        if (!moreWant && !moreGot) break;
        ++number;
        EXPECT_EQ(gotLine, wantLine) << name << " line " << number;
    }
    EXPECT_EQ(actual, expected) << name << " (whole text, line ends included)";
}

}  // namespace testsupport
