// RW5 set-up records and the height state: occupy, LS lines and the backsight record.
#include "rw5/rw5_fixture.h"

namespace rw5test {
namespace {

TEST_F(Rw5Test, OccupyWritesCoordinatesAndAnAlwaysPresentNoteField) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->occupy(L"ignored", L"1", L"", 1000.0, 2000.0, 100.0, 1.5)),
              "OC,OP1,N 1000.0000,E 2000.0000,EL100.0000,--\r\n");
    EXPECT_EQ(narrow(rw5->occupy(L"", L"", L"on nail", -1.23456, 0.0, noValue, 1.5)),
              "OC,OP1,N -1.2346,E 0.0000,EL,--on nail\r\n");  // an empty name gets the next numeric name
    EXPECT_EQ(narrow(rw5->backsight(L"2", false, 0.0, 0.0)).substr(0, 8), "BK,OP1,B");
}

TEST_F(Rw5Test, CoordsAddsTheTailOnlyWhenGiven) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->coords(L"X,", 1.0, 2.0, 3.0, L"")), "X,N 1.0000,E 2.0000,EL3.0000");
    EXPECT_EQ(narrow(rw5->coords(L"", 1.0, 2.0, 3.0, L"!")), "N 1.0000,E 2.0000,EL3.0000!");
}

TEST_F(Rw5Test, FirstSetUpReportsItsInstrumentHeightOnce) {
    auto rw5 = make();
    rw5->occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    // Changed instrument height: written even though nothing else asks for it...
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0, true)), "LS,HI1.5000,HR-1.0000\r\n");
    // ...and then only target height changes of 0.001 or more.
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0, true)), "");
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0005, true)), "");
    EXPECT_EQ(narrow(rw5->lsHiHr(-0.9995, true)), "");
    EXPECT_EQ(narrow(rw5->lsHiHr(-0.998, true)), "LS,HI1.5000,HR-0.9980\r\n");
    EXPECT_EQ(narrow(rw5->lsHiHr(-0.998, false)), "LS,HI1.5000,HR-0.9980\r\n");
}

TEST_F(Rw5Test, SetUpWithTheSameInstrumentHeightKeepsTheChangedFlag) {
    auto rw5 = make();
    rw5->occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    rw5->occupy(L"", L"2", L"", 0, 0, 0, 1.5);  // not cleared in between: still pending
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0, true)), "LS,HI1.5000,HR-1.0000\r\n");
    rw5->occupy(L"", L"3", L"", 0, 0, 0, 1.5);  // same height: no new report
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0, true)), "");
    rw5->occupy(L"", L"4", L"", 0, 0, 0, 1.6);
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0, true)), "LS,HI1.6000,HR-1.0000\r\n");
}

TEST_F(Rw5Test, StartValuesAreMinusOne) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->lsHiHrIfHrChanged(-1.0)), "");  // equal to the start value
    EXPECT_EQ(narrow(rw5->lsHr(-1.0)), "");
    // No set-up yet: the flag is clear and -1.0 is within 0.001 of the start target height.
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0, true)), "");
    rw5->occupy(L"", L"1", L"", 0, 0, 0, -1.0);  // an instrument height of exactly -1.0 is no change
    EXPECT_EQ(narrow(rw5->lsHiHr(-1.0, true)), "");
}

TEST_F(Rw5Test, ExactComparisonsWriteEveryDifference) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->lsHiHrIfHrChanged(1.5)), "LS,HI-1.0000,HR1.5000\r\n");
    EXPECT_EQ(narrow(rw5->lsHiHrIfHrChanged(1.5000001)), "LS,HI-1.0000,HR1.5000\r\n");
    EXPECT_EQ(narrow(rw5->lsHiHrIfHrChanged(1.5000001)), "");
    EXPECT_EQ(narrow(rw5->lsHr(1.5)), "LS,HR1.500\r\n");  // three decimals here
    EXPECT_EQ(narrow(rw5->lsHr(1.5)), "");
    EXPECT_EQ(narrow(rw5->lsHr(1.5000001)), "LS,HR1.500\r\n");
}

TEST_F(Rw5Test, LsHiHrIfHrChangedLeavesTheChangedFlag) {
    auto rw5 = make();
    rw5->occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    rw5->lsHiHrIfHrChanged(1.7);
    EXPECT_EQ(narrow(rw5->lsHiHr(1.7, true)), "LS,HI1.5000,HR1.7000\r\n");
}

TEST_F(Rw5Test, HrFieldChangesNothing) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->hrField(1.5)), ",HR1.5000");
    EXPECT_EQ(narrow(rw5->hrField(noValue)), ",HR");
    EXPECT_EQ(narrow(rw5->lsHr(-1.0)), "");
}

TEST_F(Rw5Test, BacksightWritesTheSecondAngleFirst) {
    auto rw5 = make();
    rw5->occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    EXPECT_EQ(narrow(rw5->backsight(L"2", false, 10.5, 45.25)), "BK,OP1,BP2,BS45.1500,BC10.3000\r\n");
}

TEST_F(Rw5Test, BearingOnlyBacksightStillMapsItsName) {
    auto rw5 = make();
    rw5->occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    EXPECT_EQ(narrow(rw5->backsight(L"AZ", true, 0.0, 90.0)), "BK,OP1,BP0,BS90.0000,BC0.0000\r\n");
    EXPECT_TRUE(rw5->hasName(L"AZ"));
    EXPECT_EQ(narrow(rw5->backsight(L"", true, 0.0, 90.0)), "BK,OP1,BP0,BS90.0000,BC0.0000\r\n");
    // The empty name was numbered by the backsight. Names written as received are not taken
    // from the list, so the host reserves its job's names in the list it passes.
    EXPECT_EQ(narrow(rw5->cachedName(L"")), "1");
}

}  // namespace
}  // namespace rw5test
