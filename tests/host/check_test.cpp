// exportgen check: every error and warning of a job, each at its place, and convert's check
// before it writes to a destination that cannot be replaced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/problems.h"
#include "host/host_test_support.h"

namespace {

std::string jobFile(const std::string& text) {
    static int count = 0;
    const std::string path = hosttest::memoryFile("check/job" + std::to_string(++count) + ".json", text);
    return path;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        result.push_back(text.substr(start, end - start));
    }
    return result;
}

// Two errors in three set-ups: a mistyped value and an unknown field; and two warnings: a
// backsight point that places nothing (the set-up is then not oriented) and a member named
// twice. Lines and columns count from 1.
const char* const kThreeErrors =
    "{\"points\":[{\"name\":\"1\",\"coords\":[0,0,0]},{\"name\":\"2\",\"coords\":[0,100,0]}],\n"
    "\"setups\":[\n"
    " {\"station\":\"1\",\"hi\":1.5,\"backsight\":{\"point\":\"2\"},\"shots\":[{\"to\":\"A\",\"sd\":[0,90,\"x\"]}]},\n"
    " {\"station\":\"2\",\"hi\":1.5,\"backsight\":{\"point\":\"9\"},\"shots\":[{\"to\":\"B\",\"sd\":[0,90,10]}]},\n"
    " {\"station\":\"1\",\"hi\":1.5,\"hi\":1.6,\"shots\":[{\"to\":\"C\",\"sd\":[0,90,10],\"bogus\":1}]}]}\n";

TEST(Check, ListsEveryErrorAndWarningWithItsPlaceInFileOrder) {
    const std::string path = jobFile(kThreeErrors);
    const auto result = hosttest::run({"check", path});
    EXPECT_EQ(result.code, 6);
    EXPECT_EQ(result.out, "");
    const std::vector<std::string> expected = {
        "exportgen: " + path + ":3:82: $.setups[0].shots[0].sd[2]: expected a number, found a string",
        "exportgen: warning: " + path +
            ":4:38: backsight point \"9\" is neither a known point nor a placed station: the set-up at \"2\" has no "
            "bearing from it",
        "exportgen: warning: " + path + ":5:22: $.setups[2].hi: named twice; the later value counts",
        "exportgen: " + path + ":5:77: $.setups[2].shots[0].bogus: unknown field",
        "exportgen: " + path + ": 2 errors, 2 warnings",
    };
    EXPECT_EQ(lines(result.err), expected) << result.err;
}

TEST(Check, ACleanJobPassesWithItsCount) {
    const std::string samplePath = hosttest::dataPath("../tools/exportgen/app/sample_job.json");
    const auto sample = hosttest::run({"check", samplePath});
    EXPECT_EQ(sample.code, 0) << sample.err;
    EXPECT_EQ(sample.err, "exportgen: " + samplePath + ": 0 errors, 0 warnings\n");
    // Warnings alone pass, and are listed.
    const std::string path = jobFile("{\"setups\":[{\"station\":\"S\",\"coords\":[0,0,0],\"hi\":1,\"hi\":2}]}");
    const auto warned = hosttest::run({"check", path});
    EXPECT_EQ(warned.code, 0) << warned.err;
    EXPECT_NE(warned.err.find(path + ":1:49: $.setups[0].hi: named twice"), std::string::npos) << warned.err;
    EXPECT_NE(warned.err.find("0 errors, 1 warning"), std::string::npos) << warned.err;
}

// A point list of --points joins the job as a conversion's would: a point it gives at other
// coordinates than the job's is an error of the check too, named at both places.
TEST(Check, TakesThePointsAConversionWouldJoin) {
    const std::string job = jobFile("{\"points\":[{\"name\":\"1\",\"coords\":[100,200,10]}],\"setups\":[]}");
    const std::string list = hosttest::memoryFile("check/points.csv", "P,N,E,Z\n1,100,205,10\n");
    EXPECT_EQ(hosttest::run({"check", job}).code, 0);
    const auto joined = hosttest::run({"check", job, "--points", list});
    EXPECT_EQ(joined.code, exportgen::kExitJob) << joined.err;
    EXPECT_NE(joined.err.find(list + ":2:1:"), std::string::npos) << joined.err;
    EXPECT_NE(joined.err.find("1 error, 0 warnings"), std::string::npos) << joined.err;
}

