// Distance and angle texts in every unit, packed degrees-minutes-seconds, conversions and
// field fitting.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "contracts/text_services.h"
#include "support/text.h"

using namespace orv::ie;
using namespace orv::ie::utils;
using testsupport::narrow;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct AngleCase {
    EAngleUnits style;
    double degrees;
    int decimals;
    const char* text;
};

class AngleTextTest : public ::testing::TestWithParam<AngleCase> {};

TEST_P(AngleTextTest, WritesTheAngle) {
    const AngleCase& c = GetParam();
    EXPECT_EQ(narrow(angleByStyleToString(c.style, c.degrees, c.decimals)), c.text)
        << c.degrees << " in style " << c.style << " with " << c.decimals;
}

INSTANTIATE_TEST_SUITE_P(PackedDms, AngleTextTest,
                         ::testing::Values(
                             // 88.5111° is 88°30'39.96": the seconds round to 40.
                             AngleCase{eDegMinSec, 88.5111, 4, "88.3040"},
                             // Rounding carries through seconds and minutes into the degrees: never a 60.
                             AngleCase{eDegMinSec, 10.999999, 4, "11.0000"},
                             AngleCase{eDegMinSec, 59.99995 / 3600.0, 5, "0.01000"},
                             AngleCase{eDegMinSec, 359.99999, 4, "360.0000"},
                             AngleCase{eDegMinSec, 30.0, 5, "30.00000"}, AngleCase{eDegMinSec, 12.5, 4, "12.3000"},
                             AngleCase{eDegMinSec, 1.0 / 3600.0, 4, "0.0001"},
                             AngleCase{eDegMinSec, 1.0 / 3600.0, 12, "0.000100000000"},
                             // Fewer decimals round to the last written digit: 1°, 10', 1', 10".
                             AngleCase{eDegMinSec, 12.6, 0, "13"}, AngleCase{eDegMinSec, 12.5, 1, "12.3"},
                             AngleCase{eDegMinSec, 12.5, 2, "12.30"}, AngleCase{eDegMinSec, 0.0125, 3, "0.005"},
                             AngleCase{eDegMinSec, 12.99, 1, "13.0"},
                             // Digits past the 11th decimal of a second are zeros.
                             AngleCase{eDegMinSec, 0.5, 20, "0.30000000000000000000"},
                             // Signs: negative values keep "-", a value that rounds to zero does not.
                             AngleCase{eDegMinSec, -30.5, 4, "-30.3000"}, AngleCase{eDegMinSec, -0.00001, 4, "0.0000"},
                             AngleCase{eDegMinSec, -0.0, 4, "0.0000"}, AngleCase{eDegMinSec, -0.0002, 4, "-0.0001"},
                             // Beyond a billion degrees the packed form has no meaning: decimal degrees.
                             AngleCase{eDegMinSec, 1e9, 2, "1000000000.00"},
                             AngleCase{eDegMinSec, -1e9, 0, "-1000000000"}, AngleCase{eDegMinSec, kNaN, 4, ""}));

TEST(PackedDms, HugeValuesAreDecimalDegrees) {
    EXPECT_EQ(narrow(angleByStyleToString(eDegMinSec, -DBL_MAX, 1)), narrow(orv_formats::DoubleToString(-DBL_MAX, 1)));
}

INSTANTIATE_TEST_SUITE_P(OtherStyles, AngleTextTest,
                         ::testing::Values(AngleCase{eGons, 90.0, 4, "100.0000"}, AngleCase{eGons, 360.0, 3, "400.000"},
                                           AngleCase{eMils, 90.0, 3, "1600.000"}, AngleCase{eMils, 1.0, 4, "17.7778"},
                                           AngleCase{eDecimalDegrees, 12.3456789, 5, "12.34568"},
                                           AngleCase{eDegrees, 12.3456789, 5, "12.34568"},
                                           AngleCase{static_cast<EAngleUnits>(-7), 1.25, 2, "1.25"},
                                           AngleCase{eGons, std::numeric_limits<double>::infinity(), 4, ""}));

TEST(DistanceText, ConvertsToTheStyleUnits) {
    EXPECT_EQ(narrow(distByStyleToString(eMeters, 1.0, 4)), "1.0000");
    EXPECT_EQ(narrow(distByStyleToString(eUSFeet, 1.0, 6)), "3.280833");
    EXPECT_EQ(narrow(distByStyleToString(eInternationalFeet, 1.0, 6)), "3.280840");
    EXPECT_EQ(narrow(distByStyleToString(eInternationalFeet, 0.3048, 4)), "1.0000");
    EXPECT_EQ(narrow(distByStyleToString(eUSFeet, 1200.0 / 3937.0, 4)), "1.0000");
    // Feet-and-inches display units are not text styles: their values stay in metres.
    EXPECT_EQ(narrow(distByStyleToString(eUSFeetInches, 1.0, 2)), "1.00");
    EXPECT_EQ(narrow(distByStyleToString(static_cast<EDistUnits>(99), -2.5, 1)), "-2.5");
    EXPECT_EQ(narrow(distByStyleToString(eUSFeet, kNaN, 3)), "");
}

