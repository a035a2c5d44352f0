#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "surface/export_generators.h"
#include "vemra/vemra_test_support.h"

namespace {

using namespace vemratest;  // NOLINT(google-build-using-namespace)
using Q = CQuoltPashkRawDataGenerator;

struct QuoltPashk {
    Job job;
    FreeNumericNames names;
    Q gen;
    explicit QuoltPashk(bool numeric = false, EDistUnits dist = eMeters, EAngleUnits angle = eDegrees)
        : job(dist, angle), gen(&job.settings, &job.info, &job.observation, nullptr, numeric) {}
};

// ---------------------------------------------------------------------------------------------
// Point names

TEST(QuoltPashkNames, WithoutRenamingNamesStayAsGiven) {
    QuoltPashk q;
    EXPECT_FALSE(q.gen.isNameMapped(L"A_1+"));
    EXPECT_EQ(text(q.gen.outputName(L"A_1+")), "A_1+");
    EXPECT_TRUE(q.gen.isNameMapped(L"A_1+"));
    EXPECT_EQ(text(q.gen.outputName(L"")), "");
}

TEST(QuoltPashkNames, NumericRenamingAsksOncePerNameAndAnewForEveryEmptyName) {
    QuoltPashk q(true);
    EXPECT_EQ(text(q.gen.outputName(L"P")), "1");
    EXPECT_EQ(text(q.gen.outputName(L"P")), "1");
    EXPECT_EQ(text(q.gen.outputName(L"Q")), "2");  // P took only one number
    EXPECT_EQ(text(q.gen.outputName(L"")), "3");
    EXPECT_EQ(text(q.gen.outputName(L"")), "4");
    EXPECT_EQ(text(q.gen.outputName(L"17")), "17");  // a numeric name keeps its number
}

TEST(QuoltPashkNames, TheNumericListIsCopied) {
    Job job;
    FreeNumericNames hostList;
    hostList.reserve(L"1");
    Q gen(&job.settings, &job.info, &job.observation, &hostList, true);
    EXPECT_EQ(text(gen.outputName(L"A")), "2");
    EXPECT_EQ(text(hostList.getNameFor(L"B")), "2");  // the host's own list did not move

    Q fresh(&job.settings, &job.info, &job.observation, nullptr, true);
    EXPECT_EQ(text(fresh.outputName(L"A")), "1");
}

TEST(QuoltPashkNames, TheInheritedMapIsSeparateFromTheOutputNames) {
    QuoltPashk q(true);
    COrvStringT out;
    // The inherited Vemra record names through the base map, with this class's fresh names.
    q.gen.writeObservation(out, L"P9", 2, 10.0, 90.0, 0.0, L"", 1.0, nullptr, nullptr);
    EXPECT_EQ(text(out).substr(0, 4), "+1_ ");
    EXPECT_FALSE(q.gen.isNameMapped(L"P9"));
    EXPECT_EQ(text(q.gen.outputName(L"P9")), "2");

    QuoltPashk plain;
    plain.gen.writeObservation(out, L"A_1", 2, 10.0, 90.0, 0.0, L"", 1.0, nullptr, nullptr);
    EXPECT_EQ(text(out).substr(0, 6), "+A_1_ ");  // no cleaning: the name is kept as given
    EXPECT_EQ(text(plain.gen.stationLineIfNew(L"A_1", true, L"", 1.0)), "STN     A_1,1.000,\r\n");
}

// ---------------------------------------------------------------------------------------------
// Header

struct HeaderLines {
    COrvStringT version, job, instrument, units, scale, date, temperature;
    std::string of(Q& gen) {
        EXPECT_TRUE(gen.writeHeaderRecords(version, job, instrument, units, scale, date, temperature));
        return text(version) + text(job) + text(instrument) + text(units) + text(scale) + text(date) +
               text(temperature);
    }
};

TEST(QuoltPashkHeader, WithoutObservationSettings) {
    QuoltPashk q;
    q.job.info.appName = L"Field";
    q.job.info.appVersion = L"3.2";
    q.job.info.jobName = L"J1";
    HeaderLines lines;
    EXPECT_EQ(lines.of(q.gen),
              "Field   v3.2\r\n"
              "JOB     J1,,\r\n"
              "INST    \r\n"
              "UNITS   M,D\r\n"
              "SCALE   1.000000,1.000000,0.000000\r\n"
              "DATE    ,\r\n"
              "TEMP    20.0,0.0\r\n");

    Q bare(nullptr, nullptr, nullptr, nullptr, false);
    EXPECT_EQ(lines.of(bare),
              "        v\r\nJOB     ,,\r\nINST    \r\nUNITS   M,D\r\nSCALE   1.000000,1.000000,0.000000\r\n"
              "DATE    ,\r\nTEMP    20.0,0.0\r\n");
}

TEST(QuoltPashkHeader, ScaleAndAtmosphereFromTheSettings) {
    QuoltPashk q;
    q.job.observation.setEllToGridScaleAndElevation(1.0, 637.1);
    q.job.observation.setTemperature(25.0, eFahrenheit);
    q.job.observation.setPressure(1013.25, eMillimetresHg);
    HeaderLines lines;
    lines.of(q.gen);
    EXPECT_EQ(text(lines.scale), "SCALE   0.999900,1.000000,637.100000\r\n");
    EXPECT_EQ(text(lines.temperature), "TEMP    77.0,760.0\r\n");

    q.job.observation.setEllToGridScaleAndElevation(0.9996, 120.0);
    q.job.observation.clearPressure();
    lines.of(q.gen);
    EXPECT_EQ(text(lines.scale), "SCALE   0.999581,0.999600,120.000000\r\n");
    EXPECT_EQ(text(lines.temperature), "TEMP    77.0,0.0\r\n");
}

TEST(QuoltPashkHeader, ElevationInTheJobsOwnDistanceUnits) {
    QuoltPashk q(false, eMeters, eMils);  // the generator writes metres...
    q.job.info.setDistUnits(eUSFeet);     // ...but the job itself is kept in US survey feet
    q.job.observation.setEllToGridScaleAndElevation(1.0, 637.1);
    HeaderLines lines;
    lines.of(q.gen);
    EXPECT_EQ(text(lines.units), "UNITS   M,M\r\n");
    EXPECT_EQ(text(lines.scale), "SCALE   0.999900,1.000000,2090.218917\r\n");
    q.job.info.setDistUnits(eInternationalFeet);
    lines.of(q.gen);
    EXPECT_EQ(text(lines.scale), "SCALE   0.999900,1.000000,2090.223097\r\n");

    QuoltPashk feet(false, eUSFeet, eGons);
    feet.job.info.setCreateTime(L"25/12/2009", L"");
    lines.of(feet.gen);
    EXPECT_EQ(text(lines.units), "UNITS   F,G\r\n");
    EXPECT_EQ(text(lines.date), "DATE    25/12/2009,\r\n");
}

TEST(QuoltPashkHeader, ElevationFactorRadius) {
    EXPECT_DOUBLE_EQ(Q::elevationFactor(637.1, 0.0), 1.0001);
    EXPECT_DOUBLE_EQ(Q::elevationFactor(637.1, 1.0), 1.0001);
    EXPECT_DOUBLE_EQ(Q::elevationFactor(100.0, 1000.0), 1.1);
    EXPECT_DOUBLE_EQ(Q::elevationFactor(637.1, std::numeric_limits<double>::quiet_NaN()), 1.0001);
}

// ---------------------------------------------------------------------------------------------
// Station and sights

TEST(QuoltPashkSights, BacksightNamesWithoutRenaming) {
    QuoltPashk q;
    COrvStringT out;
    auto bs = [&] { return q.gen.writeSight(out, 1, true, L"ignored", L"", L"", 1.5), text(out); };
    auto bkb = [&](bool generate, const wchar_t* name) {
        return q.gen.writeBacksightBearing(out, generate, name, 0.0, 90.5), text(out);
    };
    EXPECT_EQ(bs(), "BS      #BS1,1.500\r\n");  // before any BKB each BS generates its own
    EXPECT_EQ(bs(), "BS      #BS2,1.500\r\n");
    EXPECT_EQ(bkb(true, L""), "BKB     #BS3,0.00000,90.30000\r\n");
    EXPECT_FALSE(q.gen.isNameMapped(L"#BS3"));
    EXPECT_EQ(bs(), "BS      #BS3,1.500\r\n");  // then they repeat the BKB's name...
    EXPECT_TRUE(q.gen.isNameMapped(L"#BS3"));   // ...passed through the output names
    EXPECT_EQ(bs(), "BS      #BS3,1.500\r\n");
    EXPECT_EQ(bkb(false, L"BM_1"), "BKB     BM_1,0.00000,90.30000\r\n");
    EXPECT_EQ(bs(), "BS      BM_1,1.500\r\n");
    EXPECT_EQ(bkb(true, L"ignored"), "BKB     #BS4,0.00000,90.30000\r\n");  // a given name kept the counter
    q.gen.writeSight(out, 1, false, L"P 2", L"", L"", 1.5);
    EXPECT_EQ(text(out), "BS      P 2,1.500\r\n");
}

TEST(QuoltPashkSights, BacksightNamesWithRenaming) {
    QuoltPashk q(true);
    COrvStringT out;
    auto bs = [&] { return q.gen.writeSight(out, 1, true, L"", L"", L"", 1.5), text(out); };
    EXPECT_EQ(bs(), "BS      1,1.500\r\n");
    EXPECT_EQ(bs(), "BS      2,1.500\r\n");
    q.gen.writeBacksightBearing(out, true, L"", 10.0, 20.0);
    EXPECT_EQ(text(out), "BKB     3,10.00000,20.00000\r\n");
    EXPECT_EQ(bs(), "BS      3,1.500\r\n");
    EXPECT_EQ(bs(), "BS      3,1.500\r\n");
    q.gen.writeBacksightBearing(out, false, L"BM", 10.0, 20.0);
    EXPECT_EQ(text(out), "BKB     4,10.00000,20.00000\r\n");
    EXPECT_EQ(bs(), "BS      4,1.500\r\n");
    EXPECT_EQ(text(q.gen.outputName(L"BM")), "4");
}

TEST(QuoltPashkSights, ForesightsAndSideShotsWithCodes) {
    struct Case {
        int kind;
        const wchar_t* code;
        const wchar_t* second;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {2, L"TREE", L"OAK", "FS      P2,1.600,TREE,OAK\r\n"},
        {2, L"TREE", L"", "FS      P2,1.600,TREE\r\n"},
        {2, L"", L"OAK", "FS      P2,1.600,\r\n"},  // no code: the second text goes too
        {3, L"", L"", "SS      P2,1.600,\r\n"},
        {3, L"A,B", L"C", "SS      P2,1.600,A,B,C\r\n"},
        {1, L"TREE", L"OAK", "BS      P2,1.600\r\n"},
    };
    for (const Case& c : cases) {
        QuoltPashk q;
        COrvStringT out;
        EXPECT_TRUE(q.gen.writeSight(out, c.kind, true, L"P2", c.code, c.second, 1.6));
        EXPECT_EQ(text(out), c.kind == 1 ? "BS      #BS1,1.600\r\n" : c.expected);  // BS generates
        q.gen.writeSight(out, c.kind, false, L"P2", c.code, c.second, 1.6);
        EXPECT_EQ(text(out), c.expected);
    }
}

TEST(QuoltPashkSights, UnknownSightKindLaysOutWhatTheLineHeld) {
    QuoltPashk q;
    COrvStringT out = L"XX";
    q.gen.writeSight(out, 7, true, L"P2", L"TREE", L"OAK", 1.6);
    EXPECT_EQ(text(out), "XX      P2,1.600\r\n");
}

TEST(QuoltPashkSights, StationLines) {
    QuoltPashk q;
    COrvStringT out;
    q.gen.writeStation(out, L"P1", L"", 1.5);
    EXPECT_EQ(text(out), "STN     P1,1.500,\r\n");
    EXPECT_EQ(text(q.gen.stationLineIfNew(L"S1", false, L"CP", 1.5)), "");
    EXPECT_FALSE(q.gen.isNameMapped(L"S1"));
    EXPECT_EQ(text(q.gen.stationLineIfNew(L"S1", true, L"CP", 1.5)), "STN     S1,1.500,CP\r\n");
    EXPECT_EQ(text(q.gen.stationLineIfNew(L"S1", true, L"CP", 1.5)), "");
    EXPECT_EQ(text(q.gen.stationLineIfNew(L"P1", true, L"CP", 1.5)), "");  // written by the STN above
    q.gen.writeSight(out, 2, false, L"F1", L"", L"", 1.5);
    EXPECT_EQ(text(q.gen.stationLineIfNew(L"F1", true, L"CP", 1.5)), "");  // any record counts

    QuoltPashk numeric(true);
    EXPECT_EQ(text(numeric.gen.stationLineIfNew(L"S1", true, L"", 1.5)), "STN     1,1.500,\r\n");
    EXPECT_TRUE(numeric.gen.isNameMapped(L"1"));  // the written name passed the memo again
    EXPECT_EQ(text(numeric.gen.stationLineIfNew(L"S1", true, L"", 1.5)), "");
}

// ---------------------------------------------------------------------------------------------
// Measurements and auxiliary records

TEST(QuoltPashkMeasurements, KeywordsValuesAndTheirOrder) {
    struct Case {
        int kind, subKind;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0, 0, "SD      30.30000,90.00000,100.1235\r\n"},
        {1, 0, "HD      30.30000,90.0000,100.1235\r\n"},
        {2, 0, "HV      30.30000,90.00000\r\n"},
        {3, 0, "OFFSET  90.0000,100.1235,30.5000\r\n"},
        {3, 1, "OFFSET  90.0000,100.1235,30.5000\r\n"},
        {3, 2, "PTL_OFF 90.0000,100.1235,30.5000\r\n"},
        {3, 3, "OFFSET  90.0000,100.1235,30.5000\r\n"},
        {4, 0, "XYZ     90.0000,30.5000,100.1235\r\n"},
        {5, 0, "old"},
        {-1, 2, "old"},
    };
    QuoltPashk q;
    for (const Case& c : cases) {
        COrvStringT out = L"old";
        EXPECT_TRUE(q.gen.writeMeasurement(out, c.kind, c.subKind, 30.5, 90.0, 100.12345));
        EXPECT_EQ(text(out), c.expected) << c.kind << "/" << c.subKind;
    }
    EXPECT_EQ(text(q.gen.xyzLine(10.0, 20.0, -30.0)), "XYZ     10.0000,20.0000,-30.0000\r\n");
}

