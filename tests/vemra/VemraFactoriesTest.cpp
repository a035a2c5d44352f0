#include <gtest/gtest.h>

#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/vemra_test_support.h"

namespace {

using namespace vemratest;  // NOLINT(google-build-using-namespace)

TEST(VemraFactories, CreateTheRightClass) {
    Job job;
    CVemraRawDataGenerator* apaSima = createApaSimaRawDataGenerator(&job.settings, &job.info, &job.observation);
    CVemraRawDataGenerator* drevan = createDrevanRawDataGenerator(&job.settings, &job.info, &job.observation);
    EXPECT_NE(dynamic_cast<CApaSimaRawDataGenerator*>(apaSima), nullptr);
    EXPECT_NE(dynamic_cast<CDrevanRawDataGenerator*>(drevan), nullptr);
    delete apaSima;
    delete drevan;
}

}  // namespace
