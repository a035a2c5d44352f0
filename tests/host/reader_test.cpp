// The fast job reader against the nlohmann-based reader that checks the schema and reports the
// errors: the fast reader must take every job the other converts, give the same output for it,
// and take no job the other rejects; and the program, which falls back on the other reader,
// must behave exactly as that reader alone. Checked on good jobs and on many small corruptions
// of them, and for the numbers and texts of the compact parser against nlohmann's.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "cli/commands.h"
#include "readers/compact_json.h"
#include "cli/errors.h"
#include "host/host_test_support.h"

namespace {

using exportgen::CompactDocument;
using exportgen::CompactJsonRefused;
using exportgen::ConvertOptions;
using Reader = ConvertOptions::Reader;

// What the conversions of a job to every format gave.
struct Outcome {
    int code = 0;         // exit status of the first that failed; -1 when the fast reader refused the job
    std::string message;  // its error
    std::string output;   // the standard output and error of each
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.code == b.code && a.message == b.message && a.output == b.output;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "status " << o.code << " " << o.message << " (" << o.output.size() << " bytes of output)";
}

// Converts the job file `path` to every format with `reader`, each to a stream, until one fails.
Outcome convertAll(const std::string& path, Reader reader) {
    Outcome outcome;
    for (const char* format : {"vemra", "apasima", "drevan", "quoltpashk", "rw5", "sdr"}) {
        ConvertOptions options;
        options.input = path;
        options.format = format;
        options.now = "2025-07-04T09:05:03";
        options.reader = reader;
        std::ostringstream out, err;
        try {
            exportgen::convert(options, out, err);
        } catch (const CompactJsonRefused&) {
            outcome.code = -1;
        } catch (const exportgen::HostError& error) {
            outcome.code = error.code();
            outcome.message = error.what();
        }
        outcome.output += out.str() + err.str();
        if (outcome.code != 0) break;
    }
    return outcome;
}

// The three readings of `job` agree as they must.
void expectReadersAgree(const std::string& job) {
    // A new file for every job: rewriting one file in place makes the file system write it
    // out at once, which slows a test of many jobs tenfold.
    static const std::string dir = hosttest::freshDirectory("reader");
    static int count = 0;
    const std::string path = dir + "/job" + std::to_string(++count) + ".json";
    hosttest::writeFile(path, job);
    const Outcome schema = convertAll(path, Reader::schemaOnly);
    const Outcome program = convertAll(path, Reader::automatic);
    const Outcome fast = convertAll(path, Reader::fastOnly);
    std::remove(path.c_str());
    EXPECT_EQ(program, schema) << "the program must behave as the schema reader";
    if (schema.code == 0) {
        EXPECT_EQ(fast, schema) << "the fast reader must convert every good job the same";
    } else {
        EXPECT_NE(fast.code, 0) << "the fast reader converted a job the schema reader rejects: " << schema.message;
    }
}

std::string sampleJob() { return hosttest::readFile(hosttest::dataPath("../tools/exportgen/job/sample_job.json")); }

std::string syntheticJob(int shots) {
    const auto result = hosttest::run({"sample", "--shots", std::to_string(shots)});
    EXPECT_EQ(result.code, 0);
    return result.out;
}

// Values the fast reader converts itself: escapes, characters beyond ASCII, numbers written
// every way, null codes, a bearing backsight and a station with its own coordinates.
const char* const kUnusualJob =
    "\xEF\xBB\xBF"
    R"( {"units" : {"distance":"usSurveyFeet" ,"angle":"gons"},
 "job": {"name": "J\u00f6b \"7\"\t\\", "text2": "\ud83d\ude00 caf\u00e9 ÆØÅ", "text3": "a\/b\u0000c",
         "created": {"date": "1/2/2003"}},
 "observation": {"instrument": "", "temperature": -0, "temperatureUnits": "fahrenheit", "pressure": 29.92E0,
                 "pressureUnits": "inHg", "ppm": -0.0, "elevation": 1e2},
 "points": [{"name": "P\u00e9", "coords": [1E3, -2.5e-3, 18446744073709551616], "codes": [null, {"code": null,
             "strings": [], "control": []}, {"code": "C1", "attributes": [["A", "1"], ["B", ""]]}], "note": "n"},
            {"name": "9", "coords": [-9223372036854775808, 0.1e1, 123456789012345678901234567890]}],
 "setups": [
  {"station": "P\u00e9", "hi": 1.5e0, "backsight": {"bearing": 45.5, "circle": 1}, "code": "", "note": "",
   "shots": [{"to": "A", "sd": [1.0000000000000002, 90, 1e-7], "fs": false},
             {"to": "B", "hd": [359.99999999999994, 5e-324, -1.7976931348623157e308], "hr": 0},
             {"to": "C", "angles": [0.30000000000000004, 2.2250738585072014e-308], "fs": true},
             {"to": "D\n", "hz": [-720], "code": "X"}, {"to": "E", "dist": [12345678901234567.5]}]},
  {"station": "S2", "coords": [1, 2, 3], "hi": 0, "shots": []},
  {"station": "9", "hi": 1, "backsight": {"point": "P\u00e9", "hr": 2, "angles": [10, 80]}}],
 "levelRuns": [{"name": "L", "start": "9", "readings": [{"point": "9", "bs": 1}, {"point": "T", "fs": 2, "dist": 3},
                {"point": "T", "bs": 1.5}, {"point": "U", "fs": 0.5, "code": "c"}]}]}
)";

