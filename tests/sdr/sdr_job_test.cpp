// A whole SDR job fragment against a golden text: header, set-up, backsight, observations of
// every kind in both faces with codes and attributes, a level run, a stake-out, observed points
// and residuals, in the order a host writes them.
#include "contracts/text_services.h"
#include "sdr/sdr_fixture.h"

namespace sdrtest {
namespace {

class SdrJob : public SdrTest {
protected:
    void SetUp() override {
        job.appName = L"Field";
        job.appVersion = L"2.1";
        job.jobName = L"ROADWORKS";
        base::CTime::SetFixedCurrentTime(base::CTime(2025, 7, 4, 9, 5, 3));
    }
    void TearDown() override { base::CTime::ClearFixedCurrentTime(); }

    // Writes the record of one foresight with its code notes.
    void shoot(const wchar_t* target, const DexTSRawMeasurement& measurement,
               const DexCodeValues* pointCode = nullptr) {
        DexTSRawFS sight = foresightTo(target, measurement);
        if (pointCode != nullptr) sight.codes.addCode(*pointCode);
        out += gen.sightNoteLine(&sight, nullptr);
    }

    COrvStringT out;
};

TEST_F(SdrJob, WholeFragmentMatchesGoldenText) {
    COrvStringT comment, jobLine, mode;
    gen.header(comment, jobLine, mode);
    out += comment + jobLine + mode;

    // Set-up on STN1 with a backsight to BS1 and its check shot.
    out += gen.occupy(L"NM", L"STN1", L"CP", 5000.0, 3000.0, 100.0, 1.55);
    out += gen.lsHiHr(1.8, true);
    out += gen.backsight(L"BS1", false, 0.0, 45.5);
    DexTSRawBS backsightShot;
    backsightShot.setTargetName(L"BS1");
    backsightShot.setMeasurement(DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {45.5, 90.25, 152.3456}, true));
    DexDesignPoint bsPoint(DexStation(L"BS1", 5106.0, 3108.0, 99.0));
    bsPoint.codes.addCode(code("CTRL"));
    backsightShot.setBSPoint(bsPoint);
    out += gen.sightNoteLine(&backsightShot, nullptr);

    // Observations of every kind; kinds 0 and 2 in both faces.
    const DexCodeValues tree = code("TREE", {{"HEIGHT", "12"}, {"SPECIES", ""}, {"GIRTH", "0.8"}});
    shoot(L"101", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {123.456789, 88.5, 45.6789}), &tree);
    shoot(L"101", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {303.456789, 271.5, 45.679}), &tree);
    shoot(L"102", DexTSRawMeasurement(eKindAngleAndHorizontalDistance, {200.0, 40.0, 3.0}));
    shoot(L"103", DexTSRawMeasurement(eKindAnglesOnly, {10.0, 95.0}));
    shoot(L"103", DexTSRawMeasurement(eKindAnglesOnly, {190.0, 265.0}));
    shoot(L"104", DexTSRawMeasurement(eKindHorizontalAngleOnly, {33.3}));
    shoot(L"105", DexTSRawMeasurement(eKindSlopeDistanceOnly, {12.5}));
    const DexCodeValues fence = code("BOUNDARY_FENCE_POST_OLD", {{"MATERIAL", "OAK"}});
    shoot(L"106", DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {15.0, 91.0, 20.0}), &fence);
    out += gen.noteLine(COrvStringT(L"End of set-up"));

    // A level run from a benchmark.
    out += gen.levelRunNote(L"RUN1", L"Benchmarks");
    out += gen.levelStartRecords(L"BM1", 100.0, L"Start", 1);
    const DexTSRawMeasurement backReading(0, {0.0, 1.2345, 0.0});
    const DexTSRawMeasurement foreReading(1, {25.5, 1.5, 24.75});
    out += gen.levelReadingRecord(L"BM1", 101.2345, &backReading, 30.0, L"BS", false, 1);
    out += gen.levelReadingRecord(L"TP1", 99.7345, &foreReading, 28.0, L"FS", true, 2);

    // A staked point, two observed points and the residuals of a closure.
    out += gen.stakeoutNotes(L"D7", L"S7", 0.012, -0.034, 0.25);
    const DexStation p200(L"P200", 5010.0, 3020.0, 101.5);
    const DexTSRawMeasurement toP200(0, {63.434949, 87.5, 22.3607});
    out += gen.anglePointRecords(&p200, &toP200, L"PIN");
    const DexStation p201(L"P201", 5011.0, 3021.0, 101.25);
    const DexTSRawMeasurement offsets(3, {-0.5, 2.0, 1.25});
    out += gen.offsetPointRecords(&p201, &offsets, L"EDGE");
    out += gen.residualNotes(0.001, -0.002, 0.0);

    testsupport::expectGolden("sdr_job.txt", narrow(out));
    EXPECT_EQ(gen.reportStatus(), 0);  // every name fitted its field
}

}  // namespace
}  // namespace sdrtest
