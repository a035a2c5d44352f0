// Behaviour of the SDR records: value formatters by unit, note kinds, the station and
// backsight state, observation fields by measurement kind, code notes, the overflow status and
// absent (null) data objects.
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "sdr/sdr_fixture.h"

namespace sdrtest {
namespace {

using SdrRecords = SdrTest;

// ---------------------------------------------------------------------------------------------
// Formatters

TEST(SdrFormatters, DistanceStyleFollowsTheJobUnits) {
    // The feet-and-inches units write the feet they are based on; unknown units write metres.
    const struct {
        int units;
        const char* text;
    } cases[] = {{0, "1000.0000"}, {1, "3280.8333"}, {2, "3280.8399"}, {3, "3280.8333"},
                 {4, "3280.8399"}, {5, "1000.0000"}, {-1, "1000.0000"}};
    DexJobInfo job;
    for (const auto& c : cases) {
        DexSettings settings(static_cast<EDistUnits>(c.units), eDecimalDegrees);
        CSDRRawGenerator gen(&settings, &job);
        EXPECT_EQ(narrow(gen.d(1000.0, 4)), c.text) << "units " << c.units;
        EXPECT_EQ(narrow(gen.d(NV, 4)), "") << "units " << c.units;
    }
}

TEST(SdrFormatters, AngleStyleFollowsTheJobUnits) {
    // Degrees-minutes-seconds jobs write decimal degrees; the default and unknown units write
    // decimal degrees with 6 decimals whatever precision is asked.
    const struct {
        int units;
        const char* text;
    } cases[] = {{1, "111.11111111"}, {2, "1777.77777778"}, {3, "100.00000000"}, {4, "100.00000000"},
                 {0, "100.000000"},   {5, "100.000000"},    {-1, "100.000000"}};
    DexJobInfo job;
    for (const auto& c : cases) {
        DexSettings settings(eMeters, static_cast<EAngleUnits>(c.units));
        CSDRRawGenerator gen(&settings, &job);
        EXPECT_EQ(narrow(gen.a(100.0, 8)), c.text) << "units " << c.units;
        EXPECT_EQ(narrow(gen.a(NV, 8)), "") << "units " << c.units;
    }
}

TEST_F(SdrRecords, RecordNumbersTypesAndWidths) {
    EXPECT_EQ(narrow(gen.recordNumber(3)), "03");
    EXPECT_EQ(narrow(gen.recordNumber(13)), "13");
    EXPECT_EQ(narrow(gen.recordNumber(64)), "64");
    EXPECT_EQ(narrow(gen.recordNumber(INT_MIN)), "-2147483648");
    EXPECT_EQ(narrow(gen.typeFor(0)), "MD");
    EXPECT_EQ(narrow(gen.typeFor(1)), "MD");
    EXPECT_EQ(gen.codeFieldWidth(), 16);
}

TEST_F(SdrRecords, NoteKindsAndTheirLetters) {
    const char* letters[] = {"AT", "FC", "GO", "OS", "QC", "TL", "TS", "CP", "JS",
                             "CC", "PC", "ST", "TP", "SO", "SC", "PT", "OO", "NM"};
    for (unsigned int kind = 0; kind < 18; ++kind) {
        EXPECT_EQ(columns(gen.noteRecord(L"t", kind), 1, 4), std::string("13") + letters[kind]) << kind;
    }
    EXPECT_EQ(narrow(gen.noteRecord(L"t", 18)), "");
    EXPECT_EQ(narrow(gen.noteRecord(L"t", UINT_MAX)), "");
}

TEST_F(SdrRecords, ValueFieldsOfMissingValuesAreBlank) {
    EXPECT_EQ(narrow(gen.valueFields(NV, NV, NV, true)), std::string(48, ' '));
    EXPECT_EQ(narrow(gen.valueFields(NV, NV, NV, false)), std::string(48, ' '));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(narrow(gen.observationFields(nan, inf, -inf)), std::string(48, ' '));
}

// ---------------------------------------------------------------------------------------------
// Station, target height and backsight state

TEST_F(SdrRecords, TargetHeightIsWrittenAfterAnInstrumentHeightChangeOrAnExactChange) {
    gen.occupy(L"NM", L"1", L"", 0.0, 0.0, 0.0, 1.5);
    EXPECT_EQ(narrow(gen.lsHiHr(-1.0, true)), "03NM" + value16("-1.0000") + "\r\n");  // new set-up
    EXPECT_EQ(narrow(gen.lsHiHr(-1.0, true)), "");
    EXPECT_EQ(columns(gen.lsHiHr(-0.9995, true), 1, 4), "03NM");  // no tolerance: any change counts
    EXPECT_EQ(columns(gen.lsHiHr(-0.9995, false), 1, 4), "03NM");

    gen.occupy(L"NM", L"2", L"", 0.0, 0.0, 0.0, 1.5);  // the same instrument height
    EXPECT_EQ(narrow(gen.lsHiHr(-0.9995, true)), "");
    gen.occupy(L"NM", L"3", L"", 0.0, 0.0, 0.0, 1.6);
    EXPECT_EQ(columns(gen.lsHiHr(-0.9995, true), 1, 4), "03NM");
}

TEST_F(SdrRecords, EmptyStationNameGetsANumericName) {
    EXPECT_EQ(columns(gen.occupy(L"NM", L"", L"", 0.0, 0.0, 0.0, 1.5), 5, 20), name16("1"));
    EXPECT_EQ(columns(gen.backsight(L"BS", false, 0.0, 0.0), 5, 20), name16("1"));  // the remembered station
}

TEST_F(SdrRecords, BearingOnlyBacksightsAreNumberedInTurn) {
    gen.occupy(L"NM", L"STN", L"", 0.0, 0.0, 0.0, 1.5);
    EXPECT_EQ(columns(gen.backsight(L"", true, 0.0, 90.0), 21, 36), name16("#BS1"));
    EXPECT_EQ(columns(gen.backsight(L"AZ", true, 0.0, 90.0), 21, 36), name16("#BS2"));
    EXPECT_TRUE(gen.hasName(L"AZ"));  // the point still enters the name map
    EXPECT_EQ(narrow(gen.backsightName()), "#BS2");
    EXPECT_EQ(narrow(gen.backsightName()), "#BS2");  // a kept name is not renumbered

    EXPECT_EQ(columns(gen.backsight(L"BS9", false, 0.0, 90.0), 21, 36), name16("BS9"));
    EXPECT_EQ(narrow(gen.backsightName()), "BS9");
    EXPECT_EQ(columns(gen.backsight(L"", true, 0.0, 90.0), 21, 36), name16("#BS3"));
}

TEST_F(SdrRecords, BacksightNameWithoutABacksightGeneratesANewNumberEachTime) {
    EXPECT_EQ(narrow(gen.backsightName()), "#BS1");
    EXPECT_EQ(narrow(gen.backsightName()), "#BS2");
    // A backsight to an empty name keeps the empty name (its field shows the name as given).
    EXPECT_EQ(columns(gen.backsight(L"", false, 0.0, 0.0), 21, 36), name16(""));
    EXPECT_EQ(narrow(gen.backsightName()), "#BS3");
}

TEST(SdrBacksightCounter, CountsOnPastTheIntRangeWithoutOverflow) {
    struct AtTheEnd : CSDRRawGenerator {
        AtTheEnd(const DexSettings* s, const DexJobInfo* j) : CSDRRawGenerator(s, j) { m_backsightCounter = INT_MAX; }
    };
    DexSettings settings;
    DexJobInfo job;
    AtTheEnd gen(&settings, &job);
    EXPECT_EQ(narrow(gen.backsightName()), "#BS2147483647");
    EXPECT_EQ(narrow(gen.backsightName()), "#BS-2147483648");
}

TEST_F(SdrRecords, BacksightSightInNameMode1CarriesTheBacksightRecordsName) {
    gen.occupy(L"NM", L"STN", L"", 0.0, 0.0, 0.0, 1.5);
    gen.backsight(L"", true, 0.0, 45.0);
    DexTSRawBS shot;
    shot.setTargetName(L"ORIGINAL");
    shot.setMeasurement(DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {45.0, 90.0, 50.0}, true));
    shot.setBsNameMode(1);
    EXPECT_EQ(columns(gen.sightNoteLine(&shot, nullptr), 21, 36), name16("#BS1"));
    shot.setBsNameMode(0);
    EXPECT_EQ(columns(gen.sightNoteLine(&shot, nullptr), 21, 36), name16("ORIGINAL"));

