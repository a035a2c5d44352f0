// Numeric point names at the top of the number range: a host may start the list anywhere.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "contracts/dex_data.h"
#include "rw5/CRW5Generator.h"
#include "support/text.h"
#include "surface/export_generators.h"

using namespace orv::ie;

namespace {

// Handing out the largest long long moved the next number past it (signed overflow). Past the
// top the list now goes on with the smallest free number, and never repeats one.
TEST(NumericNamesAtTheTop, GoOnBelowTheStartWithoutRepeatingANumber) {
    FreeNumericNames names;
    names.setStart(LLONG_MAX - 1);
    names.reserve(L"1");
    EXPECT_EQ(testsupport::narrow(names.getNameFor(L"")), "9223372036854775806");
    EXPECT_EQ(testsupport::narrow(names.getNameFor(L"A")), "9223372036854775807");
    EXPECT_EQ(testsupport::narrow(names.getNameFor(L"B")), "2");
    EXPECT_EQ(testsupport::narrow(names.getNameFor(L"3")), "3");  // a numeric name is its own
    EXPECT_EQ(testsupport::narrow(names.getNameFor(L"C")), "4");
}

TEST(NumericNamesAtTheTop, ForcedRw5NamesStayDistinct) {
    FreeNumericNames names;
    names.setStart(LLONG_MAX);
    DexSettings settings;
    DexJobInfo job;
    std::unique_ptr<CRW5Generator> rw5(createRw5Generator(&settings, &job, &names, true, false));
    ASSERT_NE(rw5, nullptr);
    EXPECT_EQ(testsupport::narrow(rw5->cachedName(L"P1")), "9223372036854775807");
    EXPECT_EQ(testsupport::narrow(rw5->cachedName(L"P2")), "1");
    EXPECT_EQ(testsupport::narrow(rw5->cachedName(L"P1")), "9223372036854775807");
}

}  // namespace
