#include <gtest/gtest.h>

#include "contracts/heap.h"
#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/vemra_test_support.h"

namespace {

using namespace vemratest;  // NOLINT(google-build-using-namespace)

using Factory = CVemraRawDataGenerator* (*)(DexSettings*, DexJobInfo*, DexObservationInfo*);

struct Named {
    const char* name;
    Factory create;
};

const Named kFactories[] = {
    {"createVemraRawDataGenerator",
     [](DexSettings* s, DexJobInfo* j, DexObservationInfo* o) -> CVemraRawDataGenerator* {
         return createVemraRawDataGenerator(s, j, o);
     }},
    {"createApaSimaRawDataGenerator",
     [](DexSettings* s, DexJobInfo* j, DexObservationInfo* o) -> CVemraRawDataGenerator* {
         return createApaSimaRawDataGenerator(s, j, o);
     }},
    {"createDrevanRawDataGenerator",
     [](DexSettings* s, DexJobInfo* j, DexObservationInfo* o) -> CVemraRawDataGenerator* {
         return createDrevanRawDataGenerator(s, j, o);
     }},
};

TEST(VemraFactories, CreateWorkingGeneratorsReleasedThroughTheBase) {
    Job job(eUSFeet, eGons);
    for (const Named& factory : kFactories) {
        CVemraRawDataGenerator* gen = factory.create(&job.settings, &job.info, &job.observation);
        ASSERT_NE(gen, nullptr) << factory.name;
        COrvStringT out;
        gen->writeStation(out, L"A_VERY_LONG_STATION_NAME_THAT_NEEDS_STORAGE", L"", 1.0);
        gen->writeObservation(out, L"P1", 9, 1.0, 0.0, 0.0, L"", 1.0, nullptr, nullptr);
        EXPECT_TRUE(gen->isNameMapped(L"P1")) << factory.name;
        EXPECT_EQ(text(gen->distUnitsLetter(false)), "f") << factory.name;  // units taken from the settings
        delete gen;  // the virtual destructor returns the map nodes and the object to the heap
    }
}

TEST(VemraFactories, CreateTheRightClass) {
    Job job;
    CVemraRawDataGenerator* apaSima = createApaSimaRawDataGenerator(&job.settings, &job.info, &job.observation);
    CVemraRawDataGenerator* drevan = createDrevanRawDataGenerator(&job.settings, &job.info, &job.observation);
    EXPECT_NE(dynamic_cast<CApaSimaRawDataGenerator*>(apaSima), nullptr);
    EXPECT_NE(dynamic_cast<CDrevanRawDataGenerator*>(drevan), nullptr);
    delete apaSima;
    delete drevan;
}

TEST(VemraFactories, ReturnNullWhenTheHeapIsExhausted) {
    Job job;
    for (const Named& factory : kFactories) {
        orv::heap::failAllocations(0, 1);
        CVemraRawDataGenerator* gen = factory.create(&job.settings, &job.info, &job.observation);
        orv::heap::failAllocations(0, 0);
        EXPECT_EQ(gen, nullptr) << factory.name;
        delete gen;
    }
}

}  // namespace
