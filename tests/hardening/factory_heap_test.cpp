// Every factory on a heap that fails at one allocation of the construction, for each allocation
// in turn: the result is null (never a half-built generator, never an escaping exception) until
// the construction needs no more allocations than were allowed, and then a whole generator
// that writes records. Under the sanitizer and valgrind runs a member left behind by a failed
// construction fails the test as a leak.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "contracts/dex_data.h"
#include "contracts/heap.h"
#include "contracts/text_services.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "support/text.h"
#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"

using namespace orv::ie;

namespace {

struct HealthyHeapAfterwards {
    ~HealthyHeapAfterwards() { orv::heap::failAllocations(0, 0); }
};

// A job with a numeric-name list long enough that copying it allocates a node per name.
struct Job {
    DexSettings settings{eUSFeet, eGons};
    DexJobInfo info;
    DexObservationInfo observation;
    FreeNumericNames names;

    Job() {
        for (int i = 1; i <= 200; ++i) names.reserve(orv_formats::IntToString(7 * i));
    }
};

// Fails allocation 0, 1, 2, … of `create` in turn until a construction succeeds; returns the
// number of failed constructions and checks the generator that finally came out with `use`.
template <class Generator>
int failuresBeforeSuccess(const std::function<Generator*()>& create, const std::function<void(Generator&)>& use) {
    HealthyHeapAfterwards guard;
    int failures = 0;
    for (std::size_t skip = 0; skip < 5000; ++skip) {
        orv::heap::failAllocations(skip, 1);
        std::unique_ptr<Generator> generator(create());
        orv::heap::failAllocations(0, 0);
        if (generator == nullptr) {
            ++failures;
            continue;
        }
        use(*generator);
        return failures;
    }
    ADD_FAILURE() << "no construction succeeded";
    return failures;
}

TEST(FactoriesOnAFailingHeap, VemraFamilyFailsOnlyForTheObjectItself) {
    Job job;
    const auto station = [](CVemraRawDataGenerator& g) {
        COrvStringT out;
        g.writeStation(out, L"A_LONG_STATION_NAME_ON_THE_HEAP", L"", 1.5);
        EXPECT_EQ(testsupport::narrow(out), "'ALONGSTATIONNAMEONTHEHEAP_(_)4.921_");
    };
    EXPECT_EQ(failuresBeforeSuccess<CVemraRawDataGenerator>(
                  [&] { return createVemraRawDataGenerator(&job.settings, &job.info, &job.observation); }, station),
              1);
    EXPECT_EQ(failuresBeforeSuccess<CVemraRawDataGenerator>(
                  [&] { return createApaSimaRawDataGenerator(&job.settings, &job.info, &job.observation); }, station),
              1);
    EXPECT_EQ(failuresBeforeSuccess<CVemraRawDataGenerator>(
                  [&] { return createDrevanRawDataGenerator(&job.settings, &job.info, &job.observation); }, station),
              1);
}

TEST(FactoriesOnAFailingHeap, QuoltPashkFailsAtTheObjectAndAtEveryNodeOfTheCopiedNameList) {
    Job job;
    for (bool numeric : {false, true}) {
        const int failures = failuresBeforeSuccess<CQuoltPashkRawDataGenerator>(
            [&] {
                return createQuoltPashkRawDataGenerator(&job.settings, &job.info, &job.observation, &job.names,
                                                        numeric);
            },
            [&](CQuoltPashkRawDataGenerator& g) {
                // The copied list still knows every reserved number: the first free one is 1.
                EXPECT_EQ(testsupport::narrow(g.outputName(L"P")), numeric ? "1" : "P");
                EXPECT_EQ(testsupport::narrow(g.outputName(L"Q")), numeric ? "2" : "Q");
                EXPECT_EQ(testsupport::narrow(g.outputName(L"R")), numeric ? "3" : "R");
                EXPECT_EQ(testsupport::narrow(g.outputName(L"S")), numeric ? "4" : "S");
                EXPECT_EQ(testsupport::narrow(g.outputName(L"T")), numeric ? "5" : "T");
                EXPECT_EQ(testsupport::narrow(g.outputName(L"U")), numeric ? "6" : "U");
                EXPECT_EQ(testsupport::narrow(g.outputName(L"V")), numeric ? "8" : "V");  // 7 is reserved
            });
        EXPECT_GE(failures, 1 + 200) << "the object, then every node of the list";
    }
}

TEST(FactoriesOnAFailingHeap, Rw5AndSdrFailAtEveryAllocationOfTheirConstruction) {
    Job job;
    const int rw5Failures = failuresBeforeSuccess<CRW5Generator>(
        [&] { return createRw5Generator(&job.settings, &job.info, &job.names, true, false); },
        [](CRW5Generator& g) { EXPECT_EQ(testsupport::narrow(g.cachedName(L"P")), "1"); });
    EXPECT_GE(rw5Failures, 1 + 200);
    const int sdrFailures = failuresBeforeSuccess<CRW5Generator>(
        [&] { return createSdrRawGenerator(&job.settings, &job.info); },
        [](CRW5Generator& g) { EXPECT_EQ(testsupport::narrow(g.notePrefix()), "13NM"); });
    EXPECT_GE(sdrFailures, 1);
}

}  // namespace
