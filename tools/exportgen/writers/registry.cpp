#include "writers/registry.h"

#include "cli/errors.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "readers/quoltpashk_reader.h"
#include "readers/rw5_reader.h"
#include "readers/sdr_reader.h"
#include "readers/vemra_reader.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"
#include "writers/quoltpashk_writer.h"
#include "writers/rw5_writer.h"
#include "writers/sdr_writer.h"
#include "writers/vemra_writer.h"

namespace exportgen {

using namespace orv::ie;

namespace {

CRW5Generator* createRw5(const GeneratorInputs& in) {
    return createRw5Generator(in.settings, in.job, in.names, in.forceNames, in.rbMode);
}
CRW5Generator* createSdr(const GeneratorInputs& in) { return createSdrRawGenerator(in.settings, in.job); }
CVemraRawDataGenerator* createVemra(const GeneratorInputs& in) {
    return createVemraRawDataGenerator(in.settings, in.job, in.observation);
}
CVemraRawDataGenerator* createApaSima(const GeneratorInputs& in) {
    return createApaSimaRawDataGenerator(in.settings, in.job, in.observation);
}
CVemraRawDataGenerator* createDrevan(const GeneratorInputs& in) {
    return createDrevanRawDataGenerator(in.settings, in.job, in.observation);
}
CVemraRawDataGenerator* createQuoltPashk(const GeneratorInputs& in) {
    return createQuoltPashkRawDataGenerator(in.settings, in.job, in.observation, in.names, in.useNumericNames);
}

// The SDR generator's factory makes a CSDRRawGenerator.
int sdrReportStatus(const CRW5Generator& generator) {
    return static_cast<const CSDRRawGenerator&>(generator).reportStatus();
}

}  // namespace

const std::vector<FormatEntry>& formats() {
    constexpr auto rw5 = GeneratorFamily::rw5;
    constexpr auto vemra = GeneratorFamily::vemra;
    // RW5 and Quolt/Pashk separate their fields by commas; a note is the last field of its
    // record (or a line of its own) and may hold them. The Vemra family ends each field with
    // "_" and drops "_", "+" and "*" from names and codes itself, but writes the job's texts
    // as they are; ApaSima joins its header entries with commas.
    const ReservedCharacters rw5Fields{",", ",", ",", nullptr, ","};
    const ReservedCharacters vemraFields{nullptr, nullptr, nullptr, nullptr, "_"};
    const ReservedCharacters apaSimaFields{nullptr, nullptr, nullptr, nullptr, "_,"};
    const ReservedCharacters sdrFields{};
    static const std::vector<FormatEntry> table = {
        {"vemra", ".vemra", "Vemra", vemra, nullptr, createVemra, makeVemraWriter, kVemraOperations, nullptr,
         vemraFields, readVemra, looksLikeVemra},
        {"apasima", ".apasima", "ApaSima", vemra, nullptr, createApaSima, makeApaSimaWriter,
         kVemraOperations | kApaSimaOperations, nullptr, apaSimaFields, readApaSima, looksLikeApaSima},
        {"drevan", ".drevan", "Drevan", vemra, nullptr, createDrevan, makeDrevanWriter,
         kVemraOperations | kDrevanOperations, nullptr, vemraFields, readDrevan, looksLikeDrevan},
        {"quoltpashk", ".quoltpashk", "Quolt/Pashk", vemra, nullptr, createQuoltPashk, makeQuoltPashkWriter,
         kVemraOperations | kQuoltPashkOperations, nullptr, rw5Fields, readQuoltPashk, looksLikeQuoltPashk},
        {"rw5", ".rw5", "RW5", rw5, createRw5, nullptr, makeRw5Writer, kRw5Operations, nullptr, rw5Fields, readRw5,
         looksLikeRw5},
        {"sdr", ".sdr", "SDR", rw5, createSdr, nullptr, makeSdrWriter, kRw5Operations | kSdrOperations, sdrReportStatus,
         sdrFields, readSdr, looksLikeSdr},
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

std::unique_ptr<FormatWriter> makeFormatWriter(const std::string& name, Job& job, Output& output) {
    const FormatEntry* format = findFormat(name);
    if (format == nullptr) throw HostError(kExitUsage, "unknown format " + name);
    return format->makeWriter(*format, job, output);
}

}  // namespace exportgen