TEST(Readers, AgreeOnGoodJobs) {
    expectReadersAgree(sampleJob());
    expectReadersAgree(syntheticJob(600));
    expectReadersAgree(kUnusualJob);
    expectReadersAgree(R"({"setups": []})");
    expectReadersAgree(R"({"setups": [], "levelRuns": []})");
    // A job the fast reader leaves to the other: a member named twice (the last one counts).
    expectReadersAgree(R"({"setups": [{"station": "S", "coords": [0, 0, 0], "hi": 1, "hi": 2}]})");
}

// The tokens of a JSON text, for corrupting it at each.
struct Token {
    std::size_t start, end;
    char kind;  // '"' string, '0' number or literal, else the punctuation itself
};

std::vector<Token> tokens(const std::string& text) {
    std::vector<Token> list;
    for (std::size_t i = 0; i < text.size();) {
        const char ch = text[i];
        if (ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t') {
            ++i;
        } else if (ch == '"') {
            std::size_t end = i + 1;
            while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
            list.push_back({i, end + 1, '"'});
            i = end + 1;
        } else if (std::strchr("{}[]:,", ch) != nullptr) {
            list.push_back({i, i + 1, ch});
            ++i;
        } else {
            std::size_t end = i;
            while (end < text.size() && std::strchr("{}[]:, \n\r\t\"", text[end]) == nullptr) ++end;
            list.push_back({i, end, '0'});
            i = end;
        }
    }
    return list;
}

// The end of the value that starts at token `first`.
std::size_t valueEnd(const std::vector<Token>& list, std::size_t first) {
    int depth = 0;
    for (std::size_t i = first; i < list.size(); ++i) {
        if (list[i].kind == '{' || list[i].kind == '[') ++depth;
        if (list[i].kind == '}' || list[i].kind == ']') --depth;
        if (depth <= 0) return list[i].end;
    }
    return list.back().end;
}

