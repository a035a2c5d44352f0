#include "base/json_document.h"

#include "base/problems.h"

namespace exportgen {

namespace {

// "SOURCE:LINE:COLUMN: malformed JSON: what" of the parser's message `what`.
std::string jsonErrorMessage(const std::string& source, const std::string& what) {
    std::string line = "?", column = "?", detail = what;
    const auto at = what.find("at line ");
    if (at != std::string::npos) {
        const auto comma = what.find(", column ", at);
        const auto colon = what.find(": ", at);
        if (comma != std::string::npos && colon != std::string::npos && comma < colon) {
            line = what.substr(at + 8, comma - at - 8);
            column = what.substr(comma + 9, colon - comma - 9);
            detail = what.substr(colon + 2);
        }
    } else if (const auto close = what.find("] "); close != std::string::npos) {
        detail = what.substr(close + 2);
    }
    // The reader quotes the token it stopped at, which may be a whole long text or number.
    constexpr std::size_t kDetail = 160;
    if (detail.size() > kDetail) {
        std::size_t cut = kDetail;
        while (cut > 0 && (static_cast<unsigned char>(detail[cut]) & 0xC0U) == 0x80U) --cut;  // whole UTF-8 characters
        detail = detail.substr(0, cut) + "\u2026";                                            // "…", in UTF-8
    }
    return source + ":" + line + ":" + column + ": malformed JSON: " + detail;
}

}  // namespace

nlohmann::json parseDocument(std::string_view text, const std::string& source) {
    try {
        return nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& error) {
        // A syntax error, and a number too large for a double ("1e999"), which the reader
        // reports as out of range rather than as a parse error.
        throw HostError(kExitJson, jsonErrorMessage(source, error.what()));
    }
}

}  // namespace exportgen