    // Only a backsight to a point takes the generated name.
    DexTSRawFS foresight = foresightTo(L"F1", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {1.0, 90.0, 5.0}));
    foresight.setBsNameMode(1);
    EXPECT_EQ(columns(gen.sightNoteLine(&foresight, nullptr), 21, 36), name16("F1"));
}

TEST_F(SdrRecords, CoordinateRecordIsWrittenOncePerNameUnlessForced) {
    const DexStation point(L"P1", 1.0, 2.0, 3.0);
    gen.occupy(L"NM", L"STN", L"", 0.0, 0.0, 0.0, 1.5);
    EXPECT_EQ(narrow(gen.coordinateRecord(L"08TP", L"STN", &point, L"", 4, false, false)), "");
    EXPECT_EQ(columns(gen.coordinateRecord(L"08TP", L"STN", &point, L"", 4, true, false), 5, 20), name16("STN"));
    EXPECT_NE(narrow(gen.coordinateRecord(L"08TP", L"P1", &point, L"", 4, false, false)), "");
    EXPECT_EQ(narrow(gen.coordinateRecord(L"08TP", L"P1", &point, L"", 4, false, false)), "");
    EXPECT_EQ(narrow(gen.coordinateFields(L"08TP", L"P1", &point, 0, false, false)), "");
    // An empty name is mapped though its field is not written.
    gen.coordinateFields(L"08TP", L"", &point, 0, false, false);
    EXPECT_TRUE(gen.hasName(L""));
}