TEST(QuoltPashkMeasurements, FeetAndGons) {
    QuoltPashk q(false, eInternationalFeet, eGons);
    COrvStringT out;
    q.gen.writeMeasurement(out, 1, 0, 90.0, 100.0, 0.3048);
    EXPECT_EQ(text(out), "HD      100.00000,328.0840,1.0000\r\n");
}

TEST(QuoltPashkMeasurements, NoMissingValueMark) {
    QuoltPashk q;
    const std::string line = text(q.gen.xyzLine(std::numeric_limits<double>::max(), 0.0, 0.0));
    EXPECT_EQ(line.substr(0, 25), "XYZ     17976931348623157");
    EXPECT_EQ(line.size(), 8 + 309 + 5 + 14 + 2);  // every digit of the largest double
    EXPECT_EQ(line.substr(line.size() - 21), ".0000,0.0000,0.0000\r\n");
}

TEST(QuoltPashkAuxiliary, MissingLineAndResection) {
    QuoltPashk q(true);
    COrvStringT out;
    q.gen.writeMissingLine(out, L"A", L"B", 12.5, -0.25, 3.0);
    EXPECT_EQ(text(out), "MLM     1,2,12.5000,-0.2500,3.0000\r\n");
    q.gen.writeResectionObservation(out, L"B", 3, 12.3456);
    EXPECT_EQ(text(out), "RES_OBS 2,12.346,3\r\n");
    q.gen.writeResectionObservation(out, L"C", -2147483647 - 1, 0.0);
    EXPECT_EQ(text(out), "RES_OBS 3,0.000,-2147483648\r\n");
}

