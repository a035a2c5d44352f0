// Column edge cases of the SDR records (the golden job of sdr_job_test pins every record type's
// columns): a derivation as given, angular and unnamed coordinates, and the rule that an
// over-long field is cut so that the columns after it stay in place.
#include "sdr/sdr_fixture.h"

namespace sdrtest {
namespace {

using SdrColumns = SdrTest;

TEST_F(SdrColumns, StationDerivationIsWrittenAsGivenAndShiftsTheFields) {
    const std::string line = narrow(gen.occupy(L"", L"S", L"", 1.0, 2.0, 3.0, 0.0));
    EXPECT_EQ(columns(line, 1, 18), "02" + name16("S"));
    EXPECT_EQ(line.size(), 98u + 2u);
}

TEST_F(SdrColumns, CoordinateRecordAndFields) {
    const DexStation point(L"P1", 5010.0, 3020.0, 101.5);
    const std::string record = narrow(gen.coordinateRecord(L"08KI", L"P1", &point, L"PIN", 4, false, false));
    EXPECT_EQ(record, "08KI" + name16("P1") + value16("5010.0000") + value16("3020.0000") + value16("101.5000") +
                          value16("PIN") + "\r\n");

    // Angular coordinates: the first two values are angles with 9 decimals, the height stays a distance.
    const std::string fields = narrow(gen.coordinateFields(L"08KI", L"P2", &point, 0, false, true));
    EXPECT_EQ(fields,
              "08KI" + name16("P2") + value16("5010.000000000") + value16("3020.000000000") + value16("101.5000"));
    // An empty name writes no name field: the values follow the head directly.
    EXPECT_EQ(narrow(gen.coordinateFields(L"08KI", L"", &point, 0, false, false)),
              "08KI" + value16("5010.0000") + value16("3020.0000") + value16("101.5000"));
}

TEST_F(SdrColumns, OverlongFieldsAreCutSoLaterColumnsStayInPlace) {
    const std::string station =
        narrow(gen.occupy(L"NM", L"ABCDEFGHIJKLMNOPQRST", L"CODE_LONGER_THAN_16", 1.0, 2.0, 3.0, 4.0));
    EXPECT_EQ(columns(station, 5, 20), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(columns(station, 21, 36), value16("1.0000"));
    EXPECT_EQ(columns(station, 85, 102), "CODE_LONGER_THAN\r\n");

    const std::string note = narrow(gen.noteRecord(COrvStringT(L'x', 70), eNoteOS));
    EXPECT_EQ(note, "13OS" + std::string(60, 'x') + "\r\n");

    // A huge value is cut to its field like a long text.
    const std::string fields = narrow(gen.observationFields(-NV, 90.0, -NV));
    EXPECT_EQ(fields.size(), 48u);
    EXPECT_EQ(columns(fields, 17, 32), value16("90.00000000"));
}

TEST_F(SdrColumns, TextOfTheFirstLevelRecordIsKeptWhole) {
    // The description of the run's first point is the one field that is never cut.
    const std::string line = lines(gen.levelStartRecords(L"BM1", 5.0, L"A description longer than 16", 1)).at(0);
    EXPECT_EQ(line, "61LV" + value16("BM1") + "A description longer than 16" + value16("5.0000"));
    EXPECT_EQ(gen.reportStatus(), 0);
}

}  // namespace
}  // namespace sdrtest