// ---------------------------------------------------------------------------------------------
// Observation records

TEST_F(SdrRecords, ObservationFieldsByMeasurementKind) {
    // distance, zenith, horizontal angle; a kind fills only the values it measured.
    const struct {
        DexTSRawMeasurement measurement;
        const char* distance;
        const char* zenith;
        const char* horizontal;
    } cases[] = {
        {DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {30.0, 90.0, 100.0}), "100.0000", "90.00000000",
         "30.00000000"},
        {DexTSRawMeasurement(eKindAngleAndHorizontalDistance, {30.0, 3.0, 4.0}), "5.0000", "36.86989765",
         "30.00000000"},
        {DexTSRawMeasurement(eKindAngleAndHorizontalDistance, {30.0, 0.0, 2.0}), "2.0000", "90.00000000",
         "30.00000000"},
        {DexTSRawMeasurement(eKindAngleAndHorizontalDistance, {30.0, 0.0, -2.0}), "2.0000", "90.00000000",
         "30.00000000"},
        {DexTSRawMeasurement(eKindAnglesOnly, {30.0, 95.0}), "", "95.00000000", "30.00000000"},
        {DexTSRawMeasurement(eKindHorizontalAngleOnly, {30.0}), "", "", "30.00000000"},
        {DexTSRawMeasurement(eKindSlopeDistanceOnly, {12.5}), "12.5000", "", ""},
    };
    for (const auto& c : cases) {
        const std::string record = narrow(gen.foresight(L"F1", L"T", &c.measurement, false));
        EXPECT_EQ(record.substr(36), value16(c.distance) + value16(c.zenith) + value16(c.horizontal))
            << "kind " << c.measurement.kind();
    }
}

TEST_F(SdrRecords, ForesightWritesTheGivenDerivationAndNothingForOtherKinds) {
    const DexTSRawMeasurement shot(0, {30.0, 270.0, 100.0});
    EXPECT_EQ(columns(gen.foresight(L"MD", L"T", &shot, true), 1, 4), "09MD");
    const DexTSRawMeasurement offsets(3, {1.0, 2.0, 3.0});
    EXPECT_EQ(narrow(gen.foresight(L"F1", L"T", &offsets, false)), "");
}

