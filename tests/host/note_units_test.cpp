// The notes the host composes itself in RW5 and Quolt/Pashk (a stake-out's differences from
// its design, the texts of a level run) carry distances in the job's units, with 4 decimals
// like the files' other distances.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_test_support.h"

namespace {

// A station at N 1000, E 2000, H 100 (hi 1.5) stakes the design point D1 with a sight due
// north, level, 25 m long to a 1.5 m target: the staked point lands at N 1025, E 2000, H 100.
// D1 sits one foot south of it, two feet east and three feet low, so the differences staked
// minus design are +1, -2 and +3 feet. The level run starts on BM at 100 feet, reads 5 feet on
// it (line of sight at 105 feet) and 3 feet on TP1 (102 feet). The figures are given in metres.
std::string stakeAndLevelJob(const std::string& units, const std::string& designN, const std::string& designE,
                             const std::string& designH, const std::string& bm, const std::string& bs,
                             const std::string& fs) {
    return R"({"units": {"distance": ")" + units + R"("},
  "points": [{"name": "D1", "coords": [)" +
           designN + ", " + designE + ", " + designH + R"(]},
             {"name": "BM", "coords": [0, 0, )" +
           bm + R"(]}],
  "setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "backsight": {"bearing": 0, "circle": 0},
              "stakeouts": [{"design": "D1", "to": "SO1", "sd": [0, 90, 25], "hr": 1.5}]}],
  "levelRuns": [{"name": "LR1", "start": "BM", "readings": [{"point": "BM", "bs": )" +
           bs + R"(}, {"point": "TP1", "fs": )" + fs + R"(}]}]})";
}

// One foot is 0.3048 m (international) or 1200/3937 m = 0.3048006096012192 m (US survey).
std::string internationalFeetJob(const std::string& units) {
    return stakeAndLevelJob(units, "1024.6952", "2000.6096", "99.0856", "30.48", "1.524", "0.9144");
}
std::string usSurveyFeetJob(const std::string& units) {
    return stakeAndLevelJob(units, "1024.6951993903988", "2000.6096012192024", "99.08559817119634", "30.48006096012192",
                            "1.524003048006096", "0.9144018288036576");
}

struct NoteCase {
    const char* name;
    std::string job;
    std::vector<std::string> notes;  // the note texts, in the order written
};

const std::vector<NoteCase>& noteCases() {
    static const std::vector<NoteCase> cases = {
        {"international feet",
         internationalFeetJob("internationalFeet"),
         {"Stake D1: dN 1.0000 dE -2.0000 dH 3.0000", "Level run LR1: start BM EL 100.0000",
          "BS BM rod 5.0000 HI 105.0000", "FS TP1 rod 3.0000 EL 102.0000"}},
        {"US survey feet",
         usSurveyFeetJob("usSurveyFeet"),
         {"Stake D1: dN 1.0000 dE -2.0000 dH 3.0000", "Level run LR1: start BM EL 100.0000",
          "BS BM rod 5.0000 HI 105.0000", "FS TP1 rod 3.0000 EL 102.0000"}},
        // Feet-inches display units hold their distances as decimal US survey feet here.
        {"US survey feet-inches",
         usSurveyFeetJob("usSurveyFeetInches"),
         {"Stake D1: dN 1.0000 dE -2.0000 dH 3.0000", "Level run LR1: start BM EL 100.0000",
          "BS BM rod 5.0000 HI 105.0000", "FS TP1 rod 3.0000 EL 102.0000"}},
        // The same job in metres keeps its figures as given.
        {"metres",
         internationalFeetJob("metres"),
         {"Stake D1: dN 0.3048 dE -0.6096 dH 0.9144", "Level run LR1: start BM EL 30.4800",
          "BS BM rod 1.5240 HI 32.0040", "FS TP1 rod 0.9144 EL 31.0896"}},
    };
    return cases;
}

// The host's note texts of `output`, in order: what follows `marker` on a line when it is a
// stake-out or level-run note.
std::vector<std::string> notesAfter(const std::string& output, const std::string& marker) {
    std::vector<std::string> notes;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = output.substr(start, end - start);
        const std::size_t at = line.find(marker);
        if (at == std::string::npos) continue;
        const std::string text = line.substr(at + marker.size());
        for (const char* head : {"Stake ", "Level run ", "BS ", "FS "}) {
            if (text.rfind(head, 0) == 0) notes.push_back(text);
        }
    }
    return notes;
}

std::vector<std::string> convertedNotes(const std::string& job, const std::string& format, const std::string& marker) {
    const std::string dir = hosttest::freshDirectory("note-units-" + format);
    hosttest::writeFile(dir + "/job.json", job);
    const auto result = hosttest::run({"convert", dir + "/job.json", "--format", format});
    EXPECT_EQ(result.code, 0) << result.err;
    return notesAfter(result.out, marker);
}

TEST(HostNotes, Rw5WritesThemInTheJobsDistanceUnits) {
    for (const NoteCase& c : noteCases()) {
        // The stake-out's note ends the SP record of the staked point; the others are note lines.
        EXPECT_EQ(convertedNotes(c.job, "rw5", "--"), c.notes) << c.name;
    }
}

TEST(HostNotes, QuoltPashkWritesThemInTheJobsDistanceUnits) {
    for (const NoteCase& c : noteCases()) {
        EXPECT_EQ(convertedNotes(c.job, "quoltpashk", "NOTE    "), c.notes) << c.name;
    }
}

}  // namespace

namespace {

// A staked point with the coordinates the instrument recorded is stored there, and its
// differences from the design are taken from them, not from the measurement.
TEST(StakeoutCoords, TheRecordedCoordinatesWinOverTheMeasurement) {
    std::string job = stakeAndLevelJob("metres", "1024", "2001", "99", "100", "1", "1");
    const std::string measured = R"("sd": [0, 90, 25], "hr": 1.5})";
    job.replace(job.find(measured), measured.size(),
                R"("sd": [0, 90, 25], "hr": 1.5, "coords": [1025.5, 2000.25, 99.75]})");
    const std::string path = hosttest::freshDirectory("stake-coords") + "/job.json";
    hosttest::writeFile(path, job);
    const hosttest::Result result = hosttest::run({"convert", path, "-f", "rw5", "--now", "2026-01-01T00:00:00"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("SP,PNSO1,N 1025.5000,E 2000.2500,EL99.7500,--Stake D1: dN 1.5000 dE -0.7500 dH 0.7500"),
              std::string::npos)
        << result.out;
}

}  // namespace

namespace {

// What an instrument recorded and wrote in its file (a stake-out's differences, a level's heights,
// a resection's residuals) is written as recorded, not worked out again from rounded figures.
TEST(RecordedValues, AreWrittenAsRecorded) {
    const std::string job = R"({
  "points": [{"name": "D1", "coords": [1024, 2001, 99]}, {"name": "BM", "coords": [0, 0, 100]},
             {"name": "K1", "coords": [1100, 2000, 100]}, {"name": "K2", "coords": [1000, 2100, 100]}],
  "setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "worstResiduals": [0.001, -0.002, 0.0031],
              "resection": [{"to": "K1", "sd": [0, 90, 100], "hr": 1.5, "residual": [0.0123, -0.0045, 0.0067]},
                            {"to": "K2", "sd": [90, 90, 100], "hr": 1.5}],
              "stakeouts": [{"design": "D1", "to": "SO1", "sd": [0, 90, 25], "hr": 1.5, "coords": [1025, 2000, 100],
                             "differences": [0.9876, -1.2345, 0.5]}]}],
  "levelRuns": [{"name": "LR1", "start": "BM", "readings": [{"point": "BM", "bs": 1.5, "hi": 101.4999},
                                                           {"point": "TP1", "fs": 1.25, "elevation": 100.2501, "rise": 0.2502}]}]})";
    const std::string path = hosttest::freshDirectory("recorded") + "/job.json";
    hosttest::writeFile(path, job);
    struct Case {
        const char* format;
        std::vector<std::string> lines;
    } const cases[] = {
        {"rw5",
         {"--Horizontal Angle Worst Residual: 0.00036", "--Zenith Angle Worst Residual: -0.00072",
          "--Slope Distance Worst Residual: 0.0031", "--Stake D1: dN 0.9876 dE -1.2345 dH 0.5000",
          "--BS BM rod 1.5000 HI 101.4999", "--FS TP1 rod 1.2500 EL 100.2501"}},
        {"sdr",
         {"13NMResidual N:0.0123", "13NMResidual E:-0.0045", "13NMResidual H:0.0067",
          "13SOCut 0.5000 North          0.9876 East           -1.2345",
          "64LV             TP11.2500                                              2    0    0101.4999        "
          "100.2501        0.2502          "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const hosttest::Result result =
            hosttest::run({"convert", path, "-f", c.format, "--now", "2026-01-01T00:00:00"});
        ASSERT_EQ(result.code, 0) << result.err;
        for (const auto& line : c.lines)
            EXPECT_NE(result.out.find(line + "\r\n"), std::string::npos) << line << "\n" << result.out;
    }
}

}  // namespace
