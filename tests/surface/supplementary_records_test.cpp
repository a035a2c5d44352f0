// Characters outside the basic plane in point names, codes and notes, through every generator
// made by its factory.
//
// Where wchar_t has 16 bits (Windows) such a character is a surrogate pair, and the fixed
// widths of the formats count its two units, as Windows' own wide strings do: an SDR
// field holds eight trees, not sixteen, a cut may leave the first half of a pair, and Vemra's
// eight-unit name key can make two targets one. Where wchar_t has 32 bits a character is one
// unit. Formats without fixed widths pass the characters whole on both. Every row states the
// record for both widths; each platform checks its own.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "contracts/dex_data.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "support/text.h"
#include "surface/export_generators.h"
#include "vemra/CVemraRawDataGenerator.h"

using namespace orv::ie;
using testsupport::narrow;
using testsupport::wide;

namespace {

constexpr bool kUnits16 = sizeof(wchar_t) == 2;

// U+1F332 (D83C DF32), U+1F333 (D83C DF33), U+20BB7 (D842 DFB7), in UTF-8.
const std::string kTree = "\xF0\x9F\x8C\xB2";
const std::string kOtherTree = "\xF0\x9F\x8C\xB3";
const std::string kIdeograph = "\xF0\xA0\xAE\xB7";
const std::string kTreeHigh = "\xED\xA0\xBC";  // D83C alone, as the test support writes it

std::string repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}
std::string blanks(int count) { return std::string(static_cast<std::size_t>(count), ' '); }

struct Row {
    const char* what;
    std::function<std::string()> record;
    std::string where32;  // the record where wchar_t has 32 bits
    std::string where16;  // and where it has 16
};

void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) EXPECT_EQ(row.record(), kUnits16 ? row.where16 : row.where32) << row.what;
}

// A code named `name` with one attribute and its value.
DexCodeValues codeWithAttribute(const std::string& name, const std::string& attribute, const std::string& value) {
    DexCodeDescription description(wide(name));
    description.addAttribute(wide(attribute));
    DexCodeValues code(description);
    code.setAttrAt(0, wide(value));
    return code;
}

DexTSRawFS foresight(const std::string& target) {
    DexTSRawFS sight;
    sight.setTargetName(wide(target));
    sight.setMeasurement(DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {30.0, 270.0, 100.0}));
    return sight;
}

// ---------------------------------------------------------------------------------------------
// SDR: 16-unit names (an overlong one sets status 18), 16-unit codes (an overlong one is
// repeated whole in a feature-code note), 60-unit notes.

DexSettings metres{eMeters, eDegrees};
DexJobInfo job;
DexObservationInfo observation;

struct SdrDeleter {
    void operator()(CSDRRawGenerator* generator) const { delete generator; }
};
std::unique_ptr<CSDRRawGenerator, SdrDeleter> sdr() {
    return std::unique_ptr<CSDRRawGenerator, SdrDeleter>(createSdrRawGenerator(&metres, &job));
}

// The station record of `name` and `code`, and the status it leaves.
std::string sdrStation(const std::string& name, const std::string& code) {
    auto gen = sdr();
    const std::string line = narrow(gen->occupy(L"NM", wide(name), wide(code), 1.0, 2.0, 3.0, 1.5));
    return line + "status " + std::to_string(gen->reportStatus());
}
std::string sdrStationLine(const std::string& nameField, const std::string& codeField, int status) {
    const std::string values =
        "1.0000" + blanks(10) + "2.0000" + blanks(10) + "3.0000" + blanks(10) + "1.5000" + blanks(10);
    return "02NM" + nameField + values + codeField + "\r\nstatus " + std::to_string(status);
}

// A foresight's code field (the last 16 units of its line) in brackets, then its notes.
std::string sdrCodedSight(const DexCodeValues& code) {
    auto gen = sdr();
    DexTSRawFS sight = foresight("7");
    sight.codes.addCode(code);
    const COrvStringT text = gen->sightNoteLine(&sight, nullptr);
    const int end = text.Find(L"\r\n");
    return "[" + narrow(text.Mid(end - 16, 16)) + "]" + narrow(text.Mid(end + 2));
}

