// Every record a generator can write reads back. The scripts in tests/host/record_kinds/ call
// the operations of each generator, under each of its flags, as a job of a header and set-ups;
// the file they write (not our writers' output: a file another program may hand us) is read by
// the format's reader. Each row of the table below takes one call and says what the reader makes
// of the lines it wrote: a value of the job read (a JSON pointer into `exportgen read`'s output
// and the value found there), or the warning that skips them. Every call that writes a line has
// a row, every warning the reader gives belongs to a skipping row, and every operation of every
// generator is called by a script or named below as one that writes only a part of a record.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "formats/registry.h"
#include "host/host_test_support.h"
#include "replay/replay.h"

namespace {

using nlohmann::json;

// ---------------------------------------------------------------------------------------------
// The files the scripts write

struct Script {
    const char* name;    ///< tests/host/record_kinds/NAME.json
    const char* format;  ///< the reader of its file
};

const Script kScripts[] = {
    {"rw5", "rw5"},     {"rw5_rb", "rw5"},      {"rw5_force", "rw5"}, {"sdr", "sdr"}, {"quoltpashk", "quoltpashk"},
    {"vemra", "vemra"}, {"apasima", "apasima"}, {"drevan", "drevan"},
};

using Built = hosttest::ReplayFile;

Built build(const Script& s) { return hosttest::replayFile(std::string("host/record_kinds/") + s.name + ".json"); }

// What the reader warns of, every warning with its line: the reader's own, not those of the
// placement after it.
std::multimap<std::size_t, std::string> readerWarnings(const std::string& format, const std::string& text) {
    std::multimap<std::size_t, std::string> warnings;
    exportgen::RawInput input(text, "in", [&](const std::string& what, std::size_t offset) {
        std::size_t line = 1;
        for (std::size_t k = 0; k < offset && k < text.size(); ++k) line += text[k] == '\n';
        warnings.emplace(line, what);
    });
    class Quiet : public exportgen::JobListener {
        void header(exportgen::JobBuilder&) override {}
        void setup(exportgen::Setup&) override {}
        void end(const exportgen::Job&) override {}
        void warning(const char*, const std::string&, const exportgen::Place&, const std::string&) override {}
    } quiet;
    exportgen::JobBuilder builder(exportgen::BuildOptions{}, quiet);
    exportgen::findFormat(format)->build(input, builder);
    builder.finish();
    return warnings;
}

// Numbers within 1e-4 (the files' last digits: a figure in feet or gons reads back through its
// conversion), everything else equal.
bool same(const json& found, const json& expected) {
    if (found.is_number() && expected.is_number()) {
        const double a = found.get<double>(), b = expected.get<double>();
        return std::fabs(a - b) <= 1e-4;
    }
    if (found.type() != expected.type()) return false;
    if (found.is_array()) {
        if (found.size() != expected.size()) return false;
        for (std::size_t k = 0; k < found.size(); ++k) {
            if (!same(found[k], expected[k])) return false;
        }
        return true;
    }
    if (found.is_object()) {
        if (found.size() != expected.size()) return false;
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (!found.contains(it.key()) || !same(found[it.key()], it.value())) return false;
        }
        return true;
    }
    return found == expected;
}

// ---------------------------------------------------------------------------------------------
// The table: a call of a script and what the reader makes of its lines

struct Row {
    const char* script;
    int call;
    /// A JSON pointer into the job read; or, with `value` null, a text that the warning skipping
    /// each line of the call holds (one warning for all of them with `once`; an empty text: the
    /// lines are blank, passed over without a word).
    const char* what;
    const char* value;  ///< the JSON at `what`
    bool once = false;
};

#define READ(script, call, pointer, value) \
    Row { script, call, pointer, value, false }
#define SKIP(script, call, warning) \
    Row { script, call, warning, nullptr, false }
#define SKIP_ONCE(script, call, warning) \
    Row { script, call, warning, nullptr, true }
#define BLANK(script, call) \
    Row { script, call, "", nullptr, false }