TEST(QuoltPashkAuxiliary, ControlCodes) {
    struct Case {
        const wchar_t *t1, *t2, *t3;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {L"ST", L"A", L"B", "CTL     ST,A,B\r\n"},
        {L"", L"A", L"B", "CTL     ,A,B\r\n"},
        {L"ST", L"", L"B", "CTL     ST\r\n"},
        {L"ST", L"A", L"", "CTL     ST,A\r\n"},
        {L"", L"A", L"", "CTL     ,A\r\n"},
        {L"", L"", L"B", ""},
        {L"", L"", L"", ""},
    };
    QuoltPashk q;
    for (const Case& c : cases) {
        COrvStringT out = L"old";
        EXPECT_TRUE(q.gen.writeControlCodes(out, c.t1, c.t2, c.t3));
        EXPECT_EQ(text(out), c.expected) << text(c.t1) << "|" << text(c.t2) << "|" << text(c.t3);
    }
}

TEST(QuoltPashkAuxiliary, NotesAreOneLine) {
    QuoltPashk q;
    COrvStringT out = L"old";
    EXPECT_TRUE(q.gen.writeNote(out, L"\r\n\n\r"));
    EXPECT_EQ(text(out), "old");
    q.gen.writeNote(out, L"");
    EXPECT_EQ(text(out), "old");
    q.gen.writeNote(out, L"Fence line\r\nchecked, OK\n");
    EXPECT_EQ(text(out), "NOTE    Fence linechecked, OK\r\n");
    q.gen.writeNote(out, L" ");
    EXPECT_EQ(text(out), "NOTE     \r\n");
}