TEST_F(SdrRecords, ForesightBodiesChooseTheFaceAndAddNoLineEnd) {
    const DexTSRawMeasurement face2(0, {30.0, 270.0, 100.0});
    const std::string full = narrow(gen.foresightFull(L"T", nullptr, &face2, 1.5));
    EXPECT_EQ(columns(full, 1, 4), "09F2");
    EXPECT_EQ(full.size(), 84u);
    EXPECT_EQ(columns(gen.foresightAngles(L"T", nullptr, &face2, 1.5), 37, 52), value16(""));  // no distance
    const DexTSRawMeasurement level(1, {30.0, 3.0, 4.0});
    EXPECT_EQ(columns(gen.foresightHd(L"T", nullptr, &level, 1.5), 1, 52),
              "09F1" + name16("") + name16("T") + value16("5.0000"));
    // Angles to the backsight target belong to the backsight record.
    const DexTSRawMeasurement toBacksight(2, {30.0, 90.0}, true);
    EXPECT_EQ(narrow(gen.foresightAngles(L"T", nullptr, &toBacksight, 1.5)), "");
}

TEST_F(SdrRecords, LongCodeIsRepeatedInAFeatureCodeNoteBeforeTheAttributes) {
    DexTSRawFS sight = foresightTo(L"7", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {30.0, 90.0, 100.0}));
    sight.codes.addCode(code("ABCDEFGHIJKLMNOPQ", {{"ONE", "1"}, {"TWO", ""}, {"THREE", "x"}}));
    sight.codes.addCode(code("SECOND", {{"IGNORED", "y"}}));  // only the first code is written
    const std::vector<std::string> out = lines(gen.sightNoteLine(&sight, nullptr));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(columns(out[0], 85, 100), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(out[1], "13FC" + field("ABCDEFGHIJKLMNOPQ", 60, false));
    EXPECT_EQ(out[2], "13AT" + field(field("ONE", 20, false) + "1", 60, false));
    EXPECT_EQ(out[3], "13AT" + field(field("THREE", 20, false) + "x", 60, false));

    DexTSRawFS exact = foresightTo(L"8", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {30.0, 90.0, 100.0}));
    exact.codes.addCode(code("ABCDEFGHIJKLMNOP"));  // 16 characters fit: no note
    EXPECT_EQ(lines(gen.sightNoteLine(&exact, nullptr)).size(), 1u);
}

TEST_F(SdrRecords, SightsWithoutUsableCodes) {
    // A code without description: blank code field, no notes.
    DexTSRawFS described = foresightTo(L"7", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {30.0, 90.0, 100.0}));
    DexCodeValues bare;
    bare.setAttrAt(0, L"1");
    described.codes.addCode(bare);
    EXPECT_EQ(narrow(gen.sightNoteLine(&described, nullptr)).substr(84), value16("") + "\r\n");

    // A backsight without known point: the record ends after the horizontal angle.
    DexTSRawBS backsight;
    backsight.setTargetName(L"B");
    backsight.setMeasurement(DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {0.0, 90.0, 10.0}));
    EXPECT_EQ(narrow(gen.sightNoteLine(&backsight, nullptr)).substr(84), "\r\n");

    // A backsight by bearing carries the codes of its point.
    DexTSRawBkb bearing;
    bearing.setTargetName(L"B");
    bearing.setMeasurement(DexTSRawMeasurement(eKindHorizontalAngleOnly, {0.0}));
    DexDesignPoint point;
    point.codes.addCode(code("CTRL"));
    bearing.setBSPoint(point);
    EXPECT_EQ(narrow(gen.sightNoteLine(&bearing, nullptr)).substr(84), value16("CTRL") + "\r\n");

    // A measurement kind without fields leaves only the code field.
    DexTSRawFS zenithOnly = foresightTo(L"9", DexTSRawMeasurement(eKindZenithOnly, {90.0}));
    zenithOnly.codes.addCode(code("TREE"));
    EXPECT_EQ(narrow(gen.sightNoteLine(&zenithOnly, nullptr)), value16("TREE") + "\r\n");
}

// ---------------------------------------------------------------------------------------------
// Level runs, stake-out, observed points, residuals

TEST_F(SdrRecords, LevelRunNoteAndStartWithoutElevation) {
    EXPECT_EQ(narrow(gen.levelRunNote(L"R1", L"")), "13NMLevel Run: R1\r\n");
    EXPECT_EQ(narrow(gen.levelRunNote(L"R1", L"D")), "13NMLevel Run: R1 Description: D\r\n");
    EXPECT_EQ(columns(gen.levelStartRecords(L"BM1", NV, L"", 1), 1, 4), "62LV");
    EXPECT_EQ(lines(gen.levelStartRecords(L"BM1", NV, L"", 1)).size(), 1u);
}