constexpr const char* kNoObservation = "a note that belongs to no observation is skipped";
constexpr const char* kOffset = "an offset record (OF) is skipped";

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        // RW5: a plain file, metres and degrees.
        READ("rw5", 0, "/job", R"({"application": "Field", "version": "2.1", "name": "KINDS",
                                   "created": {"date": "4/7/2025", "time": "9:05:03"}})"),
        READ("rw5", 0, "/units", R"({"distance": "metres", "angle": "degrees"})"),
        READ("rw5", 1, "/points/0", R"({"name": "2", "coords": [5100, 3000, 101], "code": "CP", "note": "iron pin"})"),
        READ("rw5", 2, "/points/1", R"({"name": "3", "coords": [5000, 3100]})"),
        READ("rw5", 4, "/points/0/name", R"("2")"),  // stored again alike: still one point
        SKIP("rw5", 5, "a recall note is skipped"),
        SKIP("rw5", 6, "a marker note is skipped"),
        SKIP("rw5", 7, kNoObservation),
        READ("rw5", 10, "/setups/0/station", R"("1")"),
        READ("rw5", 10, "/setups/0/coords", "[5000, 3000, 100]"),
        READ("rw5", 10, "/setups/0/note", R"("nail in kerb")"),
        READ("rw5", 11, "/setups/0/hi", "1.5"),
        READ("rw5", 12, "/setups/0/backsight/point", R"("2")"),
        READ("rw5", 13, "/setups/0/backsight/sd", "[0, 90, 100]"),
        SKIP("rw5", 14, "a second measurement of the backsight (its other face) is skipped"),
        SKIP("rw5", 15, "a backsight check note is skipped"),
        SKIP("rw5", 16, "a backsight check note is skipped"),
        SKIP("rw5", 17, "a backsight target height note is skipped"),
        READ("rw5", 18, "/setups/0/shots/0", R"({"to": "7", "sd": [30, 89.5, 52.3], "hr": 1.7})"),
        READ("rw5", 19, "/setups/0/shots/1/sd", "[210, 270.5, 52.3]"),
        READ("rw5", 20, "/setups/0/shots/2", R"({"to": "8", "dist": [12.5], "hr": 1.7})"),
        READ("rw5", 21, "/setups/0/shots/3/angles", "[-15, 91]"),
        READ("rw5", 22, "/setups/0/shots/4/hd", "[45, 20.5, -0.375]"),
        READ("rw5", 23, "/setups/0/shots/5/dist", "[55.5]"),
        READ("rw5", 24, "/setups/0/shots/6/hz", "[123.5]"),
        READ("rw5", 26, "/setups/0/shots/7/codes", R"([{"code": "TREE", "control": ["ST", ""]}, {"code": "FENCE"}])"),
        READ("rw5", 27, "/setups/0/shots/8/hd", "[-30, 40, 3]"),
        READ("rw5", 28, "/setups/0/shots/9/codes/0/control", R"(["PC", "PT"])"),
        READ("rw5", 29, "/setups/0/shots/10/hz", "[80]"),
        READ("rw5", 30, "/setups/0/shots/11/dist", "[8.25]"),
        SKIP("rw5", 31, "a line that is no RW5 record is skipped"),
        SKIP("rw5", 32, "a line that is no RW5 record is skipped"),
        READ("rw5", 33, "/setups/0/shots/12/hr", "2.0"),
        READ("rw5", 34, "/setups/0/shots/12/to", R"("21")"),
        READ("rw5", 35, "/setups/0/shots/13/hr", "1.8"),
        // Offsets: records, notes that stand for records, and heads run into their parts. None
        // is taken for the note of the shot before it.
        READ("rw5", 36, "/setups/0/shots/13", R"({"to": "22", "sd": [110, 90, 26], "hr": 1.8})"),
        SKIP("rw5", 37, kOffset),
        SKIP("rw5", 38, kOffset),
        SKIP("rw5", 39, "an offset note is skipped"),
        SKIP("rw5", 40, "an offset note is skipped"),
        SKIP("rw5", 41, "an offset note is skipped"),
        SKIP("rw5", 42, kOffset),
        SKIP("rw5", 43, "is skipped"),  // the head's line an offset record, the others notes
        SKIP("rw5", 44, kOffset),
        SKIP("rw5", 45, "an offset note is skipped"),
        SKIP("rw5", 46, kOffset),
        SKIP("rw5", 47, kOffset),
        SKIP("rw5", 48, kOffset),
        SKIP("rw5", 49, kOffset),
        SKIP("rw5", 50, "an offset note is skipped"),
        SKIP("rw5", 51, "an offset note is skipped"),
        READ("rw5", 52, "/points/2", R"({"name": "23", "coords": [5010.5, 2990.25, 100.125], "code": "wall",
                                          "note": "corner"})"),
        SKIP("rw5", 53, "a marker note is skipped"),
        READ("rw5", 54, "/setups/1/station", R"("2")"),
        READ("rw5", 55, "/setups/1/hi", "1.6"),
        READ("rw5", 57, "/setups/1/backsight", R"({"bearing": 0, "circle": 45, "hr": 1.7})"),
        READ("rw5", 58, "/setups/1/shots/0", R"({"to": "100", "angles": [0, 90], "hr": 1.7, "code": "BRG"})"),
        READ("rw5", 59, "/setups/1/reorientations/0/point", R"("1")"),
        READ("rw5", 60, "/setups/1/reorientations/0/sd", "[0, 90, 100]"),
        SKIP("rw5", 60, "the note field \"CP nail in kerb\" of a backsight observation is skipped"),
        SKIP("rw5", 61, "a second measurement of the backsight (its other face) is skipped"),
        READ("rw5", 62, "/setups/1/shots/1/angles", "[20, 90]"),
        READ("rw5", 63, "/setups/1/reorientations/1/fromShot", "2"),
        READ("rw5", 64, "/setups/1/reorientations/1/hd", "[0, 100, -1]"),
        READ("rw5", 65, "/setups/1/shots/2/to", R"("31")"),
        READ("rw5", 66, "/setups/1/reorientations/2/circle", "180"),
        READ("rw5", 67, "/setups/1/reorientations/2/angles", "[0, 90]"),
        READ("rw5", 68, "/setups/1/shots/3/to", R"("32")"),
        READ("rw5", 69, "/setups/1/reorientations/3/point", R"("1")"),
        READ("rw5", 70, "/setups/1/reorientations/3/hd", "[0, 100, -1]"),
        READ("rw5", 71, "/setups/1/shots/4/to", R"("33")"),
        READ("rw5", 72, "/setups/1/reorientations/4/point", R"("1")"),
        READ("rw5", 73, "/setups/1/reorientations/4/angles", "[0, 90]"),
        READ("rw5", 74, "/setups/1/shots/5/to", R"("34")"),
        READ("rw5", 75, "/setups/1/reorientations/5/point", R"("1")"),
        READ("rw5", 76, "/setups/1/reorientations/5/hz", "[0]"),
        READ("rw5", 77, "/setups/1/shots/6/to", R"("35")"),
        READ("rw5", 78, "/setups/1/reorientations/6/point", R"("1")"),
        READ("rw5", 79, "/setups/1/reorientations/6/dist", "[100]"),
        READ("rw5", 80, "/setups/1/shots/7/to", R"("36")"),
        READ("rw5", 81, "/setups/1/reorientations/7", R"({"point": "1", "bearing": 0, "circle": 180, "hr": 1.7,
                                                          "fromShot": 8})"),
        SKIP("rw5", 82, "a backsight observation without measurement fields is skipped"),
        READ("rw5", 83, "/setups/1/shots/8", R"({"to": "100", "sd": [5, 90, 5], "hr": 1.7})"),
        READ("rw5", 84, "/setups/2/resection/0", R"({"to": "2", "sd": [330, 90, 100], "hr": null})"),
        READ("rw5", 85, "/setups/2/resection/1", R"({"to": "1", "hd": [45, 100, 1], "hr": null})"),
        // An angles-only observation's record holds its circle reading alone: a direction.
        READ("rw5", 86, "/setups/2/resection/2", R"({"to": "3", "hz": [90], "hr": null})"),
        SKIP("rw5", 87, "a resection quality note is skipped"),
        READ("rw5", 88, "/setups/2/worstResiduals", "[0.001, 0.002, 0.003]"),
        SKIP("rw5", 89, "a resection quality note is skipped"),  // a second set
        SKIP("rw5", 91, "a target height note is skipped"),
        READ("rw5", 92, "/setups/2", R"({"station": "R1", "hi": 1.55, "note": "free station",
            "worstResiduals": [0.001, 0.002, 0.003], "shots": [{"to": "24", "sd": [5, 90, 5], "hr": null}],
            "resection": [{"to": "2", "sd": [330, 90, 100], "hr": null}, {"to": "1", "hd": [45, 100, 1], "hr": null},
                          {"to": "3", "hz": [90], "hr": null}]})"),
        READ("rw5", 93, "/setups/2/shots/0/hr", "null"),
        READ("rw5", 94, "/setups/2/shots/0/to", R"("24")"),

        // RW5 in RB mode, US survey feet and gons: RB, OB and SS records, HR fields.
        READ("rw5_rb", 0, "/units", R"({"distance": "usSurveyFeet", "angle": "gons"})"),
        READ("rw5_rb", 1, "/points/0/coords", "[5100, 3000, 101]"),
        READ("rw5_rb", 2, "/setups/0/coords", "[5000, 3000, 100]"),
        READ("rw5_rb", 3, "/setups/0/hi", "1.5"),
        READ("rw5_rb", 4, "/setups/0/backsight/point", R"("2")"),
        READ("rw5_rb", 5, "/setups/0/backsight/sd", "[0, 90, 100]"),
        READ("rw5_rb", 5, "/setups/0/backsight/hr", "1.7"),
        SKIP("rw5_rb", 6, "a second measurement of the backsight (its other face) is skipped"),
        READ("rw5_rb", 7, "/setups/0/shots/0", R"({"to": "2", "sd": [0, 90, 100], "hr": 1.7})"),
        READ("rw5_rb", 8, "/setups/0/shots/1/sd", "[30, 89.5, 52.3]"),
        READ("rw5_rb", 9, "/setups/0/shots/2/dist", "[12.5]"),
        READ("rw5_rb", 10, "/setups/0/shots/3/angles", "[-15, 91]"),
        READ("rw5_rb", 11, "/setups/0/shots/4/hd", "[45, 20.5, -0.375]"),
        READ("rw5_rb", 12, "/setups/0/shots/5/dist", "[55.5]"),
        READ("rw5_rb", 13, "/setups/0/shots/6/hz", "[123.5]"),
        READ("rw5_rb", 14, "/setups/0/shots/7/codes", R"([{"code": "TREE", "control": ["ST", ""]}])"),
        READ("rw5_rb", 15, "/setups/0/shots/8", R"({"to": "2", "sd": [0, 90, 100], "hr": 1.7, "code": "CP"})"),
        READ("rw5_rb", 16, "/setups/0/shots/9", R"({"to": "15", "dist": [8.25], "hr": 1.7})"),  // no note
        SKIP("rw5_rb", 17, "an offset note is skipped"),
        SKIP("rw5_rb", 18, "a second measurement of the backsight (its other face) is skipped"),
        READ("rw5_rb", 19, "/setups/1/station", R"("3")"),
        READ("rw5_rb", 21, "/setups/1/backsight/point", R"("1")"),
        READ("rw5_rb", 22, "/setups/1/backsight/sd", "[0, 90, 100]"),
        SKIP("rw5_rb", 23, "a second measurement of the backsight (its other face) is skipped"),
        READ("rw5_rb", 24, "/setups/1/shots/0/hd", "[45, 20.5, -0.375]"),

        // RW5 with numeric names forced, international feet.
        READ("rw5_force", 0, "/units/distance", R"("internationalFeet")"),
        READ("rw5_force", 1, "/points/0", R"({"name": "2", "coords": [5100, 3000, 101], "code": "CP"})"),
        READ("rw5_force", 2, "/setups/0/station", R"("3")"),
        READ("rw5_force", 3, "/setups/0/hi", "1.5"),
        READ("rw5_force", 4, "/setups/0/backsight", R"({"point": "2", "bearing": 0, "circle": 0, "hr": 1.7})"),
        SKIP("rw5_force", 5, "a backsight observation without measurement fields is skipped"),
        READ("rw5_force", 6, "/setups/0/shots/0/to", R"("4")"),
        READ("rw5_force", 7, "/setups/0/shots/1/to", R"("5")"),
        READ("rw5_force", 8, "/setups/1/resection/0/to", R"("CP-A")"),
        READ("rw5_force", 9, "/setups/1/resection/1/to", R"("STN-1")"),
        READ("rw5_force", 10, "/setups/1/station", R"("6")"),
        READ("rw5_force", 11, "/setups/1/shots/0", R"({"to": "4", "sd": [5, 90, 5], "hr": 1.7})"),

        // SDR.
        READ("sdr", 0, "/job/name", R"("KINDS")"),
        READ("sdr", 1, "/points/0", R"({"name": "2", "coords": [5100, 3000, 101], "code": "CP"})"),
        SKIP("sdr", 2, "coordinate record \"08KI\" is read as \"08TP\""),
        READ("sdr", 2, "/points/1", R"({"name": "3", "coords": [5000, 3100]})"),
        READ("sdr", 3, "/points/2/name", R"("4")"),  // stored again alike: still one point
        READ("sdr", 4, "/points/2", R"({"name": "4", "coords": [4900, 3000, 99]})"),
        SKIP("sdr", 5, "a coordinate record without a point name, skipped"),
        SKIP("sdr", 6, "a note the job has no place for"),
        SKIP("sdr", 7, "a marker note, which the job has no place for"),
        SKIP("sdr", 8, "a recall note, which the job has no place for"),
        READ("sdr", 9, "/setups/0/station", R"("1")"),
        READ("sdr", 9, "/setups/0/code", R"("STN")"),
        READ("sdr", 10, "/setups/0/note", R"("nail in kerb")"),
        READ("sdr", 11, "/setups/0/backsight/hr", "1.7"),
        READ("sdr", 13, "/setups/0/backsight/point", R"("2")"),
        READ("sdr", 14, "/setups/0/backsight/angles", "[0, 90]"),
        SKIP("sdr", 15, "a backsight check note, which the job has no place for"),
        SKIP("sdr", 16, "a backsight target height note, which the job has no place for"),
        READ("sdr", 17, "/setups/0/shots/0", R"({"to": "7", "sd": [30, 89.5, 52.3], "hr": 1.7})"),
        READ("sdr", 18, "/setups/0/shots/1/sd", "[210, 270.5, 52.3]"),
        READ("sdr", 19, "/setups/0/shots/2/dist", "[12.5]"),
        READ("sdr", 20, "/setups/0/shots/3/hz", "[12.5]"),
        READ("sdr", 21, "/setups/0/shots/4/angles", "[15, 91]"),
        READ("sdr", 23, "/setups/0/shots/5/sd", "[45, 91.047977, 20.5034]"),
        READ("sdr", 24, "/setups/0/shots/6/sd", "[45, 90, 2]"),
        READ("sdr", 25, "/setups/0/shots/7/dist", "[55.5]"),
        READ("sdr", 26, "/setups/0/shots/8/hz", "[123.5]"),
        READ("sdr", 27, "/setups/0/shots/9/angles", "[123.5, 80]"),
        READ("sdr", 28, "/setups/0/shots/10/sd", "[123.5, 36.869898, 5]"),
        READ("sdr", 30, "/setups/0/shots/11/codes",
             R"([{"code": "TREE", "attributes": [["HEIGHT", "12"], ["GIRTH", "0.8"]]}])"),
        READ("sdr", 31, "/setups/0/shots/12/code", R"("MANHOLE-COVER-CAST-IRON")"),
        READ("sdr", 32, "/setups/0/shots/13", R"({"to": "16", "angles": [70, 271], "hr": 1.7})"),
        READ("sdr", 33, "/setups/0/shots/14", R"({"to": "17", "hz": [80], "hr": 1.7})"),
        READ("sdr", 34, "/setups/0/shots/15", R"({"to": "18", "dist": [8.25], "hr": 1.7})"),
        SKIP("sdr", 35, "a code field without its observation"),
        BLANK("sdr", 36),  // a blank code field alone: a blank line
        SKIP("sdr", 37, "an attribute note that follows no observation"),
        SKIP("sdr", 38, "a note the job has no place for"),
        SKIP("sdr", 39, "record \"LS\" is not read"),
        READ("sdr", 40, "/setups/0/shots/16", R"({"to": "21", "sd": [100, 90, 25], "hr": 1.7, "code": "KERB"})"),
        SKIP("sdr", 41, "record \"LS\" is not read"),
        READ("sdr", 42, "/setups/0/shots/17/to", R"("22")"),
        SKIP("sdr", 43, "record \"BD\" is not read"),
        SKIP("sdr", 44, "record \"OF\" is not read"),
        SKIP("sdr", 45, "an offset note, which the job has no place for"),
        SKIP("sdr", 46, "an offset note, which the job has no place for"),
        SKIP("sdr", 47, "record \"OF\" is not read"),
        SKIP("sdr", 48, "an offset note, which the job has no place for"),
        SKIP("sdr", 49, "record \"SP\" is not read"),
        SKIP("sdr", 50, "a \"13OS\" note, which the job has no place for"),
        READ("sdr", 50, "/points/3", R"({"name": "24", "coords": [5020, 3010, 100.5], "code": "PEG"})"),
        SKIP("sdr", 51, "a \"13OS\" note, which the job has no place for"),
        SKIP("sdr", 52, "a \"13OS\" note, which the job has no place for"),
        READ("sdr", 52, "/points/4", R"({"name": "25", "coords": [5030, 3020, 100.5], "code": "PEG"})"),
        READ("sdr", 53, "/setups/0/stakeouts/0/sd", "[40, 90, 30]"),
        READ("sdr", 54, "/setups/0/stakeouts/0/differences", "[0.01, -0.02, 0.25]"),
        READ("sdr", 55, "/setups/0/stakeouts/0/coords", "[5022.98, 3019.28, 100.03]"),
        READ("sdr", 56, "/setups/0/stakeouts/1/to", R"("27")"),
        READ("sdr", 57, "/setups/0/stakeouts/1/differences", "[0.01, -0.02, -0.25]"),
        SKIP("sdr", 58, "a \"13GO\" note, which the job has no place for"),
        SKIP("sdr", 59, "a \"13OS\" note"),
        SKIP("sdr", 60, "a \"13QC\" note"),
        SKIP("sdr", 61, "a \"13TL\" note"),
        SKIP("sdr", 62, "a \"13TS\" note"),
        SKIP("sdr", 63, "a \"13CP\" note"),
        SKIP("sdr", 64, "a \"13JS\" note"),
        SKIP("sdr", 65, "a \"13CC\" note"),
        SKIP("sdr", 66, "a \"13PC\" note"),
        SKIP("sdr", 67, "a \"13ST\" note"),
        SKIP("sdr", 68, "a \"13TP\" note"),
        SKIP("sdr", 69, "a stake-out note that follows no staked observation"),
        SKIP("sdr", 70, "a \"13SC\" note"),
        SKIP("sdr", 71, "a \"13PT\" note"),
        SKIP("sdr", 72, "a \"13OO\" note"),
        SKIP("sdr", 73, "a note the job has no place for"),
        SKIP("sdr", 74, "an attribute note that follows no observation"),
        SKIP("sdr", 75, "a feature-code note that follows no observation"),
        SKIP("sdr", 76, "a marker note, which the job has no place for"),
        READ("sdr", 77, "/setups/1/station", R"("2")"),
        READ("sdr", 78, "/setups/1/backsight/hr", "1.7"),
        READ("sdr", 79, "/setups/1/backsight/bearing", "45"),
        READ("sdr", 80, "/setups/1/backsight", R"({"bearing": 45, "circle": 0, "hr": 1.7, "angles": [0, 90]})"),
        READ("sdr", 81, "/setups/1/reorientations/0/point", R"("1")"),
        READ("sdr", 82, "/setups/1/reorientations/0/sd", "[0, 90, 100]"),
        READ("sdr", 83, "/setups/1/shots/0", R"({"to": "1", "sd": [180, 270, 100], "hr": 1.7, "fs": true})"),
        SKIP("sdr", 84, "record \"RS\" is not read"),
        SKIP("sdr", 85, "a resection quality note, which the job has no place for"),
        SKIP("sdr", 86, "a resection quality note, which the job has no place for"),
        SKIP("sdr", 87, "a target height note, which the job has no place for"),
        READ("sdr", 88, "/setups/2/station", R"("R1")"),
        READ("sdr", 89, "/setups/2/resection/0/hr", "1.7"),
        READ("sdr", 90, "/setups/2/resection/0/sd", "[330, 90.01, 100.2]"),
        READ("sdr", 91, "/setups/2/resection/0/residual", "[0.001, -0.002, 0]"),
        READ("sdr", 92, "/setups/2/resection/1", R"({"to": "1", "sd": [45, 90.01, 100.2], "hr": 1.7})"),
        READ("sdr", 92, "/setups/2/resection/1/sd", "[45, 90.01, 100.2]"),
        SKIP_ONCE("sdr", 93, "residuals without their north or east are not kept"),
        SKIP("sdr", 94, "station record \"02KI\" is read as \"02NM\""),
        READ("sdr", 94, "/setups/3", R"({"station": "5", "coords": [4800, 3000, 98], "hi": 1.5})"),
        READ("sdr", 95, "/setups/4", R"({"station": "1", "coords": [4700, 3000, 97], "hi": 1.5})"),
        READ("sdr", 96, "/levelRuns/0/description", R"("to the bridge")"),
        READ("sdr", 97, "/levelRuns/0/start", R"("2")"),
        READ("sdr", 98, "/levelRuns/0/readings/0", R"({"point": "2", "bs": 1.234, "dist": 1.234, "code": "BM",
                                                         "hi": 102.234})"),
        READ("sdr", 99, "/levelRuns/0/readings/1", R"({"point": "L1", "fs": 1.5, "dist": 0.9, "elevation": 101.2,
                                                         "rise": -1})"),
        READ("sdr", 101, "/levelRuns/1/name", R"("R2")"),
        READ("sdr", 102, "/levelRuns/1/start", R"("3")"),
        READ("sdr", 103, "/levelRuns/1/readings", R"([{"point": "3", "bs": 1.1, "dist": 20}])"),
        READ("sdr", 104, "/levelRuns/2/name", R"("R3")"),
        SKIP("sdr", 105, "the text \"spare text\" of the level run's starting point is not kept"),
        READ("sdr", 105, "/levelRuns/2/start", R"("2")"),

        // Quolt/Pashk.
        READ("quoltpashk", 0, "/job", R"({"application": "Field", "version": "2.1", "name": "KINDS", "text2": "north",
                                          "created": {"date": "4/7/2025", "time": "9:05:03"}})"),
        READ("quoltpashk", 0, "/observation",
             R"({"instrument": "TS 5", "temperature": 18.5, "temperatureUnits": "celsius",
            "pressure": 1008.4, "pressureUnits": "hPa", "scaleFactor": 0.9996, "elevation": 120})"),
        READ("quoltpashk", 1, "/setups/0/code", R"("STN")"),
        READ("quoltpashk", 2, "/setups/0/note", R"("nail in kerb")"),
        READ("quoltpashk", 3, "/setups/0/backsight/point", R"("2")"),
        READ("quoltpashk", 4, "/setups/0/backsight/hr", "1.7"),
        READ("quoltpashk", 5, "/setups/0/backsight/sd", "[0, 90, 100]"),
        READ("quoltpashk", 6, "/setups/0/shots/0/fs", "true"),
        SKIP("quoltpashk", 6, "FS: the text after the code has no place in the job and is not read"),
        READ("quoltpashk", 7, "/setups/0/shots/0/sd", "[30, 89.5, 52.3]"),
        READ("quoltpashk", 8, "/setups/0/shots/0/codes", R"([{"code": "TREE", "control": ["ST", ""]}])"),
        READ("quoltpashk", 9, "/setups/0/shots/0/note", R"("by the wall")"),
        READ("quoltpashk", 10, "/setups/0/shots/1/to", R"("8")"),
        READ("quoltpashk", 11, "/setups/0/shots/1/hd", "[45, 20.5, -0.375]"),
        READ("quoltpashk", 12, "/setups/0/shots/2/to", R"("9")"),
        READ("quoltpashk", 13, "/setups/0/shots/2/angles", "[70, 91]"),
        READ("quoltpashk", 14, "/setups/0/shots/2/codes",
             R"([{"code": "POLE", "strings": ["PT"], "control": ["", "PC"]}])"),
        READ("quoltpashk", 15, "/setups/0/shots/3/to", R"("10")"),
        READ("quoltpashk", 16, "/setups/0/shots/3/sd", "[80, 90, 10]"),
        READ("quoltpashk", 17, "/setups/0/shots/3/coords", "[3000, 5000, 100]"),
        READ("quoltpashk", 18, "/setups/0/shots/3/codes/0/control", R"(["ST", "PC"])"),
        READ("quoltpashk", 19, "/setups/0/shots/4", R"({"to": "11", "measured": false, "hr": 1.7})"),
        SKIP("quoltpashk", 20, "PTL_OFF: the record has no place in the job and is not read"),
        READ("quoltpashk", 21, "/setups/0/shots/5/to", R"("12")"),
        SKIP("quoltpashk", 22, "OFFSET: the record has no place in the job and is not read"),
        READ("quoltpashk", 23, "/setups/0/shots/6/to", R"("13")"),
        READ("quoltpashk", 25, "/setups/0/shots/6/coords", "[5010, 3010, 100.5]"),
        SKIP("quoltpashk", 26, "MLM: the record has no place in the job and is not read"),
        SKIP("quoltpashk", 27, "an unknown record \"\" is not read"),
        READ("quoltpashk", 28, "/setups/0/stakeouts/0/to", R"("15")"),
        READ("quoltpashk", 29, "/setups/0/stakeouts/0/differences", "[0.01, -0.02, 0.25]"),
        READ("quoltpashk", 30, "/setups/1/station", R"("2")"),
        // A backsight by bearing, named by the generator: no point, even where its sight names it.
        READ("quoltpashk", 31, "/setups/1/backsight/bearing", "45"),
        READ("quoltpashk", 32, "/setups/1/backsight", R"({"bearing": 45, "circle": 0, "hr": 1.7, "angles": [0, 90]})"),
        READ("quoltpashk", 33, "/setups/1/backsight/angles", "[0, 90]"),
        READ("quoltpashk", 34, "/setups/1/shots/0/to", R"("16")"),
        READ("quoltpashk", 35, "/setups/1/shots/0/sd", "[10, 90, 10]"),
        READ("quoltpashk", 36, "/setups/1/reorientations/0/point", R"("1")"),
        READ("quoltpashk", 37, "/setups/1/reorientations/0/hr", "1.7"),
        READ("quoltpashk", 38, "/setups/1/reorientations/0/sd", "[0, 90, 100]"),
        SKIP("quoltpashk", 39, "BS: a second sight of the backsight (its other face) is not read"),
        READ("quoltpashk", 40, "/setups/1/reorientations/0/sd", "[0, 90, 100]"),  // not this one
        READ("quoltpashk", 41, "/setups/2/code", R"("FREE")"),
        READ("quoltpashk", 43, "/setups/2/resection/0/to", R"("2")"),
        READ("quoltpashk", 44, "/setups/2/resection/0/sd", "[330, 90, 100]"),
        READ("quoltpashk", 45, "/setups/2/resection/1/to", R"("1")"),
        READ("quoltpashk", 46, "/setups/2/resection/1/hd", "[45, 100, 1]"),
        READ("quoltpashk", 47, "/setups/2/reorientations/0",
             R"({"bearing": 45, "circle": 0, "hr": null, "fromShot": 0})"),
        READ("quoltpashk", 48, "/setups/2/shots/0/to", R"("17")"),
        READ("quoltpashk", 49, "/setups/2/shots/0/sd", "[5, 90, 5]"),
        SKIP("quoltpashk", 50, "an unknown record \"+18_ a+0\" is not read"),
        SKIP("quoltpashk", 51, "an unknown record \"_!KINDS_\" is not read"),
        READ("quoltpashk", 52, "/levelRuns/0/elevation", "101"),
        READ("quoltpashk", 53, "/levelRuns/0/readings/0", R"({"point": "2", "bs": 1.234, "hi": 102.234})"),
        READ("quoltpashk", 54, "/levelRuns/0/readings/1", R"({"point": "L1", "fs": 1.5, "elevation": 100.734})"),

        // Vemra.
        READ("vemra", 0, "/observation", R"({"instrument": "TS 5", "temperature": 18.5, "temperatureUnits": "celsius",
                                             "pressure": 1008, "pressureUnits": "hPa"})"),
        READ("vemra", 0, "/job/text3", R"("north block")"),
        READ("vemra", 1, "/setups/0", R"({"station": "1", "hi": 1.5, "code": "STN1", "shots": [
            {"to": "2", "sd": [360, 90, 100], "hr": 1.7, "code": "CP"},
            {"to": "7", "sd": [30, 89.5, 52.3], "hr": 1.7, "code": "TREE"},
            {"to": "8", "hd": [45, 20.5, -0.375], "hr": 1.7, "code": "KERB"},
            {"to": "9", "angles": [270, 91], "hr": 1.7, "code": "POLE"},
            {"to": "11", "sd": [45, 90, 12.5], "hr": 1.7},
            {"to": " ", "sd": [50, 90, 10], "hr": 1.7},
            {"to": "LONGNAME", "sd": [60, 90, 10], "hr": 1.7},
            {"to": "A1", "sd": [70, 360, 10], "hr": 1.7}]})"),
        READ("vemra", 2, "/setups/0/shots/0/sd", "[360, 90, 100]"),
        READ("vemra", 3, "/setups/0/shots/1/sd", "[30, 89.5, 52.3]"),
        READ("vemra", 4, "/setups/0/shots/2/hd", "[45, 20.5, -0.375]"),
        READ("vemra", 5, "/setups/0/shots/3/angles", "[270, 91]"),
        READ("vemra", 7, "/setups/0/shots/4/sd", "[45, 90, 12.5]"),
        READ("vemra", 8, "/setups/0/shots/5/to", R"(" ")"),
        READ("vemra", 9, "/setups/0/shots/6/to", R"("LONGNAME")"),
        READ("vemra", 10, "/setups/0/shots/7/sd", "[70, 360, 10]"),
        READ("vemra", 11, "/setups/1/station", R"("2")"),
        READ("vemra", 12, "/setups/1/shots/0/sd", "[360, 270, 100]"),
        READ("vemra", 13, "/setups/2/station", R"("+")"),
        READ("vemra", 14, "/setups/2/shots/0/to", R"("12")"),

        // ApaSima: the entries the host places, then Vemra records with packed angles.
        READ("apasima", 0, "/job/version", R"("2.1")"),
        READ("apasima", 1, "/job/created", R"({"date": "4/7/2025"})"),
        READ("apasima", 2, "/observation/ppm", "3.2"),
        READ("apasima", 3, "/observation/prismConstant", "-30"),
        READ("apasima", 4, "/observation/pressure", "1008.4"),
        READ("apasima", 5, "/setups/0/code", R"("STN")"),
        READ("apasima", 6, "/setups/0/shots/0/sd", "[360, 90, 100]"),
        READ("apasima", 7, "/setups/0/shots/1/hd", "[45, 20.5, -0.375]"),
        READ("apasima", 8, "/setups/0/shots/2/angles", "[270, 91]"),

        // Drevan: every measurement group.
        READ("drevan", 0, "/job/name", R"("KINDS")"),
        READ("drevan", 1, "/setups/0/hi", "1.5"),
        READ("drevan", 2, "/setups/0/shots/0", R"({"to": "2", "sd": [0, 90, 100], "hr": 1.7, "code": "CP"})"),
        READ("drevan", 3, "/setups/0/shots/1/sd", "[30, 60, 100]"),
        // 7 digits of 5 decimals: 300.0000 and 30.00000 alike; the larger is taken.
        READ("drevan", 4, "/setups/0/shots/2/sd", "[300, 89.5, 52.3]"),
        READ("drevan", 4, "/setups/0/shots/2/coords", "[5045.3, 3026.1, 100.2]"),
        READ("drevan", 5, "/setups/0/shots/3/hd", "[45, 20.5, -0.375]"),
        READ("drevan", 6, "/setups/0/shots/4/to", R"("8b")"),
        READ("drevan", 7, "/setups/0/shots/5/hd", "[45, 0, 2]"),
        READ("drevan", 8, "/setups/0/shots/6/angles", "[270, 91]"),
        READ("drevan", 10, "/setups/0/shots/7/dist", "[12.5]"),
        SKIP("drevan", 11, "a distance of kind A, which a job cannot hold, skipped"),
        SKIP("drevan", 12, "a distance of kind E, which a job cannot hold, skipped"),
        READ("drevan", 13, "/setups/0/shots/8",
             R"({"to": "14", "hz": [45], "hr": 1.7, "coords": [5010, 3010, 100.5]})"),
        READ("drevan", 14, "/setups/0/shots/9/hz", "[0]"),
        SKIP("drevan", 15, "an observation without a measurement, skipped"),
        READ("drevan", 16, "/setups/0/shots/10/to", R"(" ")"),
        READ("drevan", 17, "/setups/0/shots/11/coords", "[123456.789, -20.5, 3]"),
        READ("drevan", 18, "/setups/1/station", R"("2")"),
        READ("drevan", 19, "/setups/1/shots/0/sd", "[0, 270, 100]"),
    };
    return table;
}

