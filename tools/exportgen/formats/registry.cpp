#include "formats/registry.h"

#include "base/problems.h"
#include "readers/quoltpashk_reader.h"
#include "readers/rw5_reader.h"
#include "readers/sdr_reader.h"
#include "readers/vemra_reader.h"
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
    };
    return table;
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
    return format->makeWriter(*format->generator, job, sink);
}

}  // namespace exportgen