// Small corruptions of `job`, `stride` tokens apart: cut, a value of another type, a bad or
// unusual text, a member left out or named twice.
std::vector<std::string> corruptions(const std::string& job, std::size_t stride) {
    static const char* const values[] = {"\"x\"", "\"\"", "7",  "-0",      "1e400",          "true",
                                         "null",  "[]",   "{}", "[1,2,3]", "{\"to\":\"1\"}", "0.5e-400"};
    static const char* const insertions[] = {
        "\\q", "\\u0041", "\\ud800", "\xC3(", "\x01", "\\u00e9\\ud83d\\ude00", "\xF4\x90\x80\x80"};
    const auto list = tokens(job);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.size(); i += stride) {
        const Token& t = list[i];
        const auto replaced = [&](std::size_t from, std::size_t to, const std::string& text) {
            return job.substr(0, from) + text + job.substr(to);
        };
        out.push_back(job.substr(0, t.start + (i % 2)));
        out.push_back(replaced(t.start, t.end, ""));
        const bool isKey = t.kind == '"' && i + 1 < list.size() && list[i + 1].kind == ':';
        if (isKey) {
            const std::size_t end = valueEnd(list, i + 2);
            const std::string member = job.substr(t.start, end - t.start);
            const std::string other = member.substr(0, list[i + 2].start - t.start) + values[i % 12];
            out.push_back(replaced(t.start, end, "\"zz\": 1"));
            out.push_back(replaced(t.start, end, other));
            out.push_back(replaced(t.start, t.start, other + ", "));  // named twice: the last counts
            out.push_back(replaced(end, end, ", " + other));
        } else if (t.kind == '"' || t.kind == '0' || t.kind == '{' || t.kind == '[') {
            const std::size_t end = valueEnd(list, i);
            out.push_back(replaced(t.start, end, values[i % 12]));
            out.push_back(replaced(t.start, end, values[(i * 5 + 7) % 12]));
        }
        if (t.kind == '"') {
            out.push_back(replaced(t.start + 1, t.start + 1, insertions[i % 7]));
            out.push_back(replaced(t.end - 1, t.end - 1, insertions[(i + 3) % 7]));
        }
    }
    return out;
}

TEST(Readers, AgreeOnCorruptedSampleJob) {
    for (const std::string& job : corruptions(sampleJob(), 3)) {
        SCOPED_TRACE(job);
        expectReadersAgree(job);
        if (HasFailure()) return;
    }
}

TEST(Readers, AgreeOnCorruptedUnusualAndSyntheticJobs) {
    for (const std::string& job : corruptions(kUnusualJob, 5)) {
        SCOPED_TRACE(job);
        expectReadersAgree(job);
        if (HasFailure()) return;
    }
    const std::string synthetic = syntheticJob(3);
    for (const std::string& job : corruptions(synthetic, 4)) {
        SCOPED_TRACE(job);
        expectReadersAgree(job);
        if (HasFailure()) return;
    }
}

// A job that fails after more than a buffer of output went to the standard output: the
// program reads it again with the other reader and must write exactly what that reader
// alone writes.
TEST(Readers, AFailureAfterOutputWritesWhatTheSchemaReaderWrites) {
    std::string job = syntheticJob(25000);
    const std::size_t last = job.rfind("\"hr\":");
    ASSERT_NE(last, std::string::npos);
    const std::string dir = hosttest::freshDirectory("reader-stream");
    for (const std::string& variant : {job, job.substr(0, last) + "\"hr\":\"1.5\"" + job.substr(last + 10)}) {
        hosttest::writeFile(dir + "/job.json", variant);
        std::string outputs[2];
        int codes[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            ConvertOptions options;
            options.input = dir + "/job.json";
            options.format = "rw5";
            options.now = "2025-07-04T09:05:03";
            options.reader = i == 0 ? Reader::automatic : Reader::schemaOnly;
            std::ostringstream out, err;
            try {
                exportgen::convert(options, out, err);
            } catch (const exportgen::HostError& error) {
                codes[i] = error.code();
            }
            outputs[i] = out.str();
        }
        EXPECT_EQ(codes[0], codes[1]);
        EXPECT_GT(outputs[1].size(), std::size_t{1} << 20);
        EXPECT_TRUE(outputs[0] == outputs[1]) << outputs[0].size() << " and " << outputs[1].size() << " bytes";
    }
}

// The compact parser's value of one JSON text, or nothing when it refuses it.
struct Parsed {
    bool ok = false;
    double number = 0;
    std::string text;
};

Parsed compact(const std::string& json) {
    Parsed parsed;
    try {
        CompactDocument document(json);
        const auto& value = document.value();
        if (!document.atEnd()) return parsed;
        parsed.ok = true;
        parsed.number = value.number();
        parsed.text = std::string(value.text());
    } catch (const CompactJsonRefused&) {
    }
    return parsed;
}