// Operations that write a part of a record, or nothing that stands in a file: the scripts call
// the records that hold them.
const std::set<std::string> kPartsOfRecords = {
    // RW5 and SDR
    "coords", "emptyText", "hasName", "cachedName", "pointName", "angleFields", "hdFields", "fullFields", "noteField",
    "hrField", "codesText", "d", "a", "notePrefix", "angleOnlyFields", "typeFor", "recordType", "sightRecordType",
    "verticalSightDistance", "isFace1", "valueFields", "anglePairFields", "observationFields", "backsightName",
    "codeFieldWidth", "recordNumber", "guardedField",
    // the Vemra family and Quolt/Pashk
    "angleUnitsLetter", "angleToString", "distUnitsLetter", "distToString", "distField", "angleField", "isNameMapped",
    "mappedName", "makeUniqueName", "cleanCode", "coordField", "outputName"};

struct Read {
    Built file;
    json job;
    std::multimap<std::size_t, std::string> warnings;
};

const Read& readOf(const std::string& name) {
    static std::map<std::string, Read> cache;
    auto found = cache.find(name);
    if (found != cache.end()) return found->second;
    for (const Script& s : kScripts) {
        if (name != s.name) continue;
        Read r;
        r.file = build(s);
        r.job = json::parse(hosttest::readRaw(s.format, r.file.text));
        r.warnings = readerWarnings(s.format, r.file.text);
        return cache.emplace(name, std::move(r)).first->second;
    }
    ADD_FAILURE() << "no script " << name;
    static const Read none;
    return none;
}

