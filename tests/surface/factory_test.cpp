// The library surface: every generator, deleted through the class the host holds it by, returns
// every block it took; absent settings give metres and degrees. (A failing heap is
// tests/hardening/factory_heap_test.cpp, the exported names the ctest check_exports.cmake.)
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "contracts/dex_data.h"
#include "contracts/text_services.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "support/text.h"
#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"

#if defined(__GLIBC__)  // known once a C library header is in, as gtest's are
#include <malloc.h>
#endif

using namespace orv::ie;

namespace {

// Bytes in use on the C heap, from which the utility heap takes its blocks: glibc counts them
// exactly. Nothing else gives an exact count: the Windows C runtime's heap walk reports the
// low-fragmentation heap's groups of small blocks as one used block each, a group that stays
// used when its blocks are freed, so a small block left behind can hide in it.
#if defined(__GLIBC__)
std::optional<std::size_t> heapInUse() { return mallinfo2().uordblks; }
#else
std::optional<std::size_t> heapInUse() { return std::nullopt; }
#endif

COrvStringT longName(int i) { return L"a fairly long point name " + orv_formats::IntToString(i); }

// Fills a Vemra-family generator's name map, then deletes it through the root class.
void fillAndDelete(CVemraRawDataGenerator* generator) {
    ASSERT_NE(generator, nullptr);
    COrvStringT out;
    for (int i = 0; i < 100; ++i)
        generator->writeObservation(out, longName(i), 0, 1.0, 90.0, 5.0, L"", 1.5, nullptr, nullptr);
    delete generator;
}

// Fills an RW5-family generator's name map and texts, then deletes it through the RW5 class.
void fillAndDelete(CRW5Generator* generator) {
    ASSERT_NE(generator, nullptr);
    generator->occupy(L"NM", L"A_STATION_NAME_LONGER_THAN_THE_SMALL_BUFFER", L"", 1.0, 2.0, 3.0, 1.5);
    for (int i = 0; i < 100; ++i) generator->cachedName(longName(i));
    delete generator;
}

TEST(Factories, EveryGeneratorReleasedThroughItsBaseReturnsEveryBlock) {
    if (!heapInUse()) {
        GTEST_SKIP() << "needs glibc's exact count of the bytes in use (mallinfo2); the sanitizer and "
                        "valgrind runs check for leaks on Linux";
    }
    DexSettings settings{eUSFeet, eGons};
    DexJobInfo job;
    DexObservationInfo observation;
    FreeNumericNames names;  // copied by the generator: a node per name
    for (int i = 1; i <= 50; ++i) names.reserve(orv_formats::IntToString(3 * i));
    const struct {
        const char* name;
        std::function<void()> use;
    } factories[] = {
        {"vemra", [&] { fillAndDelete(createVemraRawDataGenerator(&settings, &job, &observation)); }},
        {"apasima", [&] { fillAndDelete(createApaSimaRawDataGenerator(&settings, &job, &observation)); }},
        {"drevan", [&] { fillAndDelete(createDrevanRawDataGenerator(&settings, &job, &observation)); }},
        {"quoltpashk",
         [&] { fillAndDelete(createQuoltPashkRawDataGenerator(&settings, &job, &observation, &names, true)); }},
        {"rw5", [&] { fillAndDelete(createRw5Generator(&settings, &job, &names, true, false)); }},
        {"sdr", [&] { fillAndDelete(createSdrRawGenerator(&settings, &job)); }},
    };
    for (const auto& factory : factories) {
        factory.use();  // the first use may leave the runtime's own one-time allocations behind
        const std::size_t before = *heapInUse();
        factory.use();
        EXPECT_EQ(*heapInUse(), before) << factory.name << " left blocks behind";
    }
}

TEST(Factories, NullSettingsGiveMetresAndDegrees) {
    CRW5Generator* rw5 = createRw5Generator(nullptr, nullptr, nullptr, false, false);
    ASSERT_NE(rw5, nullptr);
    EXPECT_EQ(testsupport::narrow(rw5->d(1.0, 2)), "1.00");
    delete rw5;
}

}  // namespace