// ---------------------------------------------------------------------------------------------
// A whole job fragment

std::string jobFragment(bool numeric) {
    Job job;
    job.info.appName = L"Field";
    job.info.appVersion = L"3.2";
    job.info.jobName = L"TRAVERSE";
    job.info.jobText2 = L"North block";
    job.info.setCreateTime(L"25/12/2009", L"10:11:12");
    job.observation.instrument = L"TS 5";
    job.observation.setTemperature(18.5, eCelsius);
    job.observation.setPressure(998.6, eHectoPascal);
    job.observation.setEllToGridScaleAndElevation(0.9996, 120.0);
    FreeNumericNames reserved;
    reserved.reserve(L"1");
    reserved.reserve(L"2");
    Q gen(&job.settings, &job.info, &job.observation, &reserved, numeric);

    std::string all;
    COrvStringT line;
    auto add = [&all, &line](bool) { all += text(line); };
    auto addText = [&all](const COrvStringT& value) { all += text(value); };
    COrvStringT h[7];
    gen.writeHeaderRecords(h[0], h[1], h[2], h[3], h[4], h[5], h[6]);
    for (const COrvStringT& headerLine : h) addText(headerLine);
    addText(gen.stationLineIfNew(L"STN_1", true, L"CP", 1.525));
    add(gen.writeBacksightBearing(line, true, L"", 0.0, 45.5));
    add(gen.writeSight(line, 1, true, L"", L"", L"", 1.8));
    add(gen.writeMeasurement(line, 0, 0, 0.0, 90.5, 125.4321));
    add(gen.writeSight(line, 2, false, L"STN_2", L"CP", L"", 1.8));
    add(gen.writeMeasurement(line, 0, 0, 45.25, 88.0, 125.43));
    add(gen.writeSight(line, 3, false, L"TREE 7", L"OAK", L"girth 0.6", 1.5));
    add(gen.writeMeasurement(line, 1, 0, 120.0, 15.05, -0.42));
    add(gen.writeSight(line, 3, false, L"FENCE_1", L"", L"ignored", 1.5));
    add(gen.writeMeasurement(line, 3, 0, 0.5, 1.25, -0.3));
    add(gen.writeSight(line, 3, false, L"MH2", L"MH", L"", 0.0));
    add(gen.writeMeasurement(line, 4, 0, 5012.345, 2987.654, 101.2));
    add(gen.writeNote(line, L"Fence line\r\nchecked, OK"));
    add(gen.writeControlCodes(line, L"ST", L"", L"ignored"));
    add(gen.writeMissingLine(line, L"TREE 7", L"FENCE_1", 12.5, 12.49, -0.3));
    addText(gen.stationLineIfNew(L"STN_3", true, L"CP", 1.6));
    addText(gen.stationLineIfNew(L"STN_3", true, L"CP", 1.6));  // already written: nothing
    add(gen.writeBacksightBearing(line, false, L"STN_1", 180.0, 225.5));
    add(gen.writeSight(line, 1, true, L"", L"", L"", 1.8));
    add(gen.writeMeasurement(line, 2, 0, 180.0, 90.0, 0.0));
    add(gen.writeResectionObservation(line, L"STN_1", 3, 0.0123));
    return all;
}