// The warnings of the lines of a call.
std::vector<std::string> warningsOfCall(const Read& r, int call) {
    std::vector<std::string> found;
    const std::size_t first = r.file.firstLine[static_cast<std::size_t>(call)];
    const std::size_t last = first + r.file.lineCount[static_cast<std::size_t>(call)];
    for (auto it = r.warnings.lower_bound(first); it != r.warnings.end() && it->first < last; ++it) {
        found.push_back(it->second);
    }
    return found;
}

std::string rowName(const Row& row) {
    return std::string(row.script) + " call " + std::to_string(row.call) + " " + row.what;
}

class RecordKind : public testing::TestWithParam<Row> {};

TEST_P(RecordKind, IsReadOrSkippedWithItsWarning) {
    const Row& row = GetParam();
    const Read& r = readOf(row.script);
    ASSERT_LT(static_cast<std::size_t>(row.call), r.file.lineCount.size());
    ASSERT_GT(r.file.lineCount[static_cast<std::size_t>(row.call)], 0U) << "the call writes no line";
    if (row.value == nullptr && *row.what == '\0') {
        const std::size_t first = r.file.firstLine[static_cast<std::size_t>(row.call)];
        std::size_t line = 1, at = 0;
        for (; line < first; ++line) at = r.file.text.find('\n', at) + 1;
        const std::string text = r.file.text.substr(at, r.file.text.find('\n', at) - at);
        EXPECT_EQ(text.find_first_not_of(" \r"), std::string::npos) << "line " << first << " is not blank: " << text;
        EXPECT_TRUE(warningsOfCall(r, row.call).empty());
        return;
    }
    if (row.value == nullptr) {
        const auto warnings = warningsOfCall(r, row.call);
        bool found = false;
        for (const auto& w : warnings) found = found || w.find(row.what) != std::string::npos;
        EXPECT_TRUE(found) << "line " << r.file.firstLine[static_cast<std::size_t>(row.call)] << " of\n"
                           << r.file.text << "\nwarned: " << testing::PrintToString(warnings);
        return;
    }
    const json::json_pointer pointer(row.what);
    ASSERT_TRUE(r.job.contains(pointer)) << r.job.dump();
    EXPECT_TRUE(same(r.job[pointer], json::parse(row.value))) << r.job[pointer].dump() << " read, not " << row.value;
}

