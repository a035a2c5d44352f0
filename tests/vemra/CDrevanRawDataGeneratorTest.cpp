#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/vemra_test_support.h"

namespace {

using namespace vemratest;  // NOLINT(google-build-using-namespace)

struct Drevan {
    Job job;
    CDrevanRawDataGenerator gen;
    explicit Drevan(EDistUnits dist = eMeters, EAngleUnits angle = eDegrees)
        : job(dist, angle), gen(&job.settings, &job.info, &job.observation) {}

    // The measurement group of an observation of P1 with code TREE and target height 1.5.
    std::string group(int measType, double v1, double v2, double v3, const DexTSRawMeasurement* extra,
                      const DexTSRawMeasurement* coords) {
        COrvStringT out;
        EXPECT_TRUE(gen.writeObservation(out, L"P1", measType, v1, v2, v3, L"TREE", 1.5, extra, coords));
        const std::string record = text(out);
        const std::string head = "+P1_ ";
        const std::string tail = "_*TREE_,1.5000_";
        if (record.size() < head.size() + tail.size() || record.compare(0, head.size(), head) != 0 ||
            record.compare(record.size() - tail.size(), tail.size(), tail) != 0) {
            return "unframed: " + record;
        }
        return record.substr(head.size(), record.size() - head.size() - tail.size());
    }
};

const DexTSRawMeasurement kCoords(0, {1234.5678, -2345.6789, 100.5});
const DexTSRawMeasurement kExtraHd(eKindHorizontalDistanceOnly, {99.5});
const DexTSRawMeasurement kExtraZenith(eKindZenithOnly, {88.5});

TEST(DrevanObservation, EveryMeasurementType) {
    struct Case {
        int measType;
        double v1, v2, v3;
        const DexTSRawMeasurement* extra;
        const DexTSRawMeasurement* coords;
        const char* expected;
    };
    const std::vector<Case> cases = {
        // slope measurement with the target's coordinates: 4-decimal distance, 5-decimal angles
        {0, 123.5, 90.0, 100.0, nullptr, &kCoords,
         "W+001000000m9000000+1233000d+0012345678-0023456789+0001005000***+**+**000"},
        // without coordinates: the horizontal distance, computed or the data library's own
        {0, 30.0, 90.0, 100.0, nullptr, nullptr, "?+00100000m0900000+0300000d+00100000***+**+**000"},
        {0, 30.0, 30.0, 100.0, nullptr, nullptr, "?+00100000m0300000+0300000d+00050000***+**+**000"},
        {0, 30.0, 90.0, 100.0, &kExtraHd, nullptr, "?+00100000m0900000+0300000d+00099500***+**+**000"},
        {0, 30.0, 90.0, 100.0, &kExtraZenith, nullptr, "?+00100000m0900000+0300000d+00100000***+**+**000"},
        // horizontal distance and height difference: the zenith, computed or given
        {1, 30.0, 100.0, -5.0, nullptr, nullptr, "R+00100000m0925145+0300000d-00005000***+**+**000"},
        {1, 30.0, 0.0, -5.0, nullptr, nullptr, "R+00000000m0000000+0300000d-00005000***+**+**000"},
        {1, 30.0, 100.0, -5.0, &kExtraZenith, &kCoords, "R+00100000m0883000+0300000d-00005000***+**+**000"},
        {1, 30.0, 100.0, -5.0, &kExtraHd, nullptr, "R+00100000m0925145+0300000d-00005000***+**+**000"},
        // angles only: signs kept, no move by a full circle
        {2, -30.0, 90.0, 0.0, nullptr, &kCoords, "<0900000-0300000+****d000"},
        {2, 0.0, 0.0, 0.0, nullptr, nullptr, "<0000000+0000000+****d000"},
        // single distances in value 1
        {9, 12.345, 0.0, 0.0, nullptr, nullptr, "D+00012345m000"},
        {10, -12.345, 0.0, 0.0, nullptr, &kCoords, "A-00012345m000"},
        {11, 0.5, 0.0, 0.0, &kExtraHd, nullptr, "E+00000500m000"},
        // other types: the target's coordinates, with the horizontal angle for type 6 only
        {6, 30.0, 0.0, 0.0, nullptr, &kCoords, "U+01234568-02345679+00100500m+0300000d000"},
        {4, 30.0, 0.0, 0.0, nullptr, &kCoords, "U+01234568-02345679+00100500m+0000000d000"},
        {5, 30.0, 0.0, 0.0, &kExtraHd, &kCoords, "U+01234568-02345679+00100500m+0000000d000"},
        {7, 30.0, 0.0, 0.0, nullptr, &kCoords, "U+01234568-02345679+00100500m+0000000d000"},
        {6, 30.0, 0.0, 0.0, nullptr, nullptr, ""},
        {-1, 30.0, 0.0, 0.0, &kExtraHd, nullptr, ""},
    };
    for (const Case& c : cases) {
        Drevan d;
        EXPECT_EQ(d.group(c.measType, c.v1, c.v2, c.v3, c.extra, c.coords), c.expected)
            << "type " << c.measType << " extra " << (c.extra != nullptr) << " coords " << (c.coords != nullptr);
    }
}

TEST(DrevanObservation, AngleOffsetIsEmptyAndNamesAreNotShortened) {
    Drevan d;
    COrvStringT out = L"old";
    EXPECT_TRUE(d.gen.writeObservation(out, L"P1", 3, 1.0, 1.0, 1.0, L"", 1.0, &kExtraHd, &kCoords));
    EXPECT_EQ(text(out), "");

    d.gen.writeObservation(out, L"FENCE_CORNER_12", 9, 1.0, 0.0, 0.0, L"F*C", 1.25, nullptr, nullptr);
    EXPECT_EQ(text(out), "+FENCECORNER12_ D+00001000m000_*FC_,1.2500_");
    d.gen.writeObservation(out, L"", 9, 1.0, 0.0, 0.0, L"", 0.0, nullptr, nullptr);
    EXPECT_EQ(text(out), "+ _ D+00001000m000_*_,0.0000_");
}

TEST(DrevanCoordinates, OverflowingValuesTakeTheSignsPlace) {
    struct Case {
        double value;
        bool sign, unit;
        int precision, width;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {1234567.891, true, false, 3, 8, "123456789"},  // 7 integer digits in 5 places
        {-1234567.891, true, true, 3, 8, "123456789m"},
        {-20.5, true, false, 3, 8, "-00020500"},
        {-20.5, false, false, 3, 8, "00020500"},
        {12345.678, true, false, 3, 8, "+12345678"},  // exactly fills its integer places
        {123456.7, true, false, 3, 8, "123456700"},
        {0.0, true, true, 4, 10, "+0000000000m"},
        {123456789.0, true, false, 0, 8, "123456789"},  // no decimals: all integer digits
        {std::numeric_limits<double>::quiet_NaN(), true, false, 3, 8, "+00000000"},
    };
    Drevan d;
    for (const Case& c : cases) {
        EXPECT_EQ(text(d.gen.coordField(c.value, c.sign, c.unit, c.precision, c.width)), c.expected) << c.value;
    }
    Drevan feet(eUSFeet);  // coordinates keep their metres; only the letter follows the job
    EXPECT_EQ(text(feet.gen.coordField(-20.5, true, true, 3, 8)), "-00020500f");
}

TEST(DrevanAngles, UnitsAreAskedOfTheJobAndMilsLoseADecimal) {
    Drevan mils(eMeters, eMils);
    EXPECT_EQ(text(mils.gen.angleToString(90.0, 4)), "1600.000");
    EXPECT_EQ(text(mils.gen.angleField(90.0, false, true, 4)), "0160000m");  // two mil decimals
    EXPECT_EQ(text(mils.gen.angleField(90.0, false, false, 4)), "1600000");

    Drevan d;  // settings in degrees, job changed to gons afterwards
    d.job.info.setAngleUnits(eGons);
    EXPECT_EQ(text(d.gen.angleToString(90.0, 4)), "100.0000");
    EXPECT_EQ(text(d.gen.angleUnitsLetter(true)), "G");
    EXPECT_EQ(d.group(2, 90.0, 90.0, 0.0, nullptr, nullptr), "<1000000+1000000+****g000");
    d.job.info.setAngleUnits(eDecimalDegrees);
    EXPECT_EQ(text(d.gen.angleToString(90.5, 4)), "90.3000");
}

TEST(DrevanJob, MatchesTheGoldenText) {
    DeviceClock clock(base::CTime(2021, 11, 30, 8, 0, 0), L"dd.MM.yyyy");
    Job job;
    job.info.jobName = L"SETOUT";
    job.observation.instrument = L"TS";
    CDrevanRawDataGenerator gen(&job.settings, &job.info, &job.observation);
    const DexTSRawMeasurement target(0, {5012.345, 2987.654, 101.2});

    std::string all;
    COrvStringT line;
    auto add = [&all, &line](bool) { all += text(line) + "\r\n"; };
    add(gen.writeJobHeader(line));
    add(gen.writeStation(line, L"CP_1", L"CP", 1.55));
    add(gen.writeObservation(line, L"CP_2", 0, 0.0, 90.0, 250.125, L"CP", 1.6, nullptr, nullptr));
    add(gen.writeObservation(line, L"PEG_17", 0, 312.5, 91.25, 48.2, L"PEG", 1.6, nullptr, &target));
    add(gen.writeObservation(line, L"PEG_18", 1, 47.0, 32.0, 1.5, L"PEG", 1.6, nullptr, nullptr));
    add(gen.writeObservation(line, L"PEG_19", 6, 15.0, 0.0, 0.0, L"PEG", 1.6, nullptr, &target));
    EXPECT_EQ(all, testsupport::golden("drevan_setout.txt"));
}

TEST(DrevanInterface, VirtualOperationsKeepTheirSlots) {
    if (!kItaniumAbi)
        GTEST_SKIP()
            << "slots are read from member pointers of the Itanium C++ ABI, which this compiler does not follow";
    using D = CDrevanRawDataGenerator;
    EXPECT_EQ(vtableEntry(&D::coordField), -1);  // not virtual
}

}  // namespace
