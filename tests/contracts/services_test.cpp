// Clock, device short date, heap failure injection, numeric point names and the job data.
#include <gtest/gtest.h>

#include <climits>
#include <new>

#include "contracts/dex_data.h"
#include "contracts/heap.h"
#include "contracts/text_services.h"
#include "support/text.h"

using namespace orv::ie;
using testsupport::narrow;

namespace {

class FixedClock : public ::testing::Test {
protected:
    void SetUp() override { base::CTime::SetFixedCurrentTime(base::CTime(2009, 3, 5, 14, 7, 9)); }
    void TearDown() override {
        base::CTime::ClearFixedCurrentTime();
        orv::platform::SetShortDatePattern(nullptr);
    }

    static std::string shortDate() {
        wchar_t buffer[256] = {};
        int written = orv::platform::GetDateFormatW(0x0400, 1, nullptr, nullptr, buffer, 256);
        EXPECT_GT(written, 0);
        return narrow(COrvStringT(buffer));
    }
};

TEST_F(FixedClock, ClockReturnsTheFixedInstant) {
    base::CTime now = base::CTime::GetCurrentTime();
    EXPECT_EQ(now.GetYear(), 2009);
    EXPECT_EQ(now.GetMonth(), 3);
    EXPECT_EQ(now.GetDay(), 5);
    EXPECT_EQ(now.GetHour(), 14);
    EXPECT_EQ(now.GetMinute(), 7);
    EXPECT_EQ(now.GetSecond(), 9);
}

TEST_F(FixedClock, ShortDateFollowsThePattern) {
    EXPECT_EQ(shortDate(), "3/5/2009");  // the default pattern M/d/yyyy
    orv::platform::SetShortDatePattern(L"dd.MM.yy");
    EXPECT_EQ(shortDate(), "05.03.09");
    orv::platform::SetShortDatePattern(L"yyyy-MM-dd 'week'");
    EXPECT_EQ(shortDate(), "2009-03-05 week");
    orv::platform::SetShortDatePattern(L"d.M.yyyy");
    EXPECT_EQ(shortDate(), "5.3.2009");
}

TEST_F(FixedClock, ShortDateNeedsRoomForItsZero) {
    wchar_t small[8] = {};
    EXPECT_EQ(orv::platform::GetDateFormatW(0x0400, 1, nullptr, nullptr, small, 8), 0);
    wchar_t exact[9] = {};
    EXPECT_EQ(orv::platform::GetDateFormatW(0x0400, 1, nullptr, nullptr, exact, 9), 9);
    EXPECT_EQ(orv::platform::GetDateFormatW(0x0400, 1, nullptr, nullptr, nullptr, 256), 0);
    EXPECT_EQ(orv::platform::GetDateFormatW(0x0400, 1, nullptr, L"yy", exact, 9), 3);
}

TEST(Heap, InjectedFailuresYieldNullThenRecover) {
    orv::heap::failAllocations(1, 2);
    void* first = orv_operator_new(16);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(orv_operator_new(16), nullptr);
    EXPECT_EQ(orv_operator_new(16), nullptr);
    void* after = orv_operator_new(16);
    EXPECT_NE(after, nullptr);
    orv_operator_delete(first);
    dlfree(after);
    orv::heap::failAllocations(0, 1);
    EXPECT_THROW(COrvStringT(L'x', 100), std::bad_alloc);
    orv::heap::failAllocations(0, 0);
}

TEST(FreeNumericNames, HandsOutTheSmallestFreeNumbers) {
    FreeNumericNames names;
    names.reserve(L"1");
    names.reserve(L"3");
    names.reserve(L"TREE");  // not numeric: no number in use
    EXPECT_EQ(narrow(names.getNameFor(L"")), "2");
    EXPECT_EQ(narrow(names.getNameFor(L"P7")), "4");
    EXPECT_EQ(narrow(names.getNameFor(L"5")), "5");  // numeric names are their own
    EXPECT_EQ(narrow(names.getNameFor(L"")), "6");
    EXPECT_EQ(narrow(names.getNameFor(L"6")), "6");  // a handed-out name maps to itself again
    EXPECT_TRUE(names.isUsed(5));
}

TEST(FreeNumericNames, KnowsWhichNamesAreNumeric) {
    EXPECT_EQ(FreeNumericNames::numberOf(L"42"), 42);
    EXPECT_EQ(FreeNumericNames::numberOf(L"007"), 7);
    EXPECT_EQ(FreeNumericNames::numberOf(L"999999999"), 999999999);
    EXPECT_EQ(FreeNumericNames::numberOf(L"1000000000"), 0);  // ten digits
    EXPECT_EQ(FreeNumericNames::numberOf(L"0"), 0);
    EXPECT_EQ(FreeNumericNames::numberOf(L"-4"), 0);
    EXPECT_EQ(FreeNumericNames::numberOf(L"4a"), 0);
    EXPECT_EQ(FreeNumericNames::numberOf(L""), 0);
}

TEST(FreeNumericNames, StartsAtItsStartAndCopiesAreIndependent) {
    FreeNumericNames names;
    names.setStart(100);
    EXPECT_EQ(narrow(names.getNameFor(L"")), "100");
    FreeNumericNames copy = names;
    EXPECT_EQ(narrow(copy.getNameFor(L"")), "101");
    EXPECT_EQ(narrow(copy.getNameFor(L"")), "102");
    EXPECT_EQ(narrow(names.getNameFor(L"")), "101");  // the original did not see the copy's names
    names.init();
    EXPECT_EQ(names.start(), 1);
    EXPECT_EQ(narrow(names.getNameFor(L"")), "1");
}

TEST(DexData, GettersLeaveOutParametersAloneWhenValuesAreMissing) {
    DexObservationInfo info;
    double value = 7.0;
    ETemperatureUnits temperatureUnits = eFahrenheit;
    EXPECT_FALSE(info.getTemperature(value, temperatureUnits));
    EXPECT_EQ(value, 7.0);
    EXPECT_EQ(temperatureUnits, eFahrenheit);
    info.setTemperature(21.5, eCelsius);
    EXPECT_TRUE(info.getTemperature(value, temperatureUnits));
    EXPECT_EQ(value, 21.5);

    DexJobInfo job;
    COrvStringT date = L"keep", time = L"keep";
    EXPECT_FALSE(job.getCreateTimeString(date, time));
    EXPECT_EQ(narrow(date), "keep");
    EDistUnits units = eUSFeet;
    EXPECT_FALSE(job.getDistUnits(units));
    EXPECT_EQ(units, eMeters);  // always written, so no caller reads an undefined value
}

TEST(DexData, CodesJoinInACodeStyle) {
    DexCodesDataInterface codes;
    DexCodeValues tree{DexCodeDescription(L"TREE")};
    DexCodeValues fence{DexCodeDescription(L"FENCE")};
    codes.addCode(tree);
    codes.addNullCode();
    codes.addCode(DexCodeValues());  // no description: no name
    codes.addCode(fence);
    DexCodeStyle slash;
    slash.separator = L"/";
    EXPECT_EQ(narrow(codes.getCodesAsCodeStyle(&slash, L"old oak", eCodeStyleFormat2)), "TREE/FENCE/old oak");
    EXPECT_EQ(narrow(codes.getCodesAsCodeStyle(nullptr, L"", eCodeStyleFormat2)), "TREE FENCE");
    DexCodesDataInterface none;
    EXPECT_EQ(narrow(none.getCodesAsCodeStyle(&slash, L"note", eCodeStyleFormat2)), "note");
    EXPECT_EQ(codes.getCode(1), nullptr);
    EXPECT_EQ(codes.getCode(-1), nullptr);
    EXPECT_EQ(codes.getCode(4), nullptr);
}

TEST(DexData, MeasurementValuesPastTheListAreZero) {
    DexTSRawMeasurement measurement(0, {30.0, 90.0});
    EXPECT_EQ(measurement.valueAt(1), 90.0);
    EXPECT_EQ(measurement.valueAt(2), 0.0);
    EXPECT_EQ(measurement.valueAt(-1), 0.0);
}

}  // namespace

namespace {

TEST(ShortDate, ExtremeClockValuesAreWrittenWhole) {
    base::CTime::SetFixedCurrentTime(base::CTime(INT_MIN, 12, 31, 0, 0, 0));
    wchar_t buffer[64] = {};
    EXPECT_GT(orv::platform::GetDateFormatW(0x0400, 1, nullptr, nullptr, buffer, 64), 0);
    base::CTime::ClearFixedCurrentTime();
    EXPECT_EQ(narrow(COrvStringT(buffer)), "12/31/-2147483648");
}

}  // namespace
