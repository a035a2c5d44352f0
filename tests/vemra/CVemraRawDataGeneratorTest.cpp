#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"
#include "vemra/vemra_test_support.h"

namespace {

using namespace vemratest;  // NOLINT(google-build-using-namespace)

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kLargest = std::numeric_limits<double>::max();

struct Vemra {
    Job job;
    CVemraRawDataGenerator gen;
    explicit Vemra(EDistUnits dist = eMeters, EAngleUnits angle = eDegrees)
        : job(dist, angle), gen(&job.settings, &job.info, &job.observation) {}
};

// ---------------------------------------------------------------------------------------------
// Point-name map

TEST(VemraNameMap, RemovesFieldCharactersAndNumbersFromTheCleanedBase) {
    Vemra v;
    EXPECT_EQ(text(v.gen.mappedName(L"A1", true)), "A1");
    EXPECT_EQ(text(v.gen.mappedName(L"A_1", true)), "A11");  // A1 is taken by the name A1
    EXPECT_EQ(text(v.gen.mappedName(L"B", true)), "B");
    EXPECT_EQ(text(v.gen.mappedName(L"B1", true)), "B1");
    // B and B1 are keys: the next candidate is B2, formed from the base, never B11.
    EXPECT_EQ(text(v.gen.mappedName(L"B_", true)), "B2");
    EXPECT_EQ(text(v.gen.mappedName(L"+B", true)), "B2");  // B2 was handed out but is no key
    EXPECT_EQ(text(v.gen.mappedName(L"A1", true)), "A1");  // asked again after others
}

TEST(VemraNameMap, ComparesCandidatesWithReceivedNamesNotWithOutputs) {
    Vemra v;
    EXPECT_EQ(text(v.gen.mappedName(L"A_1", true)), "A1");
    EXPECT_EQ(text(v.gen.mappedName(L"A1", true)), "A1");  // A1 was written, but is no key

    EXPECT_EQ(text(v.gen.mappedName(L"", true)), "");
    EXPECT_EQ(text(v.gen.mappedName(L"+", true)), "1");    // cleans to the empty key
    EXPECT_EQ(text(v.gen.mappedName(L"_+_", true)), "1");  // "1" is an output, not a key
    EXPECT_EQ(text(v.gen.mappedName(L"1", true)), "1");
    EXPECT_EQ(text(v.gen.mappedName(L"++", true)), "2");  // now "1" is a key
}

TEST(VemraNameMap, ForgetsNamesNotToBeRemembered) {
    Vemra v;
    EXPECT_EQ(text(v.gen.mappedName(L"P_7", false)), "P7");
    EXPECT_FALSE(v.gen.isNameMapped(L"P_7"));
    EXPECT_EQ(text(v.gen.mappedName(L"P_7", true)), "P7");
    EXPECT_TRUE(v.gen.isNameMapped(L"P_7"));
    EXPECT_FALSE(v.gen.isNameMapped(L"P7"));
}

TEST(VemraNameMap, CleanCodeRemovesOnlyStarsAndUnderscores) {
    Vemra v;
    EXPECT_EQ(text(v.gen.cleanCode(L"TREE*_1")), "TREE1");
    EXPECT_EQ(text(v.gen.cleanCode(L"a+b c,d")), "a+b c,d");
    EXPECT_EQ(text(v.gen.cleanCode(L"*_*")), "");
}

// ---------------------------------------------------------------------------------------------
// Unit letters, texts and fields

TEST(VemraFields, DistanceFieldPadsCutsAndSigns) {
    struct Case {
        double metres;
        bool sign, unit;
        int precision, width;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {123.456, true, true, 3, 8, "+00123456m"},
        {-0.5, true, false, 3, 8, "-00000500"},
        {123456.789, true, true, 3, 8, "+12345678m"},  // nine digits: the lowest decimal is cut
        {-0.0, true, false, 3, 8, "+00000000"},        // negative zero is not below zero
        {-12.5, false, false, 3, 8, "00012500"},       // magnitude only without the sign
        {100.0, true, true, 4, 9, "+001000000m"},
        {kLargest, true, true, 3, 8, "+17976931m"},
        {kNaN, true, false, 3, 8, "+00000000"},  // no number text: the digits are all padding
        {1.0, true, false, 3, 0, "+"},
        {1.0, false, false, 3, -5, ""},
    };
    Vemra v;
    for (const Case& c : cases) {
        EXPECT_EQ(text(v.gen.distField(c.metres, c.sign, c.unit, c.precision, c.width)), c.expected) << c.metres;
    }
}

TEST(VemraFields, FeetUnitsConvertAndWriteTheirLetter) {
    Vemra us(eUSFeet);
    EXPECT_EQ(text(us.gen.distToString(100.0, 3)), "328.083");
    EXPECT_EQ(text(us.gen.distField(100.0, true, true, 3, 8)), "+00328083f");
    EXPECT_EQ(text(us.gen.distUnitsLetter(true)), "F");
    Vemra international(eInternationalFeet);
    EXPECT_EQ(text(international.gen.distField(100.0, true, true, 3, 8)), "+00328084f");
    Vemra feetInches(eInternationalFeetInches);  // every other feet unit is written in US feet
    EXPECT_EQ(text(feetInches.gen.distToString(100.0, 3)), "328.083");
    Vemra metres;
    EXPECT_EQ(text(metres.gen.distUnitsLetter(false)), "m");
    EXPECT_EQ(text(metres.gen.distToString(1.5, 3)), "1.500");
}

TEST(VemraFields, AngleFieldHasSevenDigits) {
    Vemra v;
    EXPECT_EQ(text(v.gen.angleField(90.0, false, true, 4)), "0900000d");
    EXPECT_EQ(text(v.gen.angleField(123.5, true, true, 4)), "+1233000d");  // 123°30'00"
    EXPECT_EQ(text(v.gen.angleField(-45.0, false, false, 4)), "0450000");  // magnitude, no sign
    EXPECT_EQ(text(v.gen.angleField(-45.0, true, false, 4)), "-0450000");
    EXPECT_EQ(text(v.gen.angleField(123.5, false, false, 5)), "1233000");  // 8 digits cut to 7
    EXPECT_EQ(text(v.gen.angleField(kNaN, true, true, 4)), "+0000000d");
}

TEST(VemraFields, MilFieldWithLetterHasThreeDecimals) {
    Vemra mils(eMeters, eMils);
    // 0.5625 degrees are 10 mils.
    EXPECT_EQ(text(mils.gen.angleField(0.5625, false, true, 4)), "0010000m");
    EXPECT_EQ(text(mils.gen.angleField(0.5625, false, true, 5)), "0010000m");
    EXPECT_EQ(text(mils.gen.angleField(0.5625, false, false, 4)), "0100000");
    EXPECT_EQ(text(mils.gen.angleField(90.0, false, true, 4)), "1600000m");  // four integer digits fill it

    Vemra gons(eMeters, eGons);
    EXPECT_EQ(text(gons.gen.angleField(90.0, false, true, 4)), "1000000g");
    EXPECT_EQ(text(gons.gen.angleUnitsLetter(true)), "G");
}

TEST(VemraFields, AngleLetterFollowsTheJobAndDigitsTheSettings) {
    Vemra v;  // settings in degrees
    v.job.info.setAngleUnits(eGons);
    EXPECT_EQ(text(v.gen.angleField(90.0, false, true, 4)), "0900000g");
    v.job.info.setAngleUnits(eDecimalDegrees);
    EXPECT_EQ(text(v.gen.angleUnitsLetter(false)), "d");
}

// ---------------------------------------------------------------------------------------------
// Records

TEST(VemraRecords, StationKeepsTheWholeNameAndCleansTheCode) {
    Vemra v;
    COrvStringT out;
    EXPECT_TRUE(v.gen.writeStation(out, L"ST1", L"BM", 1.5));
    EXPECT_EQ(text(out), "'ST1_(BM_)1.500_");
    v.gen.writeStation(out, L"STATION_LONG_12", L"B*M_X", -0.25);
    EXPECT_EQ(text(out), "'STATIONLONG12_(BMX_)-0.250_");
    v.gen.writeStation(out, L"", L"", 0.0);
    EXPECT_EQ(text(out), "'_(_)0.000_");
}

TEST(VemraRecords, ObservationFieldsByMeasurementType) {
    struct Case {
        int measType;
        double v1, v2, v3;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0, 30.0, 90.0, 100.0, "+P7_ a+0300000d_ b0900000d_ c+00100000m_*TREE_,1.500_"},
        {1, 30.0, 50.25, -1.5, "+P7_ a+0300000d_ d+00050250m_ e-00001500m_*TREE_,1.500_"},
        {2, 30.0, 90.0, 100.0, "+P7_ a+0300000d_ b0900000d_*TREE_,1.500_"},
        {6, 30.0, 90.0, 100.0, "+P7_ a+0300000d_ b0900000d_ c+00100000m_*TREE_,1.500_"},
        {-1, 30.0, 90.0, 100.0, "+P7_ a+0300000d_ b0900000d_ c+00100000m_*TREE_,1.500_"},
    };
    for (const Case& c : cases) {
        Vemra v;
        COrvStringT out;
        EXPECT_TRUE(v.gen.writeObservation(out, L"P7", c.measType, c.v1, c.v2, c.v3, L"TREE", 1.5, nullptr, nullptr));
        EXPECT_EQ(text(out), c.expected) << "type " << c.measType;
    }
}