Parsed reference(const std::string& json) {
    Parsed parsed;
    try {
        const auto value = nlohmann::json::parse(json);
        parsed.ok = true;
        if (value.is_number()) parsed.number = value.get<double>();
        if (value.is_string()) parsed.text = value.get<std::string>();
    } catch (const nlohmann::json::exception&) {
    }
    return parsed;
}

// Numbers: the same double, bit for bit (the sign of zero included), or refused where nlohmann
// refuses; the compact parser may also refuse what lies beyond the double range.
TEST(CompactJson, NumbersAreTheDoublesNlohmannGives) {
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "-0.0",
                                      "0e5",
                                      "1",
                                      "-1",
                                      "10",
                                      "1.5",
                                      "-1.5",
                                      "1e22",
                                      "1e23",
                                      "1.7976931348623157e308",
                                      "4.9e-324",
                                      "2.2250738585072011e-308",
                                      "9007199254740993",
                                      "9007199254740993.0",
                                      "18446744073709551615",
                                      "18446744073709551616",
                                      "-9223372036854775808",
                                      "-9223372036854775809",
                                      "123456789012345678901234567890",
                                      "0.1",
                                      "0.30000000000000004",
                                      "01",
                                      "1.",
                                      ".5",
                                      "+1",
                                      "1e",
                                      "1e+",
                                      "-",
                                      "--1",
                                      "1.5e3x",
                                      "NaN",
                                      "Infinity",
                                      "1E-2"};
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int digits = 1 + static_cast<int>(random() % 20);
        for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
        if (text.size() > 1 && text[text[0] == '-'] == '0') text.erase(text[0] == '-', 1);
        if (random() % 2 == 0) {
            text += '.';
            const int decimals = 1 + static_cast<int>(random() % 18);
            for (int d = 0; d < decimals; ++d) text += static_cast<char>('0' + random() % 10);
        }
        if (random() % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 60) - 30);
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        const Parsed a = compact(text), b = reference(text);
        if (!a.ok) {
            EXPECT_TRUE(!b.ok || std::abs(b.number) < 1e-300) << text;
            continue;
        }
        ASSERT_TRUE(b.ok) << text;
        EXPECT_EQ(std::memcmp(&a.number, &b.number, sizeof(double)), 0) << text << ": " << a.number << " " << b.number;
    }
}

// Texts: the same bytes after their escapes, and refused exactly where nlohmann refuses.
TEST(CompactJson, TextsAreDecodedAndCheckedAsNlohmannDoes) {
    std::vector<std::string> texts = {R"("")",
                                      R"("a\"b\\c\/d\b\f\n\r\t")",
                                      R"("\u0000\u001f\u0041\u00e9\u20ac")",
                                      R"("\ud83d\ude00")",
                                      R"("\ud83d")",
                                      R"("\ude00")",
                                      R"("\ud83d\u0041")",
                                      R"("\u12")",
                                      R"("\x")",
                                      "\"\x7f\"",
                                      "\"\xC0\x80\"",
                                      "\"\xED\xA0\x80\"",
                                      "\"\xF4\x90\x80\x80\"",
                                      "\"\xEF\xBF\xBF\"",
                                      "\"\xF0\x9F\x98\x80\"",
                                      "\"a\tb\"",
                                      "\"open"};
    static const char* const pieces[] = {
        "a",    "\\n",  "\\u00e9",      "\\ud83d\\ude00", "\\ud83d", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
        "\xC3", "\x80", "\xE0\x9F\x80", "\x1f",           "\\",      "\\\"",     "\xED\x9F\xBF"};
    std::mt19937_64 random(11);
    for (int i = 0; i < 5000; ++i) {
        std::string text = "\"";
        for (int k = static_cast<int>(random() % 6); k > 0; --k) text += pieces[random() % 15];
        texts.push_back(text + "\"");
    }
    for (const std::string& text : texts) {
        const Parsed a = compact(text), b = reference(text);
        EXPECT_EQ(a.ok, b.ok) << text;
        EXPECT_EQ(a.text, b.text) << text;
    }
}

}  // namespace