TEST(Check, ErrorsOfTheWholeJobAndWarningsOfWhatItCannotPlace) {
    struct Case {
        const char* job;
        std::vector<std::string> messages;  // in file order, after the file name
        const char* count;
    };
    const Case cases[] = {
        // No set-ups and an unknown member: both.
        {"{\"bogus\":1,\"units\":{\"distance\":\"miles\"}}",
         {":1:1: $.setups: missing required field", ":1:10: $.bogus: unknown field",
          ":1:32: $.units.distance: \"miles\" is not one of"},
         "3 errors, 0 warnings"},
        // A level run from an unknown point, and a backsight reading on an unknown point: heights
        // that nothing gives.
        {"{\"points\":[{\"name\":\"1\",\"coords\":[0,0,5]}],\"setups\":[],\"levelRuns\":[{\"name\":\"L\",\"start\":"
         "\"X\",\"readings\":[{\"point\":\"Y\",\"bs\":1}]}]}",
         {":1:68: level run start \"X\" is not a point of known height",
          ":1:104: level backsight on \"Y\", a point of unknown height"},
         "0 errors, 2 warnings"},
        // A bad point is reported once; the good points stay known to the set-ups.
        {"{\"points\":[{\"name\":\"1\",\"coords\":[0]},{\"name\":\"2\",\"coords\":[0,5,0]}],\"setups\":[{"
         "\"station\":\"2\",\"hi\":1,\"backsight\":{\"point\":\"1\"}}]}",
         {":1:33: $.points[0].coords: expected at least 2 items, found 1", ":1:113: backsight point \"1\" is neither"},
         "1 error, 1 warning"},
        // A resection and a stake-out to unknown points, in one set-up.
        {"{\"setups\":[{\"station\":\"S\",\"coords\":[0,0,0],\"hi\":1,\"resection\":[{\"to\":\"P\",\"sd\":[0,90,1]}],"
         "\"stakeouts\":[{\"design\":\"D\",\"to\":\"Q\",\"sd\":[0,90,1]}]}]}",
         {":1:64: resection point \"P\" is not a known point",
          ":1:103: stake-out design point \"D\" is not a known point"},
         "0 errors, 2 warnings"},
    };
    for (const Case& c : cases) {
        const std::string path = jobFile(c.job);
        const auto result = hosttest::run({"check", path});
        EXPECT_EQ(result.code, std::string(c.count).rfind("0 errors", 0) == 0 ? 0 : 6) << c.job;
        std::size_t from = 0;
        for (const std::string& message : c.messages) {
            const std::size_t at = result.err.find(path + message, from);
            EXPECT_NE(at, std::string::npos) << message << "\n" << result.err;
            if (at != std::string::npos) from = at;
        }
        EXPECT_NE(result.err.find(c.count), std::string::npos) << result.err;
    }
}

TEST(Check, ListsTheFirstFiftyAndCountsTheRest) {
    std::string job = "{\"setups\":[{\"station\":\"S\",\"coords\":[0,0,0],\"hi\":1,\"shots\":[";
    for (int i = 0; i < 60; ++i) job += std::string(i == 0 ? "" : ",") + "{\"to\":\"A\",\"sd\":[0,90,null]}";
    job += "]}]}";
    const auto result = hosttest::run({"check", jobFile(job)});
    EXPECT_EQ(result.code, 6);
    const auto all = lines(result.err);
    ASSERT_EQ(all.size(), 52U) << result.err;
    EXPECT_NE(all[0].find("$.setups[0].shots[0].sd[2]: expected a number, found null"), std::string::npos);
    EXPECT_NE(all[49].find("$.setups[0].shots[49].sd[2]"), std::string::npos) << all[49];
    EXPECT_EQ(all[50], "exportgen: ... and 10 more");
    EXPECT_NE(all[51].find(": 60 errors, 0 warnings"), std::string::npos) << all[51];
}

TEST(Check, MalformedJsonStopsWithItsOwnStatus) {
    const auto result = hosttest::run({"check", jobFile("{\"setups\":[}")});
    EXPECT_EQ(result.code, 5);
    EXPECT_NE(result.err.find("malformed JSON"), std::string::npos) << result.err;
}