TEST(VemraRecords, AngleOffsetGivesAnEmptyRecord) {
    Vemra v;
    COrvStringT out = L"old";
    EXPECT_TRUE(v.gen.writeObservation(out, L"P7", 3, 30.0, 90.0, 100.0, L"", 1.5, nullptr, nullptr));
    EXPECT_EQ(text(out), "");
    EXPECT_FALSE(v.gen.isNameMapped(L"P7"));
}

TEST(VemraRecords, AnglesOfZeroOrLessMoveUpByACircle) {
    struct Case {
        double horizontal, vertical;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0.0, 0.0, "+P_ a+3600000d_ b3600000d_"},
        {-90.0, -0.0, "+P_ a+2700000d_ b3600000d_"},
        {359.5, 90.0, "+P_ a+3593000d_ b0900000d_"},
        {-450.0, 45.0, "+P_ a+0900000d_ b0450000d_"},  // moved once only: -90 is written as 90
    };
    for (const Case& c : cases) {
        Vemra v;
        COrvStringT out;
        v.gen.writeObservation(out, L"P", 2, c.horizontal, c.vertical, 0.0, L"", 0.0, nullptr, nullptr);
        EXPECT_EQ(text(out), std::string(c.expected) + "*_,0.000_") << c.horizontal;
    }
}

