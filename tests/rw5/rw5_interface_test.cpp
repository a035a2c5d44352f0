// The RW5 interface: the order of its virtual operations, and how a derived format's overrides
// reach (or do not reach) the inherited records.
#include <cstdint>
#include <cstring>

#include "rw5/rw5_fixture.h"
#include "support/slots.h"

namespace rw5test {
namespace {

TEST(Rw5Interface, VirtualOperationsKeepTheirSlots) {
    using G = CRW5Generator;
    using testsupport::slotOf;
    EXPECT_EQ(slotOf(&G::header), 1);
    EXPECT_EQ(slotOf(&G::occupy), 2);
    EXPECT_EQ(slotOf(&G::coords), 3);
    EXPECT_EQ(slotOf(&G::sightNoteLine), 4);
    EXPECT_EQ(slotOf(static_cast<COrvStringT (G::*)()>(&G::emptyText)), 5);
    EXPECT_EQ(slotOf(&G::resectionErrorNotes), 6);
    EXPECT_EQ(slotOf(&G::worstResidualNotes), 7);
    EXPECT_EQ(slotOf(&G::targetHeightNote), 8);
    EXPECT_EQ(slotOf(&G::lsHiHr), 9);
    EXPECT_EQ(slotOf(&G::lsHiHrIfHrChanged), 10);
    EXPECT_EQ(slotOf(&G::backsight), 11);
    EXPECT_EQ(slotOf(&G::backsightCheckNotes), 12);
    EXPECT_EQ(slotOf(&G::storePoint), 13);
    EXPECT_EQ(slotOf(&G::hasName), 14);
    EXPECT_EQ(slotOf(&G::cachedName), 15);
    EXPECT_EQ(slotOf(&G::pointName), 16);
    EXPECT_EQ(slotOf(static_cast<COrvStringT (G::*)(const COrvStringT&)>(&G::noteLine)), 17);
    EXPECT_EQ(slotOf(&G::offsetRecord), 18);
    EXPECT_EQ(slotOf(&G::foresightFull), 19);
    EXPECT_EQ(slotOf(&G::foresightAngles), 20);
    EXPECT_EQ(slotOf(&G::foresightHd), 21);
    EXPECT_EQ(slotOf(&G::backsightObs), 22);
    EXPECT_EQ(slotOf(&G::foresight), 23);
    EXPECT_EQ(slotOf(&G::angleFields), 24);
    EXPECT_EQ(slotOf(&G::resection), 25);
    EXPECT_EQ(slotOf(&G::hdFields), 26);
    EXPECT_EQ(slotOf(&G::fullFields), 27);
    EXPECT_EQ(slotOf(&G::distanceOffsets), 28);
    EXPECT_EQ(slotOf(&G::noteField), 29);
    EXPECT_EQ(slotOf(static_cast<COrvStringT (G::*)(const wchar_t*)>(&G::noteLine)), 30);
    EXPECT_EQ(slotOf(static_cast<COrvStringT (G::*)(int)>(&G::emptyText)), 31);
    EXPECT_EQ(slotOf(&G::lsHr), 32);
    EXPECT_EQ(slotOf(&G::backsightHeightNote), 33);
    EXPECT_EQ(slotOf(&G::hrField), 34);
    EXPECT_EQ(slotOf(&G::beginMarker), 35);
    EXPECT_EQ(slotOf(&G::endMarker), 36);
    EXPECT_EQ(slotOf(&G::recallList), 37);
    EXPECT_EQ(slotOf(&G::codesText), 38);
    EXPECT_EQ(slotOf(&G::d), 39);
    EXPECT_EQ(slotOf(&G::a), 40);
    EXPECT_EQ(slotOf(&G::notePrefix), 41);
    EXPECT_EQ(slotOf(&G::angleOnlyFields), 42);
    EXPECT_EQ(slotOf(&G::typeFor), 43);
    EXPECT_EQ(slotOf(&G::recordType), 44);
    EXPECT_EQ(slotOf(&G::sightRecordType), 45);
    EXPECT_EQ(slotOf(&G::verticalSightDistance), 46);
    EXPECT_EQ(slotOf(&G::isFace1), 47);
}

// A derived format that replaces the full measurement fields, the distance text and the note
// prefix, as the SDR generator does.
class MarkedFields : public CRW5Generator {
public:
    MarkedFields(const DexSettings* settings, const DexJobInfo* job)
        : CRW5Generator(settings, job, nullptr, false, false) {
        m_notePrefix = L"##";
    }
    COrvStringT fullFields(const DexTSRawMeasurement*) override { return L"<derived fields>"; }
    COrvStringT d(double metres, int) override { return L"<" + orv_formats::DoubleToString(metres, 1) + L">"; }
};

TEST_F(Rw5Test, OverridesReachTheRecordsExceptTheOffsetFields) {
    MarkedFields derived(&settings, &job);
    derived.occupy(L"", L"1", L"", 0, 0, 0, 1.5);
    DexTSRawFS sight = foresightTo(L"7", measure(eKindAnglesAndSlopeDistance, {30, 90, 100}));
    // The observation record calls fullFields virtually...
    EXPECT_EQ(narrow(derived.sightNoteLine(&sight, nullptr)), "FD,OP1,FP7<derived fields>,--\r\n");
    // ...the offset record calls the RW5 fields directly, whose values still use the derived d.
    EXPECT_EQ(narrow(derived.offsetRecord(&sight, 0, L"")), "OF,AR30.00000,ZE90.00000,SD<100.0>\r\n");
    // Inherited note lines begin with the derived prefix.
    EXPECT_EQ(narrow(derived.targetHeightNote(1.5)), "##HR<1.5>\r\n");
    EXPECT_EQ(narrow(derived.beginMarker()), "##BEG\r\n");
}

}  // namespace
}  // namespace rw5test