TEST_F(SdrRecords, CutOrFillBySignOfTheDifference) {
    const struct {
        double cutFill;
        const char* head;
    } cases[] = {{0.25, "13SOCut 0.2500"}, {-0.25, "13SOFill 0.2500"}, {0.0, "13SOFill 0.0000"}, {NV, "13SOCut "}};
    for (const auto& c : cases) {
        const std::string second = lines(gen.stakeoutNotes(L"D", L"S", 0.0, 0.0, c.cutFill)).at(1);
        EXPECT_EQ(second, c.head + value16(" North ") + "0.0000" + value16(" East ") + "0.0000") << c.cutFill;
    }
}

TEST_F(SdrRecords, ObservedPointsAreWrittenOnce) {
    const DexStation point(L"P5", 1.0, 2.0, 3.0);
    const DexTSRawMeasurement vertical(0, {10.0, 0.0, 12.34});
    // A vertical sight reports the vertical distance (tangent of 0 taken as 1).
    std::vector<std::string> out = lines(gen.anglePointRecords(&point, &vertical, L""));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NE(out[0].find(", VDist: 12.3400"), std::string::npos) << out[0];
    // Written before: the angle note stands alone, the offset point gives nothing.
    out = lines(gen.anglePointRecords(&point, &vertical, L""));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(columns(out[0], 1, 4), "13OS");
    const DexTSRawMeasurement offsets(3, {-0.5, 2.0, 1.25});
    EXPECT_EQ(narrow(gen.offsetPointRecords(&point, &offsets, L"")), "");

    const DexStation unnamed(L"", 1.0, 2.0, 3.0);
    EXPECT_EQ(narrow(gen.anglePointRecords(&unnamed, &vertical, L"")), "");
    EXPECT_EQ(lines(gen.offsetPointRecords(&unnamed, &offsets, L"")).size(), 2u);  // gets a numeric name
}

TEST_F(SdrRecords, MissingValuesLeaveTheirLabelsInNotes) {
    const DexStation point(L"P6", 1.0, 2.0, 3.0);
    const DexTSRawMeasurement partial(0, {10.0, NV, 5.0});
    EXPECT_NE(narrow(gen.anglePointRecords(&point, &partial, L"")).find(", ZA: , HDist: 5.0000"), std::string::npos);
    EXPECT_EQ(narrow(gen.residualNotes(0.001, -0.002, NV)),
              "13NMResidual N:0.0010\r\n13NMResidual E:-0.0020\r\n13NMResidual H:\r\n");
}

// ---------------------------------------------------------------------------------------------
// Overflow status

