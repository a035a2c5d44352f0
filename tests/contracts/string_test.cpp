// COrvStringT: the operations the records rely on, and printf-style formatting that does not
// depend on the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "contracts/orv_string.h"
#include "contracts/text_services.h"
#include "support/text.h"

using testsupport::narrow;

namespace {

template <class... Args>
std::string format(const wchar_t* pattern, Args... args) {
    COrvStringT text;
    text.Format(pattern, args...);
    return narrow(text);
}

TEST(OrvString, ConstructsFromRepeatsAndNull) {
    EXPECT_EQ(narrow(COrvStringT(L'x', 3)), "xxx");
    EXPECT_TRUE(COrvStringT(L'x', 0).IsEmpty());
    EXPECT_TRUE(COrvStringT(L'x', -5).IsEmpty());
    EXPECT_TRUE(COrvStringT(static_cast<const wchar_t*>(nullptr)).IsEmpty());
    COrvStringT withZero(L"a\0b", 3);
    EXPECT_EQ(withZero.GetLength(), 3);
}

TEST(OrvString, AssignsAndAppends) {
    COrvStringT text = L"ab";
    text += L'c';
    text += L"de";
    text += COrvStringT(L"f");
    EXPECT_EQ(narrow(text), "abcdef");
    text = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(text.IsEmpty());
    text = L'z';
    EXPECT_EQ(narrow(text), "z");
    text = text.GetString();  // assigning its own buffer
    EXPECT_EQ(narrow(text), "z");
}

TEST(OrvString, LeftAndMidStayInsideTheText) {
    const COrvStringT text = L"station";
    EXPECT_EQ(narrow(text.Left(4)), "stat");
    EXPECT_EQ(narrow(text.Left(40)), "station");
    EXPECT_EQ(narrow(text.Left(-1)), "");
    EXPECT_EQ(narrow(text.Mid(2, 3)), "ati");
    EXPECT_EQ(narrow(text.Mid(5)), "on");
    EXPECT_EQ(narrow(text.Mid(50, 2)), "");
    EXPECT_EQ(text.GetAt(99), L'\0');
}

TEST(OrvString, FindsCharactersAndTexts) {
    const COrvStringT text = L"TREE line-12 x";
    EXPECT_EQ(text.Find(L'E'), 2);
    EXPECT_EQ(text.Find(L'E', 3), 3);
    EXPECT_EQ(text.Find(L'q'), -1);
    EXPECT_EQ(text.Find(L"line-"), 5);
    EXPECT_EQ(text.Find(L"line-", 6), -1);
    EXPECT_EQ(text.Find(static_cast<const wchar_t*>(nullptr)), -1);
    EXPECT_EQ(text.FindOneOf(L"0123456789"), 10);
    EXPECT_EQ(text.FindOneOf(L""), -1);
}

TEST(OrvString, EditsInPlace) {
    COrvStringT text = L"A+1_B*_";
    EXPECT_EQ(text.Remove(L'_'), 2);
    EXPECT_EQ(narrow(text), "A+1B*");
    EXPECT_EQ(text.Replace(L'+', L'-'), 1);
    EXPECT_EQ(narrow(text), "A-1B*");
    EXPECT_EQ(text.Delete(1, 2), 3);
    EXPECT_EQ(narrow(text), "AB*");
    EXPECT_EQ(text.Delete(10, 2), 3);
    EXPECT_EQ(text.Delete(1, 100), 1);
    COrvStringT mixed = L"gon \u00e9t\u00e9";
    mixed.MakeUpper();
    EXPECT_EQ(narrow(mixed), "GON \xC3\x89T\xC3\x89");
    mixed.Empty();
    EXPECT_TRUE(mixed.IsEmpty());
}

TEST(OrvString, ComparesByCharacterCodes) {
    EXPECT_EQ(COrvStringT(L"A1").Compare(L"A1"), 0);
    EXPECT_LT(COrvStringT(L"A1").Compare(L"A11"), 0);
    EXPECT_GT(COrvStringT(L"B").Compare(L"A11"), 0);
    EXPECT_LT(COrvStringT(L"").Compare(L"a"), 0);
    EXPECT_EQ(COrvStringT(L"").Compare(static_cast<const wchar_t*>(nullptr)), 0);
    // Texts that differ after a zero character are still different keys.
    EXPECT_NE(COrvStringT(L"a\0b", 3).Compare(COrvStringT(L"a\0c", 3)), 0);
}

TEST(OrvString, BufferRoundTrip) {
    COrvStringT text;
    wchar_t* buffer = text.GetBufferSetLength(8);
    std::wcscpy(buffer, L"5/3");
    text.ReleaseBuffer(-1);
    EXPECT_EQ(narrow(text), "5/3");
    text.GetBufferSetLength(4);
    text.ReleaseBuffer(2);
    EXPECT_EQ(narrow(text), "5/");
}

TEST(OrvStringFormat, WritesTheRecordPatterns) {
    EXPECT_EQ(format(L"%02d", 3), "03");
    EXPECT_EQ(format(L"%02d", 64), "64");
    EXPECT_EQ(format(L"%02d-%02d-%04d", 7, 4, 2025), "07-04-2025");
    EXPECT_EQ(format(L"%.1lf", 20.0), "20.0");
    EXPECT_EQ(format(L"%.1lf", 1013.25), "1013.2");  // an exact half rounds to even
    EXPECT_EQ(format(L"%.6lf,%.6lf,%.6lf", 1.0 / 1.0001, 1.0, 0.0), "0.999900,1.000000,0.000000");
    EXPECT_EQ(format(L"%02.0f", 5.0), "05");
    EXPECT_EQ(format(L"%02.0f", -30.0), "-30");
    EXPECT_EQ(format(L"%02.0f", 0.4), "00");
    EXPECT_EQ(format(L"%02.0f", -0.4), "-0");
}

TEST(OrvStringFormat, FollowsPrintfFlagsAndConversions) {
    EXPECT_EQ(format(L"[%5d|%-5d|%+d|% d]", 42, 42, 42, 42), "[   42|42   |+42| 42]");
    EXPECT_EQ(format(L"%ld %lld %u %x %X", 7L, -8LL, 9U, 255U, 255U), "7 -8 9 ff FF");
    EXPECT_EQ(format(L"%d", std::numeric_limits<int>::min()), "-2147483648");
    EXPECT_EQ(format(L"%s|%5s|%-4s|%.2s", L"ab", L"ab", L"ab", L"abcdef"), "ab|   ab|ab  |ab");
    EXPECT_EQ(format(L"%c%c", L'O', L'K'), "OK");
    EXPECT_EQ(format(L"100%%"), "100%");
    EXPECT_EQ(format(L"%e", 12345.678), "1.234568e+04");
    EXPECT_EQ(format(L"%g", 0.0001), "0.0001");
    EXPECT_EQ(format(L"%08.3f", -1.5), "-001.500");
    EXPECT_EQ(format(L"%*d", 4, 7), "   7");
    EXPECT_EQ(format(L"%.*f", 2, 3.14159), "3.14");
    EXPECT_EQ(format(L"%f %f", std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()),
              "nan -inf");
    // An unknown conversion stays as written and takes no argument.
    EXPECT_EQ(format(L"%q%d", 5), "%q5");
}

TEST(OrvStringFormat, IgnoresTheProcessLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous != nullptr ? previous : "C";
    const char* comma = nullptr;
    // Windows names its locales otherwise: "de-DE" in the universal C runtime, the older
    // "German_Germany.1252" in msvcrt (the runtime of mingw-w64's programs, and Wine's).
#if defined(_WIN32)
    const auto names = {"de-DE", "German_Germany.1252"};
#else
    const auto names = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
#endif
    for (const char* name : names) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            comma = name;
            break;
        }
    }
    if (comma == nullptr) {
        if (std::getenv("EXPORTGEN_REQUIRE_COMMA_LOCALE") != nullptr) FAIL() << "no locale with a decimal comma";
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    std::string formatted = format(L"%.1lf", 2.5);
    std::string fixed = narrow(orv_formats::DoubleToString(1234.5, 2));
    std::string angle = narrow(orv::ie::utils::angleByStyleToString(orv::ie::eGons, 90.0, 3));
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(formatted, "2.5");
    EXPECT_EQ(fixed, "1234.50");
    EXPECT_EQ(angle, "100.000");
}

}  // namespace
