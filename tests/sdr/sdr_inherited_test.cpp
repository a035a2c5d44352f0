// The RW5 operations that the SDR generator inherits: they write "13NM" where RW5 writes its
// note prefix and format their values with the SDR number styles, except for the three field
// writers that the offset record calls directly.
#include "contracts/text_services.h"
#include "rw5/CRW5Generator.h"
#include "sdr/sdr_fixture.h"

namespace sdrtest {
namespace {

// Generators of both formats in the same units: default angles (SDR: decimal degrees with 6
// decimals, RW5: packed degrees-minutes-seconds) and display feet-and-inches (SDR:
// international feet, RW5: US survey feet).
class SdrInherited : public ::testing::Test {
protected:
    SdrInherited()
        : settings(eInternationalFeetInches, eDegrees),
          sdr(&settings, &job),
          rw5(&settings, &job, nullptr, false, false) {}

    DexSettings settings;
    DexJobInfo job;
    CSDRRawGenerator sdr;
    CRW5Generator rw5;
};

TEST_F(SdrInherited, NotesCarryTheSdrNoteHead) {
    EXPECT_EQ(narrow(sdr.notePrefix()), "13NM");
    EXPECT_EQ(narrow(sdr.noteLine(COrvStringT(L"text"))), "13NMtext\r\n");
    EXPECT_EQ(narrow(sdr.noteLine(L"text")), "13NMtext\r\n");
    EXPECT_EQ(narrow(sdr.beginMarker()), "13NMBEG\r\n");
    EXPECT_EQ(narrow(sdr.endMarker()), "13NMEND\r\n");
    EXPECT_EQ(narrow(sdr.recallList({L"A", L"B", L"C"})), "13NMC3\r\n13NMRECALL A\r\n13NMRECALL B\r\n");

    job.appName = L"Field";
    job.appVersion = L"2.1";
    COrvStringT comment, jobLine, mode;
    EXPECT_TRUE(sdr.header(comment, jobLine, mode));
    EXPECT_EQ(narrow(comment), "13NMField Version 2.1\r\n");
    EXPECT_EQ(narrow(mode), "MO,AD0,UN2,SF1.0,EC0,EO0.0,AU0\r\n");  // the RW5 mode line, unchanged
}

TEST_F(SdrInherited, QualityNotesUseTheSdrNumberStyles) {
    // 1 m: 3.2808 international feet (SDR) against 3.2808 US survey feet (RW5) at 4 decimals,
    // so use 1000 m to see the styles apart.
    EXPECT_EQ(narrow(sdr.targetHeightNote(1000.0)), "13NMHR3280.8399\r\n");
    EXPECT_EQ(narrow(rw5.targetHeightNote(1000.0)), "--HR3280.8333\r\n");
    EXPECT_EQ(narrow(sdr.backsightHeightNote(1000.0)), "13NMBacksight HR:3280.8399\r\n");

    // Angles: decimal degrees with 6 decimals instead of packed degrees-minutes-seconds.
    EXPECT_EQ(lines(sdr.resectionErrorNotes(0.5, 0.25, 0.0, 0.0, 0.0, 0.0)).at(0),
              "13NMHorizontal Angle Error: 0.500000");
    EXPECT_EQ(lines(rw5.resectionErrorNotes(0.5, 0.25, 0.0, 0.0, 0.0, 0.0)).at(0), "--Horizontal Angle Error: 0.30000");
    EXPECT_EQ(narrow(sdr.worstResidualNotes(0.5, -NV, NV)), "13NMHorizontal Angle Worst Residual: 0.500000\r\n");

    sdr.occupy(L"NM", L"STN", L"", 0.0, 0.0, 0.0, 1.5);
    const std::vector<std::string> check = lines(sdr.backsightCheckNotes(L"BS", 90.0, NV, 0.5, NV, 0.0, 0.0));
    ASSERT_EQ(check.size(), 2u);
    // The SDR angle formatter writes a missing angle as empty text; a missing distance too.
    EXPECT_EQ(check[0], "13NMBS check STN - BS:ZE90.000000,SD,HD err= 0.0000,VD err= 0.0000");
    EXPECT_EQ(check[1], "13NMBS Circle Check : horizontal angular err= 0.500000, vertical angular err= ");
}

TEST_F(SdrInherited, OffsetRecordKeepsTheRw5FieldsWithSdrValues) {
    DexTSRawFS sight = foresightTo(L"7", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {-30.0, 90.0, 1000.0}));
    // RW5 tags, SDR number texts: the fields come from the RW5 writers, the values from SDR d and a.
    EXPECT_EQ(narrow(sdr.offsetRecord(&sight, 0, L"")), "OF,AL30.000000,ZE90.000000,SD3280.8399\r\n");
    EXPECT_EQ(narrow(rw5.offsetRecord(&sight, 0, L"")), "OF,AL30.00000,ZE90.00000,SD3280.8333\r\n");
    // A headless record becomes a "13NM" note.
    EXPECT_EQ(narrow(sdr.offsetRecord(&sight, 5, L",--t")), "13NMAL30.000000,ZE90.000000,SD3280.8399,--t\r\n");
    EXPECT_EQ(narrow(sdr.offsetRecord(&sight, 1, L"")), "13NMOF,AL30.000000,ZE90.000000,SD3280.8399\r\n");
    EXPECT_EQ(narrow(sdr.offsetRecord(&sight, 2, L"")).substr(0, 22), "13NMHI-1.000,HR-1.000,");

    sight.setMeasurement(DexTSRawMeasurement(eKindAngleAndHorizontalDistance, {30.0, 3.0, 4.0}));
    EXPECT_EQ(narrow(sdr.offsetRecord(&sight, 0, L"")), "OF,AR30.000000,CE13.1234,HD9.8425\r\n");

    sight.setMeasurement(DexTSRawMeasurement(eKindAnglesOnly, {-12.5, 95.0}));
    sight.setMeasType(DexTSRawFS::eMeasHorizontalAngleOffset);
    EXPECT_EQ(narrow(sdr.offsetRecord(&sight, 0, L"")), "OF,AL12.500000,--Left Angle Offset\r\n");

    sight.setMeasurement(DexTSRawMeasurement(eKindDistanceOffsets, {-0.5, 2.0, 1.25}));
    sight.setMeasType(DexTSRawFS::eMeasDistanceOffsetsText);
    EXPECT_EQ(lines(sdr.offsetRecord(&sight, 3, L"")).at(0), "13NMPerpendicular Distance Offset: 6.5617");
}

TEST_F(SdrInherited, StoredPointsAndLsRecordsAreRw5RecordsWithSdrValues) {
    const DexStation point(L"P1", 1000.0, 0.0, NV);
    EXPECT_EQ(narrow(sdr.storePoint(L"SP", L"P1", &point, L"n", 4, false)), "SP,PNP1,N 3280.8399,E 0.0000,EL,--n\r\n");
    EXPECT_EQ(narrow(sdr.coordinateRecord(L"08TP", L"P1", &point, L"", 4, false, false)), "");  // already stored
    EXPECT_EQ(narrow(sdr.lsHr(1000.0)), "LS,HR3280.840\r\n");
    EXPECT_EQ(narrow(sdr.hrField(1000.0)), ",HR3280.8399");
    EXPECT_EQ(narrow(sdr.noteField(L"CODE")), value16("CODE"));  // the SDR code field replaces ",--"
}

}  // namespace
}  // namespace sdrtest
