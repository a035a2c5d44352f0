// Limits of the number and field writers against arguments no record uses but a caller can
// pass: every text stays bounded and well-formed, whatever the int.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "contracts/dex_data.h"
#include "contracts/text_services.h"
#include "sdr/CSDRRawGenerator.h"
#include "support/text.h"
#include "surface/export_generators.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"

using namespace orv::ie;

namespace {

// A packed angle once honoured any number of decimals: INT_MAX asked for 8 GiB of zeros. It
// now stops at 1074 decimals, as every other number text does.
TEST(PackedAngleText, DecimalsStopWhereEveryNumberTextStops) {
    const COrvStringT widest = utils::angleByStyleToString(eDegMinSec, 10.5, 1074);
    EXPECT_EQ(widest.GetLength(), 3 + 1074);
    EXPECT_EQ(testsupport::narrow(widest).substr(0, 9), "10.300000");
    EXPECT_EQ(utils::angleByStyleToString(eDegMinSec, 10.5, INT_MAX), widest);
    EXPECT_EQ(utils::angleByStyleToString(eDegMinSec, 10.5, 1075), widest);
    EXPECT_EQ(testsupport::narrow(utils::angleByStyleToString(eDegMinSec, 10.5, INT_MIN)), "11");
}

// A Vemra distance field took its width as given: INT_MAX digits asked for 8 GiB. Widths stop
// at the widest field the contracts fill; every width up to it is honoured to the digit.
TEST(VemraDistanceField, WidthStopsAtTheWidestField) {
    DexSettings settings;
    DexJobInfo job;
    std::unique_ptr<CVemraRawDataGenerator> vemra(createVemraRawDataGenerator(&settings, &job, nullptr));
    ASSERT_NE(vemra, nullptr);
    EXPECT_EQ(testsupport::narrow(vemra->distField(12.5, true, true, 3, 8)), "+00012500m");
    const COrvStringT widest = vemra->distField(12.5, false, false, 3, utils::kMaxFieldWidth);
    EXPECT_EQ(widest.GetLength(), utils::kMaxFieldWidth);
    EXPECT_EQ(testsupport::narrow(widest).substr(utils::kMaxFieldWidth - 6), "012500");
    EXPECT_EQ(vemra->distField(12.5, false, false, 3, INT_MAX), widest);
    EXPECT_EQ(testsupport::narrow(vemra->distField(12.5, true, true, 3, INT_MIN)), "+m");
}

// A Drevan coordinate field took its width as given: INT_MAX digits took minutes and 8 GiB.
TEST(DrevanCoordinateField, WidthStopsAtTheWidestField) {
    DexSettings settings;
    DexJobInfo job;
    std::unique_ptr<CDrevanRawDataGenerator> drevan(createDrevanRawDataGenerator(&settings, &job, nullptr));
    ASSERT_NE(drevan, nullptr);
    EXPECT_EQ(testsupport::narrow(drevan->coordField(-12.5, true, false, 3, 8)), "-00012500");
    const COrvStringT widest = drevan->coordField(-12.5, true, false, 3, utils::kMaxFieldWidth);
    EXPECT_EQ(widest.GetLength(), 1 + utils::kMaxFieldWidth);
    EXPECT_EQ(drevan->coordField(-12.5, true, false, 3, INT_MAX), widest);
}

// A report field padded one character at a time up to any width: INT_MAX took minutes and
// 8 GiB (an SDR guarded field passes its width straight through).
TEST(ReportField, WidthStopsAtTheWidestField) {
    const COrvStringT widest = utils::getReportString(L' ', utils::kMaxFieldWidth, true, L"P1", false);
    EXPECT_EQ(widest.GetLength(), utils::kMaxFieldWidth);
    EXPECT_EQ(utils::getReportString(L' ', INT_MAX, true, L"P1", false), widest);
    const COrvStringT longText(L'x', utils::kMaxFieldWidth + 10);
    EXPECT_EQ(utils::getReportString(L' ', INT_MAX, true, longText, true), longText);  // kept whole
    EXPECT_EQ(utils::getReportString(L' ', INT_MAX, true, longText, false).GetLength(), utils::kMaxFieldWidth);

    DexSettings settings;
    DexJobInfo job;
    std::unique_ptr<CSDRRawGenerator> sdr(createSdrRawGenerator(&settings, &job));
    ASSERT_NE(sdr, nullptr);
    EXPECT_EQ(sdr->guardedField(INT_MAX, true, L"P1"), widest);
    EXPECT_EQ(sdr->reportStatus(), 0);
    EXPECT_EQ(sdr->guardedField(INT_MIN, true, L"P1"), COrvStringT());
    EXPECT_EQ(sdr->reportStatus(), CSDRRawGenerator::kFieldOverflow);  // the name did not fit
}

// Rounding to a negative number of decimals negated the count: INT_MIN overflowed. Rounding to
// tens, hundreds… still works, and to a unit beyond every double it gives zero.
TEST(Rounding, AnyNegativeNumberOfDecimals) {
    EXPECT_EQ(orv::math::round_prec(1234.5, -2), 1200.0);
    EXPECT_EQ(orv::math::round_prec(1250.0, -2), 1300.0);
    EXPECT_EQ(orv::math::round_prec(1234.5, INT_MIN), 0.0);
    EXPECT_EQ(orv::math::round_prec(1234.5, -400), 0.0);
}

}  // namespace
