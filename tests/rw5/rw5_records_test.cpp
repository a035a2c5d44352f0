// RW5 observation records, code notes, offsets, stored points and resections.
#include "rw5/rw5_fixture.h"

namespace rw5test {
namespace {

class Rw5Records : public Rw5Test {
protected:
    void SetUp() override {
        Rw5Test::SetUp();
        normal = make();
        rb = make(false, true);
        for (auto* g : {normal.get(), rb.get()}) g->occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    }
    std::unique_ptr<CRW5Generator> normal;
    std::unique_ptr<CRW5Generator> rb;
};

TEST_F(Rw5Records, ForesightWritesFieldsByMeasurementKind) {
    const DexTSRawMeasurement full = measure(eKindAnglesAndSlopeDistance, {30, 90, 100});
    const DexTSRawMeasurement hd = measure(eKindAngleAndHorizontalDistance, {30, 99.5, 1.25});
    const DexTSRawMeasurement angles = measure(eKindAnglesOnly, {30, 95});
    const DexTSRawMeasurement angleOnly = measure(eKindHorizontalAngleOnly, {-30});
    const DexTSRawMeasurement slope = measure(eKindSlopeDistanceOnly, {42});
    const DexTSRawMeasurement zenithOnly = measure(eKindZenithOnly, {90});
    EXPECT_EQ(narrow(normal->foresight(L"FD", L"7", &full, true)), "FD,OP1,FP7,AR30.00000,ZE90.00000,SD100.0000");
    EXPECT_EQ(narrow(normal->foresight(L"FD", L"7", &hd, true)), "FD,OP1,FP7,AR30.00000,CE1.2500,HD99.5000");
    EXPECT_EQ(narrow(normal->foresight(L"FD", L"7", &angles, true)), "FD,OP1,FP7,AR30.00000,ZE95.00000");
    EXPECT_EQ(narrow(normal->foresight(L"FD", L"7", &angleOnly, true)), "FD,OP1,FP7,AL30.00000,ZE,SD");
    EXPECT_EQ(narrow(normal->foresight(L"FD", L"7", &slope, true)), "FD,OP1,FP7,SD42.0000");
    EXPECT_EQ(narrow(normal->foresight(L"FD", L"8", &zenithOnly, true)), "");
    EXPECT_TRUE(normal->hasName(L"8"));  // the target was mapped before its kind was read
}

TEST_F(Rw5Records, BacksightObservationAddsTheTargetHeightInRbMode) {
    const DexTSRawMeasurement face2 = measure(eKindAnglesAndSlopeDistance, {180, 270, 50});
    const DexTSRawMeasurement zenithOnly = measure(eKindZenithOnly, {90});
    EXPECT_EQ(narrow(normal->backsightObs(L"2", 99, &face2, 1.7)), "BR,OP1,BP2,AR180.00000,ZE270.00000,SD50.0000");
    EXPECT_EQ(narrow(rb->backsightObs(L"2", 99, &face2, 1.7)), "RB,OP1,BP2,AR180.00000,ZE270.00000,SD50.0000,HR1.7000");
    // A kind without fields still gives the record head.
    EXPECT_EQ(narrow(normal->backsightObs(L"2", 0, &zenithOnly, 1.7)), "BD,OP1,BP2");
}

TEST_F(Rw5Records, ForesightVariantsChooseTypeAndTargetTag) {
    const DexTSRawMeasurement onBacksight = measure(eKindAnglesAndSlopeDistance, {0, 90, 50}, true);
    const DexTSRawMeasurement plain = measure(eKindAngleAndHorizontalDistance, {10, 50, 2});
    DexTSRawBS backsight;
    DexTSRawFS foresight(2);
    EXPECT_EQ(narrow(normal->foresightFull(L"2", &backsight, &onBacksight, 1.7)),
              "BD,OP1,BP2,AR0.00000,ZE90.00000,SD50.0000");
    EXPECT_EQ(narrow(normal->foresightFull(L"2", &foresight, &onBacksight, 1.7)),
              "FD,OP1,FP2,AR0.00000,ZE90.00000,SD50.0000");
    EXPECT_EQ(narrow(rb->foresightFull(L"2", &backsight, &onBacksight, 1.7)),
              "RB,OP1,BP2,AR0.00000,ZE90.00000,SD50.0000,HR1.7000");
    EXPECT_EQ(narrow(rb->foresightFull(L"2", &foresight, &onBacksight, 1.7)),
              "OB,OP1,FP2,AR0.00000,ZE90.00000,SD50.0000");
    EXPECT_EQ(narrow(rb->foresightHd(L"9", &foresight, &plain, 1.7)), "SS,OP1,FP9,AR10.00000,CE2.0000,HD50.0000");
    EXPECT_EQ(narrow(normal->foresightAngles(L"9", &foresight, &onBacksight, 1.7)), "FD,OP1,FP9,AR0.00000,ZE90.00000");
}

TEST_F(Rw5Records, SightNoteLineIsACompleteLineWithCodes) {
    DexTSRawFS sight = foresightTo(L"7", measure(eKindAnglesAndSlopeDistance, {30, 270, 100}));
    sight.codes.addCode(code(L"TREE", L"ST"));
    sight.setNote(L"oak");
    EXPECT_EQ(narrow(normal->sightNoteLine(&sight, nullptr)),
              "FR,OP1,FP7,AR30.00000,ZE270.00000,SD100.0000,--TREE ST\r\n");
    DexCodeStyle style;
    EXPECT_EQ(narrow(normal->sightNoteLine(&sight, &style)),
              "FR,OP1,FP7,AR30.00000,ZE270.00000,SD100.0000,--TREE oak\r\n");
    // In RB mode every sight is an "OB" line.
    EXPECT_EQ(narrow(rb->sightNoteLine(&sight, nullptr)).substr(0, 11), "OB,OP1,FP7,");
}

TEST_F(Rw5Records, BacksightSightsCarryTheirPointsCodesAndNotes) {
    DexDesignPoint point(DexStation(L"2", 0, 0, 0, L"iron pin"));
    point.codes.addCode(code(L"CP"));
    DexTSRawBS withPoint;
    withPoint.setTargetName(L"2");
    withPoint.setMeasurement(measure(eKindAnglesAndSlopeDistance, {0, 90, 50}));
    withPoint.setBSPoint(point);
    DexCodeStyle style;
    EXPECT_EQ(narrow(normal->sightNoteLine(&withPoint, &style)),
              "BD,OP1,FP2,AR0.00000,ZE90.00000,SD50.0000,--CP iron pin\r\n");
    DexTSRawBkb withoutPoint;
    withoutPoint.setTargetName(L"AZ");
    withoutPoint.setMeasurement(measure(eKindHorizontalAngleOnly, {0}));
    EXPECT_EQ(narrow(normal->sightNoteLine(&withoutPoint, &style)), "FD,OP1,FPAZ,AR0.00000,ZE,SD,--\r\n");
}

TEST_F(Rw5Records, SightNoteLineOfAKindWithoutFieldsKeepsTheNoteField) {
    DexTSRawFS sight = foresightTo(L"7", measure(eKindZenithOnly, {90}), eSightSideShot);
    sight.codes.addCode(code(L"WALL"));
    EXPECT_EQ(narrow(normal->sightNoteLine(&sight, nullptr)), ",--WALL \r\n");
}

TEST_F(Rw5Records, CodesTextWithoutAStyle) {
    DexCodesDataInterface codes;
    codes.addCode(code(L"TREE", L"ST"));
    DexCodeValues fence = code(L"FENCE");
    fence.addCodeString(L"line-12");  // joins points into a line: not part of the code text
    codes.addCode(fence);
    EXPECT_EQ(narrow(normal->codesText(&codes, nullptr, L"ignored")), "TREE ST FENCE ");

    DexCodesDataInterface withString;
    DexCodeValues kerb = code(L"KERB", L"PC", L"2");
    kerb.addCodeString(L"7");
    withString.addNullCode();  // nothing at all for a null code, not even a separator
    withString.addCode(kerb);
    EXPECT_EQ(narrow(normal->codesText(&withString, nullptr, L"")), "KERB7 PC 2");

    DexCodesDataInterface single;
    single.addCode(code(L"MH"));
    EXPECT_EQ(narrow(normal->codesText(&single, nullptr, L"")), "MH ");
    EXPECT_EQ(narrow(normal->codesText(nullptr, nullptr, L"x")), "");
}

TEST_F(Rw5Records, CodesTextWithAStyleUsesTheNote) {
    DexCodesDataInterface codes;
    codes.addCode(code(L"TREE", L"ST"));
    codes.addCode(code(L"FENCE"));
    DexCodeStyle style;
    style.separator = L";";
    EXPECT_EQ(narrow(normal->codesText(&codes, &style, L"oak")), "TREE;FENCE;oak");
}

struct OffsetCase {
    const char* what;
    int mode;
    EMeasurementKind kind;
    std::vector<double> values;
    DexTSRawFS::EMeasType measType;
    const char* text;
};

class Rw5Offsets : public Rw5Test, public ::testing::WithParamInterface<OffsetCase> {};

TEST_P(Rw5Offsets, WritesTheOffsetRecord) {
    const OffsetCase& c = GetParam();
    auto rw5 = make();
    DexTSRawFS sight = foresightTo(L"7", measure(c.kind, c.values));
    sight.setMeasType(c.measType);
    EXPECT_EQ(narrow(rw5->offsetRecord(&sight, c.mode, L"|tail")), c.text) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndKinds, Rw5Offsets,
    ::testing::Values(OffsetCase{"left angle offset",
                                 0,
                                 eKindAnglesOnly,
                                 {-12.5, 95},
                                 DexTSRawFS::eMeasHorizontalAngleOffset,
                                 "OF,AL12.30000,--Left Angle Offset|tail\r\n"},
                      OffsetCase{"vertical angle offset",
                                 0,
                                 eKindAnglesOnly,
                                 {12.5, 95},
                                 DexTSRawFS::eMeasVerticalAngleOffset,
                                 "OF,ZE95.00000,--Vert Angle Offset|tail\r\n"},
                      OffsetCase{"angles as a note",
                                 1,
                                 eKindAnglesOnly,
                                 {12.5, 95},
                                 DexTSRawFS::eMeasNormal,
                                 "--OF,AR12.30000,ZE95.00000|tail\r\n"},
                      // Mode 2 writes the heights as plain decimals: -1.000 before any set-up.
                      OffsetCase{"heights note",
                                 2,
                                 eKindAnglesOnly,
                                 {12.5, 95},
                                 DexTSRawFS::eMeasNormal,
                                 "--HI-1.000,HR-1.000,AR12.30000,ZE95.00000,SD0.0|tail\r\n"},
                      OffsetCase{"full measurement",
                                 0,
                                 eKindAnglesAndSlopeDistance,
                                 {30, 90, 100},
                                 DexTSRawFS::eMeasNormal,
                                 "OF,AR30.00000,ZE90.00000,SD100.0000|tail\r\n"},
                      OffsetCase{"horizontal distance",
                                 1,
                                 eKindAngleAndHorizontalDistance,
                                 {30, 100, -1},
                                 DexTSRawFS::eMeasNormal,
                                 "--OF,AR30.00000,CE-1.0000,HD100.0000|tail\r\n"},
                      // Without a head the fields would start with a comma: the line becomes a note.
                      OffsetCase{"no head",
                                 5,
                                 eKindAnglesAndSlopeDistance,
                                 {-30, 90, 100},
                                 DexTSRawFS::eMeasNormal,
                                 "--AL30.00000,ZE90.00000,SD100.0000|tail\r\n"},
                      OffsetCase{"kind without rule", 0, eKindZenithOnly, {90}, DexTSRawFS::eMeasNormal, "OF|tail\r\n"},
                      OffsetCase{
                          "kind without rule, no head", 9, eKindZenithOnly, {90}, DexTSRawFS::eMeasNormal, "|tail\r\n"},
                      OffsetCase{"distance offsets",
                                 0,
                                 eKindDistanceOffsets,
                                 {-0.5, 2.25, 1.0},
                                 DexTSRawFS::eMeasDistanceOffsets,
                                 "OFOF,HD2.2500,--Horizontal Distance Offset\r\n"
                                 "OF,LR1.0000,--Left/Right Offset\r\n"
                                 "OF,VD-0.5000,--Elevation Offset|tail\r\n"},
                      OffsetCase{"distance offsets as notes",
                                 1,
                                 eKindDistanceOffsets,
                                 {-0.5, 2.25, 1.0},
                                 DexTSRawFS::eMeasDistanceOffsets,
                                 "--OF--OF,HD2.2500,--Horizontal Distance Offset\r\n"
                                 "--OF,LR1.0000,--Left/Right Offset\r\n"
                                 "--OF,VD-0.5000,--Elevation Offset|tail\r\n"},
                      OffsetCase{"distance offsets as text",
                                 3,
                                 eKindDistanceOffsets,
                                 {-0.5, 2.25, 1.0},
                                 DexTSRawFS::eMeasDistanceOffsetsText,
                                 "--Perpendicular Distance Offset: 2.2500\r\n"
                                 "--Left/Right Distance Offset: 1.0000\r\n"
                                 "--Elevation Distance Offset: -0.5000|tail\r\n"}));

TEST_F(Rw5Records, OffsetHeadsUseTheCurrentHeights) {
    normal->lsHiHr(1.65, false);
    DexTSRawFS sight = foresightTo(L"7", measure(eKindAnglesOnly, {12.5, 95}));
    EXPECT_EQ(narrow(normal->offsetRecord(&sight, 2, L"")), "--HI1.500,HR1.650,AR12.30000,ZE95.00000,SD0.0\r\n");
    EXPECT_EQ(narrow(rb->offsetRecord(&sight, 2, L"")), "--HI1.500,HR-1.000,AR12.30000,ZE95.00000,SD\r\n");
}

TEST_F(Rw5Records, OffsetOfASightWithoutMeasurementIsItsHeadAlone) {
    DexTSRawFS sight(2);
    EXPECT_EQ(narrow(normal->offsetRecord(&sight, 0, L"|tail")), "OF");
    EXPECT_EQ(narrow(normal->offsetRecord(&sight, 4, L"|tail")), "");
    EXPECT_EQ(narrow(normal->offsetRecord(nullptr, 0, L"|tail")), "");
}

TEST_F(Rw5Records, StoredPointsAreWrittenOncePerName) {
    const DexStation point(L"CP1", 5000.123456, 4000.0, 12.3);
    EXPECT_EQ(narrow(normal->storePoint(L"SP", L"CP1", &point, L"", 3, false)),
              "SP,PNCP1,N 5000.123,E 4000.000,EL12.300,--\r\n");
    EXPECT_EQ(narrow(normal->storePoint(L"SP", L"CP1", &point, L"", 3, false)), "");
    EXPECT_EQ(narrow(normal->storePoint(L"SP", L"CP1", &point, L"again", 1, true)),
              "SP,PNCP1,N 5000.1,E 4000.0,EL12.3,--again\r\n");
    // The occupied station is already written.
    EXPECT_EQ(narrow(normal->storePoint(L"SP", L"1", &point, L"", 3, false)), "");
    EXPECT_EQ(narrow(normal->storePoint(L"SP", L"X", nullptr, L"", 3, true)), "");
}

TEST_F(Rw5Records, ResectionWritesTheNameAsGivenAndACircleReading) {
    auto forced = make(true);
    const DexTSRawMeasurement full = measure(eKindAnglesAndSlopeDistance, {-30, 91.5, 120.5});
    const DexTSRawMeasurement hd = measure(eKindAngleAndHorizontalDistance, {400, 120.5, -0.25});
    const DexTSRawMeasurement other = measure(eKindHorizontalAngleOnly, {45});
    EXPECT_EQ(narrow(forced->resection(L"R1", &full)), "RS,PNR1,CR330.00000,ZE91.30000,SD120.5000\r\n");
    EXPECT_EQ(narrow(forced->resection(L"", &hd)), "RS,PN,CR40.00000,CE-0.2500,HD120.5000\r\n");
    EXPECT_EQ(narrow(forced->resection(L"R2", &other)), "RS,PNR2,CR45.00000\r\n");
    EXPECT_FALSE(forced->hasName(L"R1"));
}

TEST_F(Rw5Records, MissingObjectsGiveEmptyTexts) {
    DexTSRawFS sight(2);  // no measurement
    EXPECT_EQ(narrow(normal->sightNoteLine(nullptr, nullptr)), "");
    EXPECT_EQ(narrow(normal->sightNoteLine(&sight, nullptr)), ",--\r\n");
    EXPECT_EQ(narrow(normal->foresight(L"FD", L"7", nullptr, true)), "");
    EXPECT_EQ(narrow(normal->foresightFull(L"7", nullptr, nullptr, 1.5)), "");
    EXPECT_EQ(narrow(normal->foresightHd(L"7", &sight, nullptr, 1.5)), "");
    EXPECT_EQ(narrow(normal->backsightObs(L"2", 0, nullptr, 1.5)), "");
    EXPECT_EQ(narrow(normal->fullFields(nullptr)), "");
    EXPECT_EQ(narrow(normal->hdFields(nullptr)), "");
    EXPECT_EQ(narrow(normal->angleFields(nullptr, true, true, true, true)), "");
    EXPECT_EQ(narrow(normal->angleOnlyFields(nullptr)), "");
    EXPECT_EQ(narrow(normal->distanceOffsets(nullptr, true, true)), "");
    EXPECT_EQ(narrow(normal->resection(L"R", nullptr)), "");
    EXPECT_EQ(narrow(normal->recordType(nullptr, 1)), "BD");
}

}  // namespace
}  // namespace rw5test
