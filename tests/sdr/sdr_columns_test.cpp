// Column positions of every SDR record type, checked by slicing the fixed-width lines, and the
// rule that an over-long field is cut so that the columns after it stay in place.
#include "sdr/sdr_fixture.h"

namespace sdrtest {
namespace {

using SdrColumns = SdrTest;

TEST_F(SdrColumns, StationRecord) {
    const std::string line = narrow(gen.occupy(L"NM", L"STN1", L"CP", 5000.0, 3000.0, 100.0, 1.55));
    EXPECT_EQ(columns(line, 1, 4), "02NM");
    EXPECT_EQ(columns(line, 5, 20), name16("STN1"));
    EXPECT_EQ(columns(line, 21, 36), value16("5000.0000"));
    EXPECT_EQ(columns(line, 37, 52), value16("3000.0000"));
    EXPECT_EQ(columns(line, 53, 68), value16("100.0000"));
    EXPECT_EQ(columns(line, 69, 84), value16("1.5500"));
    EXPECT_EQ(columns(line, 85, 100), value16("CP"));
    EXPECT_EQ(line.substr(100), "\r\n");
}

TEST_F(SdrColumns, StationDerivationIsWrittenAsGivenAndShiftsTheFields) {
    const std::string line = narrow(gen.occupy(L"", L"S", L"", 1.0, 2.0, 3.0, 0.0));
    EXPECT_EQ(columns(line, 1, 18), "02" + name16("S"));
    EXPECT_EQ(line.size(), 98u + 2u);
}

TEST_F(SdrColumns, BacksightRecord) {
    gen.occupy(L"NM", L"STN1", L"", 0.0, 0.0, 0.0, 1.5);
    const std::string line = narrow(gen.backsight(L"BS1", false, 12.5, 45.25));
    EXPECT_EQ(columns(line, 1, 4), "07TP");
    EXPECT_EQ(columns(line, 5, 20), name16("STN1"));
    EXPECT_EQ(columns(line, 21, 36), name16("BS1"));
    EXPECT_EQ(columns(line, 37, 52), value16("12.50000000"));  // the first angle first
    EXPECT_EQ(columns(line, 53, 68), value16("45.25000000"));
    EXPECT_EQ(line.substr(68), "\r\n");
}

TEST_F(SdrColumns, ObservationRecordWithCode) {
    gen.occupy(L"NM", L"STN1", L"", 0.0, 0.0, 0.0, 1.5);
    DexTSRawFS sight = foresightTo(L"101", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {30.0, 90.0, 100.0}));
    sight.codes.addCode(code("TREE"));
    const std::string line = lines(gen.sightNoteLine(&sight, nullptr)).at(0);
    EXPECT_EQ(columns(line, 1, 4), "09F1");
    EXPECT_EQ(columns(line, 5, 20), name16("STN1"));
    EXPECT_EQ(columns(line, 21, 36), name16("101"));
    EXPECT_EQ(columns(line, 37, 52), value16("100.0000"));     // slope distance
    EXPECT_EQ(columns(line, 53, 68), value16("90.00000000"));  // zenith angle
    EXPECT_EQ(columns(line, 69, 84), value16("30.00000000"));  // horizontal angle
    EXPECT_EQ(columns(line, 85, 100), value16("TREE"));
    EXPECT_EQ(line.size(), 100u);
}

TEST_F(SdrColumns, NoteRecordAndAttributeNote) {
    const std::string note = narrow(gen.noteRecord(L"abc", eNoteNM));
    EXPECT_EQ(note, "13NM" + field("abc", 60, false) + "\r\n");

    DexCodesDataInterface codes;
    codes.addCode(code("TREE", {{"HEIGHT", "12"}}));
    const std::string attribute = lines(gen.attributeNotes(&codes)).at(0);
    EXPECT_EQ(columns(attribute, 1, 4), "13AT");
    EXPECT_EQ(columns(attribute, 5, 24), field("HEIGHT", 20, false));
    EXPECT_EQ(columns(attribute, 25, 64), field("12", 40, false));
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

TEST_F(SdrColumns, LevelStartRecords) {
    const std::vector<std::string> out = lines(gen.levelStartRecords(L"BM1", 100.0, L"Start", 12));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "61LV" + value16("BM1") + value16("Start") + value16("100.0000"));
    EXPECT_EQ(columns(out[1], 1, 4), "62LV");
    EXPECT_EQ(columns(out[1], 5, 9), "   12");
    EXPECT_EQ(columns(out[1], 10, 25), name16("BM1"));
    EXPECT_EQ(columns(out[1], 26, 30), "    0");
    EXPECT_EQ(out[1].size(), 30u);
}

TEST_F(SdrColumns, LevelReadingRecords) {
    const DexTSRawMeasurement single(0, {7.0, 1.2345, 8.0});
    const std::string r63 = lines(gen.levelReadingRecord(L"BM1", 101.5, &single, 30.0, L"BS", false, 3)).at(0);
    const DexTSRawMeasurement triple(1, {25.5, 1.5, 24.75});
    const std::string r64 = lines(gen.levelReadingRecord(L"TP1", 99.5, &triple, 28.0, L"FS", true, 4)).at(0);
    // Shared columns; kind 0 writes a "63LV" record, any other kind a "64LV" one.
    EXPECT_EQ(columns(r63, 1, 4), "63LV");
    EXPECT_EQ(columns(r64, 1, 4), "64LV");
    EXPECT_EQ(columns(r63, 5, 20), name16("BM1"));
    EXPECT_EQ(columns(r63, 21, 36), value16("101.5000"));
    EXPECT_EQ(columns(r63, 37, 52), value16("1.2345"));  // value 1 of the reading
    EXPECT_EQ(columns(r63, 53, 68), name16("BS"));       // the text is right-aligned
    EXPECT_EQ(columns(r63, 69, 73), "    3");
    EXPECT_EQ(columns(r63, 74, 78), "    0");  // flag false
    EXPECT_EQ(columns(r64, 74, 78), "    1");  // flag true
    EXPECT_EQ(columns(r63, 79, 83), "    0");
    EXPECT_EQ(columns(r63, 84, 99), value16("30.0000"));
    EXPECT_EQ(r63.size(), 99u);
    EXPECT_EQ(columns(r64, 100, 115), value16("25.5000"));  // value 0
    EXPECT_EQ(columns(r64, 116, 131), value16("24.7500"));  // value 2
    EXPECT_EQ(r64.size(), 131u);
}

TEST_F(SdrColumns, StakeoutNotesPadOnlyTheirLabels) {
    const std::vector<std::string> out = lines(gen.stakeoutNotes(L"D7", L"S7", 0.012, -0.034, 0.25));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "13SOPt S7" + name16(" Design ID ") + "D7");
    EXPECT_EQ(out[1], "13SOCut 0.2500" + value16(" North ") + "0.0120" + value16(" East ") + "-0.0340");
}

TEST_F(SdrColumns, ObservedPointNoteAndCoordinates) {
    const DexStation point(L"P200", 5010.0, 3020.0, 101.5);
    const DexTSRawMeasurement shot(0, {63.5, 87.5, 22.25});
    const std::vector<std::string> out = lines(gen.anglePointRecords(&point, &shot, L"PIN"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "13OS" + field(" Az: 63.500000000, ZA: 87.500000000, HDist: 22.2500", 60, false));
    EXPECT_EQ(out[1], "08TP" + name16("P200") + value16("5010.0000") + value16("3020.0000") + value16("101.5000") +
                          value16("PIN"));
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
