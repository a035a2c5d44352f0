// The SDR factory: an exhausted heap gives null and leaks nothing, the object is released
// cleanly through the RW5 base, and the shared library exports the factory by its plain name.
#include <gtest/gtest.h>

#include <memory>

#include "contracts/heap.h"
#include "sdr/CSDRRawGenerator.h"
#include "support/text.h"
#include "surface/export_generators.h"

namespace {

using namespace orv::ie;

struct HeapFailureGuard {
    ~HeapFailureGuard() { orv::heap::failAllocations(0, 0); }
};

TEST(SdrFactory, ExhaustedHeapGivesNull) {
    HeapFailureGuard guard;
    DexSettings settings;
    DexJobInfo job;
    orv::heap::failAllocations(0, 1);
    EXPECT_EQ(createSdrRawGenerator(&settings, &job), nullptr);
    orv::heap::failAllocations(0, 0);
}

TEST(SdrFactory, FailureAtAnyAllocationOfTheConstructionGivesNullAndLeaksNothing) {
    // Fail each allocation of the construction in turn until one construction needs no more
    // than were allowed; under AddressSanitizer a leaked member would fail the run.
    HeapFailureGuard guard;
    DexSettings settings;
    DexJobInfo job;
    int failures = 0;
    bool built = false;
    for (std::size_t skip = 0; skip < 32 && !built; ++skip) {
        orv::heap::failAllocations(skip, 1);
        std::unique_ptr<CRW5Generator> gen(createSdrRawGenerator(&settings, &job));
        orv::heap::failAllocations(0, 0);
        if (gen == nullptr) {
            ++failures;
        } else {
            EXPECT_EQ(testsupport::narrow(gen->notePrefix()), "13NM");
            built = true;
        }
    }
    EXPECT_TRUE(built);
    EXPECT_GE(failures, 1);  // at least the object's own block
}

TEST(SdrFactory, ReleasedThroughTheRw5Base) {
    DexSettings settings(eUSFeet, eGons);
    DexJobInfo job;
    CRW5Generator* gen = createSdrRawGenerator(&settings, &job);
    ASSERT_NE(gen, nullptr);
    // Fill the name map and the texts the object owns before releasing it.
    gen->occupy(L"NM", L"A_STATION_NAME_LONGER_THAN_THE_SMALL_BUFFER", L"", 1.0, 2.0, 3.0, 1.5);
    gen->backsight(L"", true, 0.0, 90.0);
    EXPECT_EQ(testsupport::narrow(gen->d(1200.0, 1)), "3937.0");  // the SDR formatter, through the base
    delete gen;
}

}  // namespace
