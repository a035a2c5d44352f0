// RW5 header, value formatters, point names, notes, recall lists and quality notes.
#include "rw5/rw5_fixture.h"

namespace rw5test {
namespace {

struct Header {
    std::string comment, job, mode;
};

Header headerOf(CRW5Generator& rw5) {
    COrvStringT comment, jobLine, mode;
    EXPECT_TRUE(rw5.header(comment, jobLine, mode));
    return {narrow(comment), narrow(jobLine), narrow(mode)};
}

TEST_F(Rw5Test, HeaderWritesProgramJobDateMonthFirstAndModes) {
    Header h = headerOf(*make());
    EXPECT_EQ(h.comment, "--Field Version 2.1\r\n");
    EXPECT_EQ(h.job, "JB,NMJ1,DT07-04-2025,TM09:05:03\r\n");
    EXPECT_EQ(h.mode, "MO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n");
}

TEST_F(Rw5Test, HeaderReadsTheClockAtEachCall) {
    auto rw5 = make();
    headerOf(*rw5);
    base::CTime::SetFixedCurrentTime(base::CTime(1999, 12, 31, 23, 59, 58));
    EXPECT_EQ(headerOf(*rw5).job, "JB,NMJ1,DT12-31-1999,TM23:59:58\r\n");
}

TEST_F(Rw5Test, HeaderUnitAndAngleDigitsForEveryUnit) {
    // Distance: 1 metres, 0 international feet, 2 US survey feet and every other unit.
    const std::pair<int, char> distances[] = {{0, '1'}, {1, '2'}, {2, '0'}, {3, '2'}, {4, '2'}, {7, '2'}, {-1, '2'}};
    for (auto [units, digit] : distances) {
        settings.setDistUnits(static_cast<EDistUnits>(units));
        EXPECT_EQ(headerOf(*make()).mode.substr(9, 1), std::string(1, digit)) << "distance units " << units;
    }
    // Angle: 1 gons, 0 for everything else.
    const std::pair<int, char> angles[] = {{0, '0'}, {1, '1'}, {2, '0'}, {3, '0'}, {4, '0'}, {9, '0'}};
    for (auto [units, digit] : angles) {
        settings.setAngleUnits(static_cast<EAngleUnits>(units));
        EXPECT_EQ(headerOf(*make()).mode.substr(29, 1), std::string(1, digit)) << "angle units " << units;
    }
}

TEST_F(Rw5Test, HeaderWithoutJobInformationStillWritesItsLines) {
    CRW5Generator rw5(nullptr, nullptr, nullptr, false, false);
    COrvStringT comment, jobLine, mode;
    EXPECT_TRUE(rw5.header(comment, jobLine, mode));
    EXPECT_EQ(narrow(comment), "-- Version \r\n");
    EXPECT_EQ(narrow(jobLine), "JB,NM,DT07-04-2025,TM09:05:03\r\n");
    EXPECT_EQ(narrow(mode), "MO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n");
}

TEST_F(Rw5Test, DistancesFollowTheJobUnitsAndNoValueIsEmpty) {
    struct Case {
        EDistUnits units;
        const char* text;
    };
    for (Case c : {Case{eMeters, "1.0000"}, Case{eInternationalFeet, "3.2808"}, Case{eUSFeet, "3.2808"},
                   Case{eUSFeetInches, "3.2808"}, Case{eInternationalFeetInches, "3.2808"}}) {
        settings.setDistUnits(c.units);
        EXPECT_EQ(narrow(make()->d(1.0, 4)), c.text) << "units " << c.units;
    }
    // International and US survey feet differ in the seventh digit.
    settings.setDistUnits(eInternationalFeet);
    EXPECT_EQ(narrow(make()->d(1000.0, 4)), "3280.8399");
    settings.setDistUnits(eInternationalFeetInches);  // written as US survey feet
    EXPECT_EQ(narrow(make()->d(1000.0, 4)), "3280.8333");
    EXPECT_EQ(narrow(make()->d(noValue, 4)), "");
    EXPECT_EQ(narrow(make()->d(-noValue, 0)), "");  // overflows to infinity in feet
    settings.setDistUnits(eMeters);
    EXPECT_EQ(narrow(make()->d(-noValue, 0)).size(), 310U);  // only +noValue means missing
}

TEST_F(Rw5Test, AnglesAreGonsOrPackedDms) {
    settings.setAngleUnits(eGons);
    EXPECT_EQ(narrow(make()->a(90.0, 5)), "100.00000");
    for (int units : {0, 2, 3, 4, 8}) {
        settings.setAngleUnits(static_cast<EAngleUnits>(units));
        EXPECT_EQ(narrow(make()->a(88.5111, 4)), "88.3040") << "angle units " << units;
    }
}

TEST_F(Rw5Test, NamesAreMappedOnceAndEmptyNamesGetNumbers) {
    FreeNumericNames names;
    names.reserve(L"1");
    names.reserve(L"2");
    auto rw5 = make(false, false, &names);
    EXPECT_FALSE(rw5->hasName(L"P7"));
    EXPECT_EQ(narrow(rw5->cachedName(L"P7")), "P7");
    EXPECT_TRUE(rw5->hasName(L"P7"));
    EXPECT_EQ(narrow(rw5->cachedName(L"")), "3");
    // Every later empty name gets the output name the first one got: the map is keyed by input.
    EXPECT_EQ(narrow(rw5->cachedName(L"")), "3");
    EXPECT_EQ(narrow(rw5->pointName(L"")), "4");  // the bare lookup asks the list again
    // The host's list is untouched by the generator's copy.
    EXPECT_FALSE(names.isUsed(3));
}

TEST_F(Rw5Test, ForcedNamesReplaceEveryName) {
    auto rw5 = make(true);
    EXPECT_EQ(narrow(rw5->cachedName(L"TREE")), "1");
    EXPECT_EQ(narrow(rw5->cachedName(L"P7")), "2");
    EXPECT_EQ(narrow(rw5->cachedName(L"TREE")), "1");
    EXPECT_EQ(narrow(rw5->cachedName(L"5")), "5");  // a numeric name is its own numeric name
    EXPECT_EQ(narrow(rw5->cachedName(L"")), "3");
}

TEST_F(Rw5Test, NoteLinesFieldsAndMarkers) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->noteLine(COrvStringT(L"checked"))), "--checked\r\n");
    EXPECT_EQ(narrow(rw5->noteLine(COrvStringT())), "");
    EXPECT_EQ(narrow(rw5->noteLine(L"same work")), "--same work\r\n");
    EXPECT_EQ(narrow(rw5->noteField(L"")), ",--");
    EXPECT_EQ(narrow(rw5->noteField(L"x")), ",--x");
    EXPECT_EQ(narrow(rw5->notePrefix()), "--");
    EXPECT_EQ(narrow(rw5->beginMarker()), "--BEG\r\n");
    EXPECT_EQ(narrow(rw5->endMarker()), "--END\r\n");
    EXPECT_EQ(narrow(rw5->emptyText()), "");
    EXPECT_EQ(narrow(rw5->emptyText(7)), "");
}