INSTANTIATE_TEST_SUITE_P(Table, RecordKind, testing::ValuesIn(rows()), [](const testing::TestParamInfo<Row>& row) {
    return std::string(row.param.script) + "_" + std::to_string(row.param.call) + "_" + std::to_string(row.index);
});

class ReplayBuiltFile : public testing::TestWithParam<Script> {};

// Every call that writes a line has a row; the lines of a call whose rows only skip are each
// skipped with a warning; and every warning the reader gives is one that a row of its call names.
TEST_P(ReplayBuiltFile, EveryCallHasItsRowAndEveryWarningItsCall) {
    const Script& s = GetParam();
    const Read& r = readOf(s.name);
    const std::size_t calls = r.file.lineCount.size();
    std::vector<std::vector<const Row*>> byCall(calls);
    for (const Row& row : rows()) {
        if (std::string(row.script) == s.name && static_cast<std::size_t>(row.call) < calls) {
            byCall[static_cast<std::size_t>(row.call)].push_back(&row);
        }
    }
    for (std::size_t call = 0; call < calls; ++call) {
        if (r.file.lineCount[call] == 0) continue;
        const std::string op = json::parse(r.file.script)["calls"][call]["op"];
        EXPECT_FALSE(byCall[call].empty()) << "call " << call << " (" << op << ") has no row";
        bool reads = false, once = false;
        for (const Row* row : byCall[call]) {
            reads = reads || row->value != nullptr || *row->what == '\0';
            once = once || row->once;
        }
        for (std::size_t line = r.file.firstLine[call]; line < r.file.firstLine[call] + r.file.lineCount[call];
             ++line) {
            if (!reads && !once) {
                EXPECT_EQ(r.warnings.count(line), 1U)
                    << "line " << line << " of call " << call << " (" << op << ") is skipped without one warning";
            }
            const auto [from, to] = r.warnings.equal_range(line);
            for (auto it = from; it != to; ++it) {
                bool named = false;
                for (const Row* row : byCall[call]) {
                    named = named || (row->value == nullptr && it->second.find(row->what) != std::string::npos);
                }
                EXPECT_TRUE(named) << "line " << line << " of call " << call << " (" << op << "): " << it->second;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ReplayBuiltFile, testing::ValuesIn(kScripts),
                         [](const testing::TestParamInfo<Script>& script) { return std::string(script.param.name); });

// Every operation of every generator writes its records in a script of its generator, or is
// one that writes a part of a record.
TEST(RecordKinds, EveryOperationIsCalled) {
    std::map<std::string, std::set<std::string>> called;
    for (const Script& s : kScripts) {
        const json script = json::parse(readOf(s.name).file.script);
        for (const json& call : script["calls"]) called[script["generator"]].insert(call["op"].get<std::string>());
    }
    for (const std::string generator : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        for (const auto& op : exportgen::replayOperations(generator)) {
            EXPECT_TRUE(called[generator].count(op) == 1 || kPartsOfRecords.count(op) == 1)
                << generator << " " << op << " is called by no script";
        }
    }
}

// The rows' own promise: each reads a value or names a warning, and no row stands twice.
TEST(RecordKinds, RowsAreDistinct) {
    std::set<std::string> seen;
    for (const Row& row : rows()) {
        EXPECT_TRUE(seen.insert(rowName(row)).second) << rowName(row);
        EXPECT_TRUE(*row.what != '\0' || row.value == nullptr) << rowName(row);
    }
}

}  // namespace