// A job whose last set-up is bad: to the standard output nothing at all is written, since
// the job is checked before the first byte; to a file the conversion stops at the error and
// the file is never made. Either way the error reads as it always did.
TEST(Check, ConvertToTheStandardOutputWritesNothingForABadJob) {
    const std::string sample = hosttest::readFile(hosttest::dataPath("../tools/exportgen/app/sample_job.json"));
    std::string bad = sample;
    const std::size_t last = bad.rfind("{\"to\":\"108\"");
    ASSERT_NE(last, std::string::npos);
    bad.insert(last + 1, "\"bogus\":1,");
    const std::string path = jobFile(bad);
    for (const char* format : {"rw5", "vemra", "sdr"}) {
        for (const char* output : {"-", ""}) {
            std::vector<std::string> args = {"convert", path, "-f", format};
            if (*output != '\0') args.insert(args.end(), {"-o", output});
            const auto result = hosttest::run(args);
            EXPECT_EQ(result.code, 6) << format;
            EXPECT_EQ(result.out, "") << format;
            EXPECT_EQ(result.err, "exportgen: " + path + ":31:14: $.setups[4].shots[0].bogus: unknown field\n");
        }
    }
    // Several errors: all of them, in file order, warnings left out.
    const std::string three = jobFile(kThreeErrors);
    const auto all = hosttest::run({"convert", three, "-f", "rw5"});
    EXPECT_EQ(all.code, 6);
    EXPECT_EQ(all.out, "");
    const std::vector<std::string> expected = {
        "exportgen: " + three + ":3:82: $.setups[0].shots[0].sd[2]: expected a number, found a string",
        "exportgen: " + three + ":5:77: $.setups[2].shots[0].bogus: unknown field",
    };
    EXPECT_EQ(lines(all.err), expected) << all.err;
    // A device cannot be replaced either: it is checked first too, so both are listed, where a
    // file stops at the first.
    const auto device = hosttest::run({"convert", three, "-f", "rw5", "-o", "/dev/null"});
    EXPECT_EQ(device.code, 6);
    EXPECT_EQ(lines(device.err), expected) << device.err;
    const auto file3 =
        hosttest::run({"convert", three, "-f", "rw5", "-o", hosttest::freshDirectory("check-3") + "/o.rw5"});
    EXPECT_EQ(file3.code, 6);
    EXPECT_EQ(lines(file3.err), std::vector<std::string>{expected[0]}) << file3.err;
    const std::string file = hosttest::freshDirectory("check-out") + "/out.rw5";
    const auto toFile = hosttest::run({"convert", path, "-f", "rw5", "-o", file});
    EXPECT_EQ(toFile.code, 6);
    EXPECT_EQ(toFile.err, "exportgen: " + path + ":31:14: $.setups[4].shots[0].bogus: unknown field\n");
    EXPECT_TRUE(hosttest::listDirectory(file.substr(0, file.rfind('/'))).empty());
    // The good job still converts to the standard output.
    const auto good = hosttest::run({"convert", jobFile(sample), "-f", "rw5"});
    EXPECT_EQ(good.code, 0) << good.err;
    EXPECT_NE(good.out.find("FP108"), std::string::npos);
}

}  // namespace

// A raw file or a point list: every line its reader cannot read is listed at its place, with
// what the reader says of the lines between, then the count.
struct RawCheck {
    const char* name;
    const char* text;
    std::vector<std::string> expected;  ///< the lines after "exportgen: NAME:" ("" before a count line)
};

void PrintTo(const RawCheck& c, std::ostream* out) { *out << c.name; }

class CheckRaw : public testing::TestWithParam<RawCheck> {};

TEST_P(CheckRaw, ListsEveryLineItCannotReadThenTheCount) {
    const RawCheck& c = GetParam();
    const std::string path = hosttest::memoryFile(std::string("check/") + c.name, c.text);
    // A point list's unit stated, so that its lines are all that is said of it.
    std::vector<std::string> args{"check", path};
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".csv") == 0) {
        args.insert(args.end(), {"--input-units", "metres"});
    }
    const auto result = hosttest::run(args);
    std::vector<std::string> expected;
    for (const std::string& line : c.expected) {
        const bool warning = line.rfind("warning: ", 0) == 0;
        expected.push_back("exportgen: " + std::string(warning ? "warning: " : "") + path +
                           line.substr(warning ? 9 : 0));
    }
    EXPECT_EQ(lines(result.err), expected);
    const bool clean = c.expected.back().find(": 0 errors") == 0;
    // A line that cannot be read has the status of a conversion refused at it.
    EXPECT_EQ(result.code, clean ? 0 : exportgen::kExitJson);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckRaw,
    testing::Values(RawCheck{"three.rw5",
                             "JB,NMX,DT01-30-2024,TM08:00:00\nMO,AD0,UN0,SF1.0,EC0,EO0.0,AU0\nOC,OP1,N 1,E 1,EL1,--\n"
                             "LS,HI1.5,HR1.5\nBK,OP1,BP2,BS0.0000,BC0.0000\nSS,OP1,FP3,AR10.7000,ZE90,SD10,--A\n"
                             "SS,OP1,FP4,AR10.3000,ZEx,SD10,--B\nSS,OP1,FP5,AR10.3000,ZE90,SD10,--C\nQQ,what\n"
                             "SS,OP1,FP6,AR1x,ZE90,SD10,--C\n",
                             {":6:14: angle \"10.7000\" is no degrees, minutes and seconds: 60 minutes or seconds",
                              ":7:24: expected a number after ZE, found \"x\"",
                              "warning: :9:1: an unknown record QQ is skipped",
                              ":10:14: expected a number after AR, found \"1x\"", ": 3 errors, 1 warning"}},
                    RawCheck{"two.csv",
                             "P,N,E,Z\n1,1,2,3\n2,x,2,3\n3,1,2\n4,5,6,y\n",
                             {":3:3: expected the northing as a number, found \"x\"",
                              ":5:7: expected the height as a number, found \"y\"", ": 2 errors, 0 warnings"}},
                    RawCheck{"last.csv",
                             "P,N,E,Z\n1,1,2,3\n2,1,2,z",
                             {":3:7: expected the height as a number, found \"z\"", ": 1 error, 0 warnings"}},
                    RawCheck{"clean.csv", "P,N,E,Z\n1,1,2,3\n", {": 0 errors, 0 warnings"}}));