TEST_F(SdrRecords, FirstOverlongGuardedFieldSetsTheStatusForGood) {
    const COrvStringT long17(L'N', 17);
    const COrvStringT long30(L'M', 30);
    // Unguarded fields never set it: codes, values, notes, attribute names, the level text and
    // the count of a "62LV" record.
    gen.occupy(L"NM", L"S", COrvStringT(L'C', 40), -NV, 0.0, 0.0, 0.0);
    gen.noteRecord(COrvStringT(L'x', 80), eNoteNM);
    DexCodesDataInterface codes;
    codes.addCode(code("LONG_ATTRIBUTES", {{"AN_ATTRIBUTE_NAME_OF_30_CHARS_", "v"}}));
    gen.attributeNotes(&codes);
    gen.levelStartRecords(L"BM", 1.0, long30, INT_MIN);
    EXPECT_EQ(gen.reportStatus(), 0);

    EXPECT_EQ(narrow(gen.guardedField(16, true, COrvStringT(L'N', 16))), std::string(16, 'N'));
    EXPECT_EQ(gen.reportStatus(), 0);  // exactly the width fits
    EXPECT_EQ(narrow(gen.guardedField(16, true, long17)), std::string(16, 'N'));
    EXPECT_EQ(gen.reportStatus(), 18);
    gen.guardedField(16, true, long30);
    gen.occupy(L"NM", L"S", L"", 0.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(gen.reportStatus(), 18);  // never reset
}

TEST(SdrOverflow, EveryGuardedFieldSetsTheStatus) {
    const COrvStringT long17(L'N', 17);
    const DexStation point(long17, 1.0, 2.0, 3.0);
    const DexTSRawMeasurement shot(0, {1.0, 90.0, 5.0});
    const DexTSRawMeasurement reading(0, {0.0, 1.0, 0.0});
    const struct {
        const char* what;
        std::function<void(CSDRRawGenerator&)> write;
    } cases[] = {
        {"station", [&](auto& g) { g.occupy(L"NM", long17, L"", 0, 0, 0, 0); }},
        {"backsight", [&](auto& g) { g.backsight(long17, false, 0, 0); }},
        {"bearing-only backsight's point", [&](auto& g) { g.backsight(long17, true, 0, 0); }},
        {"coordinate record", [&](auto& g) { g.coordinateRecord(L"08TP", long17, &point, L"", 4, false, false); }},
        {"coordinate fields", [&](auto& g) { g.coordinateFields(L"08TP", long17, &point, 0, false, false); }},
        {"observation target", [&](auto& g) { g.foresight(L"F1", long17, &shot, false); }},
        {"observed point", [&](auto& g) { g.anglePointRecords(&point, &shot, L""); }},
        {"level start", [&](auto& g) { g.levelStartRecords(long17, NV, L"", 1); }},
        {"level reading name", [&](auto& g) { g.levelReadingRecord(long17, 0, &reading, 0, L"", false, 1); }},
        {"level reading count", [&](auto& g) { g.levelReadingRecord(L"BM", 0, &reading, 0, L"", false, 123456); }},
    };
    DexSettings settings;
    DexJobInfo job;
    for (const auto& c : cases) {
        CSDRRawGenerator gen(&settings, &job);
        c.write(gen);
        EXPECT_EQ(gen.reportStatus(), 18) << c.what;
    }
}

// ---------------------------------------------------------------------------------------------
// Absent data objects

TEST_F(SdrRecords, NullDataObjectsGiveEmptyTexts) {
    EXPECT_EQ(narrow(gen.sightNoteLine(nullptr, nullptr)), "");
    EXPECT_EQ(narrow(gen.foresight(L"F1", L"T", nullptr, false)), "");
    EXPECT_EQ(narrow(gen.foresightFull(L"T", nullptr, nullptr, 0)), "");
    EXPECT_EQ(narrow(gen.foresightAngles(L"T", nullptr, nullptr, 0)), "");
    EXPECT_EQ(narrow(gen.foresightHd(L"T", nullptr, nullptr, 0)), "");
    EXPECT_EQ(narrow(gen.fullFields(nullptr)), "");
    EXPECT_EQ(narrow(gen.hdFields(nullptr)), "");
    EXPECT_EQ(narrow(gen.anglePairFields(nullptr)), "");
    EXPECT_EQ(narrow(gen.attributeNotes(nullptr)), "");
    EXPECT_EQ(narrow(gen.coordinateRecord(L"08TP", L"P", nullptr, L"", 4, true, false)), "");
    EXPECT_EQ(narrow(gen.coordinateFields(L"08TP", L"P", nullptr, 0, true, false)), "");
    EXPECT_EQ(narrow(gen.levelReadingRecord(L"P", 0, nullptr, 0, L"", false, 1)), "");
    const DexTSRawMeasurement shot(0, {1.0, 90.0, 5.0});
    const DexStation point(L"P", 0, 0, 0);
    EXPECT_EQ(narrow(gen.anglePointRecords(nullptr, &shot, L"")), "");
    EXPECT_EQ(narrow(gen.anglePointRecords(&point, nullptr, L"")), "");
    EXPECT_EQ(narrow(gen.offsetPointRecords(nullptr, &shot, L"")), "");
    EXPECT_EQ(narrow(gen.offsetPointRecords(&point, nullptr, L"")), "");
    EXPECT_FALSE(gen.hasName(L"P"));  // nothing was mapped on the way

    // A sight without measurement counts as face 1 and keeps its code field.
    DexTSRawFS empty;
    empty.codes.addCode(code("TREE"));
    EXPECT_EQ(narrow(gen.sightNoteLine(&empty, nullptr)), value16("TREE") + "\r\n");
}

}  // namespace
}  // namespace sdrtest
