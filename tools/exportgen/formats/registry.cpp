#include "formats/registry.h"

#include "base/problems.h"
#include "base/text.h"
#include "readers/landxml_reader.h"
#include "readers/quoltpashk_reader.h"
#include "readers/rw5_reader.h"
#include "readers/sdr_reader.h"
#include "readers/vemra_reader.h"
#include "writers/landxml_writer.h"
#include "writers/quoltpashk_writer.h"
#include "writers/rw5_writer.h"
#include "writers/sdr_writer.h"
#include "writers/vemra_writer.h"

namespace exportgen {

const std::vector<FormatEntry>& formats() {
    // RW5 and Quolt/Pashk separate their fields by commas; a note is the last field of its
    // record (or a line of its own) and may hold them. The Vemra family ends each field with
    // "_" and drops "_", "+" and "*" from names and codes itself, but writes the job's texts
    // as they are; ApaSima joins its header entries with commas.
    const ReservedCharacters rw5Fields{",", ",", ",", nullptr, ","};
    const ReservedCharacters vemraFields{nullptr, nullptr, nullptr, nullptr, "_"};
    const ReservedCharacters apaSimaFields{nullptr, nullptr, nullptr, nullptr, "_,"};
    const ReservedCharacters sdrFields{};
    static const std::vector<FormatEntry> table = {
        {"vemra", ".vemra", "Vemra", findGenerator("vemra"), makeVemraWriter, vemraFields, buildVemra, looksLikeVemra},
        {"apasima", ".apasima", "ApaSima", findGenerator("apasima"), makeApaSimaWriter, apaSimaFields, buildApaSima,
         looksLikeApaSima},
        {"drevan", ".drevan", "Drevan", findGenerator("drevan"), makeDrevanWriter, vemraFields, buildDrevan,
         looksLikeDrevan},
        {"quoltpashk", ".quoltpashk", "Quolt/Pashk", findGenerator("quoltpashk"), makeQuoltPashkWriter, rw5Fields,
         buildQuoltPashk, looksLikeQuoltPashk},
        {"rw5", ".rw5", "RW5", findGenerator("rw5"), makeRw5Writer, rw5Fields, buildRw5, looksLikeRw5},
        {"sdr", ".sdr", "SDR", findGenerator("sdr"), makeSdrWriter, sdrFields, buildSdr, looksLikeSdr},
        // XML escapes every character it can hold: LandXML reserves none. The host writes it
        // without a generator of the library.
        {"landxml", ".xml", "LandXML", nullptr, makeLandXmlWriter, ReservedCharacters{}, buildLandXml,
         looksLikeLandXml},
    };
    return table;
}

const FormatEntry* formatOfPath(const std::string& path) {
    const std::string name = lowerAscii(path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1));
    for (const FormatEntry& format : formats()) {
        const std::string suffix = format.suffix;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return &format;
        }
    }
    return nullptr;
}

const FormatEntry* findFormat(const std::string& name) {
    for (const FormatEntry& format : formats()) {
        if (name == format.name) return &format;
    }
    return nullptr;
}

std::string formatNameList(const char* lastJoin) {
    const auto& all = formats();
    std::string list;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i > 0) list += i + 1 == all.size() ? lastJoin : ", ";
        list += all[i].name;
    }
    return list;
}

TextRules textRulesFor(const std::vector<std::string>& names) {
    TextRules rules;
    for (const std::string& name : names) {
        const FormatEntry* format = findFormat(name);
        if (format == nullptr) continue;
        rules.reserveControls(format->name);
        const ReservedCharacters& r = format->reserved;
        const std::pair<TextKind, const char*> kinds[] = {{TextKind::name, r.name},
                                                          {TextKind::code, r.code},
                                                          {TextKind::attribute, r.attribute},
                                                          {TextKind::note, r.note},
                                                          {TextKind::text, r.text}};
        for (const auto& [kind, bytes] : kinds) {
            if (bytes != nullptr) rules.reserve(format->name, kind, bytes);
        }
    }
    return rules;
}

std::unique_ptr<FormatWriter> makeFormatWriter(const std::string& name, const Job& job, RecordSink& sink) {
    const FormatEntry* format = findFormat(name);
    if (format == nullptr) throw HostError(kExitUsage, "unknown format " + name);
    if (format->generator != nullptr) return format->makeWriter(*format->generator, job, sink);
    // A format the host writes itself: its writer is told only the format's name.
    const Generator hostOnly{format->name, GeneratorFamily::rw5, nullptr, nullptr, 0, nullptr};
    return format->makeWriter(hostOnly, job, sink);
}

}  // namespace exportgen
