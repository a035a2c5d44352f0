// The library surface: factories on an exhausted heap, release through the virtual
// destructor, and the plain names of the shared library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "contracts/dex_data.h"
#include "contracts/heap.h"
#include "contracts/text_services.h"
#include "rw5/CRW5Generator.h"
#include "support/text.h"
#include "surface/export_generators.h"

using namespace orv::ie;

namespace {

class Factories : public ::testing::Test {
protected:
    void TearDown() override { orv::heap::failAllocations(0, 0); }
    DexSettings settings{eMeters, eDegrees};
    DexJobInfo job;
};

TEST_F(Factories, Rw5FactoryReturnsNullWhenTheHeapIsExhausted) {
    orv::heap::failAllocations(0, 1);
    EXPECT_EQ(createRw5Generator(&settings, &job, nullptr, false, false), nullptr);
    orv::heap::failAllocations(0, 0);
    CRW5Generator* rw5 = createRw5Generator(&settings, &job, nullptr, false, false);
    ASSERT_NE(rw5, nullptr);
    delete rw5;
}

TEST_F(Factories, Rw5FactorySurvivesAFailureAtEveryAllocationOfItsConstruction) {
    FreeNumericNames names;  // a long list, so copying it allocates many nodes
    for (int i = 1; i <= 50; ++i) names.reserve(orv_formats::IntToString(i * 3));
    int failures = 0;
    for (std::size_t skip = 0; skip < 1000; ++skip) {
        orv::heap::failAllocations(skip, 1);
        CRW5Generator* rw5 = createRw5Generator(&settings, &job, &names, true, true);
        orv::heap::failAllocations(0, 0);
        if (rw5 == nullptr) {
            ++failures;
            continue;
        }
        // Once the construction needs no more allocations than were allowed, it succeeds.
        EXPECT_EQ(testsupport::narrow(rw5->notePrefix()), "--");
        delete rw5;
        break;
    }
    EXPECT_GT(failures, 50);  // the object, then every node of the copied list
}

TEST_F(Factories, GeneratorReleasedThroughItsBaseFreesEverything) {
    CRW5Generator* rw5 = createRw5Generator(&settings, &job, nullptr, true, false);
    ASSERT_NE(rw5, nullptr);
    for (int i = 0; i < 100; ++i) rw5->cachedName(L"a fairly long point name " + orv_formats::IntToString(i));
    delete rw5;  // the leak checker of the sanitizer build reports anything left behind
}

TEST_F(Factories, NullSettingsGiveMetresAndDegrees) {
    CRW5Generator* rw5 = createRw5Generator(nullptr, nullptr, nullptr, false, false);
    ASSERT_NE(rw5, nullptr);
    EXPECT_EQ(testsupport::narrow(rw5->d(1.0, 2)), "1.00");
    delete rw5;
}

TEST(SharedLibrary, ExportsTheFactoriesByTheirPlainNames) {
    void* library = dlopen(EXPORTGEN_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name :
         {"createVemraRawDataGenerator", "createApaSimaRawDataGenerator", "createDrevanRawDataGenerator",
          "createQuoltPashkRawDataGenerator", "createRw5Generator", "createSdrRawGenerator"}) {
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    }
    // Nothing else of ours is visible: not the classes' functions, not the contracts.
    for (const char* hidden :
         {"orv_operator_new", "_ZN3orv2ie13CRW5Generator1dEdi", "_ZN3orv2ie16CSDRRawGenerator12recordNumberEi",
          "_ZN3orv2ie22CVemraRawDataGeneratorD0Ev"}) {
        EXPECT_EQ(dlsym(library, hidden), nullptr) << hidden;
    }

    using Factory = CRW5Generator* (*)(const DexSettings*, const DexJobInfo*, const FreeNumericNames*, bool, bool);
    auto create = reinterpret_cast<Factory>(dlsym(library, "createRw5Generator"));
    ASSERT_NE(create, nullptr);
    DexSettings settings;
    DexJobInfo job;
    CRW5Generator* rw5 = create(&settings, &job, nullptr, false, false);
    ASSERT_NE(rw5, nullptr);
    EXPECT_EQ(testsupport::narrow(rw5->noteLine(COrvStringT(L"from the library"))), "--from the library\r\n");
    delete rw5;
    dlclose(library);
}

}  // namespace
