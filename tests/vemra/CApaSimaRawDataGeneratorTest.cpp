#include <gtest/gtest.h>

#include <vector>

#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/vemra_test_support.h"

namespace {

using namespace vemratest;  // NOLINT(google-build-using-namespace)

struct ApaSima {
    Job job;
    CApaSimaRawDataGenerator gen;
    explicit ApaSima(EAngleUnits angle = eDegrees)
        : job(eMeters, angle), gen(&job.settings, &job.info, &job.observation) {}
};

TEST(ApaSimaAngles, DigitsAreAlwaysPackedDegreesWhileTheLetterFollowsTheJob) {
    ApaSima gons(eGons);
    EXPECT_EQ(text(gons.gen.angleToString(90.5, 4)), "90.3000");
    EXPECT_EQ(text(gons.gen.angleField(90.5, false, true, 4)), "0903000g");
    ApaSima mils(eMils);  // the mil field keeps its three decimals: minutes and tens of seconds
    EXPECT_EQ(text(mils.gen.angleField(90.5, false, true, 4)), "0090300m");
    EXPECT_EQ(text(mils.gen.angleField(90.5, false, false, 4)), "0903000");

    COrvStringT out;
    mils.gen.writeObservation(out, L"P", 2, 0.0, 90.5, 0.0, L"", 1.0, nullptr, nullptr);
    EXPECT_EQ(text(out), "+P_ a+0360000m_ b0090300m_*_,1.000_");
}

TEST(ApaSimaTexts, ProgramInfo) {
    ApaSima a;
    a.job.info.appName = L"Field";
    a.job.info.appVersion = L"2.1";
    COrvStringT program = L"old";
    COrvStringT version = L"old";
    EXPECT_TRUE(a.gen.writeProgramInfo(program, version));
    EXPECT_EQ(text(program), "Field");
    EXPECT_EQ(text(version), "Ver 2.1");
}

TEST(ApaSimaTexts, JobInfoReversesTheCreationDate) {
    struct Case {
        bool hasDate;
        const wchar_t* created;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {true, L"25/12/2009", "2009/12/25"},
        {true, L"2009", "//2009"},
        {true, L"1/2", "/2/1"},
        {true, L"", "//"},
        {false, L"", "//"},
        {true, L"25/12/2009/extra", "2009/12/25"},
        {true, L"//", "//"},
    };
    for (const Case& c : cases) {
        ApaSima a;
        a.job.info.jobName = L"J7";
        if (c.hasDate) a.job.info.setCreateTime(c.created, L"10:11:12");
        COrvStringT job, second = L"x", third = L"x", fourth = L"x", date = L"x";
        EXPECT_TRUE(a.gen.writeJobInfo(job, second, third, fourth, date));
        EXPECT_EQ(text(date), c.expected) << text(c.created);
        EXPECT_EQ(text(job), "J7");
        EXPECT_EQ(text(second) + text(third) + text(fourth), "");
    }
}

TEST(ApaSimaTexts, ExtractFieldReportsMissingFields) {
    COrvStringT out = L"kept";
    EXPECT_FALSE(CApaSimaRawDataGenerator::extractField(out, nullptr, 0, L'/'));
    EXPECT_EQ(text(out), "kept");
    EXPECT_FALSE(CApaSimaRawDataGenerator::extractField(out, L"a/b", 2, L'/'));
    EXPECT_EQ(text(out), "");
    EXPECT_TRUE(CApaSimaRawDataGenerator::extractField(out, L"a//c", 1, L'/'));
    EXPECT_EQ(text(out), "");
    EXPECT_TRUE(CApaSimaRawDataGenerator::extractField(out, L"a//c", 2, L'/'));
    EXPECT_EQ(text(out), "c");
    EXPECT_TRUE(CApaSimaRawDataGenerator::extractField(out, L"a.b", 0, L'.'));
    EXPECT_EQ(text(out), "a");
}

TEST(ApaSimaTexts, AtmosphereWithValues) {
    ApaSima a;
    a.job.observation.setTemperature(20.0, eFahrenheit);
    a.job.observation.setPressure(1013.26, eMillimetresHg);  // still written in hPa
    a.job.observation.setPpm(-12.34);
    COrvStringT first, second, temperature, pressure, ppm, last;
    EXPECT_TRUE(a.gen.writeAtmosphere(first, second, temperature, pressure, ppm, last));
    EXPECT_EQ(text(first) + "|" + text(second) + "|" + text(last), "1|1|1");
    EXPECT_EQ(text(temperature), "68.0");
    EXPECT_EQ(text(pressure), "1013.3");
    EXPECT_EQ(text(ppm), "-12.3");
}

TEST(ApaSimaTexts, AtmosphereWithoutValuesWritesZeros) {
    ApaSima a;
    COrvStringT first, second, temperature = L"x", pressure = L"x", ppm = L"x", last;
    a.gen.writeAtmosphere(first, second, temperature, pressure, ppm, last);
    EXPECT_EQ(text(temperature) + "|" + text(pressure) + "|" + text(ppm), "0.0|0.0|0.0");
    EXPECT_EQ(text(first) + "|" + text(second) + "|" + text(last), "1|1|1");

    CApaSimaRawDataGenerator bare(nullptr, nullptr, nullptr);
    bare.writeAtmosphere(first, second, temperature, pressure, ppm, last);
    EXPECT_EQ(text(temperature) + "|" + text(pressure) + "|" + text(ppm), "0.0|0.0|0.0");
}

TEST(ApaSimaTexts, ObservationConstantOnlyForKindsOneAndThree) {
    struct Case {
        double constant;
        const char* forKindsOneAndThree;
    };
    const std::vector<Case> cases = {{0.0, "+00"}, {-0.0, "+00"},  {0.4, "00"},
                                     {5.0, "05"},  {-30.0, "-30"}, {17.6, "18"}};
    for (const Case& c : cases) {
        ApaSima a;
        a.job.observation.obsConstant = c.constant;
        for (int kind = -1; kind <= 4; ++kind) {
            COrvStringT out = L"old";
            EXPECT_TRUE(a.gen.writeObsConstant(kind, out));
            const bool selects = kind == 1 || kind == 3;
            EXPECT_EQ(text(out), selects ? c.forKindsOneAndThree : "+00") << c.constant << " kind " << kind;
        }
    }
}

TEST(ApaSimaInterface, VirtualOperationsKeepTheirSlots) {
    if (!kItaniumAbi)
        GTEST_SKIP()
            << "slots are read from member pointers of the Itanium C++ ABI, which this compiler does not follow";
    using A = CApaSimaRawDataGenerator;
    EXPECT_EQ(slotsOf(&A::writeProgramInfo, &A::writeJobInfo, &A::writeAtmosphere, &A::writeObsConstant),
              slotRange(14, 17));
}

}  // namespace
