// Characters outside the basic plane (codes above U+FFFF: a tree symbol in a feature code, a
// rare ideograph in a family name) in the string and the text services.
//
// Where wchar_t has 16 bits (Windows) such a character is a surrogate pair, two units, and
// lengths, cuts and field widths count units, as Windows' own wide strings count them; where it
// has 32 bits (Linux) it is one unit. The UTF-8 size counts the bytes of the characters that the
// units encode on both. Every row states the result for both widths; each platform checks its own.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "contracts/orv_string.h"
#include "contracts/text_services.h"
#include "support/text.h"

using orv::ie::utils::getMbcsLength;
using orv::ie::utils::getReportString;
using testsupport::narrow;
using testsupport::wide;

namespace {

constexpr bool kUnits16 = sizeof(wchar_t) == 2;

// U+1F332 (a pair D83C DF32), U+1F333 (D83C DF33), U+20BB7 (D842 DFB7), in UTF-8.
const std::string kTree = "\xF0\x9F\x8C\xB2";
const std::string kOtherTree = "\xF0\x9F\x8C\xB3";
const std::string kIdeograph = "\xF0\xA0\xAE\xB7";
// A lone surrogate as the test support writes it: the three bytes of its code.
const std::string kTreeHigh = "\xED\xA0\xBC";  // D83C, the first half of either tree
const std::string kTreeLow = "\xED\xBC\xB2";   // DF32, the second half of kTree

std::string repeat(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

// A text of the given units, whatever they encode.
COrvStringT units(std::initializer_list<unsigned> codes) {
    COrvStringT text;
    for (unsigned code : codes) text += static_cast<wchar_t>(code);
    return text;
}

struct LengthRow {
    std::string text;  // UTF-8
    int units32;
    int units16;
    int utf8Bytes;
};

TEST(SupplementaryText, LengthCountsUnitsAndTheUtf8SizeCountsCharacters) {
    const LengthRow rows[] = {
        {"TREE", 4, 4, 4},
        {kTree, 1, 2, 4},
        {"P" + kIdeograph + "1", 3, 4, 6},
        {"\xC3\xA9\xE2\x82\xAC" + kTree, 3, 4, 2 + 3 + 4},  // é € and a tree
        {kTree + kOtherTree + kIdeograph, 3, 6, 12},
    };
    for (const LengthRow& row : rows) {
        const COrvStringT text = wide(row.text);
        EXPECT_EQ(text.GetLength(), kUnits16 ? row.units16 : row.units32) << row.text;
        EXPECT_EQ(getMbcsLength(text), row.utf8Bytes) << row.text;
        EXPECT_EQ(narrow(text), row.text) << "the test support's conversions are each other's inverse";
    }
}

TEST(SupplementaryText, CompilerAndTestSupportEncodeAlike) {
    // A wide literal is a surrogate pair where wchar_t has 16 bits; the support makes the same.
    EXPECT_EQ(COrvStringT(L"\U0001F332"), wide(kTree));
    EXPECT_EQ(COrvStringT(L"P\U00020BB71"), wide("P" + kIdeograph + "1"));
    if (kUnits16) {
        EXPECT_EQ(wide(kTree), units({0xD83C, 0xDF32}));
        EXPECT_EQ(wide(kIdeograph), units({0xD842, 0xDFB7}));
    } else {
        EXPECT_EQ(wide(kTree), units({0x1F332}));
    }
}

struct UnitsRow {
    const char* what;
    COrvStringT text;
    int utf8Bytes32;
    int utf8Bytes16;
};

TEST(SupplementaryText, Utf8SizeOfPairsAndLoneSurrogates) {
    // A lone surrogate counts 3 bytes, as the replacement character it becomes; where wchar_t
    // has 32 bits every surrogate is lone, a pair of them no character.
    const UnitsRow rows[] = {
        {"a pair", units({0xD83C, 0xDF32}), 6, 4},
        {"a lone first half", units({0xD83C}), 3, 3},
        {"a lone second half", units({0xDF32}), 3, 3},
        {"the halves reversed", units({0xDF32, 0xD83C}), 6, 6},
        {"a first half before a letter", units({0xD83C, 'A'}), 4, 4},
        {"a first half before a pair", units({0xD83C, 0xD83C, 0xDF32}), 9, 7},
        {"a pair between letters", units({'A', 0xD842, 0xDFB7, 'B'}), 8, 6},
        {"a first half at the end", units({'A', 'B', 0xD842}), 5, 5},
    };
    for (const UnitsRow& row : rows) {
        EXPECT_EQ(getMbcsLength(row.text), kUnits16 ? row.utf8Bytes16 : row.utf8Bytes32) << row.what;
    }
}

struct CutRow {
    std::string text;
    int first;  // Mid's start, or -1 for Left
    int count;
    std::string cut32;
    std::string cut16;
};

TEST(SupplementaryText, LeftAndMidCountUnitsAndMaySplitAPair) {
    const std::string text = "AB" + kTree + "C";
    const CutRow rows[] = {
        {text, -1, 2, "AB", "AB"},
        {text, -1, 3, "AB" + kTree, "AB" + kTreeHigh},
        {text, -1, 4, "AB" + kTree + "C", "AB" + kTree},
        {text, 3, -1, "C", kTreeLow + "C"},
        {text, 2, 1, kTree, kTreeHigh},
        {text, 2, 2, kTree + "C", kTree},
    };
    for (const CutRow& row : rows) {
        const COrvStringT whole = wide(row.text);
        const COrvStringT cut = row.first < 0 ? whole.Left(row.count) : whole.Mid(row.first, row.count);
        EXPECT_EQ(narrow(cut), kUnits16 ? row.cut16 : row.cut32) << row.first << ", " << row.count;
    }
}

struct FieldRow {
    std::string text;
    int width;
    bool alignRight;
    bool keepLonger;
    std::string field32;
    std::string field16;
};

TEST(SupplementaryText, FieldWidthsCountUnits) {
    const FieldRow rows[] = {
        // "AB" and a tree: 3 units or 4.
        {"AB" + kTree, 4, true, false, " AB" + kTree, "AB" + kTree},
        {"AB" + kTree, 5, false, false, "AB" + kTree + "  ", "AB" + kTree + " "},
        {"AB" + kTree, 3, true, false, "AB" + kTree, "AB" + kTreeHigh},
        {"AB" + kTree, 3, false, true, "AB" + kTree, "AB" + kTree},  // a longer text kept whole
        // Three trees: 3 units or 6.
        {repeat(kTree, 3), 4, false, false, repeat(kTree, 3) + " ", repeat(kTree, 2)},
        {repeat(kTree, 3), 5, false, false, repeat(kTree, 3) + "  ", repeat(kTree, 2) + kTreeHigh},
        {repeat(kTree, 3), 6, true, false, "   " + repeat(kTree, 3), repeat(kTree, 3)},
        // An ideograph and a digit: 2 units or 3.
        {kIdeograph + "1", 6, true, false, "    " + kIdeograph + "1", "   " + kIdeograph + "1"},
    };
    for (const FieldRow& row : rows) {
        const COrvStringT field = getReportString(L' ', row.width, row.alignRight, wide(row.text), row.keepLonger);
        EXPECT_EQ(narrow(field), kUnits16 ? row.field16 : row.field32)
            << row.text << " in " << row.width << (row.alignRight ? " right" : " left")
            << (row.keepLonger ? ", kept" : ", cut");
    }
}

}  // namespace