TEST(SupplementaryRecords, SdrNamesCodesAndNotes) {
    const std::string oak = "OAK" + kTree;
    const std::string species = kTree + "SPECIES";
    expectRows({
        {"a station name and a code that fit", [&] { return sdrStation("STN" + kTree, oak); },
         sdrStationLine(blanks(12) + "STN" + kTree, oak + blanks(12), 0),
         sdrStationLine(blanks(11) + "STN" + kTree, oak + blanks(11), 0)},
        {"a station name of 15 letters and a tree: 16 units or 17, cut after the pair's first half",
         [&] { return sdrStation("ABCDEFGHIJKLMNO" + kTree, ""); },
         sdrStationLine("ABCDEFGHIJKLMNO" + kTree, blanks(16), 0),
         sdrStationLine("ABCDEFGHIJKLMNO" + kTreeHigh, blanks(16), 18)},
        {"a station name of eight ideographs: 8 units or exactly 16",
         [&] { return sdrStation(repeat(kIdeograph, 8), ""); },
         sdrStationLine(blanks(8) + repeat(kIdeograph, 8), blanks(16), 0),
         sdrStationLine(repeat(kIdeograph, 8), blanks(16), 0)},
        {"a code of nine trees: it fits, or eight trees show and a feature-code note holds all nine",
         [&] { return sdrCodedSight(codeWithAttribute(repeat(kTree, 9), species, oak)); },
         "[" + repeat(kTree, 9) + blanks(7) + "]" + "13AT" + species + blanks(12) + oak + blanks(36) + "\r\n",
         "[" + repeat(kTree, 8) + "]" + "13FC" + repeat(kTree, 9) + blanks(42) + "\r\n" + "13AT" + species +
             blanks(11) + oak + blanks(35) + "\r\n"},
        {"a note of 31 trees: 31 units or 62, cut to 30 trees",
         [&] { return narrow(sdr()->noteRecord(wide(repeat(kTree, 31)), eNoteNM)); },
         "13NM" + repeat(kTree, 31) + blanks(29) + "\r\n", "13NM" + repeat(kTree, 30) + "\r\n"},
        {"a note of a letter and 30 trees: cut after the last pair's first half",
         [&] { return narrow(sdr()->noteRecord(wide("A" + repeat(kTree, 30)), eNoteNM)); },
         "13NMA" + repeat(kTree, 30) + blanks(29) + "\r\n", "13NMA" + repeat(kTree, 29) + kTreeHigh + "\r\n"},
    });
}

// ---------------------------------------------------------------------------------------------
// Vemra: a target is looked up by the first 8 units of its name; station names, codes whole.

struct VemraDeleter {
    void operator()(CVemraRawDataGenerator* generator) const { delete generator; }
};

// The name fields of observations to `targets` in turn, joined by "|"; then the code field of
// the last.
std::string vemraTargets(std::initializer_list<std::string> targets, const std::string& code) {
    std::unique_ptr<CVemraRawDataGenerator, VemraDeleter> gen(createVemraRawDataGenerator(&metres, &job, &observation));
    std::string names;
    COrvStringT out;
    for (const std::string& target : targets) {
        gen->writeObservation(out, wide(target), 0, 30.0, 90.0, 100.0, wide(code), 1.5, nullptr, nullptr);
        if (!names.empty()) names += "|";
        names += narrow(out.Mid(1, out.Find(L'_') - 1));  // "+NAME_ a+…"
    }
    const int star = out.Find(L'*');
    return names + " *" + narrow(out.Mid(star + 1, out.Find(L'_', star) - star - 1));
}