TEST(VemraRecords, TargetNamesAreLookedUpByTheirFirstEightCharacters) {
    Vemra v;
    COrvStringT first;
    COrvStringT second;
    COrvStringT blank;
    v.gen.writeObservation(first, L"ABCDEFGH1234", 2, 1.0, 1.0, 0.0, L"", 0.0, nullptr, nullptr);
    v.gen.writeObservation(second, L"ABCDEFGH5678", 2, 1.0, 1.0, 0.0, L"", 0.0, nullptr, nullptr);
    v.gen.writeObservation(blank, L"", 2, 1.0, 1.0, 0.0, L"", 0.0, nullptr, nullptr);
    EXPECT_EQ(text(first).substr(0, 11), "+ABCDEFGH_ ");
    EXPECT_EQ(text(second).substr(0, 11), "+ABCDEFGH_ ");
    EXPECT_TRUE(v.gen.isNameMapped(L"ABCDEFGH"));
    EXPECT_FALSE(v.gen.isNameMapped(L"ABCDEFGH1234"));
    EXPECT_EQ(text(blank).substr(0, 4), "+ _ ");
    EXPECT_FALSE(v.gen.isNameMapped(L""));  // a blank target is never looked up

    COrvStringT station;
    v.gen.writeStation(station, L"ABCDEFGH1234", L"", 1.0);
    EXPECT_EQ(text(station), "'ABCDEFGH1234_(_)1.000_");
}

