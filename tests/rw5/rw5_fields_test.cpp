// RW5 measurement fields, record types, the face test and the near-vertical test.
#include <cmath>
#include <limits>

#include "rw5/rw5_fixture.h"

namespace rw5test {
namespace {

struct FieldCase {
    const char* what;
    DexTSRawMeasurement measurement;
    bool rb;
    const char* full;
};

class Rw5FullFields : public Rw5Test, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(Rw5FullFields, WritesTheFields) {
    const FieldCase& c = GetParam();
    EXPECT_EQ(narrow(make(false, c.rb)->fullFields(&c.measurement)), c.full) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Rw5FullFields,
    ::testing::Values(
        FieldCase{"right angle", measure(eKindAnglesAndSlopeDistance, {30.0, 90.0, 100.0}), false,
                  ",AR30.00000,ZE90.00000,SD100.0000"},
        FieldCase{"left angle", measure(eKindAnglesAndSlopeDistance, {-30.0, 90.0, 100.0}), false,
                  ",AL30.00000,ZE90.00000,SD100.0000"},
        FieldCase{"negative zero is right", measure(eKindAnglesAndSlopeDistance, {-0.0, 90.0, 1.0}), false,
                  ",AR0.00000,ZE90.00000,SD1.0000"},
        FieldCase{"beyond a circle", measure(eKindAnglesAndSlopeDistance, {370.0, 90.0, 1.0}), false,
                  ",AR10.00000,ZE90.00000,SD1.0000"},
        FieldCase{"full circle", measure(eKindAnglesAndSlopeDistance, {360.0, 90.0, 1.0}), false,
                  ",AR0.00000,ZE90.00000,SD1.0000"},
        FieldCase{"left beyond a circle", measure(eKindAnglesAndSlopeDistance, {-400.0, 90.0, 1.0}), false,
                  ",AL40.00000,ZE90.00000,SD1.0000"},
        FieldCase{"missing distance", measure(eKindAnglesAndSlopeDistance, {1.0, 2.0, noValue}), false,
                  ",AR1.00000,ZE2.00000,SD"},
        FieldCase{"distance only", measure(eKindSlopeDistanceOnly, {12.345}), false, ",SD12.3450"},
        // In RB mode a distance-only measurement keeps bare angle tags, chosen by the distance's sign.
        FieldCase{"distance only, RB", measure(eKindSlopeDistanceOnly, {12.345}), true, ",AR,ZE,SD12.3450"},
        FieldCase{"negative distance only, RB", measure(eKindSlopeDistanceOnly, {-2.0}), true, ",AL,ZE,SD-2.0000"},
        FieldCase{"not a number",
                  measure(eKindAnglesAndSlopeDistance, {std::numeric_limits<double>::quiet_NaN(), 90.0, 1.0}), false,
                  ",AL,ZE90.00000,SD1.0000"}));

TEST_F(Rw5Test, HdFieldsWriteHeightDifferenceBeforeHorizontalDistance) {
    const DexTSRawMeasurement m = measure(eKindAngleAndHorizontalDistance, {-45.5, 120.0, -2.5});
    EXPECT_EQ(narrow(make()->hdFields(&m)), ",AL45.30000,CE-2.5000,HD120.0000");
    const DexTSRawMeasurement angle = measure(eKindHorizontalAngleOnly, {30.0});
    EXPECT_EQ(narrow(make()->angleOnlyFields(&angle)), ",AR30.00000,ZE,SD");
}

TEST_F(Rw5Test, AngleFieldsWithOffsetsAndSlopeDistanceTags) {
    auto rw5 = make();
    const DexTSRawMeasurement right = measure(eKindAnglesOnly, {12.5, 95.0});
    const DexTSRawMeasurement left = measure(eKindAnglesOnly, {-12.5, 95.0});
    EXPECT_EQ(narrow(rw5->angleFields(&right, false, false, false, false)), ",AR12.30000,ZE95.00000");
    EXPECT_EQ(narrow(rw5->angleFields(&right, false, false, true, false)), ",AR12.30000,ZE95.00000,SD0.0");
    EXPECT_EQ(narrow(rw5->angleFields(&right, false, false, true, true)), ",AR12.30000,ZE95.00000,SD");
    EXPECT_EQ(narrow(rw5->angleFields(&right, false, false, false, true)), ",AR12.30000,ZE95.00000");
    EXPECT_EQ(narrow(rw5->angleFields(&right, true, false, true, false)), ",AR12.30000,--Right Angle Offset");
    EXPECT_EQ(narrow(rw5->angleFields(&left, true, true, true, false)), ",AL12.30000,--Left Angle Offset");
    EXPECT_EQ(narrow(rw5->angleFields(&left, false, true, true, false)), ",ZE95.00000,--Vert Angle Offset");
    // In RB mode the slope distance tag is always bare.
    EXPECT_EQ(narrow(make(false, true)->angleFields(&right, false, false, false, false)), ",AR12.30000,ZE95.00000,SD");
}

TEST_F(Rw5Test, TypeForIgnoresTheBacksightDirectType) {
    auto rb = make(false, true);
    EXPECT_EQ(narrow(rb->typeFor(1)), "BD");
    EXPECT_EQ(narrow(rb->typeFor(0)), "FD");
    EXPECT_EQ(narrow(rb->typeFor(-5)), "FD");
}

struct FaceCase {
    EMeasurementKind kind;
    double first;
    double second;
    bool face1;
};

TEST_F(Rw5Test, FaceTestAtItsBoundaries) {
    auto rw5 = make();
    const FaceCase cases[] = {
        {eKindAnglesAndSlopeDistance, 0.0, 90.0, true},
        {eKindAnglesAndSlopeDistance, 0.0, 270.0, false},
        {eKindAnglesAndSlopeDistance, 0.0, 180.0, false},
        {eKindAnglesAndSlopeDistance, 0.0, 0.0, false},
        {eKindAnglesAndSlopeDistance, 0.0, 179.9999, true},
        {eKindAnglesAndSlopeDistance, 0.0, 1e-9, true},
        {eKindAnglesAndSlopeDistance, 0.0, -90.0, false},
        {eKindAnglesOnly, 0.0, 95.0, true},
        {eKindAnglesOnly, 0.0, 265.0, false},
        {eKindZenithOnly, 270.0, 90.0, false},
        {eKindZenithOnly, 90.0, 270.0, true},  // zenith alone: in value 0
        {eKindAngleAndHorizontalDistance, 0.0, 270.0, true},
        {eKindHorizontalAngleOnly, 0.0, 270.0, true},
        {eKindSlopeDistanceOnly, 0.0, 270.0, true},  // no zenith: face 1
        {eKindAnglesAndSlopeDistance, 0.0, std::numeric_limits<double>::quiet_NaN(), false},
    };
    for (const FaceCase& c : cases) {
        const DexTSRawMeasurement m = measure(c.kind, {c.first, c.second});
        EXPECT_EQ(rw5->isFace1(&m), c.face1) << "kind " << c.kind << " values " << c.first << ", " << c.second;
    }
    EXPECT_TRUE(rw5->isFace1(nullptr));
}

TEST_F(Rw5Test, RecordTypesByFaceModeAndSightKind) {
    const DexTSRawMeasurement face1 = measure(eKindAnglesAndSlopeDistance, {0, 90, 1});
    const DexTSRawMeasurement face2 = measure(eKindAnglesAndSlopeDistance, {0, 270, 1});
    const DexTSRawMeasurement onBacksight = measure(eKindAnglesAndSlopeDistance, {0, 270, 1}, true);
    auto normal = make();
    auto rb = make(false, true);
    EXPECT_EQ(narrow(normal->recordType(&face1, 1)), "BD");
    EXPECT_EQ(narrow(normal->recordType(&face2, 1)), "BR");
    EXPECT_EQ(narrow(normal->recordType(&face1, 2)), "FD");
    EXPECT_EQ(narrow(normal->recordType(&face2, 3)), "FR");
    EXPECT_EQ(narrow(normal->recordType(&face2, 0)), "FR");
    EXPECT_EQ(narrow(rb->recordType(&face2, 1)), "RB");
    EXPECT_EQ(narrow(rb->recordType(&face2, 2)), "SS");
    EXPECT_EQ(narrow(rb->recordType(&onBacksight, 2)), "OB");
    EXPECT_EQ(narrow(rb->recordType(nullptr, 2)), "SS");
    const DexTSRawFS sight = foresightTo(L"7", face2, eSightSideShot);
    EXPECT_EQ(narrow(normal->sightRecordType(&sight)), "FR");
    EXPECT_EQ(narrow(normal->sightRecordType(nullptr)), "");
}

TEST_F(Rw5Test, NearVerticalSightsGiveADistance) {
    auto rw5 = make();
    double distance = 0.0;
    // A zenith of exactly 0: the tangent 0 is replaced by 1, so the distance is value 2 itself.
    const DexTSRawMeasurement up = measure(eKindAnglesAndSlopeDistance, {0, 0.0, 25.0});
    EXPECT_TRUE(rw5->verticalSightDistance(&up, 4, &distance));
    EXPECT_EQ(distance, 25.0);
    const DexTSRawMeasurement level = measure(eKindAnglesAndSlopeDistance, {0, 90.0, 25.0});
    distance = -7.0;
    EXPECT_FALSE(rw5->verticalSightDistance(&level, 4, &distance));
    EXPECT_EQ(distance, -7.0);  // untouched
    // Within one second (the tolerance at 4 decimals) of 180 and of 360.
    const DexTSRawMeasurement down = measure(eKindAnglesAndSlopeDistance, {0, 180.0 + 0.5 / 3600.0, 10.0});
    EXPECT_TRUE(rw5->verticalSightDistance(&down, 4, &distance));
    EXPECT_NEAR(distance, 10.0 / std::tan((180.0 + 0.5 / 3600.0) * 0.017453292519943295), 1e-3);
    const DexTSRawMeasurement almostFull = measure(eKindAnglesAndSlopeDistance, {0, 360.0 - 0.5 / 3600.0, 10.0});
    EXPECT_TRUE(rw5->verticalSightDistance(&almostFull, 4, &distance));
    const DexTSRawMeasurement twoSeconds = measure(eKindAnglesAndSlopeDistance, {0, 2.0 / 3600.0, 10.0});
    EXPECT_FALSE(rw5->verticalSightDistance(&twoSeconds, 4, &distance));
    // More decimals narrow the tolerance: at 5 decimals it is a tenth of a second.
    const DexTSRawMeasurement halfSecond = measure(eKindAnglesAndSlopeDistance, {0, 0.5 / 3600.0, 10.0});
    EXPECT_FALSE(rw5->verticalSightDistance(&halfSecond, 5, &distance));
    EXPECT_FALSE(rw5->verticalSightDistance(nullptr, 4, &distance));
}

TEST_F(Rw5Test, NearVerticalToleranceInGons) {
    settings.setAngleUnits(eGons);
    auto rw5 = make();
    double distance = 0.0;
    // With no decimals the tolerance is one whole gon, 0.9 degrees.
    const DexTSRawMeasurement within = measure(eKindAnglesAndSlopeDistance, {0, 0.8, 10.0});
    const DexTSRawMeasurement outside = measure(eKindAnglesAndSlopeDistance, {0, 0.95, 10.0});
    EXPECT_TRUE(rw5->verticalSightDistance(&within, 0, &distance));
    EXPECT_FALSE(rw5->verticalSightDistance(&outside, 0, &distance));
    EXPECT_FALSE(rw5->verticalSightDistance(&within, 2, &distance));
}

}  // namespace
}  // namespace rw5test
