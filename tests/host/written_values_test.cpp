// What the formats write of values a job holds that a format books in its own way: an angle left
// as a circle reading, this program's version where the input names no program, values too wide
// for their fields, descriptions with blanks, and names that meet once made safe. A row is the
// job, the format, a text the output must hold, and the warning the conversion must give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "host/host_test_support.h"
#include "writers/writer_base.h"

namespace {

struct Written {
    const char* what;
    std::string job;
    const char* format;
    std::vector<std::string> options;
    std::string holds;               ///< "@version" stands for the program's version
    std::string warning;             ///< a text of a warning on stderr; empty: none about this value
    std::string unwarned = {};       ///< a text no warning may hold; empty: not checked
    const char* input = "job.json";  ///< the input's name: its suffix says what it is
    std::string lacks = {};          ///< a text the output must not hold; empty: not checked
};

void PrintTo(const Written& c, std::ostream* out) { *out << c.what; }

std::string oneShot(const std::string& shot) {
    return R"({"setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "backsight": {"bearing": 0},
               "shots": [)" +
           shot + "]}]}";
}

// A field book's RW5 file of one side shot whose code field reads `code`.
std::string rw5Shot(const std::string& code) {
    return "JB,NMW,DT01-01-2026,TM00:00:00\n"
           "MO,AD0,UN1,SF1.00000000,EC0,EO0.0,AU0\n"
           "OC,OP1,N 1000.0000,E 2000.0000,EL100.0000,--\n"
           "LS,HI1.500,HR1.800\n"
           "BK,OP1,BP0,BS0.0000,BC0.0000\n"
           "SS,OP1,FP10,AR45.0000,ZE90.0000,SD25.0000,--" +
           code + "\n";
}

class WhatTheFormatsWrite : public testing::TestWithParam<Written> {};

TEST_P(WhatTheFormatsWrite, HoldsTheValueAndWarnsWhereDue) {
    const Written& c = GetParam();
    std::vector<std::string> args{"convert", hosttest::memoryFile(std::string("written/") + c.input, c.job),
                                  "-f",      c.format,
                                  "--now",   "2026-01-01T00:00:00"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const hosttest::Result result = hosttest::run(args);
    ASSERT_EQ(result.code, 0) << result.err;
    std::string holds = c.holds;
    if (const std::size_t at = holds.find("@version"); at != std::string::npos) {
        holds.replace(at, 8, hosttest::programVersion());
    }
    EXPECT_NE(result.out.find(holds), std::string::npos) << "expected " << holds << " in\n" << result.out;
    if (!c.warning.empty()) {
        EXPECT_NE(result.err.find(c.warning), std::string::npos) << result.err;
    }
    if (!c.unwarned.empty()) {
        EXPECT_EQ(result.err.find(c.unwarned), std::string::npos) << result.err;
    }
    if (!c.lacks.empty()) {
        EXPECT_EQ(result.out.find(c.lacks), std::string::npos) << result.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WhatTheFormatsWrite,
    testing::Values(
        // An angle turned to the left is booked as the circle reading of the same direction.
        Written{"an angle left in SDR",
                oneShot(R"({"to": "A", "sd": [-30, 90, 25]})"),
                "sdr",
                {},
                "A25.0000         90.000000       330.000000",
                ""},
        Written{"an angle left in Quolt/Pashk",
                oneShot(R"({"to": "A", "sd": [-30, 90, 25]})"),
                "quoltpashk",
                {},
                "SD      330.00000,90.00000,25.0000",
                ""},
        Written{"an angle past a full turn is as given",
                oneShot(R"({"to": "A", "sd": [390.5, 90, 25]})"),
                "quoltpashk",
                {},
                "SD      390.30000,90.00000,25.0000",
                ""},
        Written{"a hair left of zero reads zero",
                oneShot(R"({"to": "A", "sd": [-1e-7, 90, 25]})"),
                "quoltpashk",
                {},
                "SD      0.00000,90.00000,25.0000",
                ""},
        Written{"an angle left of a measured backsight in SDR",
                R"({"points": [{"name": "B", "coords": [1100, 2000, 100]}],
                    "setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5,
                                "backsight": {"point": "B", "sd": [-0.5, 90, 100]}}]})",
                "sdr",
                {},
                "90.000000       359.500000",
                ""},
        // A job that names no program is this program's own.
        Written{"the program line of a job without one",
                oneShot(R"({"to": "A", "sd": [30, 90, 25]})"),
                "sdr",
                {},
                "13NMexportgen Version @version\r\n",
                ""},
        Written{"the Quolt/Pashk program line of a job without one",
                oneShot(R"({"to": "A", "sd": [30, 90, 25]})"),
                "quoltpashk",
                {},
                "exportgenv@version\r\n",
                ""},
        // A Vemra-family distance field holds 8 digits with 3 decimals in the output's unit.
        Written{"the widest slope distance Vemra holds",
                oneShot(R"({"to": "A", "sd": [10, 90, 99999.999]})"),
                "vemra",
                {},
                "c+99999999m",
                ""},
        Written{"a Vemra slope distance too wide",
                oneShot(R"({"to": "A", "sd": [10, 90, 123456.789]})"),
                "vemra",
                {},
                "_ c+",
                "vemra: slope distance 123456.789 m is too wide for its 8-digit field: written cut"},
        Written{"a Drevan horizontal distance too wide in feet",
                R"({"units": {"distance": "internationalFeet", "angle": "degrees"},
                    "setups": [{"station": "S1", "hi": 1.5, "shots": [{"to": "A", "hd": [10, 40000, 0]}]}]})",
                "drevan",
                {},
                "+A_",
                "drevan: horizontal distance 131233.596 ft is too wide for its 8-digit field: written cut"},
        // --sanitize: a name made safe that meets another name of the job, in either order.
        Written{"a name made safe meets a name given after it",
                oneShot(R"({"to": "A,B", "sd": [10, 90, 12]}, {"to": "A B", "sd": [20, 90, 12]})"),
                "rw5",
                {"--sanitize"},
                "FPA B,",
                "names \"A,B\" and \"A B\" are both written as \"A B\" once made safe"},
        Written{"a name made safe meets a name given before it",
                oneShot(R"({"to": "A B", "sd": [10, 90, 12]}, {"to": "A,B", "sd": [20, 90, 12]})"),
                "rw5",
                {"--sanitize"},
                "FPA B,",
                "names \"A,B\" and \"A B\" are both written as \"A B\" once made safe"},
        Written{"two names made safe meet",
                oneShot(R"({"to": "A,B", "sd": [10, 90, 12]}, {"to": "A\nB", "sd": [20, 90, 12]})"),
                "quoltpashk",
                {"--sanitize"},
                "SS      A B,",
                "are both written as \"A B\" once made safe"},
        // A description with blanks: the RW5 code field is one text that its reader splits into
        // codes and control codes. A format with a single code field writes it whole, cut only at
        // the field's width.
        Written{"an RW5 description in SDR",
                rw5Shot("TREE OAK 12 SPREAD 8"),
                "sdr",
                {},
                "45.000000       TREE OAK 12 SPRE\r\n13FCTREE OAK 12 SPREAD 8    ",
                "",
                "code",
                "field.rw5"},
        Written{"an RW5 description in Vemra",
                rw5Shot("EDGE OF GRAVEL DRIVE"),
                "vemra",
                {},
                "_*EDGE OF GRAVEL DRIVE_,1.800_",
                "",
                "code",
                "field.rw5"},
        Written{"an RW5 description in ApaSima",
                rw5Shot("FENCE ST"),
                "apasima",
                {},
                "_*FENCE ST_,1.800_",
                "",
                "code",
                "field.rw5"},
        Written{"an RW5 description in Drevan",
                rw5Shot("TREE OAK 12"),
                "drevan",
                {},
                "_*TREE OAK 12_,1.8000_",
                "",
                "code",
                "field.rw5"},
        Written{"an RW5 stored point's description in SDR",
                "SP,PN7,N 1000.0000,E 2000.0000,EL100.0000,--IRON PIN FOUND\n" + rw5Shot("TREE"),
                "sdr",
                {},
                "08TP               71000.0000       2000.0000       100.0000        IRON PIN FOUND  \r\n",
                "",
                "note",
                "field.rw5"},
        Written{"an RW5 description of one word in SDR",
                rw5Shot("FENCE"),
                "sdr",
                {},
                "45.000000       FENCE           \r\n",
                "",
                "code",
                "field.rw5"},
        Written{"an RW5 description longer than the SDR code note",
                rw5Shot("A DESCRIPTION OF SIXTY-FOUR CHARACTERS, SO FOUR ARE LOST AT THE END"),
                "sdr",
                {},
                "13FCA DESCRIPTION OF SIXTY-FOUR CHARACTERS, SO FOUR ARE LOST AT \r\n",
                "losing \"THE END\"",
                "",
                "field.rw5"},
        Written{"a point list description in SDR",
                "1,1000,2000,100,EDGE OF GRAVEL DRIVE NORTH\n",
                "sdr",
                {},
                "100.0000        EDGE OF GRAVEL D\r\n",
                "sdr: code \"EDGE OF GRAVEL DRIVE NORTH\" is cut to its 16-character column, losing \"RIVE NORTH\"",
                "",
                "points.csv"},
        Written{"a set-up code in SDR",
                R"({"setups": [{"station": "S1", "hi": 1.5, "code": "STATION ON THE HILL"}]})",
                "sdr",
                {},
                "1.5000          STATION ON THE H\r\n",
                "code \"STATION ON THE HILL\" is cut to its 16-character column, losing \"ILL\" ($.setups[0])",
                ""},
        Written{"a level reading code in SDR",
                R"({"points": [{"name": "BM", "coords": [0, 0, 10]}],
                    "setups": [],
                    "levelRuns": [{"name": "R", "start": "BM",
                                   "readings": [{"point": "BM", "bs": 1.2, "code": "BENCH MARK ON WALL"}]}]})",
                "sdr",
                {},
                "BENCH MARK ON WA",
                "losing \"LL\" ($.levelRuns[0].readings[0])",
                ""},
        // An RW5 resection record holds a circle reading with a zenith and slope distance, with a
        // horizontal distance and height difference, or alone. A distance alone is no circle
        // reading; a zenith without a distance has no field.
        Written{"a resection direction in RW5",
                R"({"points": [{"name": "A", "coords": [1100, 2000, 102]}],
                    "setups": [{"station": "R1", "coords": [1000, 2000, 100], "hi": 1.5,
                                "resection": [{"to": "A", "hz": [330]}]}]})",
                "rw5",
                {},
                "RS,PNA,CR330.00000\r\n--Horizontal Angle Worst Residual: 0.00000\r\nOC",
                "",
                "left out",
                "job.json",
                "Zenith"},  // nothing measured a zenith: it has no worst residual
        Written{"a resection distance alone in RW5",
                R"({"points": [{"name": "A", "coords": [1100, 2000, 102]}],
                    "setups": [{"station": "R1", "coords": [1000, 2000, 100], "hi": 1.5,
                                "resection": [{"to": "A", "hz": [330]}, {"to": "A", "dist": [100]}]}]})",
                "rw5",
                {},
                "RS,PNA,CR330.00000\r\n--Horizontal Angle Worst Residual",
                "rw5: 1 distance-only observation left out: the resection record has no place for it",
                "",
                "job.json",
                "CR100"},
        Written{"a resection's angles in RW5",
                R"({"points": [{"name": "A", "coords": [1100, 2000, 102]}],
                    "setups": [{"station": "R1", "coords": [1000, 2000, 100], "hi": 1.5,
                                "resection": [{"to": "A", "angles": [330, 88]}]}]})",
                "rw5",
                {},
                "OC,OPR1",
                "rw5: 1 angles-only observation left out: the resection record holds no zenith without a distance",
                "",
                "job.json",
                "RS,"},
        // A Quolt/Pashk resection observation is its RES_OBS line with the slope distance, then its
        // measurement; a measurement without a record has neither, and the numbers run on.
        Written{"Quolt/Pashk resection observations",
                R"({"points": [{"name": "A", "coords": [1100, 2000, 102]}, {"name": "B", "coords": [1000, 2050, 102]}],
                    "setups": [{"station": "R1", "coords": [1000, 2000, 100], "hi": 1.5,
                                "resection": [{"to": "B", "hz": [60]}, {"to": "A", "hd": [330, 100, 2]},
                                              {"to": "B", "angles": [60, 88]}]}]})",
                "quoltpashk",
                {},
                "STN     R1,1.500,\r\nRES_OBS A,100.020,1\r\nHD      330.00000,100.0000,2.0000\r\n"
                "RES_OBS B,0.000,2\r\nHV      60.00000,88.00000\r\n",
                "quoltpashk: 1 direction-only measurement has no record in this format and is left out"},
        // The job file that `read` makes of an RW5 file says that its codes were one text.
        Written{"a job file whose codes were one text, in SDR",
                R"({"codesAsText": true, "setups": [{"station": "S1", "hi": 1.5, "backsight": {"bearing": 0},
                    "shots": [{"to": "A", "sd": [10, 90, 12], "codes": [{"code": "FENCE", "control": ["ST", ""]}]}]}]})",
                "sdr",
                {},
                "FENCE ST        \r\n",
                "",
                "code"},
        // A backsight's target height is what the job gives, or unknown; the sights after it keep
        // the set-up's last target height.
        Written{"a backsight without a target height",
                R"({"points": [{"name": "A", "coords": [1100, 2000, 102]}],
                    "setups": [{"station": "S1", "coords": [1000, 2000, 100], "hi": 1.5, "backsight": {"point": "A"},
                                "shots": [{"to": "P", "sd": [10, 90, 5], "hr": 1.7}, {"to": "Q", "sd": [20, 90, 5]}],
                                "reorientations": [{"point": "A", "fromShot": 1, "angles": [0, 87]}]}]})",
                "rw5",
                {},
                "LS,HI1.5000,HR\r\nBK,OPS1,BPA,BS0.0000,BC0.0000\r\nLS,HI1.5000,HR1.7000\r\nFD,OPS1,FPP,"
                "AR10.00000,ZE90.00000,SD5.0000,--\r\nLS,HI1.5000,HR\r\nBK,OPS1,BPA,BS0.0000,BC0.0000\r\n"
                "BD,OPS1,BPA,AR0.00000,ZE87.00000\r\nLS,HI1.5000,HR1.7000\r\nFD,OPS1,FPQ,",
                ""},
        // A job file's codes are given one by one: a control code is no part of the code's name.
        Written{"a job file's control code in SDR",
                oneShot(R"({"to": "A", "sd": [10, 90, 12], "codes": [{"code": "FENCE", "control": ["ST", ""]}]})"),
                "sdr",
                {},
                "FENCE           \r\n",
                "sdr: 1 control code left out: SDR has no field for them"}));

