#include "readers/sdr_reader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/text.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// Field widths in characters.
constexpr std::size_t kHeadWidth = 4;  // record number and derivation code
constexpr std::size_t kNameWidth = 16;
constexpr std::size_t kValueWidth = 16;
constexpr std::size_t kCodeWidth = 16;
constexpr std::size_t kCountWidth = 5;
constexpr std::size_t kNoteWidth = 60;
constexpr std::size_t kAttributeNameWidth = 20;

// The label between a staked point's name and its design point's in the first stake-out note: a
// 16-character field holding " Design ID " right-aligned.
constexpr std::string_view kDesignLabel = "      Design ID ";
constexpr std::string_view kLevelRunLabel = "Level Run: ";
constexpr std::string_view kDescriptionLabel = " Description: ";
constexpr std::string_view kVersionLabel = " Version ";

// A measurement whose filled fields no measurement of the job has (a distance and a direction
// without a zenith).
constexpr int kNoKind = -2;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

// The first `count` characters of `text` (all of it when it is shorter).
std::string_view firstCharacters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t n = 0; n < count && end < text.size(); ++n) {
        end += static_cast<unsigned char>(text[end]) < 0x80 ? 1 : characterLength(text, end);
    }
    return text.substr(0, end);
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += characterLength(text, at)) ++count;
    return count;
}