TEST(UnitConversions, ExpressValuesInTheGivenUnits) {
    EXPECT_DOUBLE_EQ(fromMetersFactor(1200.0, eUSFeet), 3937.0);
    EXPECT_DOUBLE_EQ(fromMetersFactor(1200.0, eUSFeetInches), 3937.0);
    EXPECT_DOUBLE_EQ(fromMetersFactor(3.048, eInternationalFeetInches), 10.0);
    EXPECT_DOUBLE_EQ(fromMetersFactor(5.0, static_cast<EDistUnits>(-1)), 5.0);
    EXPECT_DOUBLE_EQ(fromCelsius(100.0, eFahrenheit), 212.0);
    EXPECT_DOUBLE_EQ(fromCelsius(-40.0, eFahrenheit), -40.0);
    EXPECT_DOUBLE_EQ(fromCelsius(20.0, static_cast<ETemperatureUnits>(9)), 20.0);
    EXPECT_DOUBLE_EQ(fromHpa(1013.25, eMillimetresHg), 1013.25 * 0.750061683);
    EXPECT_DOUBLE_EQ(fromHpa(1013.25, eInchesHg), 1013.25 * 0.0295299831);
    EXPECT_DOUBLE_EQ(fromHpa(1013.25, eHectoPascal), 1013.25);
}

TEST(AngleToDecDeg, UnpacksEveryUnit) {
    EXPECT_DOUBLE_EQ(angleToDecDeg(100.0, eGons), 90.0);
    EXPECT_DOUBLE_EQ(angleToDecDeg(1600.0, eMils), 90.0);
    EXPECT_DOUBLE_EQ(angleToDecDeg(0.0001, eDegMinSec), 1.0 / 3600.0);
    EXPECT_DOUBLE_EQ(angleToDecDeg(88.3040, eDegMinSec), 88.0 + 30.0 / 60.0 + 40.0 / 3600.0);
    // 0.29 is stored a hair below: it still reads as 29 minutes.
    EXPECT_NEAR(angleToDecDeg(0.29, eDegMinSec), 29.0 / 60.0, 1e-12);
    EXPECT_DOUBLE_EQ(angleToDecDeg(-12.3, eDegMinSec), -12.5);
    EXPECT_DOUBLE_EQ(angleToDecDeg(12.3, eDecimalDegrees), 12.3);
    EXPECT_TRUE(std::isnan(angleToDecDeg(kNaN, eDegMinSec)));
}

TEST(AngleMaths, BringsAnglesIntoRange) {
    EXPECT_EQ(toRange(360.0, 0.0, 360.0), 0.0);
    EXPECT_EQ(toRange(-30.0, 0.0, 360.0), 330.0);
    EXPECT_EQ(toRange(720.5, 0.0, 360.0), 0.5);
    EXPECT_EQ(toRange(-1e-20, 0.0, 360.0), 0.0);  // would round to 360, which lies outside
    double zero = toRange(-0.0, 0.0, 360.0);
    EXPECT_EQ(zero, 0.0);
    EXPECT_FALSE(std::signbit(zero));
    EXPECT_EQ(toRange(1e300, 0.0, 360.0), std::fmod(1e300, 360.0));
    EXPECT_TRUE(std::isnan(toRange(kNaN, 0.0, 360.0)));
    EXPECT_TRUE(std::isnan(toRange(std::numeric_limits<double>::infinity(), 0.0, 360.0)));
    EXPECT_TRUE(std::isnan(toRange(5.0, 1.0, 1.0)));
    EXPECT_EQ(ModDeg360(-90.0, true), 270.0);
    EXPECT_DOUBLE_EQ(Rad2Deg(kPi, false), 180.0);
    EXPECT_DOUBLE_EQ(Rad2Deg(-kPi / 2, true), 270.0);
    EXPECT_DOUBLE_EQ(Rad2Deg(-kPi / 2, false), -90.0);
}

TEST(CoordinateText, IsPlainDecimalsInEveryStyle) {
    EXPECT_EQ(narrow(coordsByStyleToString(eCoordsStyle5, 1234567.891, 3, eSignNegativeOnly)), "1234567.891");
    EXPECT_EQ(narrow(coordsByStyleToString(eCoordsPlain, -2.0, 2, eSignNegativeOnly)), "-2.00");
}

TEST(ReportString, PadsOnTheChosenSideAndCutsLongerTexts) {
    const COrvStringT abc(L"abc");
    EXPECT_EQ(narrow(getReportString(L' ', 6, true, abc, false)), "   abc");
    EXPECT_EQ(narrow(getReportString(L' ', 6, false, abc, false)), "abc   ");
    EXPECT_EQ(narrow(getReportString(L'0', 5, true, abc, true)), "00abc");
    EXPECT_EQ(narrow(getReportString(L' ', 2, true, abc, false)), "ab");
    EXPECT_EQ(narrow(getReportString(L' ', 2, false, abc, true)), "abc");
    EXPECT_EQ(narrow(getReportString(L' ', 3, false, abc, false)), "abc");
    EXPECT_EQ(narrow(getReportString(L' ', 0, false, abc, true)), "abc");
    EXPECT_EQ(narrow(getReportString(L' ', 0, false, abc, false)), "");
    EXPECT_EQ(narrow(getReportString(L' ', -4, true, abc, false)), "");
    EXPECT_EQ(narrow(getReportString(L'*', 3, true, COrvStringT(), false)), "***");
}

TEST(MbcsLength, CountsUtf8Bytes) {
    EXPECT_EQ(getMbcsLength(COrvStringT(L"abc")), 3);
    EXPECT_EQ(getMbcsLength(COrvStringT(L"\u00e9")), 2);
    EXPECT_EQ(getMbcsLength(COrvStringT(L"\u20ac")), 3);
    EXPECT_EQ(getMbcsLength(testsupport::wide("\xF0\x9F\x98\x80")), 4);
    EXPECT_EQ(getMbcsLength(COrvStringT()), 0);
}

}  // namespace