TEST(QuoltPashkJob, MatchesTheGoldenTexts) {
    EXPECT_EQ(jobFragment(false), testsupport::golden("quoltpashk_job.txt"));
    EXPECT_EQ(jobFragment(true), testsupport::golden("quoltpashk_job_numeric.txt"));
}

// ---------------------------------------------------------------------------------------------
// Interface and factory

TEST(QuoltPashkInterface, VirtualOperationsKeepTheirSlots) {
    if (!kItaniumAbi)
        GTEST_SKIP()
            << "slots are read from member pointers of the Itanium C++ ABI, which this compiler does not follow";
    EXPECT_EQ(
        slotsOf(&Q::writeStation, &Q::writeObservation, &Q::writeJobHeader, &Q::angleUnitsLetter, &Q::angleToString,
                &Q::distUnitsLetter, &Q::distToString, &Q::distField, &Q::angleField, &Q::isNameMapped, &Q::mappedName,
                &Q::makeUniqueName, &Q::cleanCode, &Q::writeHeaderRecords, &Q::writeBacksightBearing, &Q::writeSight,
                &Q::writeMissingLine, &Q::writeResectionObservation, &Q::writeMeasurement, &Q::xyzLine,
                &Q::stationLineIfNew, &Q::writeControlCodes, &Q::writeNote, &Q::outputName),
        slotRange(1, 24));
}