// A description written in one code field carries the attributes of all the codes it names, in
// their order; a null code and a code without a description name nothing.
TEST(CodesAsOne, NamesEveryCodeAndCarriesEveryAttributeInOrder) {
    using namespace orv::ie;
    DexCodeDescription tree(L"TREE");
    tree.addAttribute(L"SPECIES");
    tree.addAttribute(L"GIRTH");
    DexCodeValues first(tree);
    first.setControlCode(eControlCode1, L"OAK");
    first.setAttrAt(0, L"oak");
    DexCodeDescription twelve(L"12");
    twelve.addAttribute(L"HEIGHT");
    DexCodeValues last(twelve);
    last.setControlCode(eControlCode2, L"SPREAD");
    last.setAttrAt(0, L"8");
    DexCodesDataInterface codes;
    codes.addCode(first);
    codes.addNullCode();
    codes.addCode(DexCodeValues());
    codes.addCode(last);

    EXPECT_TRUE(exportgen::codesSayMore(codes));
    const DexCodesDataInterface one = exportgen::codesAsOne(codes);
    ASSERT_EQ(one.getNumberOfCodes(), 1);
    const DexCodeValues* code = one.getCode(0);
    ASSERT_NE(code, nullptr);
    ASSERT_NE(code->getDescription(), nullptr);
    EXPECT_EQ(exportgen::utf8(code->getDescription()->codeName()), "TREE OAK 12 SPREAD");
    std::vector<std::string> attributes;
    for (int i = 0; i < code->getDescription()->getSize(); ++i) {
        attributes.push_back(exportgen::utf8(code->getDescription()->getAttrDescriptionAt(i)->text) + "=" +
                             exportgen::utf8(code->getAttrAt(i)));
    }
    EXPECT_EQ(attributes, (std::vector<std::string>{"SPECIES=oak", "GIRTH=", "HEIGHT=8"}));

    DexCodesDataInterface single;
    single.addCode(DexCodeValues(DexCodeDescription(L"FENCE")));
    EXPECT_FALSE(exportgen::codesSayMore(single));
}

}  // namespace
