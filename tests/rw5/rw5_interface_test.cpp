// The RW5 interface: how a derived format's overrides reach (or do not reach) the inherited
// records. The order of its virtual operations is pinned through the SDR class (sdr_slots_test).
#include "rw5/rw5_fixture.h"

namespace rw5test {
namespace {

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
