// Number texts: the bytes of every value the generators write start here.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "contracts/text_services.h"
#include "support/text.h"

using orv_formats::DoubleToString;
using orv_formats::IntToString;
using testsupport::narrow;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct FixedCase {
    double value;
    int decimals;
    const char* text;
};

class DoubleToStringTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(DoubleToStringTest, WritesFixedDecimals) {
    const FixedCase& c = GetParam();
    EXPECT_EQ(narrow(DoubleToString(c.value, c.decimals)), c.text) << c.value << " with " << c.decimals;
}

INSTANTIATE_TEST_SUITE_P(
    Rounding, DoubleToStringTest,
    ::testing::Values(FixedCase{1.5, 3, "1.500"}, FixedCase{1234.56789, 4, "1234.5679"},
                      // Rounding reads the binary value: 1.2345 is stored below the half, 1.2355 above it.
                      FixedCase{1.2345, 3, "1.234"}, FixedCase{1.2355, 3, "1.236"},
                      // Exact binary halves round to even, as printf does.
                      FixedCase{2.5, 0, "2"}, FixedCase{3.5, 0, "4"}, FixedCase{0.125, 2, "0.12"},
                      FixedCase{0.9999, 3, "1.000"}, FixedCase{99.9996, 3, "100.000"}, FixedCase{-1.5, 1, "-1.5"},
                      FixedCase{-0.0006, 3, "-0.001"}, FixedCase{12.0, 0, "12"},
                      FixedCase{1e21, 2, "1000000000000000000000.00"}));

INSTANTIATE_TEST_SUITE_P(ZeroHasNoSign, DoubleToStringTest,
                         ::testing::Values(FixedCase{-0.0, 3, "0.000"}, FixedCase{-0.0001, 3, "0.000"},
                                           FixedCase{-0.4, 0, "0"}, FixedCase{0.0, 0, "0"},
                                           FixedCase{-1e-300, 2, "0.00"}));

INSTANTIATE_TEST_SUITE_P(NegativeDecimalsMeanNone, DoubleToStringTest,
                         ::testing::Values(FixedCase{7.6, -1, "8"}, FixedCase{7.6, INT_MIN, "8"}));

TEST(DoubleToString, NonFiniteValuesGiveEmptyText) {
    EXPECT_EQ(narrow(DoubleToString(kNaN, 3)), "");
    EXPECT_EQ(narrow(DoubleToString(kInf, 3)), "");
    EXPECT_EQ(narrow(DoubleToString(-kInf, 0)), "");
}

TEST(DoubleToString, LargestDoubleIsWrittenInFull) {
    std::string text = narrow(DoubleToString(DBL_MAX, 4));
    EXPECT_EQ(text.size(), 309U + 5U);
    EXPECT_EQ(text.substr(0, 17), "17976931348623157");
    EXPECT_EQ(text.substr(text.size() - 5), ".0000");
    EXPECT_EQ(narrow(DoubleToString(-DBL_MAX, 0)).size(), 310U);
}

TEST(DoubleToString, DecimalsAreCappedWhereADoubleHasNoMoreDigits) {
    // The smallest subnormal has 1074 significant fraction digits; nothing lies beyond.
    std::string text = narrow(DoubleToString(std::numeric_limits<double>::denorm_min(), INT_MAX));
    EXPECT_EQ(text.size(), 2U + 1074U);
    EXPECT_EQ(text.back(), '5');
    EXPECT_EQ(narrow(DoubleToString(1.0, 2000)).size(), 2U + 1074U);
}

TEST(IntToString, CoversTheWholeIntRange) {
    EXPECT_EQ(narrow(IntToString(0)), "0");
    EXPECT_EQ(narrow(IntToString(-5)), "-5");
    EXPECT_EQ(narrow(IntToString(INT_MAX)), "2147483647");
    EXPECT_EQ(narrow(IntToString(INT_MIN)), "-2147483648");
}

TEST(RoundPrec, RoundsHalfAwayFromZeroOnTheExactValue) {
    using orv::math::round_prec;
    EXPECT_EQ(round_prec(2.5, 0), 3.0);
    EXPECT_EQ(round_prec(-2.5, 0), -3.0);
    EXPECT_EQ(round_prec(0.125, 2), 0.13);
    EXPECT_EQ(round_prec(-0.125, 2), -0.13);
    EXPECT_EQ(round_prec(9.5, 0), 10.0);
    EXPECT_EQ(round_prec(0.995, 2), 0.99);  // stored as 0.99499999…: below the half
    EXPECT_EQ(round_prec(1013.25, 0), 1013.0);
    EXPECT_EQ(round_prec(1013.5, 0), 1014.0);
    EXPECT_EQ(round_prec(1234.5, -1), 1230.0);
    EXPECT_EQ(round_prec(1e300, 2), 1e300);
    EXPECT_TRUE(std::isnan(round_prec(kNaN, 2)));
    EXPECT_EQ(round_prec(-kInf, 0), -kInf);
    EXPECT_EQ(round_prec(0.1, 5000), 0.1);
}

TEST(ToIntSaturated, SaturatesAndMapsNaNToZero) {
    using orv::math::toIntSaturated;
    EXPECT_EQ(toIntSaturated(1013.9), 1013);
    EXPECT_EQ(toIntSaturated(-7.9), -7);
    EXPECT_EQ(toIntSaturated(1e300), INT_MAX);
    EXPECT_EQ(toIntSaturated(-kInf), INT_MIN);
    EXPECT_EQ(toIntSaturated(kNaN), 0);
    EXPECT_EQ(toIntSaturated(2147483647.0), INT_MAX);
}

}  // namespace

namespace {

// The fast path for small magnitudes must agree with the general conversion to the byte.
TEST(DoubleToString, AgreesWithTheGeneralConversionEverywhere) {
    std::mt19937_64 random(20251205);
    std::uniform_int_distribution<std::uint64_t> bits;
    std::uniform_int_distribution<int> decimalsOf(0, 12);
    std::uniform_real_distribution<double> exponentOf(-12.0, 11.0);
    char expected[2048];
    int checked = 0;
    for (int i = 0; i < 200000; ++i) {
        double value = 0.0;
        switch (i % 4) {
            case 0: {  // any bit pattern
                std::uint64_t raw = bits(random);
                std::memcpy(&value, &raw, sizeof value);
                break;
            }
            case 1:  // magnitudes around the fast path's limits
                value = std::pow(10.0, exponentOf(random)) * (bits(random) % 2 ? 1 : -1);
                break;
            case 2:  // binary fractions: many are exact halves at some number of decimals
                value = static_cast<double>(bits(random) % 2000001) / static_cast<double>(1U << (bits(random) % 11)) -
                        500.0;
                break;
            default:  // survey-like values
                value = static_cast<double>(bits(random) % 100000000000ULL) / 10000.0;
                break;
        }
        if (!std::isfinite(value)) continue;
        const int decimals = decimalsOf(random);
        char* end = std::to_chars(expected, expected + sizeof expected, value, std::chars_format::fixed, decimals).ptr;
        std::string want(expected, end);
        if (want.find_first_of("123456789") == std::string::npos && want[0] == '-') want.erase(0, 1);
        ASSERT_EQ(narrow(DoubleToString(value, decimals)), want) << "value " << value << " decimals " << decimals;
        ++checked;
    }
    EXPECT_GT(checked, 150000);
}

}  // namespace
