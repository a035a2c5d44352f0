// The host calls the generator's operations by their position in the virtual table, so the
// order of all 65 slots is pinned here: 1-47 are the RW5 class's, pinned here for both formats,
// 48-64 the SDR class's own (support/slots.h reads a slot).
#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

#include "sdr/CSDRRawGenerator.h"
#include "support/slots.h"

namespace {

using orv::ie::CSDRRawGenerator;

struct Slot {
    int expected;
    int actual;
    const char* name;
};

#define SLOT(k, member) \
    Slot { k, testsupport::slotOf(member), #member }

TEST(SdrSlots, VirtualOperationsKeepTheirSlots) {
    using G = CSDRRawGenerator;
    using NoteLineOfText = COrvStringT (G::*)(const COrvStringT&);
    using NoteLineOfChars = COrvStringT (G::*)(const wchar_t*);
    using EmptyText = COrvStringT (G::*)();
    using EmptyTextOfInt = COrvStringT (G::*)(int);
    static_assert(std::has_virtual_destructor<G>::value, "slot 0 is the virtual destructor");

    const std::vector<Slot> slots = {
        SLOT(1, &G::header),
        SLOT(2, &G::occupy),
        SLOT(3, &G::coords),
        SLOT(4, &G::sightNoteLine),
        SLOT(5, static_cast<EmptyText>(&G::emptyText)),
        SLOT(6, &G::resectionErrorNotes),
        SLOT(7, &G::worstResidualNotes),
        SLOT(8, &G::targetHeightNote),
        SLOT(9, &G::lsHiHr),
        SLOT(10, &G::lsHiHrIfHrChanged),
        SLOT(11, &G::backsight),
        SLOT(12, &G::backsightCheckNotes),
        SLOT(13, &G::storePoint),
        SLOT(14, &G::hasName),
        SLOT(15, &G::cachedName),
        SLOT(16, &G::pointName),
        SLOT(17, static_cast<NoteLineOfText>(&G::noteLine)),
        SLOT(18, &G::offsetRecord),
        SLOT(19, &G::foresightFull),
        SLOT(20, &G::foresightAngles),
        SLOT(21, &G::foresightHd),
        SLOT(22, &G::backsightObs),
        SLOT(23, &G::foresight),
        SLOT(24, &G::angleFields),
        SLOT(25, &G::resection),
        SLOT(26, &G::hdFields),
        SLOT(27, &G::fullFields),
        SLOT(28, &G::distanceOffsets),
        SLOT(29, &G::noteField),
        SLOT(30, static_cast<NoteLineOfChars>(&G::noteLine)),
        SLOT(31, static_cast<EmptyTextOfInt>(&G::emptyText)),
        SLOT(32, &G::lsHr),
        SLOT(33, &G::backsightHeightNote),
        SLOT(34, &G::hrField),
        SLOT(35, &G::beginMarker),
        SLOT(36, &G::endMarker),
        SLOT(37, &G::recallList),
        SLOT(38, &G::codesText),
        SLOT(39, &G::d),
        SLOT(40, &G::a),
        SLOT(41, &G::notePrefix),
        SLOT(42, &G::angleOnlyFields),
        SLOT(43, &G::typeFor),
        SLOT(44, &G::recordType),
        SLOT(45, &G::sightRecordType),
        SLOT(46, &G::verticalSightDistance),
        SLOT(47, &G::isFace1),
        SLOT(48, &G::valueFields),
        SLOT(49, &G::attributeNotes),
        SLOT(50, &G::coordinateRecord),
        SLOT(51, &G::coordinateFields),
        SLOT(52, &G::anglePairFields),
        SLOT(53, &G::observationFields),
        SLOT(54, &G::levelRunNote),
        SLOT(55, &G::levelStartRecords),
        SLOT(56, &G::levelReadingRecord),
        SLOT(57, &G::stakeoutNotes),
        SLOT(58, &G::noteRecord),
        SLOT(59, &G::anglePointRecords),
        SLOT(60, &G::offsetPointRecords),
        SLOT(61, &G::residualNotes),
        SLOT(62, &G::backsightName),
        SLOT(63, &G::codeFieldWidth),
        SLOT(64, &G::recordNumber),
    };
    ASSERT_EQ(slots.size(), 64u);  // with the destructor in slot 0, all 65
    for (const Slot& s : slots) EXPECT_EQ(s.actual, s.expected) << s.name;
}

}  // namespace