// ---------------------------------------------------------------------------------------------
// Job header

class VemraHeader : public ::testing::Test {
protected:
    Job job;
    CVemraRawDataGenerator gen{&job.settings, &job.info, &job.observation};

    std::string header(const wchar_t* pattern, const base::CTime& now = base::CTime(2009, 3, 5, 8, 0, 0)) {
        DeviceClock clock(now, pattern);
        COrvStringT out;
        EXPECT_TRUE(gen.writeJobHeader(out));
        return text(out);
    }
};

TEST_F(VemraHeader, WritesJobInstrumentDateAndAtmosphere) {
    job.info.jobName = L"J1";
    job.info.jobText2 = L"not written";
    job.info.jobText3 = L"T3";
    job.observation.instrument = L"TS15";
    job.observation.setTemperature(20.0, eCelsius);
    job.observation.setPressure(1013.25, eHectoPascal);
    EXPECT_EQ(header(L"d.M.yyyy"), "_!J1_\"T3_#TS15_$05/3/2009_%20.000_&1013_");
}

TEST_F(VemraHeader, MissingAtmosphereGivesZeros) {
    EXPECT_EQ(header(L"dd/MM/yyyy"), "_!_\"_#_$05/03/2009_%0.000_&000_");
    job.observation.setPressure(1000.0, eHectoPascal);
    EXPECT_EQ(header(L"dd/MM/yyyy"), "_!_\"_#_$05/03/2009_%0.000_&1000_");
}

TEST_F(VemraHeader, AtmosphereInTheReportedUnits) {
    job.observation.setTemperature(20.0, eFahrenheit);
    job.observation.setPressure(1013.25, eMillimetresHg);
    EXPECT_EQ(header(L"yyyy"), "_!_\"_#_$2009_%68.000_&760_");
    job.observation.setPressure(1013.25, eInchesHg);  // 29.92 inHg
    EXPECT_EQ(header(L"yyyy"), "_!_\"_#_$2009_%68.000_&30_");
}

TEST_F(VemraHeader, PressureBeyondTheIntegerRangeSaturates) {
    job.observation.setPressure(1e300, eHectoPascal);
    EXPECT_EQ(header(L"yyyy"), "_!_\"_#_$2009_%0.000_&2147483647_");
    job.observation.setPressure(-kLargest, eHectoPascal);
    EXPECT_EQ(header(L"yyyy"), "_!_\"_#_$2009_%0.000_&-2147483648_");
    job.observation.setPressure(kNaN, eHectoPascal);
    job.observation.setTemperature(kNaN, eCelsius);
    EXPECT_EQ(header(L"yyyy"), "_!_\"_#_$2009_%_&0_");
}

TEST_F(VemraHeader, OnlyAOneDigitFirstComponentGainsAZero) {
    EXPECT_EQ(header(L"M/d/yyyy"), "_!_\"_#_$03/5/2009_%0.000_&000_");
    EXPECT_EQ(header(L"M/d/yyyy", base::CTime(2009, 12, 25, 0, 0, 0)), "_!_\"_#_$12/25/2009_%0.000_&000_");
    EXPECT_EQ(header(L"yyyy.M.d"), "_!_\"_#_$2009/3/5_%0.000_&000_");
    EXPECT_EQ(header(L"d-M-yy"), "_!_\"_#_$5-3-09_%0.000_&000_");  // other separators stay
}

