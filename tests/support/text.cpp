#include "support/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <type_traits>

namespace testsupport {

namespace {

constexpr bool kUtf16 = sizeof(wchar_t) == 2;

bool isHighSurrogate(unsigned long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(unsigned long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// One code in UTF-8. A lone surrogate is written as its own three bytes (not valid UTF-8, but
// it shows in a failed assertion which half of a pair a cut left behind).
void appendUtf8(std::string& out, unsigned long code) {
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

// One code as wide text: a code outside the basic plane is a surrogate pair where wchar_t has
// 16 bits (Windows), one unit where it has 32.
void appendWide(COrvStringT& out, unsigned long code) {
    if (kUtf16 && code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
}

}  // namespace

std::string narrow(const COrvStringT& text) {
    std::string out;
    const std::wstring_view units = text.view();
    for (std::size_t i = 0; i < units.size(); ++i) {
        unsigned long code = static_cast<std::make_unsigned_t<wchar_t>>(units[i]);
        if (kUtf16 && isHighSurrogate(code) && i + 1 < units.size()) {
            const unsigned long next = static_cast<std::make_unsigned_t<wchar_t>>(units[i + 1]);
            if (isLowSurrogate(next)) {
                code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        appendUtf8(out, code);
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
        appendWide(out, code);
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