TEST(SupplementaryRecords, VemraNamesAndCodes) {
    const std::string first8 = "ABCDEFG" + kTreeHigh;  // the first 8 units of "ABCDEFG" and a pair
    expectRows({
        {"a short target name and a code pass whole", [&] { return vemraTargets({"P" + kTree}, "TREE" + kTree); },
         "P" + kTree + " *TREE" + kTree, "P" + kTree + " *TREE" + kTree},
        {"names alike in their first 8 characters share one output name",
         [&] {
             return vemraTargets({"ABCDEFG" + kTree + "1", "ABCDEFG" + kTree + "2"}, "");
         },
         "ABCDEFG" + kTree + "|ABCDEFG" + kTree + " *", first8 + "|" + first8 + " *"},
        {"two trees differ in the second half of their pairs: two names, or one",
         [&] {
             return vemraTargets({"ABCDEFG" + kTree, "ABCDEFG" + kOtherTree}, "");
         },
         "ABCDEFG" + kTree + "|ABCDEFG" + kOtherTree + " *", first8 + "|" + first8 + " *"},
    });

    std::unique_ptr<CVemraRawDataGenerator, VemraDeleter> gen(createVemraRawDataGenerator(&metres, &job, &observation));
    COrvStringT out;
    gen->writeStation(out, wide("STN" + repeat(kTree, 9)), wide("OAK" + kTree), 1.5);
    EXPECT_EQ(narrow(out), "'STN" + repeat(kTree, 9) + "_(OAK" + kTree + "_)1.500_")
        << "station names keep their full length";
}

// ---------------------------------------------------------------------------------------------
// RW5 and Quolt/Pashk: no fixed widths, so every character passes whole on both platforms.

struct Rw5Deleter {
    void operator()(CRW5Generator* generator) const { delete generator; }
};
struct QuoltPashkDeleter {
    void operator()(CQuoltPashkRawDataGenerator* generator) const { delete generator; }
};

TEST(SupplementaryRecords, Rw5AndQuoltPashkPassCharactersWhole) {
    const std::string note = kIdeograph + " oak by the fence " + kTree;
    std::unique_ptr<CRW5Generator, Rw5Deleter> rw5(createRw5Generator(&metres, &job, nullptr, false, false));
    EXPECT_EQ(narrow(rw5->occupy(L"", wide("STN" + kTree), wide(note), 1.0, 2.0, 3.0, 1.5)),
              "OC,OPSTN" + kTree + ",N 1.0000,E 2.0000,EL3.0000,--" + note + "\r\n");
    DexTSRawFS sight = foresight("7" + kTree);
    sight.codes.addCode(codeWithAttribute(kTree + "TREE", "SPECIES", "OAK"));
    sight.setNote(wide(note));
    DexCodeStyle style;
    EXPECT_EQ(narrow(rw5->sightNoteLine(&sight, &style)), "FR,OPSTN" + kTree + ",FP7" + kTree +
                                                              ",AR30.00000,ZE270.00000,SD100.0000,--" + kTree +
                                                              "TREE " + note + "\r\n");
    EXPECT_EQ(narrow(rw5->noteLine(wide(repeat(kTree, 3)))), "--" + repeat(kTree, 3) + "\r\n");

    std::unique_ptr<CQuoltPashkRawDataGenerator, QuoltPashkDeleter> plain(
        createQuoltPashkRawDataGenerator(&metres, &job, &observation, nullptr, false));
    COrvStringT out;
    plain->writeSight(out, eSightForesight, false, wide("P" + kTree), wide("TREE" + kTree), wide(note), 1.6);
    EXPECT_EQ(narrow(out), "FS      P" + kTree + ",1.600,TREE" + kTree + "," + note + "\r\n");
    out.Empty();
    plain->writeNote(out, wide(kTree + " line\r\nbreak"));
    EXPECT_EQ(narrow(out), "NOTE    " + kTree + " linebreak\r\n");

    // With numeric names a name of other characters gets the next number.
    FreeNumericNames names;
    std::unique_ptr<CQuoltPashkRawDataGenerator, QuoltPashkDeleter> numeric(
        createQuoltPashkRawDataGenerator(&metres, &job, &observation, &names, true));
    EXPECT_EQ(narrow(numeric->stationLineIfNew(wide("S" + kTree), true, wide("CP" + kTree), 1.5)),
              "STN     1,1.500,CP" + kTree + "\r\n");
}

}  // namespace