TEST(VemraHeaderWithoutData, NullObjectsGiveEmptyTextsAndZeros) {
    DeviceClock clock(base::CTime(2024, 1, 2, 0, 0, 0), L"d.M.yyyy");
    CVemraRawDataGenerator gen(nullptr, nullptr, nullptr);
    COrvStringT out;
    gen.writeJobHeader(out);
    EXPECT_EQ(text(out), "_!_\"_#_$02/1/2024_%0.000_&000_");
    EXPECT_EQ(text(gen.angleUnitsLetter(false)), "d");
    EXPECT_EQ(text(gen.distUnitsLetter(false)), "m");
}

// ---------------------------------------------------------------------------------------------
// A whole job fragment, ended line by line as the host does.

TEST(VemraJob, MatchesTheGoldenText) {
    DeviceClock clock(base::CTime(2009, 3, 5, 8, 0, 0), L"d.M.yyyy");
    Job job;
    job.info.jobName = L"TRAVERSE";
    job.info.jobText3 = L"North block";
    job.observation.instrument = L"TS 5\"";
    job.observation.setTemperature(18.5, eCelsius);
    job.observation.setPressure(998.6, eHectoPascal);
    CVemraRawDataGenerator gen(&job.settings, &job.info, &job.observation);

    std::string all;
    COrvStringT line;
    auto add = [&all, &line](bool) { all += text(line) + "\r\n"; };
    add(gen.writeJobHeader(line));
    add(gen.writeStation(line, L"STN_1", L"CP", 1.525));
    add(gen.writeObservation(line, L"STN_2", 0, 0.0, 90.5, 125.4321, L"CP", 1.8, nullptr, nullptr));
    add(gen.writeObservation(line, L"TREE+01", 0, 45.25, 88.0, 33.2, L"OAK*_L", 1.8, nullptr, nullptr));
    add(gen.writeObservation(line, L"FENCE_CORNER", 1, 120.0, 15.05, -0.42, L"FC", 1.5, nullptr, nullptr));
    add(gen.writeObservation(line, L"FENCE_CORNER_2", 2, 240.0, 91.0, 0.0, L"FC", 1.5, nullptr, nullptr));
    add(gen.writeStation(line, L"STN_2", L"CP", 1.6));
    add(gen.writeObservation(line, L"STN1", 0, 180.0, 269.5, 125.433, L"CP", 1.8, nullptr, nullptr));
    EXPECT_EQ(all, testsupport::golden("vemra_traverse.txt"));
}

// ---------------------------------------------------------------------------------------------
// Interface

// A dialect override must reach into the records of the base: every call is virtual.
class UpperNames : public CVemraRawDataGenerator {
public:
    using CVemraRawDataGenerator::CVemraRawDataGenerator;
    COrvStringT makeUniqueName(const COrvStringT& name) override { return L"N-" + name; }
    COrvStringT cleanCode(const COrvStringT&) override { return L"CODE"; }
    COrvStringT distUnitsLetter(bool) override { return L"u"; }
    COrvStringT angleUnitsLetter(bool) override { return L"x"; }
    COrvStringT distToString(double, int) override { return L"1.5"; }
    COrvStringT angleToString(double, int) override { return L"2.5"; }
};

TEST(VemraInterface, RecordsCallTheOperationsVirtually) {
    Job job;
    UpperNames gen(&job.settings, &job.info, &job.observation);
    COrvStringT out;
    gen.writeObservation(out, L"P", 0, 1.0, 1.0, 1.0, L"", 1.0, nullptr, nullptr);
    EXPECT_EQ(text(out), "+N-P_ a+0000025x_ b0000025x_ c+00000015u_*CODE_,1.5_");
    gen.writeStation(out, L"S", L"", 1.0);
    EXPECT_EQ(text(out), "'N-S_(CODE_)1.5_");
}

}  // namespace

