// A whole set-up written record by record, as a host drives the generator, against texts a
// surveyor can check line by line (tests/golden/rw5_setup*.rw5).
#include "rw5/rw5_fixture.h"

namespace rw5test {
namespace {

std::string writeSetUp(CRW5Generator& rw5) {
    COrvStringT text;
    COrvStringT comment, jobLine, mode;
    rw5.header(comment, jobLine, mode);
    text += comment + jobLine + mode;

    // Station 1 on a nail, instrument 1.500 m; backsight to 2 with the circle set to 0.
    text += rw5.occupy(L"", L"1", L"nail in kerb", 5000.0, 3000.0, 101.25, 1.5);
    text += rw5.lsHiHr(1.7, true);
    text += rw5.backsight(L"2", false, 0.0, 45.0);
    const DexTSRawMeasurement toBacksight = measure(eKindAnglesAndSlopeDistance, {0.0, 90.5, 141.4214}, true);
    text += rw5.backsightObs(L"2", 0, &toBacksight, 1.7) + rw5.noteField(L"") + L"\r\n";

    // Point 7 (a tree) in both faces.
    DexTSRawFS face1 = foresightTo(L"7", measure(eKindAnglesAndSlopeDistance, {30.5, 89.75, 52.3456}));
    DexCodeValues tree = code(L"TREE", L"ST");
    tree.addCodeString(L"line-4");
    face1.codes.addCode(tree);
    text += rw5.sightNoteLine(&face1, nullptr);
    DexTSRawFS face2 = foresightTo(L"7", measure(eKindAnglesAndSlopeDistance, {210.5, 270.25, 52.3458}));
    face2.codes.addCode(tree);
    text += rw5.sightNoteLine(&face2, nullptr);

    // A side shot measured by horizontal distance and height difference, new rod height.
    text += rw5.lsHiHrIfHrChanged(2.0);
    DexTSRawFS side =
        foresightTo(L"", measure(eKindAngleAndHorizontalDistance, {-15.25, 20.5, -0.375}), eSightSideShot);
    side.codes.addCode(code(L"MH", L"", L"inv 98.2"));
    text += rw5.sightNoteLine(&side, nullptr);

    // The corner of a wall, by a horizontal angle offset; then its stored point.
    DexTSRawFS wall = foresightTo(L"9", measure(eKindAnglesOnly, {-100.0, 91.0}));
    wall.setMeasType(DexTSRawFS::eMeasHorizontalAngleOffset);
    text += rw5.offsetRecord(&wall, 0, L"");
    const DexStation corner(L"9", 5010.5, 2990.25, 100.125);
    text += rw5.storePoint(L"SP", L"9", &corner, L"wall corner", 4, true);
    text += rw5.noteLine(COrvStringT(L"set-up closed"));
    return testsupport::narrow(text);
}

// The host reserves the job's point names, so the unnamed side shot gets a number of its own.
FreeNumericNames jobNames() {
    FreeNumericNames names;
    for (const wchar_t* name : {L"1", L"2", L"7", L"9"}) names.reserve(name);
    return names;
}

TEST_F(Rw5Test, WholeSetUp) {
    const FreeNumericNames names = jobNames();
    testsupport::expectGolden("rw5_setup.rw5", writeSetUp(*make(false, false, &names)));
}

TEST_F(Rw5Test, WholeSetUpInRbMode) {
    const FreeNumericNames names = jobNames();
    testsupport::expectGolden("rw5_setup_rb.rw5", writeSetUp(*make(false, true, &names)));
}

TEST_F(Rw5Test, WholeSetUpInUsFeetAndGons) {
    settings.setDistUnits(eUSFeet);
    settings.setAngleUnits(eGons);
    const FreeNumericNames names = jobNames();
    testsupport::expectGolden("rw5_setup_ft_gon.rw5", writeSetUp(*make(false, false, &names)));
}

}  // namespace
}  // namespace rw5test