// The records reach the formatters and names through the virtual table.
class MarkedNames : public Q {
public:
    using Q::Q;
    COrvStringT makeUniqueName(const COrvStringT& name) override { return L"<" + name + L">"; }
    COrvStringT xyzLine(double, double, double) override { return L"xyz"; }
    COrvStringT distToString(double, int precision) override { return L"d" + orv_formats::IntToString(precision); }
};

TEST(QuoltPashkInterface, RecordsCallTheOperationsVirtually) {
    Job job;
    MarkedNames gen(&job.settings, &job.info, &job.observation, nullptr, false);
    COrvStringT out;
    gen.writeMeasurement(out, 4, 0, 1.0, 2.0, 3.0);
    EXPECT_EQ(text(out), "xyz");
    EXPECT_EQ(text(gen.stationLineIfNew(L"S", true, L"", 1.0)), "STN     <<S>>,d3,\r\n");
}

TEST(QuoltPashkFactory, CreatesReleasesAndFailsCleanly) {
    Job job;
    FreeNumericNames names;
    names.reserve(L"1");
    CVemraRawDataGenerator* base =
        createQuoltPashkRawDataGenerator(&job.settings, &job.info, &job.observation, &names, true);
    ASSERT_NE(base, nullptr);
    auto* gen = dynamic_cast<Q*>(base);
    ASSERT_NE(gen, nullptr);
    COrvStringT out;
    gen->writeSight(out, 2, false, L"A_LONG_POINT_NAME_THAT_NEEDS_STORAGE", L"", L"", 1.0);
    EXPECT_EQ(text(out), "FS      2,1.000,\r\n");
    gen->writeObservation(out, L"A_LONG_POINT_NAME_THAT_NEEDS_STORAGE", 0, 1.0, 1.0, 1.0, L"", 1.0, nullptr, nullptr);
    delete base;  // through the root: every map, the name list and the object are released

    CQuoltPashkRawDataGenerator* bare = createQuoltPashkRawDataGenerator(nullptr, nullptr, nullptr, nullptr, false);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(text(bare->distUnitsLetter(true)), "M");
    delete bare;
}

}  // namespace

namespace {

// Every record takes any double, integer and text without undefined behaviour (checked under
// the sanitizers) and still ends its line.
TEST(QuoltPashkHostileInput, EveryRecordCopes) {
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::max(), -0.0, -6371000.0};
    const int integers[] = {std::numeric_limits<int>::min(), -1, 5, std::numeric_limits<int>::max()};
    const COrvStringT longText(L',', 5000);
    for (bool numeric : {false, true}) {
        QuoltPashk q(numeric, eInternationalFeetInches, eMils);
        COrvStringT out;
        COrvStringT h[7];
        for (double v : values) {
            q.job.observation.setEllToGridScaleAndElevation(v, v);  // -6371000 m makes the factor 0
            q.job.observation.setTemperature(v, static_cast<ETemperatureUnits>(-1));
            q.gen.writeHeaderRecords(h[0], h[1], h[2], h[3], h[4], h[5], h[6]);
            EXPECT_EQ(text(h[4]).substr(0, 8), "SCALE   ");
            for (int n : integers) {
                q.gen.writeMeasurement(out, n % 5, n, v, v, v);
                q.gen.writeResectionObservation(out, longText, n, v);
                q.gen.writeSight(out, n % 4, true, longText, longText, longText, v);
                EXPECT_EQ(text(out).substr(text(out).size() - 2), "\r\n");
            }
            q.gen.writeBacksightBearing(out, true, longText, v, v);
            q.gen.writeMissingLine(out, L"", L"", v, v, v);
            q.gen.stationLineIfNew(longText, true, longText, v);
        }
    }
}

}  // namespace