namespace {

// Every operation of the family takes any double, precision and text without undefined
// behaviour (checked under the sanitizers) and still frames its record.
TEST(VemraHostileInput, EveryOperationCopes) {
    const double values[] = {kNaN,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             kLargest,
                             -kLargest,
                             -0.0,
                             std::numeric_limits<double>::denorm_min(),
                             1e-300};
    const int counts[] = {std::numeric_limits<int>::min(), -1, 0, 3, 40};
    const DexTSRawMeasurement extra(10, {kNaN});
    const DexTSRawMeasurement coords(0, {kLargest, -kLargest, kNaN});
    const COrvStringT longName(L'_', 5000);
    for (EAngleUnits angle : {eDegrees, eGons, eMils}) {
        Job job(eUSFeet, angle);
        job.observation.setPressure(kNaN, static_cast<EPressureUnits>(-7));
        job.observation.setTemperature(-kLargest, static_cast<ETemperatureUnits>(99));
        CVemraRawDataGenerator vemra(&job.settings, &job.info, &job.observation);
        CApaSimaRawDataGenerator apaSima(&job.settings, &job.info, &job.observation);
        CDrevanRawDataGenerator drevan(&job.settings, &job.info, &job.observation);
        CVemraRawDataGenerator* family[] = {&vemra, &apaSima, &drevan};
        COrvStringT out;
        for (CVemraRawDataGenerator* gen : family) {
            gen->writeJobHeader(out);
            EXPECT_EQ(text(out).substr(0, 2), "_!");
            for (double v : values) {
                // A field is as wide as asked (the angle field always seven digits), between its
                // sign and its unit letter, whatever the value and however many decimals.
                const std::string sign = v < 0.0 ? "-" : "+";
                const std::string distUnit = text(gen->distUnitsLetter(false));
                const std::string angleUnit = text(gen->angleUnitsLetter(false));
                for (int n : counts) {
                    const std::string digits(static_cast<std::size_t>(std::max(n, 0)), 'd');
                    const std::string dist = text(gen->distField(v, true, true, n, n));
                    EXPECT_EQ(dist.size(), sign.size() + digits.size() + distUnit.size()) << dist;
                    EXPECT_EQ(dist.substr(0, 1), sign) << dist;
                    const std::string angleText = text(gen->angleField(v, true, true, n));
                    EXPECT_EQ(angleText.size(), sign.size() + 7 + angleUnit.size()) << angleText;
                    EXPECT_EQ(angleText.substr(0, 1), sign) << angleText;
                    // A coordinate too large for its width takes the sign's place for one digit.
                    const std::string coord = text(drevan.coordField(v, true, true, n, n));
                    EXPECT_LE(coord.size(), 1 + digits.size() + text(drevan.distUnitsLetter(false)).size()) << coord;
                }
                for (int type : {-1, 0, 1, 2, 6, 9, 10, 11, std::numeric_limits<int>::min()}) {
                    gen->writeObservation(out, longName, type, v, v, v, longName, v, &extra, &coords);
                    EXPECT_EQ(text(out).substr(0, 1), "+");
                }
                gen->writeStation(out, longName, L"*", v);
                EXPECT_EQ(text(out).substr(0, 1), "'");
            }
        }
        job.observation.obsConstant = kNaN;
        // Values that are no number, or units the job does not know, are written as the C
        // library writes the value itself; an empty job gives empty fields and the date "//".
        EXPECT_TRUE(apaSima.writeObsConstant(1, out));
        EXPECT_EQ(text(out), "nan");
        COrvStringT a, b, c, d, e, f;
        EXPECT_TRUE(apaSima.writeAtmosphere(a, b, c, d, e, f));
        char largest[400];
        std::snprintf(largest, sizeof largest, "%.1f", -kLargest);
        EXPECT_EQ(text(a + L"|" + b + L"|" + c + L"|" + d + L"|" + e + L"|" + f),
                  "1|1|" + std::string(largest) + "|nan|0.0|1");
        EXPECT_TRUE(apaSima.writeJobInfo(a, b, c, d, e));
        EXPECT_EQ(text(a + L"|" + b + L"|" + c + L"|" + d + L"|" + e), "||||//");
    }
}

}  // namespace