std::string_view trimmedLeft(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

std::string_view trimmedRight(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string_view trimmed(std::string_view text) { return trimmedRight(trimmedLeft(text)); }

// Blanks, tabs and the end-of-file character some field programs close a file with.
bool isBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\x1a'; });
}

// A record of the comma-separated kind the generator's header shares with another format
// ("JB,NM…", "MO,AD…"): two capital letters and a comma, or nothing after them. An offset's head
// may run into its first part ("OFOF,HD…").
bool isTaggedRecord(std::string_view line) {
    if (line.size() < 2 || !isUpper(line[0]) || !isUpper(line[1])) return false;
    return line.size() == 2 || line[2] == ',' || startsWith(line, "OF");
}

// The line the generator writes for a sight whose measurement has no observation record: its code
// field alone, 16 characters at most. A line that separates values by commas, semicolons or tabs
// (a point list's) is none.
bool isCodeLine(std::string_view line) {
    if (line.size() >= 2 && isDigit(line[0]) && isDigit(line[1])) return false;
    if (line.find_first_of(",;\t") != std::string_view::npos) return false;
    return !isTaggedRecord(line) && characterCount(line) <= kCodeWidth;
}

bool isHeaderRecord(std::string_view line) {
    return isTaggedRecord(line) && (startsWith(line, "JB") || startsWith(line, "MO"));
}

std::size_t decimalsOf(std::string_view number) {
    const std::size_t point = number.find('.');
    return point == std::string_view::npos ? 0 : number.size() - point - 1;
}

// The program line that heads the file: "<program> Version <version>".
bool isProgramLine(std::string_view text) { return text.find(kVersionLabel) != std::string_view::npos; }

// The notes an instrument books after a backsight measurement, checking it against the
// coordinates: the job keeps the measurement, not the figures worked out from it.
bool isCheckNote(std::string_view text) {
    return startsWith(text, "BS check ") || startsWith(text, "BS Circle Check ");
}

// A field as the file holds it: its text without the padding, and where it starts.
struct Field {
    std::string_view text;
    std::size_t offset = 0;  ///< byte offset in the file
    std::size_t column = 0;  ///< byte column in its line, from 0
    [[nodiscard]] bool blank() const noexcept { return text.empty(); }
    /// The part of the field from byte `at`, `count` bytes long.
    [[nodiscard]] Field part(std::size_t at, std::size_t count = std::string_view::npos) const {
        return {text.substr(at, count), offset + at, column + at};
    }
};

// The fields of one record line, taken one after the other from behind the record head.
class Record {
public:
    Record(std::string_view line, std::size_t lineOffset) : m_line(line), m_lineOffset(lineOffset) {}

    /// The next `width` characters; fewer, down to none, where the line ends early (a line whose
    /// trailing blanks were stripped).
    [[nodiscard]] std::string_view next(std::size_t width) {
        const std::string_view text = firstCharacters(m_line.substr(m_at), width);
        m_at += text.size();
        return text;
    }
    /// The rest of the line.
    [[nodiscard]] std::string_view rest() {
        const std::string_view text = m_line.substr(m_at);
        m_at = m_line.size();
        return text;
    }
    /// `part`, a part of this line, as a field.
    [[nodiscard]] Field field(std::string_view part) const {
        const auto column = static_cast<std::size_t>(part.data() - m_line.data());
        return {part, m_lineOffset + column, column};
    }
    [[nodiscard]] std::size_t offset() const noexcept { return m_lineOffset; }

private:
    std::string_view m_line;
    std::size_t m_lineOffset;
    std::size_t m_at = kHeadWidth;
};

// The text of a "13" note. A note record is padded to its 60 characters, and the padding is no
// part of the note; a note written at its own length keeps its blanks.
Field noteText(Record& r) {
    const std::string_view text = r.rest();
    return r.field(characterCount(text) == kNoteWidth ? trimmedRight(text) : text);
}

// Three figures of a point (northing, easting, height) in the file's units: none when all three
// are blank, a point in plan only when the height is.
struct Triple {
    double n = 0.0, e = 0.0, h = 0.0;
    bool known = false;
    bool hasHeight = false;
};

struct Attribute {
    Field name;
    Field value;
};

// A code as a record and its notes give it: the code field, the whole code of a "13FC" note
// when the field cut it, and the values of its attributes from "13AT" notes.
struct CodeFields {
    Field code;
    Field whole;
    std::vector<Attribute> attributes;
    [[nodiscard]] const Field& name() const { return whole.blank() ? code : whole; }
};

// An observation record with the notes that follow it, until the record that shows what it is:
// a shot, a resection observation (residual notes) or a staked point (stake-out notes).
struct Sight {
    bool open = false;
    bool backsight = false;  ///< the measurement to the backsight of the orientation record before it
    std::size_t offset = 0;
    Field target;
    int kind = Observation::kUnmeasured;
    double distance = 0.0, zenith = 0.0, horizontal = 0.0;  ///< in the file's units
    CodeFields codes;
    Field note;
    bool hasNote = false;
    Figure hr;
};

int measurementKind(const Field& distance, const Field& zenith, const Field& horizontal) {
    const bool d = !distance.blank(), z = !zenith.blank(), h = !horizontal.blank();
    if (d && z && h) return eKindAnglesAndSlopeDistance;
    if (!d && z && h) return eKindAnglesOnly;
    if (!d && !z && h) return eKindHorizontalAngleOnly;
    if (d && !z && !h) return eKindSlopeDistanceOnly;
    if (!d && !z && !h) return Observation::kUnmeasured;
    return kNoKind;
}

// The angle units written with 8 decimals.
enum AngleUnit { kDecimalDegrees, kGons, kMils };

struct StoredPoint {
    std::size_t offset = 0;
    Field name;
    Field code;
    Triple at;
};

struct ReadingFields {
    std::size_t offset = 0;
    bool backsight = true;
    Field point, code;
    double rod = 0.0;
    Figure distance, collimation, elevation, rise;  ///< in the file's units
};

struct RunFields {
    std::size_t offset = 0;
    std::size_t ordinal = 0;  ///< the run's number in the file, from 1
    Field name, description, start, number;
    Figure elevation;             ///< in the file's units
    bool hasFirstStart = false;   // "61LV"
    bool hasSecondStart = false;  // "62LV"
    std::vector<ReadingFields> readings;
};

class SdrReader {
public:
    SdrReader(RawInput& input, JobBuilder& builder) : m_input(input), m_builder(builder), m_lines(input.text()) {}

    // The header's parts may stand anywhere in the file (stored points among the set-ups, level
    // runs after them): a first pass reads them, and the stations' names that tell a traverse's
    // foresights; the second reads the set-ups and hands each on as soon as it is complete.
    void read() {
        survey();
        header();
        // The first pass gave the file's pages back as it went; the second reads them again.
        m_input.rewind();
        m_lines = RawLines(m_input.text());
        while (m_lines.next()) {
            m_input.passed(m_sight.open ? m_sight.offset : m_lines.offset());
            record(m_lines.line());
        }
        closeSetup();
        m_input.passed(m_input.text().size());
    }

private:
    // What the record before the current one was, for the records whose place gives their
    // meaning: a note right behind a station record is the set-up's note, an observation right
    // behind an orientation record to the same point is its measurement, a coordinate record
    // right behind a stake-out note is the staked point's.
    enum class Previous { other, station, backsight, checkNote, stakeNote };
    // Where a stake-out stands: after its first note come the differences from the design, then
    // the staked point's coordinates.
    enum class StakeStep { none, differences, coordinates };

    // --- fields -------------------------------------------------------------------------------

    [[noreturn]] void malformed(std::size_t column, const std::string& what) const {
        m_input.malformed(m_lines, column, what);
    }
    void warn(const std::string& what) const { m_input.warn(m_lines, what); }
    void skip(const std::string& what) const { warn(what + ", skipped"); }

    // The record number and derivation code of a line.
    std::pair<int, std::string_view> head(std::string_view line) const {
        if (line.size() < 2 || !isDigit(line[0]) || !isDigit(line[1])) {
            malformed(0, "expected a record: a two-digit record number and a derivation code");
        }
        if (line.size() < kHeadWidth || static_cast<unsigned char>(line[2]) >= 0x80 ||
            static_cast<unsigned char>(line[3]) >= 0x80) {
            malformed(2, "expected a two-letter derivation code after the record number");
        }
        return {(line[0] - '0') * 10 + (line[1] - '0'), line.substr(2, 2)};
    }

    // A point name: right-aligned in its field, never blank.
    Field requiredName(Record& r, const char* what) const {
        const std::string_view raw = r.next(kNameWidth);
        const Field field = r.field(trimmedLeft(raw));
        if (field.blank()) malformed(r.field(raw).column, std::string("expected ") + what);
        return field;
    }
    // The name of a coordinate record; false for a record without one: a blank field, or a
    // left-aligned number where the name belongs (the record of a point without a name leaves
    // its field out).
    static bool pointName(Record& r, Field& name) {
        const std::string_view raw = r.next(kNameWidth);
        const bool value = !raw.empty() && raw.front() != ' ' &&
                           (characterCount(raw) < kNameWidth || raw.back() == ' ') && isDecimal(trimmedRight(raw));
        name = r.field(trimmedLeft(raw));
        return !value && !name.blank();
    }
    // A code: left-aligned; blank when there is none.
    static Field codeField(Record& r) { return r.field(trimmedRight(r.next(kCodeWidth))); }

    // A number in a 16-character value field, in `value`; a blank field is returned blank, at
    // the field's column.
    Field number(Record& r, const std::string& what, double& value) const {
        const std::string_view raw = r.next(kValueWidth);
        const Field field = r.field(trimmed(raw));
        if (field.blank()) return r.field(raw.substr(0, 0));
        if (!parseDecimal(field.text, value)) {
            malformed(field.column, shownName(field.text) + " is not a number (" + what + ")");
        }
        return field;
    }
    double requiredNumber(Record& r, const std::string& what) const {
        double value = 0.0;
        const Field field = number(r, what, value);
        if (field.blank()) malformed(field.column, "expected " + what);
        return value;
    }
    Figure optionalNumber(Record& r, const std::string& what) const {
        double value = 0.0;
        return number(r, what, value).blank() ? Figure() : Figure::recorded(value);
    }

    // Northing, easting and height of `whose` ("the station's"): all blank, or the northing and
    // the easting with or without the height.
    Triple triple(Record& r, const std::string& whose) const {
        static const char* const kWhat[] = {"northing", "easting", "height"};
        Field fields[3];
        double values[3] = {0.0, 0.0, 0.0};
        for (int k = 0; k < 3; ++k) fields[k] = number(r, whose + " " + kWhat[k], values[k]);
        return tripleOf(fields, values,
                        [&](int k) { malformed(fields[k].column, "expected " + whose + " " + kWhat[k]); });
    }
    template <class Missing>
    static Triple tripleOf(const Field (&fields)[3], const double (&values)[3], Missing missing) {
        Triple t;
        if (fields[0].blank() && fields[1].blank() && fields[2].blank()) return t;
        for (int k = 0; k < 2; ++k) {
            if (fields[k].blank()) missing(k);
        }
        t.n = values[0], t.e = values[1], t.h = values[2];
        t.known = true;
        t.hasHeight = !fields[2].blank();
        return t;
    }

    // A text of the file as the job carries it.
    COrvStringT text(const Field& field, TextKind kind) {
        return m_builder.text(kind, asUtf8(field.text), m_builder.place(field.offset));
    }
    // `text` in UTF-8: a byte that is no part of a UTF-8 sequence is the character of that
    // number, as a file written in a single-byte encoding (Latin-1) holds it.
    std::string_view asUtf8(std::string_view text) {
        const auto stray = [&](std::size_t at) {
            return static_cast<unsigned char>(text[at]) >= 0x80 && characterLength(text, at) == 1;
        };
        std::size_t at = 0;
        while (at < text.size() && !stray(at)) at += characterLength(text, at);
        if (at == text.size()) return text;
        m_utf8.assign(text.substr(0, at));
        while (at < text.size()) {
            const auto byte = static_cast<unsigned char>(text[at]);
            if (stray(at)) {
                m_utf8 += static_cast<char>(0xC0 | (byte >> 6));
                m_utf8 += static_cast<char>(0x80 | (byte & 0x3F));
                ++at;
            } else {
                const std::size_t length = characterLength(text, at);
                m_utf8.append(text.substr(at, length));
                at += length;
            }
        }
        return m_utf8;
    }
    [[nodiscard]] Place place(std::size_t offset) const { return m_builder.place(offset); }
    Figure length(const Figure& f) const { return f.known() ? Figure::recorded(m_builder.length(f.value)) : Figure(); }
    Point3 point(const Triple& t) const { return m_builder.point(t.n, t.e, t.hasHeight ? t.h : 0.0); }

    // One code with its attributes, and the code's name in `first`.
    void codes(const CodeFields& fields, DexCodesDataInterface& codes, COrvStringT& first) {
        if (fields.name().blank()) return;
        DexCodeDescription description(text(fields.name(), TextKind::code));
        first = description.codeName();
        DexCodeValues value;
        for (const Attribute& a : fields.attributes) description.addAttribute(text(a.name, TextKind::attribute));
        value.setDescription(description);
        int i = 0;
        for (const Attribute& a : fields.attributes) value.setAttrAt(i++, text(a.value, TextKind::attribute));
        codes.addCode(value);
    }

    // "13FC": the whole code of the observation before, whose code field cut it.
    static Field featureCode(Record& r) {
        const std::string_view raw = r.next(kNoteWidth);
        std::string_view code = trimmedRight(raw);
        // The note is written for a code longer than its field, trailing blanks included.
        if (characterCount(code) <= kCodeWidth) code = firstCharacters(raw, kCodeWidth + 1);
        return r.field(code);
    }
    // "13AT": an attribute of the observation's first code, its name in 20 characters followed
    // by its value.
    static Attribute attribute(Record& r) {
        Attribute a;
        a.name = r.field(trimmedRight(r.next(kAttributeNameWidth)));
        a.value = r.field(trimmedRight(r.next(kNoteWidth - kAttributeNameWidth)));
        // A value of blanks is written as a note too; one blank keeps it.
        if (a.value.blank()) a.value = {" ", r.offset() + kHeadWidth, kHeadWidth};
        return a;
    }

    // Moves `lines` on to the next line that is not blank; false at the end.
    static bool nextRecord(RawLines& lines) {
        while (lines.next()) {
            if (!isBlankLine(lines.line())) return true;
        }
        return false;
    }

    // Whether a level record follows the note just read (blank lines aside).
    bool levelRecordFollows() const {
        RawLines ahead = m_lines;
        return nextRecord(ahead) && (startsWith(ahead.line(), "61LV") || startsWith(ahead.line(), "62LV"));
    }

    static std::string learnedKey(std::string_view point, std::string_view code) {
        return std::string(point) + '\n' + std::string(code);
    }

    // --- the first pass: the header's parts -----------------------------------------------------

    void survey() {
        bool first = true;
        Previous previous = Previous::other;
        std::string_view backsightPoint;
        CodeFields* learning = nullptr;  // the codes of a measurement to a backsight point
        bool inSetup = false;            // the angles of the records the second pass reads tell the units
        while (m_lines.next()) {
            m_input.passed(m_lines.offset());
            const std::string_view line = m_lines.line();
            if (isBlankLine(line)) continue;
            const bool isFirst = first;
            first = false;
            const Previous before = previous;
            previous = Previous::other;
            CodeFields* const learned = learning;
            learning = nullptr;
            if (isTaggedRecord(line)) {
                headerRecord(line);
                continue;
            }
            if (isCodeLine(line)) continue;  // the second pass tells it is not read
            const auto [number, derivation] = head(line);
            Record r(line, m_lines.offset());
            if (number >= 61 && number <= 64 && derivation == "LV") inSetup = false;
            if (number == 2) {
                inSetup = true;
                m_runOpen = false;
                const std::string_view name = trimmedLeft(r.next(kNameWidth));
                if (!name.empty()) m_stations.emplace(name);
            } else if (number == 7 && derivation == "TP") {
                (void)r.next(kNameWidth);
                backsightPoint = trimmedLeft(r.next(kNameWidth));
                const std::string_view bearing = r.next(kValueWidth), circle = r.next(kValueWidth);
                if (inSetup) {
                    noteAngle(bearing, false);
                    noteAngle(circle, false);
                }
                previous = Previous::backsight;
            } else if (number == 8) {
                if (before != Previous::stakeNote) storedPoint(r, derivation);
            } else if (number == 9) {
                (void)r.next(kNameWidth);
                const std::string_view target = trimmedLeft(r.next(kNameWidth));
                const Field distance = r.field(trimmed(r.next(kValueWidth)));
                const Field zenith = r.field(trimmed(r.next(kValueWidth)));
                const Field horizontal = r.field(trimmed(r.next(kValueWidth)));
                const int kind = measurementKind(distance, zenith, horizontal);
                if (inSetup && kind != kNoKind) {
                    noteAngle(zenith.text, true);
                    noteAngle(horizontal.text, false);
                }
                // A measurement to the backsight carries the backsight point's first code whole,
                // with its attributes, which the point's coordinate record cannot.
                if (before == Previous::backsight && target == backsightPoint &&
                    (kind == eKindAnglesAndSlopeDistance || kind == eKindAnglesOnly)) {
                    const Field code = codeField(r);
                    const auto [it, added] = m_learned.try_emplace(learnedKey(target, code.text));
                    if (added) {
                        it->second.code = code;
                        learning = &it->second;
                    }
                }
            } else if (number == 13 && derivation == "FC" && learned != nullptr) {
                learned->whole = featureCode(r);
                learning = learned;
            } else if (number == 13 && derivation == "AT" && learned != nullptr) {
                learned->attributes.push_back(attribute(r));
                learning = learned;
            } else if (number == 13 && derivation == "SO") {
                previous = Previous::stakeNote;
            } else if (number == 13 && derivation == "NM") {
                const Field note = noteText(r);
                if (isFirst && isProgramLine(note.text)) {
                    const std::size_t at = note.text.find(kVersionLabel);
                    m_application = note.part(0, at);
                    m_version = note.part(at + kVersionLabel.size());
                    m_hasApplication = true;
                } else if (startsWith(note.text, kLevelRunLabel) && levelRecordFollows()) {
                    levelRunNote(note);
                    inSetup = false;
                }
            } else if (number == 61 && derivation == "LV") {
                levelStart(r);
            } else if (number == 62 && derivation == "LV") {
                levelStartNumber(r);
            } else if ((number == 63 || number == 64) && derivation == "LV") {
                levelReading(r, number == 63);
            }
        }
    }

    // The angle units the file's figures tell: their decimals, and which ranges they fall in.
    void noteAngle(std::string_view raw, bool zenith) {
        const std::string_view figure = trimmed(raw);
        double value = 0.0;
        if (!parseDecimal(figure, value)) return;
        ++(decimalsOf(figure) == 6 ? m_sixDecimals : m_otherDecimals);
        const double size = std::fabs(value);
        if (size >= 400.0) m_beyondGons = true;
        if (!zenith && size >= 360.0 && size < 400.0) m_gonsCircle = true;
        // Sights are mostly near the horizon, a quarter of the circle from the zenith: near 90
        // in degrees, 100 in gons, 1600 in mils.
        if (zenith && value > 0.0 && value <= 95.0) ++m_zeniths[kDecimalDegrees];
        if (zenith && value > 95.0 && value < 200.0) ++m_zeniths[kGons];
        if (zenith && value > 1400.0 && value < 1800.0) ++m_zeniths[kMils];
    }

    // "JB,NM<job>,DT<MM-DD-YYYY>,TM<hh:mm:ss>" and "MO,AD0,UN<unit>,SF…,EC…,EO…,AU<unit>": the
    // job's name and the date and time of the export, and the units the file is written in.
    void headerRecord(std::string_view line) {
        if (!isHeaderRecord(line)) return;  // the second pass tells it is not read
        const bool job = startsWith(line, "JB");
        std::size_t at = 3;
        while (at <= line.size()) {
            std::size_t end = line.find(',', at);
            if (end == std::string_view::npos) end = line.size();
            const Field field{line.substr(at, end - at), m_lines.offset() + at, at};
            at = end + 1;
            if (field.text.size() < 2) continue;
            const std::string_view tag = field.text.substr(0, 2);
            const Field value = field.part(2);
            if (job && tag == "NM") {
                m_jobName = value;
                m_hasJobName = true;
            } else if (job && tag == "DT") {
                // Month-day-year in the file, day/month/year in the job.
                const std::string_view d = value.text;
                if (d.size() != 10 || d[2] != '-' || d[5] != '-' ||
                    !std::all_of(d.begin(), d.end(), [](char c) { return isDigit(c) || c == '-'; })) {
                    malformed(value.column, "expected a date MM-DD-YYYY");
                }
                if (!isMonthDayYear(d)) malformed(value.column, "no such day: " + shownName(d) + " (month-day-year)");
                m_date = withoutLeadingZero(d.substr(3, 2)) + "/" + withoutLeadingZero(d.substr(0, 2)) + "/" +
                         std::string(d.substr(6));
                m_dateOffset = value.offset;
                m_hasDate = true;
            } else if (job && tag == "TM") {
                const std::string_view t = value.text;
                if (t.size() != 8 || t[2] != ':' || t[5] != ':' ||
                    !std::all_of(t.begin(), t.end(), [](char c) { return isDigit(c) || c == ':'; })) {
                    malformed(value.column, "expected a time hh:mm:ss");
                }
                if (!isClockTime(t)) malformed(value.column, "no such time of day: " + shownName(t));
                m_time = withoutLeadingZero(t.substr(0, 2)) + std::string(t.substr(2));
                m_timeOffset = value.offset;
                m_hasTime = true;
            } else if (!job && tag == "UN") {
                if (value.text != "0" && value.text != "1" && value.text != "2") {
                    malformed(value.column, "expected the distance unit 0, 1 or 2");
                }
                m_distance = value.text == "1" ? eMeters : value.text == "0" ? eInternationalFeet : eUSFeet;
                m_modeDistance = true;
                m_modeLineAt = m_lines.offset();
            } else if (!job && tag == "AU") {
                if (value.text != "0" && value.text != "1") malformed(value.column, "expected the angle unit 0 or 1");
                m_modeAngle = value.text;
                m_modeLineAt = m_lines.offset();
            }
        }
    }

    static std::string withoutLeadingZero(std::string_view digits) {
        return std::string(digits[0] == '0' ? digits.substr(1) : digits);
    }

    // "08": a stored point, name, northing, easting, height, code.
    void storedPoint(Record& r, std::string_view derivation) {
        if (derivation != "TP") warn("coordinate record \"08" + std::string(derivation) + "\" is read as \"08TP\"");
        StoredPoint point;
        point.offset = r.offset();
        if (!pointName(r, point.name)) return skip("a coordinate record without a point name");
        point.at = triple(r, "the point's");
        point.code = codeField(r);
        if (!point.at.known) return skip("point " + shownName(point.name.text) + " without coordinates");
        // The first record of a name counts; one that repeats it changes nothing.
        const auto same = [&](const StoredPoint& p) { return p.name.text == point.name.text; };
        if (const auto it = std::find_if(m_points.begin(), m_points.end(), same); it != m_points.end()) {
            const Triple& a = it->at;
            const Triple& b = point.at;
            if (a.n != b.n || a.e != b.e || a.hasHeight != b.hasHeight || (a.hasHeight && a.h != b.h) ||
                it->code.text != point.code.text) {
                warn("point " + shownName(point.name.text) +
                     " is stored again with other coordinates or code and is skipped");
            }
            return;
        }
        m_codeFields.insert_or_assign(std::string(point.name.text), point.code.text);
        m_points.push_back(point);
    }

    // "13NMLevel Run: <name>[ Description: <description>]": a level run begins.
    void levelRunNote(const Field& note) {
        RunFields& run = openRun(note.offset);
        const Field rest = note.part(kLevelRunLabel.size());
        const std::size_t at = rest.text.find(kDescriptionLabel);
        if (at != std::string_view::npos && at + kDescriptionLabel.size() < rest.text.size()) {
            run.name = rest.part(0, at);
            run.description = rest.part(at + kDescriptionLabel.size());
        } else {
            run.name = rest;
        }
    }

    RunFields& openRun(std::size_t offset) {
        RunFields& run = m_runs.emplace_back();
        run.offset = offset;
        run.ordinal = m_runs.size();
        m_runOpen = true;
        return run;
    }
    // The run a level record belongs to: the open one, unless the record begins another.
    RunFields& runOf(const Record& r, bool startsAnother) {
        return m_runOpen && !startsAnother ? m_runs.back() : openRun(r.offset());
    }

    // "61LV": the starting point (left-aligned), a text (written whole, so a longer one moves
    // the height on) and the starting point's height as the level booked it.
    void levelStart(Record& r) {
        const bool another = m_runOpen && (m_runs.back().hasFirstStart || m_runs.back().hasSecondStart ||
                                           !m_runs.back().readings.empty());
        RunFields& run = runOf(r, another);
        const std::string_view raw = r.next(kNameWidth);
        run.start = r.field(trimmed(raw));
        if (run.start.blank()) malformed(r.field(raw).column, "expected the level run's starting point");
        const std::string_view rest = r.rest();
        const std::size_t characters = characterCount(rest);
        const std::string_view textPart =
            firstCharacters(rest, characters > 2 * kValueWidth ? characters - kValueWidth : kValueWidth);
        const Field note = r.field(trimmed(textPart));
        const Field figure = r.field(trimmed(rest.substr(textPart.size())));
        double value = 0.0;
        if (!figure.blank()) {
            if (!parseDecimal(figure.text, value)) {
                malformed(figure.column, shownName(figure.text) + " is not a number (the starting height)");
            }
            run.elevation = Figure::recorded(value);
        }
        if (!note.blank()) {
            warn("the text " + shownName(note.text) + " of the level run's starting point is not kept");
        }
        run.hasFirstStart = true;
    }

    // "62LV": the run's number and its starting point.
    void levelStartNumber(Record& r) {
        const bool another = m_runOpen && (m_runs.back().hasSecondStart || !m_runs.back().readings.empty());
        RunFields& run = runOf(r, another);
        run.number = r.field(trimmed(r.next(kCountWidth)));
        run.start = requiredName(r, "the level run's starting point");
        run.hasSecondStart = true;
    }

    // "63LV" (a backsight) and "64LV" (a foresight): point, rod reading, sight length, code, the
    // reading's number and flags (counted again when written), the height of collimation and,
    // for a foresight, the point's height and rise, as the level booked them.
    void levelReading(Record& r, bool backsight) {
        if (!m_runOpen) return skip("a level reading before any level run");
        ReadingFields reading;
        reading.offset = r.offset();
        reading.backsight = backsight;
        reading.point = requiredName(r, "the level point's name");
        reading.rod = requiredNumber(r, "a rod reading");
        reading.distance = optionalNumber(r, "a sight length");
        reading.code = r.field(trimmedLeft(r.next(kCodeWidth)));
        for (int k = 0; k < 3; ++k) (void)r.next(kCountWidth);
        reading.collimation = optionalNumber(r, "a height of collimation");
        if (!backsight) {
            reading.elevation = optionalNumber(r, "a height");
            reading.rise = optionalNumber(r, "a rise");
        }
        m_runs.back().readings.push_back(reading);
    }

    // --- the header -----------------------------------------------------------------------------

    // The file states its units only in the generator's mode line, and there only the distance
    // unit and whether angles are gons. Without it distances are taken for metres, and the
    // angles' digits tell their unit: the default degrees write 6 decimals; gons, mils and
    // decimal degrees 8 (most of the angles tell, as a value too long for its field is cut), told
    // apart by the zeniths of the sights near the horizon or, without
    // them, by their ranges (mils beyond 400, gons in a circle of 400).
    // What the file does not state is a guess, named in a warning with what it was made from;
    // --input-units states the units instead.
    void units() {
        FileUnits file;
        EAngleUnits written = eDegrees;
        file.units.angle = eDecimalDegrees;
        file.distanceStated = m_modeDistance;
        if (m_modeAngle == "1") {
            file.units.angle = written = eGons;
            file.angleStated = true;
        } else if (m_otherDecimals > 0 && m_otherDecimals >= m_sixDecimals) {
            if (m_modeAngle == "0") {  // the mode line says: not gons
                m_zeniths[kGons] = 0;
                m_gonsCircle = false;
            }
            AngleUnit unit = kDecimalDegrees;
            static const char* const kZeniths[] = {"90 degrees", "100 gons", "1600 mils"};
            file.angleGuess = "their 8 decimals";
            if (m_zeniths[kDecimalDegrees] + m_zeniths[kGons] + m_zeniths[kMils] > 0) {
                for (const AngleUnit other : {kGons, kMils}) {
                    if (m_zeniths[other] > m_zeniths[unit]) unit = other;
                }
                file.angleGuess = std::string("the zeniths of most sights (near ") + kZeniths[unit] + ")";
            } else if (m_beyondGons) {
                unit = kMils;
                file.angleGuess = "angles of 400 or more";
            } else if (m_gonsCircle) {
                unit = kGons;
                file.angleGuess = "horizontal angles from 360 to 400";
            }
            static const EAngleUnits kUnits[] = {eDecimalDegrees, eGons, eMils};
            file.units.angle = written = kUnits[unit];
        } else if (m_sixDecimals > 0) {
            // The mode line's "not gons" and the 6 decimals of the generator's degrees: degrees.
            file.angleStated = m_modeAngle == "0";
            file.angleGuess = "their 6 decimals";
        }
        file.units.distance = m_distance;
        file.place = place(m_modeLineAt);
        const InputUnits& units = m_builder.setFileUnits(file);
        // The job's units are the file's, so that they are written again (6 decimals are the
        // generator's degrees); units stated otherwise are the job's as they are.
        m_builder.setUnits(units.distance, units.angle == file.units.angle ? written
                                           : units.angle == eDegMinSec     ? eDegrees
                                                                           : units.angle);
    }

    void header() {
        units();
        if (m_hasApplication) {
            m_builder.setApplication(text(m_application, TextKind::text), text(m_version, TextKind::text));
        }
        if (m_hasJobName) m_builder.setJobTexts(text(m_jobName, TextKind::text), COrvStringT(), COrvStringT());
        if (m_hasDate) {
            std::optional<COrvStringT> time;
            if (m_hasTime) time = m_builder.text(TextKind::text, m_time, place(m_timeOffset));
            m_builder.setCreated(m_builder.text(TextKind::text, m_date, place(m_dateOffset)), place(m_dateOffset), time,
                                 place(m_hasTime ? m_timeOffset : m_dateOffset));
        }
        for (const StoredPoint& stored : m_points) m_builder.addKnownPoint(knownPoint(stored));
        for (const RunFields& run : m_runs) m_builder.addLevelRun(levelRun(run));
        m_builder.headerDone();
    }

    KnownPoint knownPoint(const StoredPoint& stored) {
        KnownPoint point;
        point.place = place(stored.offset);
        point.coords = this->point(stored.at);
        point.hasHeight = stored.at.hasHeight;
        point.design.setStation(DexStation(text(stored.name, TextKind::name), point.coords.n, point.coords.e,
                                           point.hasHeight ? point.coords.h : noValue));
        // The whole code and its attributes from a measurement to the point as backsight, when
        // its code field is the point's.
        CodeFields fields;
        fields.code = stored.code;
        const auto learned = m_learned.find(learnedKey(stored.name.text, stored.code.text));
        if (learned != m_learned.end()) fields = learned->second;
        codes(fields, point.design.codes, point.code);
        return point;
    }

    LevelRun levelRun(const RunFields& fields) {
        LevelRun run;
        run.place = place(fields.offset);
        // A run without its note is named by its number.
        if (!fields.name.blank()) {
            run.name = text(fields.name, TextKind::text);
        } else if (!fields.number.blank()) {
            run.name = text(fields.number, TextKind::text);
        } else {
            run.name = m_builder.text(TextKind::text, std::to_string(fields.ordinal), run.place);
        }
        if (!fields.description.blank()) run.description = text(fields.description, TextKind::text);
        if (!fields.start.blank()) run.start = text(fields.start, TextKind::name);
        run.startElevation = length(fields.elevation);
        for (const ReadingFields& r : fields.readings) {
            LevelReading reading;
            reading.place = place(r.offset);
            reading.point = text(r.point, TextKind::name);
            reading.backsight = r.backsight;
            reading.rod = m_builder.length(r.rod);
            reading.distance = length(r.distance);
            if (!r.code.blank()) reading.code = text(r.code, TextKind::code);
            reading.collimation = length(r.collimation);
            reading.elevation = length(r.elevation);
            reading.rise = length(r.rise);
            run.readings.push_back(std::move(reading));
        }
        return run;
    }

    // --- the second pass: the set-ups ---------------------------------------------------------

    void record(std::string_view line) {
        if (isBlankLine(line)) return;
        const bool first = m_first;
        m_first = false;
        const Previous previous = m_previous;
        m_previous = Previous::other;
        const StakeStep stake = m_stake;
        m_stake = StakeStep::none;
        if (isTaggedRecord(line)) {
            closePending();
            if (!isHeaderRecord(line)) warn("record \"" + std::string(line.substr(0, 2)) + "\" is not read");
            return;
        }
        if (isCodeLine(line)) {
            closePending();
            return skip("a code field without its observation (a measurement no record holds)");
        }
        const auto [number, derivation] = head(line);
        Record r(line, m_lines.offset());
        if (number == 2) return station(r, derivation);
        if (number == 3 && derivation == "NM") return targetHeight(r);
        if (number == 7 && derivation == "TP") return orientation(r);
        if (number == 8) return coordinates(r, derivation, previous, stake);
        if (number == 9 && (derivation == "F1" || derivation == "F2")) return observation(r, previous);
        if (number == 13) return note(r, derivation, first, previous, stake);
        if (number >= 61 && number <= 64 && derivation == "LV") {
            // Read with the header; a level run ends the set-up before it.
            return closeSetup();
        }
        closePending();
        warn("record \"" + std::string(line.substr(0, kHeadWidth)) + "\" is not read");
    }

    // "02": station name, northing, easting, elevation, instrument height, code; a blank field
    // is a figure the file does not state.
    void station(Record& r, std::string_view derivation) {
        closeSetup();
        if (derivation != "NM") warn("station record \"02" + std::string(derivation) + "\" is read as \"02NM\"");
        Setup& s = m_setup;
        s.place = place(r.offset());
        const Field name = requiredName(r, "the station's name");
        const Triple at = triple(r, "the station's");
        double hi = 0.0;
        const Field hiField = number(r, "the instrument height", hi);
        const Field code = codeField(r);
        s.station = text(name, TextKind::name);
        m_station.assign(name.text);
        m_stationCode = code.text;
        if (at.known) s.coords.set(point(at), Origin::recorded, at.hasHeight);
        if (!hiField.blank()) s.hi = Figure::recorded(m_builder.length(hi));
        // A measurement to the station as a backsight carries its whole code.
        const auto learned = m_learned.find(learnedKey(name.text, code.text));
        if (!code.blank()) s.code = text(learned != m_learned.end() ? learned->second.name() : code, TextKind::code);
        m_open = true;
        m_previous = Previous::station;
    }

    // "03NM": the target height of the sights that follow, until the next; blank: unknown.
    void targetHeight(Record& r) {
        closePending();
        double value = 0.0;
        m_hr = number(r, "a target height", value).blank() ? Figure() : Figure::recorded(m_builder.length(value));
    }

    // "07TP": station, backsight point (or the generated "#BS" name of a backsight by bearing),
    // the bearing of the backsight direction and the circle reading on it. The first of a set-up
    // orients it; a later one the shots after it.
    void orientation(Record& r) {
        closePending();
        if (!m_open) return skip("a backsight before any station record");
        (void)r.next(kNameWidth);  // the station, which the set-up holds
        const Field name = requiredName(r, "the backsight point's name");
        double bearing = 0.0, circle = 0.0;
        const Field bearingField = number(r, "the backsight azimuth", bearing);
        const Field circleField = number(r, "the circle reading on the backsight", circle);
        Backsight b;
        b.place = place(r.offset());
        b.hr = m_hr;
        if (!bearingField.blank()) b.azimuth = Figure::recorded(m_builder.angle(bearing));
        if (!circleField.blank()) b.circle = Figure::recorded(m_builder.angle(circle));
        if (isGeneratedName(name.text)) {
            if (!b.azimuth.known()) return skip("a backsight by bearing without its bearing");
            b.kind = Backsight::Kind::bearing;
            b.bearingSight.setBsNameMode(1);
        } else {
            b.kind = Backsight::Kind::point;
            b.point = text(name, TextKind::name);
            b.sight.setTargetName(b.point);
        }
        m_backsightPoint.assign(name.text);
        Setup& s = m_setup;
        if (s.backsight.kind == Backsight::Kind::none && s.resection.empty() && s.shots.empty() &&
            s.stakeouts.empty()) {
            s.backsight = std::move(b);
        } else {
            b.firstShot = s.shots.size();
            s.reorientations.push_back(std::move(b));
        }
        m_previous = Previous::backsight;
    }

    // A backsight by bearing has no point: it is named "#BS" and a counter, unless a point or a
    // station of that name is known.
    bool isGeneratedName(std::string_view name) const {
        if (!startsWith(name, "#BS") || name.size() == 3) return false;
        if (!std::all_of(name.begin() + 3, name.end(), isDigit)) return false;
        return !placedName(name);
    }
    bool placedName(std::string_view name) const {
        return m_builder.job().find(name) != nullptr || m_stations.count(std::string(name)) > 0;
    }

    // The code field of a measurement to `point` as a backsight: the code of the stored point,
    // else of the station of that name that an earlier set-up placed; none for another point.
    std::string_view backsightCode(std::string_view point) const {
        const std::string name(point);
        if (const auto it = m_codeFields.find(name); it != m_codeFields.end()) return it->second;
        const auto it = m_stationCodes.find(name);
        return it == m_stationCodes.end() ? std::string_view() : it->second;
    }

    Backsight& lastBacksight() {
        return m_setup.reorientations.empty() ? m_setup.backsight : m_setup.reorientations.back();
    }

    // "08": the staked point's coordinates after its stake-out notes; any other was read with the
    // header as a stored point.
    void coordinates(Record& r, std::string_view derivation, Previous previous, StakeStep stake) {
        closePending();
        if (previous != Previous::stakeNote) return;
        if (derivation != "TP") warn("coordinate record \"08" + std::string(derivation) + "\" is read as \"08TP\"");
        Field name;
        if (!pointName(r, name)) return skip("a coordinate record without a point name");
        const Triple at = triple(r, "the staked point's");
        if (stake == StakeStep::none || !m_open || m_setup.stakeouts.empty()) {
            return skip("the coordinates of a staked point whose stake-out was not read");
        }
        if (at.known) m_setup.stakeouts.back().shot.coords.set(point(at), Origin::recorded, at.hasHeight);
    }

    // "09F1"/"09F2": station, target, slope distance, zenith, horizontal angle, code. Blank
    // fields tell the kind of measurement (all blank: not measured); the face follows from the
    // zenith and is not read.
    void observation(Record& r, Previous previous) {
        closePending();
        if (!m_open) return skip("an observation before any station record");
        (void)r.next(kNameWidth);  // the station, which the set-up holds
        Sight s;
        s.offset = r.offset();
        s.target = requiredName(r, "the target's name");
        const Field distance = number(r, "a slope distance", s.distance);
        const Field zenith = number(r, "a zenith angle", s.zenith);
        const Field horizontal = number(r, "a horizontal angle", s.horizontal);
        s.codes.code = codeField(r);
        s.kind = measurementKind(distance, zenith, horizontal);
        if (s.kind == kNoKind) return skip("an observation whose measured values the job cannot hold");
        s.hr = m_hr;
        // Right after the orientation record, to its point (or its generated name), with the
        // code of that point: the measurement to the backsight, which checks the orientation and
        // never re-orients. A shot to the point carries a code of its own, or a note.
        s.backsight = previous == Previous::backsight && s.target.text == m_backsightPoint &&
                      (s.kind == eKindAnglesAndSlopeDistance || s.kind == eKindAnglesOnly) &&
                      s.codes.code.text == backsightCode(s.target.text);
        s.open = true;
        m_sight = std::move(s);
    }

    DexTSRawMeasurement measurementOf(const Sight& s) const {
        const double h = m_builder.angle(s.horizontal), z = m_builder.angle(s.zenith);
        const double d = m_builder.length(s.distance);
        switch (s.kind) {
            case eKindAnglesAndSlopeDistance:
                return DexTSRawMeasurement(s.kind, {h, z, d});
            case eKindAnglesOnly:
                return DexTSRawMeasurement(s.kind, {h, z});
            case eKindHorizontalAngleOnly:
                return DexTSRawMeasurement(s.kind, {h});
            default:
                return DexTSRawMeasurement(eKindSlopeDistanceOnly, {d});
        }
    }

    // The sight just read as an observation to `target`. A shot to a point some set-up
    // occupies is a foresight of the traverse; a resection observation or a staked point is not.
    Observation observationOf(const Sight& s, const Field& target, bool shot = true) {
        Observation obs;
        obs.place = place(s.offset);
        obs.sight.setTargetName(text(target, TextKind::name));
        if (s.kind != Observation::kUnmeasured) obs.sight.setMeasurement(measurementOf(s));
        const bool foresight = shot && target.text != m_station && m_stations.count(std::string(target.text)) > 0;
        obs.sight.setKind(foresight ? eSightForesight : eSightSideShot);
        obs.hr = s.hr;
        codes(s.codes, obs.sight.codes, obs.code);
        if (s.hasNote) obs.sight.setNote(text(s.note, TextKind::note));
        return obs;
    }

    // The observation just read is complete: the backsight's measurement, or a shot.
    void closePending() {
        if (!m_sight.open) return;
        m_sight.open = false;
        if (!m_sight.backsight) {
            m_setup.shots.push_back(observationOf(m_sight, m_sight.target));
            return;
        }
        Backsight& b = lastBacksight();
        DexTSRawMeasurement m = measurementOf(m_sight);
        m.setBacksightTarget(true);
        b.measured = true;
        b.sight.setMeasurement(m);
        b.bearingSight.setMeasurement(m);
    }

    void closeSetup() {
        closePending();
        if (!m_open) return;
        m_open = false;
        if (m_setup.coords.known()) m_stationCodes.try_emplace(m_station, m_stationCode);
        m_builder.addSetup(std::move(m_setup));
        m_setup = Setup();
    }

    // --- notes --------------------------------------------------------------------------------

    void note(Record& r, std::string_view kind, bool first, Previous previous, StakeStep stake) {
        if (kind == "FC") {
            if (!m_sight.open) return skip("a feature-code note that follows no observation");
            m_sight.codes.whole = featureCode(r);
            return;
        }
        if (kind == "AT") {
            if (!m_sight.open) return skip("an attribute note that follows no observation");
            m_sight.codes.attributes.push_back(attribute(r));
            return;
        }
        if (kind == "SO") {
            m_previous = Previous::stakeNote;
            return stakeoutNote(r, stake);
        }
        if (kind == "NM") return freeNote(r, first, previous);
        closePending();
        skip("a \"13" + std::string(kind) + "\" note, which the job has no place for");
    }

    // "13NM": the program line that heads the file, a set-up's or an observation's note, the
    // three residuals of a resection observation, the note that opens a level run, or a check
    // of the backsight measurement.
    void freeNote(Record& r, bool first, Previous previous) {
        const Field note = noteText(r);
        if (first && isProgramLine(note.text)) return;  // read with the header
        if (startsWith(note.text, kLevelRunLabel) && levelRecordFollows()) return closeSetup();
        // Residuals make an observation a resection's, even one to the backsight point right
        // after the orientation record: the measurement to the backsight has none.
        if (m_sight.open && startsWith(note.text, "Residual N:") && residualsFollow()) return resection(note);
        const bool afterBacksight =
            previous == Previous::backsight || previous == Previous::checkNote || (m_sight.open && m_sight.backsight);
        if (afterBacksight && isCheckNote(note.text)) {
            closePending();
            m_previous = Previous::checkNote;
            return skip("a backsight check note, which the job has no place for");
        }
        // A note the generator writes of its own (a check figure, an offset, a marker) is no
        // observation's or set-up's note, even right behind one.
        if (const char* kind = generatorNoteKind(note.text)) {
            closePending();
            return skip(std::string(kind) + ", which the job has no place for");
        }
        // A note makes a shot of an observation to the backsight point: its measurement has none.
        m_sight.backsight = false;
        if (m_sight.open && !m_sight.hasNote) {
            m_sight.note = note;
            m_sight.hasNote = true;
            return;
        }
        closePending();
        if (m_open && previous == Previous::station) {
            m_setup.note = text(note, TextKind::note);
            return;
        }
        skip("a note the job has no place for");
    }

    bool residualsFollow() const {
        RawLines ahead = m_lines;
        if (!nextRecord(ahead) || !startsWith(ahead.line(), "13NMResidual E:")) return false;
        return nextRecord(ahead) && startsWith(ahead.line(), "13NMResidual H:");
    }

    // An observation followed by the residuals of the resection it belongs to (the target as
    // measured minus the known point), kept as recorded.
    void resection(const Field& north) {
        m_sight.open = false;
        const bool full = m_sight.kind == eKindAnglesAndSlopeDistance;
        Observation obs = observationOf(m_sight, m_sight.target, !full);
        if (!full) warn("a resection observation without angles and a slope distance is read as a shot");
        Field figures[3];
        double values[3] = {0.0, 0.0, 0.0};
        figures[0] = residualOf(north, values[0]);
        for (int k = 1; k < 3; ++k) {
            (void)nextRecord(m_lines);
            Record r(m_lines.line(), m_lines.offset());
            figures[k] = residualOf(noteText(r), values[k]);
        }
        // A residual the instrument did not book stays blank: without both of north and east
        // the job has no place for the others.
        bool partial = false;
        const Triple t = tripleOf(figures, values, [&](int) { partial = true; });
        if (!full) return m_setup.shots.push_back(std::move(obs));
        if (partial) {
            warn("residuals without their north or east are not kept");
        } else if (t.known) {
            obs.residual.set(point(t), Origin::recorded, t.hasHeight);
        }
        m_setup.resection.push_back(std::move(obs));
    }

    // The figure of a "Residual X:<figure>" note; blank when the file states none.
    Field residualOf(const Field& note, double& value) const {
        const std::size_t colon = note.text.find(':');
        Field figure = note.part(colon + 1);
        figure.text = trimmed(figure.text);
        if (!figure.blank() && !parseDecimal(figure.text, value)) {
            malformed(figure.column, "expected a residual, found " + shownName(figure.text));
        }
        return figure;
    }

    // "13SOPt <staked point>      Design ID <design point>", then "13SOCut …" or "13SOFill …"
    // with the differences from the design as the instrument booked them.
    void stakeoutNote(Record& r, StakeStep stake) {
        const Field note = noteText(r);
        if (startsWith(note.text, "Pt ")) return stakeout(note);
        if (stake == StakeStep::differences && (startsWith(note.text, "Cut ") || startsWith(note.text, "Fill "))) {
            stakeDifferences(note);
            m_stake = StakeStep::coordinates;
            return;
        }
        closePending();
        skip("a stake-out note that follows no staked observation");
    }

    void stakeout(const Field& note) {
        if (!m_sight.open || m_sight.backsight || m_sight.kind != eKindAnglesAndSlopeDistance) {
            closePending();
            return skip("a stake-out note that follows no staked observation with angles and a slope distance");
        }
        const Field names = note.part(3);
        // The staked point's name is written whole here; the observation's field holds its first
        // 16 characters.
        const std::string_view target = m_sight.target.text;
        const std::size_t label = names.text.find(kDesignLabel, startsWith(names.text, target) ? target.size() : 0);
        if (label == std::string_view::npos || label == 0) {
            malformed(names.column, "expected the staked point's name and \"Design ID\" with the design point");
        }
        Field design = names.part(label + kDesignLabel.size());
        if (design.blank()) malformed(note.column + note.text.size(), "expected the design point's name");
        // The note names the design point whole; its coordinate record, by its first 16 characters.
        if (m_builder.job().find(design.text) == nullptr) {
            const std::string_view cut = firstCharacters(design.text, kNameWidth);
            if (m_builder.job().find(cut) != nullptr) design.text = cut;
        }
        m_sight.open = false;
        Stakeout stake;
        stake.design = text(design, TextKind::name);
        stake.shot = observationOf(m_sight, names.part(0, label), false);
        m_setup.stakeouts.push_back(std::move(stake));
        m_stake = StakeStep::differences;
    }

    // "Cut <height> North <north> East <east>" (or "Fill"): staked minus design; a cut is the
    // staked point above the design, a fill level with it or below. A blank figure is one the
    // instrument did not book.
    void stakeDifferences(const Field& note) {
        const std::string_view words = note.text;
        const bool fill = startsWith(words, "Fill ");
        static const char* const kLabels[] = {nullptr, "North", "East"};
        const char* const next[] = {"North", "East", nullptr};
        Field figures[3];  // height, northing, easting as written
        double values[3] = {0.0, 0.0, 0.0};
        std::size_t at = fill ? 5 : 4;
        const auto skipBlanks = [&] {
            while (at < words.size() && words[at] == ' ') ++at;
        };
        for (int k = 0; k < 3; ++k) {
            skipBlanks();
            if (kLabels[k] != nullptr) {
                const std::string_view label = kLabels[k];
                if (words.substr(at, label.size()) != label) {
                    malformed(note.column + at, "expected \"" + std::string(label) + "\" in the stake-out note");
                }
                at += label.size();
                skipBlanks();
            }
            std::size_t end = at;
            while (end < words.size() && words[end] != ' ') ++end;
            figures[k] = note.part(at, end - at);
            if (next[k] != nullptr && figures[k].text == next[k]) {
                figures[k].text = std::string_view();  // the figure is blank: its label follows
                continue;
            }
            if (!figures[k].blank() && !parseDecimal(figures[k].text, values[k])) {
                malformed(figures[k].column,
                          "expected a difference from the design, found " + shownName(figures[k].text));
            }
            at = end;
        }
        // The file writes the size of a fill; a cut too small to show is still a cut.
        double height = fill ? -std::fabs(values[0]) : values[0];
        if (!fill && height == 0.0) height = 1e-9;
        const Field ordered[3] = {figures[1], figures[2], figures[0]};
        const double orderedValues[3] = {values[1], values[2], height};
        const Triple t = tripleOf(ordered, orderedValues, [&](int k) {
            malformed(ordered[k].column, "expected a difference from the design");
        });
        if (t.known) m_setup.stakeouts.back().differences.set(point(t), Origin::recorded, t.hasHeight);
    }

    RawInput& m_input;
    JobBuilder& m_builder;
    RawLines m_lines;
    std::string m_utf8;  ///< a text made UTF-8

    // The first pass.
    std::vector<StoredPoint> m_points;
    std::vector<RunFields> m_runs;
    bool m_runOpen = false;
    std::unordered_set<std::string> m_stations;  ///< every station's name
    /// The codes of the measurements to backsight points, by the point's name and code field.
    std::unordered_map<std::string, CodeFields> m_learned;
    std::unordered_map<std::string, std::string_view> m_codeFields;  ///< the stored points' codes
    Field m_application, m_version, m_jobName;
    bool m_hasApplication = false, m_hasJobName = false;
    std::string m_date, m_time;
    std::size_t m_dateOffset = 0, m_timeOffset = 0;
    bool m_hasDate = false, m_hasTime = false;
    EDistUnits m_distance = eMeters;
    bool m_modeDistance = false;   ///< the mode line states the distance unit
    std::size_t m_modeLineAt = 0;  ///< the offset of the mode line, else of the file's first line
    std::string_view m_modeAngle;
    std::size_t m_sixDecimals = 0, m_otherDecimals = 0;  ///< angles by their decimals
    bool m_beyondGons = false;
    bool m_gonsCircle = false;
    std::size_t m_zeniths[3] = {0, 0, 0};  ///< zeniths near the horizon in each unit of 8 decimals

    // The second pass.
    bool m_first = true;
    Previous m_previous = Previous::other;
    StakeStep m_stake = StakeStep::none;
    bool m_open = false;
    Setup m_setup;
    std::string m_station;           ///< the set-up's station as the file names it
    std::string_view m_stationCode;  ///< and its code field
    /// The code fields of the stations placed so far, by name.
    std::unordered_map<std::string, std::string_view> m_stationCodes;
    std::string m_backsightPoint;  ///< the last orientation record's point as the file names it
    Figure m_hr;                   ///< the target height in force
    Sight m_sight;
};

}  // namespace

void buildSdr(RawInput& input, JobBuilder& builder) { SdrReader(input, builder).read(); }

bool looksLikeSdr(std::string_view head) {
    RawLines lines(head);
    int records = 0;
    while (records < 8 && lines.next()) {
        const std::string_view line = lines.line();
        if (isBlankLine(line)) continue;
        // The last line of the head may be cut anywhere.
        if (records > 0 && lines.offset() + line.size() >= head.size()) break;
        if (isHeaderRecord(line)) continue;
        if (line.size() < kHeadWidth || !isDigit(line[0]) || !isDigit(line[1])) return false;
        if (!isUpper(line[2]) || !(isUpper(line[3]) || isDigit(line[3]))) return false;
        ++records;
    }
    return records > 0;
}

}  // namespace exportgen