TEST_F(Rw5Test, RecallListLeavesOutTheLastEntry) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->recallList({L"1", L"2", L"3"})), "--C3\r\n--RECALL 1\r\n--RECALL 2\r\n");
    EXPECT_EQ(narrow(rw5->recallList({L"1"})), "--C3\r\n");
    EXPECT_EQ(narrow(rw5->recallList({})), "--C3\r\n");
}

TEST_F(Rw5Test, ResectionErrorNotesAlwaysWriteSixLines) {
    EXPECT_EQ(narrow(make()->resectionErrorNotes(0.001, 0.5, 0.0123, -0.25, 1.0, noValue)),
              "--Horizontal Angle Error: 0.00036\r\n"
              "--Zenith Angle Error: 0.30000\r\n"
              "--Slope Distance Error: 0.0123\r\n"
              "--Horizontal Angle Error compares to the average: -0.15000\r\n"
              "--Zenith Angle Error compares to the average: 1.00000\r\n"
              "--Slope Distance Error compares to the average: \r\n");
}

TEST_F(Rw5Test, WorstResidualsLeaveOutValuesThatWereNotComputed) {
    auto rw5 = make();
    EXPECT_EQ(narrow(rw5->worstResidualNotes(0.01, -noValue, 0.002)),
              "--Horizontal Angle Worst Residual: 0.00360\r\n"
              "--Slope Distance Worst Residual: 0.0020\r\n");
    const double none = noValue;
    EXPECT_EQ(narrow(rw5->worstResidualNotes(none, none, -none)), "");
    EXPECT_EQ(narrow(rw5->targetHeightNote(1.5)), "--HR1.5000\r\n");
}

TEST_F(Rw5Test, BacksightCheckNotesNameTheCurrentStation) {
    auto rw5 = make();
    // Before any set-up the station part is empty.
    EXPECT_EQ(narrow(rw5->backsightCheckNotes(L"2", 90.0, 100.0, 0.001, -0.002, 0.003, -0.004)),
              "--BS check  - 2:ZE90.00000,SD100.0000,HD err= 0.0030,VD err= -0.0040\r\n"
              "--BS Circle Check : horizontal angular err= 0.00036, vertical angular err= -0.00072\r\n");
    rw5->occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    std::string notes = narrow(rw5->backsightCheckNotes(L"", 90.0, 100.0, 0.0, 0.0, 0.0, 0.0));
    EXPECT_EQ(notes, "--BS Circle Check : horizontal angular err= 0.00000, vertical angular err= 0.00000\r\n");
    EXPECT_EQ(narrow(rw5->backsightCheckNotes(L"2", 90.0, 100.0, 0, 0, 0, 0)).substr(0, 18), "--BS check 1 - 2:Z");
    EXPECT_EQ(narrow(rw5->backsightHeightNote(1.65)), "--Backsight HR:1.6500\r\n");
}

}  // namespace
}  // namespace rw5test
