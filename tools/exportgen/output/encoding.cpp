#include "output/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "base/problems.h"
#include "base/text.h"

namespace exportgen {

namespace {

std::string canonical(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
    if (name == "utf8") return "utf-8";
    if (name == "latin1" || name == "iso88591") return "latin1";
    if (name == "cp1252" || name == "windows1252") return "cp1252";
    return {};
}

iconv_t asIconv(void* handle) { return static_cast<iconv_t>(handle); }

}  // namespace

Encoder::Encoder(const std::string& name) : m_name(canonical(name)) {
    if (m_name.empty()) {
        throw HostError(kExitUsage, "unknown encoding \"" + name + "\" (use utf-8, latin1 or cp1252)");
    }
    if (m_name == "utf-8") return;
    iconv_t handle = iconv_open(m_name == "latin1" ? "ISO-8859-1" : "CP1252", "WCHAR_T");
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        throw HostError(kExitUsage, "encoding " + m_name + " is not available on this system");
    }
    m_iconv = handle;
}

Encoder::~Encoder() {
    if (m_iconv != nullptr) iconv_close(asIconv(m_iconv));
}

void Encoder::append(std::string& out, const COrvStringT& text, const RecordSink::Describe& describe) {
    if (m_iconv == nullptr) {
        appendUtf8(out, text.view());
        return;
    }
    // Each record is converted on its own, so the state is reset first.
    iconv(asIconv(m_iconv), nullptr, nullptr, nullptr, nullptr);
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(text.GetLength()) * 2 + 16);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.GetString()));
    std::size_t inLeft = static_cast<std::size_t>(text.GetLength()) * sizeof(wchar_t);
    char* target = out.data() + start;
    std::size_t targetLeft = out.size() - start;
    if (iconv(asIconv(m_iconv), &in, &inLeft, &target, &targetLeft) == static_cast<std::size_t>(-1)) {
        const int error = errno;
        out.resize(start);
        const auto* bad = reinterpret_cast<const wchar_t*>(in);
        const auto at = static_cast<std::size_t>(bad - text.GetString());
        const auto offending = static_cast<unsigned long>(*bad);
        char code[16];
        std::snprintf(code, sizeof code, "U+%04lX", offending);
        std::string character;
        appendUtf8(character, std::wstring_view(reinterpret_cast<const wchar_t*>(in), 1));
        throw HostError(kExitEncoding, error == EILSEQ || error == EINVAL
                                           ? "character " + std::string(code) + " \"" + character +
                                                 "\" cannot be written in " + m_name + ": " + describe(at)
                                           : "cannot convert text to " + m_name + ": " + describe(at));
    }
    out.resize(static_cast<std::size_t>(target - out.data()));
}

}  // namespace exportgen
