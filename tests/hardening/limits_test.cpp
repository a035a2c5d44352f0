// Limits of the number and field writers against arguments no record uses but a caller can
// pass: every text stays bounded and well-formed, whatever the int.
#include <gtest/gtest.h>

#include <climits>

#include "contracts/text_services.h"
#include "support/text.h"

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

}  // namespace
