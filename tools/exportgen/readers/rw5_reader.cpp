// RW5 raw file -> job builder, in two passes over the lines.
//
// The first pass reads what the writers need before the first set-up: the header's note line,
// job and mode records, every stored point that is no staked point (a known point may be stored
// anywhere in the file) and the level-run notes. The second pass reads the set-ups and hands each
// to the builder as soon as it is complete: its resection ("RS" before its "OC"), its station,
// heights ("LS"), orientation records ("BK" and the measured "BD"/"BR"/"RB"), observations
// ("FD"/"FR", "OB"/"SS", each with the note line that may follow it) and stake-outs (an
// observation followed by the stored staked point with its "Stake" note). Both passes classify
// the lines with the same grammar, so that they agree on which stored point is a staked one.
//
// A value the file states is recorded, and so is one its grammar carries forward: an instrument
// writes the heights only when they change, so a sight without an "LS" record ahead of it was
// taken with the heights of the last one. A value nothing states stays absent: placement works
// out what can be worked out.
#include "readers/rw5_reader.h"

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"

namespace exportgen {

namespace {

using namespace orv::ie;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool isCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A record line: two capital letters, then nothing or a comma and the fields.
bool isRecord(std::string_view line) {
    return line.size() >= 2 && isCapital(line[0]) && isCapital(line[1]) && (line.size() == 2 || line[2] == ',');
}

constexpr const char* kOffsetSkipped = "an offset record (OF) is skipped: a job holds no offset measurements";

bool isObservation(std::string_view type) { return type == "FD" || type == "FR" || type == "OB" || type == "SS"; }

// The two-letter tags each record may carry; any other is skipped with a warning.
const char* knownTags(std::string_view type) {
    if (type == "JB") return "NMDTTM";
    if (type == "MO") return "ADUNSFECEOAU";
    if (type == "OC") return "OPN E EL";
    if (type == "SP") return "PNN E EL";
    if (type == "LS") return "HIHR";
    if (type == "BK") return "OPBPBSBC";
    if (type == "RS") return "PNCRZESDCEHD";
    return "OPBPFPARALZESDCEHDHR";  // the observations and the measured backsights
}

// One field of a record: its two-letter tag, the value after it and the column of that value.
struct Field {
    std::string_view tag;
    std::string_view value;
    std::size_t column = 0;
};

// A number field's value without the blanks some collectors put around it ("EL 250.000").
std::string_view trimmed(std::string_view value, std::size_t* column = nullptr) {
    while (!value.empty() && value.front() == ' ') {
        value.remove_prefix(1);
        if (column != nullptr) ++*column;
    }
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    return value;
}

bool valued(const Field* field) { return field != nullptr && !trimmed(field->value).empty(); }

// The measurement fields of an observation, the last of each tag counting.
struct MeasurementFields {
    const Field* h = nullptr;  // AR or AL
    const Field* z = nullptr;
    const Field* s = nullptr;
    const Field* ce = nullptr;
    const Field* hd = nullptr;
    const Field* hr = nullptr;
    bool left = false;

    // The kind of measurement the fields make, or -1. A bare tag stands for a value not
    // measured: a direction alone is written with bare ZE and SD, a distance alone (in RB mode)
    // after bare AR and ZE.
    [[nodiscard]] int kind() const {
        const bool neither = ce == nullptr && hd == nullptr;
        if (valued(h) && valued(ce) && valued(hd) && z == nullptr && s == nullptr)
            return eKindAngleAndHorizontalDistance;
        if (valued(h) && valued(z) && valued(s) && neither) return eKindAnglesAndSlopeDistance;
        if (valued(h) && valued(z) && !valued(s) && neither) return eKindAnglesOnly;
        if (valued(h) && !valued(z) && !valued(s) && neither) return eKindHorizontalAngleOnly;
        if (!valued(h) && !valued(z) && valued(s) && neither) return eKindSlopeDistanceOnly;
        return -1;
    }
};

// "Level run NAME[ DESCRIPTION]: start POINT[ EL HEIGHT]", the height the start point's.
struct LevelHead {
    std::string_view name, description, start, elevation;
    std::size_t descriptionAt = 0, startAt = 0, elevationAt = 0;  // in the note's text
};

constexpr std::string_view kRunHead = "Level run ";

bool levelHead(std::string_view text, LevelHead& head) {
    static constexpr std::string_view kStart = ": start ";
    static constexpr std::string_view kHeight = " EL ";
    if (!startsWith(text, kRunHead)) return false;
    const std::size_t start = text.rfind(kStart);
    if (start == std::string_view::npos || start <= kRunHead.size()) return false;
    head.startAt = start + kStart.size();
    head.start = text.substr(head.startAt);
    head.elevation = {};
    const std::size_t height = head.start.rfind(kHeight);
    if (height != std::string_view::npos && height > 0 && isDecimal(head.start.substr(height + kHeight.size()))) {
        head.elevation = head.start.substr(height + kHeight.size());
        head.elevationAt = head.startAt + height + kHeight.size();
        head.start = head.start.substr(0, height);
    }
    const std::string_view title = text.substr(kRunHead.size(), start - kRunHead.size());
    const std::size_t blank = title.find(' ');
    // A run has a name and starts at a point.
    if (blank == 0 || head.start.empty()) return false;
    head.name = title.substr(0, blank);
    head.description = blank == std::string_view::npos ? std::string_view() : title.substr(blank + 1);
    head.descriptionAt = kRunHead.size() + blank + 1;
    return true;
}

// "BS POINT rod ROD[ HI HEIGHT]" (the height of collimation) or "FS POINT rod ROD[ EL HEIGHT]"
// (the point's height), as the level recorded them.
struct LevelNote {
    bool backsight = true;
    std::string_view point, rod, height;
    std::size_t rodAt = 0, heightAt = 0;  // in the note's text
};

bool levelReading(std::string_view text, LevelNote& note) {
    static constexpr std::string_view kRod = " rod ";
    note.backsight = startsWith(text, "BS ");
    if (!note.backsight && !startsWith(text, "FS ")) return false;
    const std::size_t rod = text.rfind(kRod);
    if (rod == std::string_view::npos || rod <= 3) return false;
    note.rodAt = rod + kRod.size();
    const std::string_view tail = text.substr(note.rodAt);
    const std::size_t blank = tail.find(' ');
    note.rod = tail.substr(0, blank);
    note.height = {};
    if (!isDecimal(note.rod)) return false;
    if (blank != std::string_view::npos) {
        const std::string_view height = tail.substr(blank);
        if (!startsWith(height, note.backsight ? " HI " : " EL ") || !isDecimal(height.substr(4))) return false;
        note.height = height.substr(4);
        note.heightAt = note.rodAt + blank + 4;
    }
    note.point = text.substr(3, rod - 3);
    return true;
}

// The codes of a point as the observation records write them: each code's name, a blank and its
// first control code, then a blank and its second when there is one, codes one blank apart (a
// code string glued to its name).
std::string codesText(const DexCodesDataInterface& codes) {
    std::string text;
    const int count = codes.getNumberOfCodes();
    for (int i = 0; i < count; ++i) {
        const DexCodeValues* code = codes.getCode(i);
        if (code == nullptr) continue;
        if (const DexCodeDescription* description = code->getDescription()) text += utf8(description->codeName());
        if (code->getNumberOfTheCodeStrings() > 0 && code->getCodeStringAt(0).Find(L"line-") < 0) {
            text += utf8(code->getCodeStringAt(0));
        }
        text += ' ' + utf8(code->getControlCode(eControlCode1));
        if (!code->getControlCode(eControlCode2).IsEmpty()) text += ' ' + utf8(code->getControlCode(eControlCode2));
        if (i + 1 < count) text += ' ';
    }
    return text;
}

bool sameFigure(const Figure& a, const Figure& b) { return a.origin == b.origin && (!a.known() || a.value == b.value); }

class Rw5Reader {
public:
    Rw5Reader(RawInput& input, JobBuilder& builder) : m_input(input), m_b(builder), m_lines(input.text()) {}

    void read() {
        header();
        m_b.headerDone();
        setups();
    }

private:
    // ---- the grammar of the lines, the same in both passes

    enum class Role {
        blank,
        application,   // the header's first note line
        levelHead,     // a level run's first note
        levelReading,  // a rod reading of the run open
        shotNote,      // the note line right after an observation
        note,          // any other note line
        emptyNote,
        noRecord,     // a line that is neither a note nor a record
        offset,       // an offset record whose head runs into its first part
        record,       // a record other than a stored point
        stakedPoint,  // the stored point a stake-out observation landed on
        storedPoint,
    };

    void restart() {
        m_lines = RawLines(m_input.text());
        m_first = true;
        m_runOpen = false;
        m_sight = Sight();
    }

    bool next(Role& role) {
        if (!m_lines.next()) return false;
        role = classify(m_lines.line());
        return true;
    }

    Role classify(std::string_view line) {
        if (line.empty()) return Role::blank;
        const bool first = m_first;
        m_first = false;
        if (startsWith(line, "--")) {
            m_body = line.substr(2);
            if (first) return Role::application;
            if (m_body.empty()) {
                m_runOpen = m_sight.open = false;
                return Role::emptyNote;
            }
            if (levelHead(m_body, m_head)) {
                m_runOpen = true;
                m_sight.open = false;
                return Role::levelHead;
            }
            if (m_runOpen && levelReading(m_body, m_reading)) return Role::levelReading;
            m_runOpen = false;
            // A note the generator writes of its own (a check figure, an offset) is no shot's
            // note, even right behind one.
            m_noteKind = generatorNoteKind(m_body);
            if (m_noteKind != nullptr) {
                m_sight.open = false;
                return Role::note;
            }
            if (m_sight.open && !m_sight.noted) {
                m_sight.noted = true;
                return Role::shotNote;
            }
            m_sight.open = false;
            return Role::note;
        }
        m_runOpen = false;
        if (!isRecord(line)) {
            m_sight.open = false;
            // An offset's head stands right in front of its distance offsets ("OFOF,HD…") or
            // their labelled notes ("OF--Perpendicular…").
            return startsWith(line, "OF") ? Role::offset : Role::noRecord;
        }
        split(line);
        m_type = line.substr(0, 2);
        if (m_type == "SP") {
            const bool staked =
                m_sight.open && stakeNote() && find("PN") != nullptr && find("PN")->value == m_sight.target;
            m_sight.open = false;
            return staked ? Role::stakedPoint : Role::storedPoint;
        }
        m_sight.open = isObservation(m_type) && m_fields.size() >= 2 && m_fields[0].tag == "OP" &&
                       (m_fields[1].tag == "FP" || m_fields[1].tag == "BP");
        if (m_sight.open) {
            m_sight.target = m_fields[1].value;
            m_sight.noted = false;
        }
        return Role::record;
    }

    // "Stake DESIGN: dN …": the note of a staked point, DESIGN the point it was staked for.
    bool stakeNote() const {
        if (!m_hasNote || !startsWith(m_note, kStake)) return false;
        const std::size_t delta = m_note.rfind(kDelta);
        return delta != std::string_view::npos && delta > kStake.size();
    }

    // ---- fields

    void split(std::string_view line) {
        m_fields.clear();
        m_hasNote = false;
        m_note = {};
        std::size_t at = 2;
        while (at < line.size()) {
            const std::size_t start = at + 1;
            if (line.compare(start, 2, "--") == 0) {
                // The note is the last field and may hold commas.
                m_hasNote = true;
                m_noteColumn = start + 2;
                m_note = line.substr(m_noteColumn);
                return;
            }
            std::size_t end = line.find(',', start);
            if (end == std::string_view::npos) end = line.size();
            if (end - start < 2) malformed(start, "a field cut short: no two-letter tag");
            m_fields.push_back({line.substr(start, 2), line.substr(start + 2, end - start - 2), start + 2});
            at = end;
        }
    }

    const Field* find(std::string_view tag) const {
        for (const Field& field : m_fields) {
            if (field.tag == tag) return &field;
        }
        return nullptr;
    }

    const Field& required(const char* tag) const {
        const Field* field = find(tag);
        if (field == nullptr) {
            malformed(m_lines.line().size(), std::string("record cut short: no ") + tag + " field");
        }
        return *field;
    }

    MeasurementFields measurementFields(std::size_t first) const {
        MeasurementFields m;
        for (std::size_t i = first; i < m_fields.size(); ++i) {
            const Field& field = m_fields[i];
            if (field.tag == "AR" || field.tag == "AL") {
                m.h = &field;
                m.left = field.tag == "AL";
            } else if (field.tag == "ZE") {
                m.z = &field;
            } else if (field.tag == "SD") {
                m.s = &field;
            } else if (field.tag == "CE") {
                m.ce = &field;
            } else if (field.tag == "HD") {
                m.hd = &field;
            } else if (field.tag == "HR") {
                m.hr = &field;
            }
        }
        return m;
    }

    // Notes every field of the record whose tag the record does not carry: files of other
    // collectors write fields of their own.
    void checkTags() {
        const std::string_view known = knownTags(m_type);
        for (const Field& field : m_fields) {
            bool found = false;
            for (std::size_t i = 0; i + 1 < known.size() && !found; i += 2) found = known.substr(i, 2) == field.tag;
            if (found) continue;
            auto unknown = m_unknown.begin();
            while (unknown != m_unknown.end() && unknown->tag != field.tag) ++unknown;
            if (unknown == m_unknown.end()) {
                m_unknown.push_back({std::string(field.tag), 0, 0, m_lines});
                unknown = m_unknown.end() - 1;
            }
            if (unknown->line != m_lines.number()) ++unknown->records;
            unknown->line = m_lines.number();
        }
    }

    // ---- values

    [[noreturn]] void malformed(std::size_t column, const std::string& what) const {
        m_input.malformed(m_lines, column, what);
    }

    void warn(const std::string& what) const { m_input.warn(m_lines, what); }

    Place at(std::size_t column) const { return m_b.place(m_lines.offset() + column); }

    COrvStringT text(TextKind kind, std::string_view value, std::size_t column) {
        return m_b.text(kind, value, at(column));
    }

    COrvStringT text(TextKind kind, const Field& field) { return text(kind, field.value, field.column); }

    // A number field; false for a bare tag (a value the file does not know).
    bool optionalNumber(const Field& field, double& value) const {
        std::size_t column = field.column;
        const std::string_view digits = trimmed(field.value, &column);
        if (digits.empty()) return false;
        if (!parseDecimal(digits, value)) {
            malformed(column,
                      "expected a number after " + std::string(field.tag) + ", found " + shownName(field.value));
        }
        return true;
    }

    double number(const Field& field) const {
        double value = 0.0;
        if (!optionalNumber(field, value)) {
            malformed(field.column, "the " + std::string(field.tag) + " field has no value");
        }
        return value;
    }

    double number(const char* tag) const { return number(required(tag)); }

    // Packed degrees, minutes and seconds with 60 or more minutes or seconds are no angle.
    void checkDms(const Field& field) const {
        if (m_b.inputUnits().angle != eDegMinSec) return;
        std::size_t column = field.column;
        const std::string_view digits = trimmed(field.value, &column);
        if (!isPackedDms(digits)) {
            malformed(column,
                      "angle " + shownName(digits) + " is no degrees, minutes and seconds: 60 minutes or seconds");
        }
    }

    // A zenith, bearing or circle reading of the file's units, in decimal degrees.
    double angle(const Field& field) const {
        const double value = number(field);
        checkDms(field);
        return m_b.angle(value);
    }

    Figure length(const Field& field) const {
        double value = 0.0;
        return optionalNumber(field, value) ? Figure::recorded(m_b.length(value)) : Figure();
    }

    // A horizontal angle or circle reading: one to the left is negative, and one written as zero
    // stays to the left by the smallest step, so that it is written as "AL" again. A writer
    // brings an angle into the circle before it rounds it, so one a hair below the full circle
    // is written as the full circle: it is read as that hair below, which is written so again.
    double horizontal(const Field& field, bool left) const {
        std::size_t column = field.column;
        std::string_view digits = trimmed(field.value, &column);
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
        double value = 0.0;
        if (!parseDecimal(digits, value)) {
            malformed(column,
                      "expected a number after " + std::string(field.tag) + ", found " + shownName(field.value));
        }
        checkDms(field);
        const bool gons = m_b.inputUnits().angle == eGons;
        if (value == (gons ? 400.0 : 360.0)) value = gons ? 399.9999999999 : 359.5959999999;
        double degrees = m_b.angle(value);
        if (degrees == 0.0 && left && !negative) degrees = m_b.angle(1e-9);
        return left != negative ? -degrees : degrees;
    }

    // The measurement of an observation from field `first` on; `hr` becomes the target height
    // of an HR field among them.
    DexTSRawMeasurement measurement(std::size_t first, Figure& hr) const {
        const MeasurementFields f = measurementFields(first);
        const int kind = f.kind();
        std::vector<double> values;
        switch (kind) {
            case eKindAnglesAndSlopeDistance:
                values = {horizontal(*f.h, f.left), angle(*f.z), m_b.length(number(*f.s))};
                break;
            case eKindAngleAndHorizontalDistance:
                values = {horizontal(*f.h, f.left), m_b.length(number(*f.hd)), m_b.length(number(*f.ce))};
                break;
            case eKindAnglesOnly:
                values = {horizontal(*f.h, f.left), angle(*f.z)};
                break;
            case eKindHorizontalAngleOnly:
                values = {horizontal(*f.h, f.left)};
                break;
            case eKindSlopeDistanceOnly:
                values = {m_b.length(number(*f.s))};
                break;
            default:
                malformed(first < m_fields.size() ? m_fields[first].column - 2 : m_lines.line().size(),
                          "the measurement fields make no measurement");
        }
        if (f.hr != nullptr) hr = length(*f.hr);
        return DexTSRawMeasurement(kind, std::move(values));
    }

    // The coordinates of an OC or SP record, each of which may be bare: a point known in plan
    // has a bare EL; one without its northing or easting is not known at all.
    enum class Coordinates { none, partial, plan, full };

    Coordinates coordinates(Point3& point) const {
        double n = 0.0, e = 0.0, h = 0.0;
        const bool north = optionalNumber(required("N "), n);
        const bool east = optionalNumber(required("E "), e);
        const bool height = optionalNumber(required("EL"), h);
        if (!north || !east) return north || east || height ? Coordinates::partial : Coordinates::none;
        point = m_b.point(n, e, height ? h : 0.0);
        return height ? Coordinates::full : Coordinates::plan;
    }

    // The code field of an observation: pairs of name and first control code, one code taking a
    // second control code when the count of blank-separated words is odd, or, when the last
    // word is empty, one code whose control code holds the blanks. Whatever the split, the
    // codes give the same text again.
    void readCodes(std::string_view text, std::size_t offset, DexCodesDataInterface& codes, COrvStringT& first) {
        if (text.empty()) return;
        m_tokens.clear();
        for (std::size_t from = 0;;) {
            const std::size_t blank = text.find(' ', from);
            m_tokens.emplace_back(text.substr(from, blank == std::string_view::npos ? blank : blank - from),
                                  offset + from);
            if (blank == std::string_view::npos) break;
            from = blank + 1;
        }
        const std::size_t n = m_tokens.size();
        constexpr std::size_t kNone = std::string_view::npos;
        const auto add = [&](std::size_t name, std::size_t control1, std::size_t control2) {
            const auto word = [&](std::size_t i, TextKind kind) {
                return m_b.text(kind, m_tokens[i].first, m_b.place(m_tokens[i].second));
            };
            DexCodeValues code(DexCodeDescription(word(name, TextKind::code)));
            if (control1 != kNone) code.setControlCode(eControlCode1, word(control1, TextKind::attribute));
            if (control2 != kNone) code.setControlCode(eControlCode2, word(control2, TextKind::attribute));
            if (first.IsEmpty()) first = code.getDescription()->codeName();
            codes.addCode(code);
        };
        if (n == 1) {
            add(0, kNone, kNone);
        } else if (n % 2 == 0) {
            for (std::size_t i = 0; i < n; i += 2) add(i, i + 1, kNone);
        } else if (!m_tokens[n - 1].first.empty()) {
            for (std::size_t i = 0; i + 3 < n; i += 2) add(i, i + 1, kNone);
            add(n - 3, n - 2, n - 1);
        } else {
            const std::size_t blank = text.find(' ');
            m_tokens[1] = {text.substr(blank + 1), offset + blank + 1};
            add(0, 1, kNone);
        }
    }

    // ---- the first pass: header, units, known points, level runs

    void header() {
        // Without a mode record that says otherwise: metres, and packed degrees, minutes and
        // seconds, the format's first units.
        m_fileUnits.units.distance = eMeters;
        m_fileUnits.units.angle = eDegMinSec;
        m_fileUnits.place = m_b.place(0);
        applyUnits();
        // A code field is one text; its words are read as codes and control codes.
        m_b.setCodesAsText();
        restart();
        Role role = Role::blank;
        while (next(role)) {
            if (role != Role::levelReading && role != Role::blank) addRun();
            switch (role) {
                case Role::application:
                    application();
                    break;
                case Role::levelHead:
                    m_unitsFixed = true;
                    levelRun();
                    break;
                case Role::levelReading:
                    levelReadingNote();
                    break;
                case Role::storedPoint:
                    m_unitsFixed = true;
                    storedPoint();
                    break;
                case Role::record:
                    if (m_type == "JB") {
                        jobRecord();
                    } else if (m_type == "MO") {
                        modeRecord();
                    } else {
                        m_unitsFixed = true;
                    }
                    break;
                default:
                    break;
            }
        }
        addRun();
    }

    // "--NAME Version V": the program that wrote the file.
    void application() {
        const std::size_t version = m_body.rfind(" Version ");
        const std::string_view name = m_body.substr(0, version);
        const std::size_t versionAt = version == std::string_view::npos ? m_body.size() : version + 9;
        m_b.setApplication(text(TextKind::text, name, 2),
                           text(TextKind::text, m_body.substr(versionAt), 2 + versionAt));
    }

    void jobRecord() {
        if (const Field* name = find("NM")) m_b.setJobTexts(text(TextKind::text, *name), {}, {});
        const Field* date = find("DT");
        if (date == nullptr) return;
        // Month-day-year in the file, day/month/year in the job.
        const std::string_view d = date->value;
        const bool validDate = d.size() == 10 && d[2] == '-' && d[5] == '-' && isDigit(d[0]) && isDigit(d[1]) &&
                               isDigit(d[3]) && isDigit(d[4]) && isDigit(d[6]) && isDigit(d[7]) && isDigit(d[8]) &&
                               isDigit(d[9]);
        if (!validDate) malformed(date->column, "expected a date MM-DD-YYYY");
        if (!isMonthDayYear(d)) malformed(date->column, "no such day: " + shownName(d) + " (month-day-year)");
        const std::string created = withoutLeadingZero(d.substr(3, 2)) + "/" + withoutLeadingZero(d.substr(0, 2)) +
                                    "/" + std::string(d.substr(6));
        std::optional<COrvStringT> time;
        const Field* clock = find("TM");
        if (clock != nullptr) {
            const std::string_view t = clock->value;
            const bool validTime = t.size() == 8 && t[2] == ':' && t[5] == ':' && isDigit(t[0]) && isDigit(t[1]) &&
                                   isDigit(t[3]) && isDigit(t[4]) && isDigit(t[6]) && isDigit(t[7]);
            if (!validTime) malformed(clock->column, "expected a time hh:mm:ss");
            if (!isClockTime(t)) malformed(clock->column, "no such time of day: " + shownName(t));
            time = wideFromUtf8(withoutLeadingZero(t.substr(0, 2)) + std::string(t.substr(2)));
        }
        m_b.setCreated(wideFromUtf8(created), at(date->column), time, at(clock != nullptr ? clock->column : 0));
    }

    static std::string withoutLeadingZero(std::string_view digits) {
        return std::string(digits[0] == '0' ? digits.substr(1) : digits);
    }

    // Unit digit 1 metres, 0 international feet, 2 US survey feet; angle digit 1 gons, 0 packed
    // degrees, minutes and seconds. The job's units are the file's, so that they are written again.
    void modeRecord() {
        FileUnits file = m_fileUnits;
        InputUnits& units = file.units;
        const Field* unit = find("UN");
        if (unit != nullptr) {
            if (unit->value != "0" && unit->value != "1" && unit->value != "2") {
                malformed(unit->column, "expected the distance unit 0, 1 or 2");
            }
            units.distance = unit->value == "1" ? eMeters : unit->value == "0" ? eInternationalFeet : eUSFeet;
            file.distanceStated = true;
        }
        const Field* angle = find("AU");
        if (angle != nullptr) {
            if (angle->value != "0" && angle->value != "1") malformed(angle->column, "expected the angle unit 0 or 1");
            units.angle = angle->value == "1" ? eGons : eDegMinSec;
            file.angleStated = true;
        }
        const InputUnits& before = m_fileUnits.units;
        if (m_unitsFixed && (units.distance != before.distance || units.angle != before.angle)) {
            malformed(units.distance != before.distance ? unit->column : angle->column,
                      "the units change after the first points or set-ups; a job has one set of units");
        }
        file.place = at(0);
        m_fileUnits = file;
        applyUnits();
    }

    // The units the values are read in: the file's, or those --input-units states. The job's
    // are the same, so that they are written again; angles in packed degrees are degrees.
    void applyUnits() {
        const InputUnits& units = m_b.setFileUnits(m_fileUnits);
        m_b.setUnits(units.distance, units.angle == eDegMinSec ? eDegrees : units.angle);
    }

    // A stored point that is no staked point: a known point. Its note field is its code, a blank
    // and its note, or either alone: the text up to the first blank is the code when more
    // follows, a text without blanks a code.
    void storedPoint() {
        const Field& name = required("PN");
        Point3 coords;
        const Coordinates given = coordinates(coords);
        if (given != Coordinates::full && given != Coordinates::plan) {
            warn("a stored point without its northing and easting is skipped");
            return;
        }
        KnownPoint point;
        point.place = at(0);
        point.coords = coords;
        point.hasHeight = given == Coordinates::full;
        const COrvStringT pointName = text(TextKind::name, name);
        if (const KnownPoint* known = m_b.job().find(utf8(pointName))) {
            // The first entry of a name counts.
            const Point3& c = known->coords;
            if (c.n != coords.n || c.e != coords.e || c.h != coords.h || known->hasHeight != point.hasHeight) {
                warn("point " + shownName(name.value) + " is stored again with other coordinates and is skipped");
            }
            return;
        }
        COrvStringT note;
        const std::string_view field = m_hasNote ? m_note : std::string_view();
        const std::size_t blank = field.find(' ');
        if (blank == std::string_view::npos) {
            if (!field.empty()) point.code = text(TextKind::code, field, m_noteColumn);
        } else if (blank > 0 && blank + 1 < field.size()) {
            point.code = text(TextKind::code, field.substr(0, blank), m_noteColumn);
            note = text(TextKind::note, field.substr(blank + 1), m_noteColumn + blank + 1);
        } else {
            note = text(TextKind::note, field, m_noteColumn);
        }
        point.design.setStation(DexStation(pointName, coords.n, coords.e, point.hasHeight ? coords.h : noValue, note));
        if (!point.code.IsEmpty()) point.design.codes.addCode(DexCodeValues(DexCodeDescription(point.code)));
        m_b.addKnownPoint(std::move(point));
    }

    void levelRun() {
        const std::size_t base = 2;  // the note's text starts after "--"
        m_run = LevelRun();
        m_hasRun = true;
        m_run.place = at(base + kRunHead.size());
        m_run.name = text(TextKind::text, m_head.name, base + kRunHead.size());
        m_run.description = text(TextKind::text, m_head.description, base + m_head.descriptionAt);
        m_run.start = text(TextKind::name, m_head.start, base + m_head.startAt);
        double value = 0.0;
        if (parseDecimal(m_head.elevation, value)) m_run.startElevation = Figure::recorded(m_b.length(value));
    }

    void levelReadingNote() {
        const std::size_t base = 2;
        LevelReading reading;
        reading.place = at(base + 3);
        reading.point = text(TextKind::name, m_reading.point, base + 3);
        reading.backsight = m_reading.backsight;
        double value = 0.0;
        if (parseDecimal(m_reading.rod, value)) reading.rod = m_b.length(value);
        if (parseDecimal(m_reading.height, value)) {
            (reading.backsight ? reading.collimation : reading.elevation) = Figure::recorded(m_b.length(value));
        }
        m_run.readings.push_back(std::move(reading));
    }

    void addRun() {
        if (!m_hasRun) return;
        m_hasRun = false;
        m_b.addLevelRun(std::move(m_run));
    }

    // ---- the second pass: the set-ups

    void setups() {
        restart();
        Role role = Role::blank;
        while (next(role)) {
            m_input.passed(m_lines.offset());
            if (role == Role::blank) continue;
            if (role != Role::shotNote && role != Role::stakedPoint) flushShot();
            switch (role) {
                case Role::shotNote:
                    if (m_shotPending) {
                        m_shot.sight.setNote(text(TextKind::note, m_body, 2));
                    } else {
                        note();
                    }
                    break;
                case Role::note:
                    note();
                    break;
                case Role::emptyNote:
                    warn("an empty note line is skipped");
                    break;
                case Role::noRecord:
                    warn("a line that is no RW5 record is skipped");
                    break;
                case Role::offset:
                    warn(kOffsetSkipped);
                    break;
                case Role::storedPoint:
                    checkTags();  // read in the first pass
                    break;
                case Role::stakedPoint:
                    checkTags();
                    stakeOut();
                    break;
                case Role::record:
                    record();
                    break;
                default:
                    break;  // the header's note line and the level runs: read in the first pass
            }
        }
        closeSetup();
        releaseWaiting(Figure());
        for (const Unknown& unknown : m_unknown) {
            m_input.warn(unknown.first, "an unknown field " + shownName(unknown.tag) + " is skipped" +
                                            (unknown.records == 1 ? std::string()
                                                                  : " in " + std::to_string(unknown.records) +
                                                                        " records, the first here"));
        }
        m_input.passed(m_input.text().size());
    }

    void record() {
        const std::string_view type = m_type;
        if (type == "OF") return warn(kOffsetSkipped);
        const bool known = type == "JB" || type == "MO" || type == "OC" || type == "LS" || type == "BK" ||
                           type == "BD" || type == "BR" || type == "RB" || type == "RS" || isObservation(type);
        if (!known) return warn("an unknown record " + std::string(type) + " is skipped");
        checkTags();
        if (type == "MO") return modeSettings();
        if (type == "OC") return occupy();
        if (type == "LS") return heights();
        if (type == "BK") return backsight();
        if (type == "BD" || type == "BR" || type == "RB") return measuredBacksight();
        if (type == "RS") return resection();
        if (isObservation(type)) return observation();
        // JB was read in the first pass.
    }

    // The mode record's scale factor, curvature setting and offset (SF, EC, EO): the job holds
    // none of them, so one other than a writer's plain setting is not silently dropped.
    void modeSettings() const {
        static constexpr std::pair<std::string_view, double> kPlain[] = {{"SF", 1.0}, {"EC", 0.0}, {"EO", 0.0}};
        for (const auto& [tag, plain] : kPlain) {
            const Field* field = find(tag);
            double value = 0.0;
            if (field == nullptr || trimmed(field->value).empty() ||
                (parseDecimal(trimmed(field->value), value) && value == plain)) {
                continue;
            }
            warn("the mode record's " + std::string(tag) + " " + shownName(field->value) +
                 " is skipped: a job holds no such setting");
        }
    }

    void note() {
        if (m_open && !m_occupied && !m_setup.resection.empty() && worstResidual()) return;
        if (m_noteKind != nullptr) return warn(std::string(m_noteKind) + " is skipped: it belongs to no observation");
        warn("a note that belongs to no observation is skipped");
    }

    bool inSetup(const char* what) const {
        if (m_occupied) return true;
        warn(std::string(what) + " outside a set-up (before its station record) is skipped");
        return false;
    }

    void openSetup() {
        closeSetup();
        m_open = true;
        m_occupied = false;
        m_hiKnown = false;
        m_worst = Worst();
        m_resectionLine.reset();
    }

    // A set-up is complete at the next set-up or the end of the file. One whose instrument height
    // is not known yet waits for what the next sight says of it.
    void closeSetup() {
        flushShot();
        if (!m_open) return;
        m_open = false;
        Setup setup = std::move(m_setup);
        m_setup = Setup();
        if (!m_occupied) {
            if (m_resectionLine) m_input.warn(*m_resectionLine, "a resection without its station record is skipped");
            return;
        }
        if (m_hiKnown) return m_b.addSetup(std::move(setup));
        m_waiting.push_back(std::move(setup));
        // A file of ever more set-ups without sights is not held whole: the heights of the oldest
        // stay unknown.
        if (m_waiting.size() > kMostWaiting) {
            m_b.addSetup(std::move(m_waiting.front()));
            m_waiting.pop_front();
        }
    }

    // The instrument height of the set-ups without sights before the set-up being read, now that
    // it is known (or known to be unknown).
    void releaseWaiting(const Figure& hi) {
        while (!m_waiting.empty()) {
            Setup setup = std::move(m_waiting.front());
            m_waiting.pop_front();
            setup.hi = hi;
            m_b.addSetup(std::move(setup));
        }
    }

    void occupy() {
        if (!m_open || m_occupied) openSetup();
        m_occupied = true;
        m_setup.place = at(0);
        const Field& station = required("OP");
        Point3 coords;
        const Coordinates given = coordinates(coords);
        m_setup.station = text(TextKind::name, station);
        if (given == Coordinates::full || given == Coordinates::plan) {
            m_setup.coords.set(coords, Origin::recorded, given == Coordinates::full);
        } else if (given == Coordinates::partial) {
            warn("a station with a northing or an easting alone is read without coordinates");
        }
        if (m_hasNote) m_setup.note = text(TextKind::note, m_note, m_noteColumn);
        worstResiduals();
    }

    // The heights are written ahead of a sight when they changed: the instrument height when a
    // set-up changed it, the target height when it moved by a millimetre or more. So the first
    // "LS" after an "OC" states the set-up's instrument height; a first sight without one was
    // taken with the height of the last "LS", and so were the set-ups without sights before it.
    // An "LS" after such set-ups says that one of them changed the height, not which: theirs
    // stay unknown.
    void heights() {
        if (const Field* hi = find("HI")) {
            const Figure value = length(*hi);
            releaseWaiting(Figure());
            m_lastHi = value;
            if (m_occupied && (!m_hiKnown || !m_setup.hi.known())) {
                // Sights taken before the file stated any height (an "LS" after the "BK") leave
                // the set-up's height to the first "LS" that states one.
                m_setup.hi = value;
                m_hiKnown = true;
            } else if (m_occupied && !sameFigure(m_setup.hi, value)) {
                warn("the instrument height changes within a set-up; the set-up keeps its first");
            }
        }
        if (const Field* hr = find("HR")) m_lastHr = length(*hr);
    }

    // A sight of the set-up: its instrument height is the last one stated when no "LS" came since
    // its "OC".
    void sighted() {
        if (m_hiKnown) return;
        m_hiKnown = true;
        m_setup.hi = m_lastHi;
        releaseWaiting(m_lastHi);
    }

    // The orientation record the set-up's next measured backsight belongs to, or null.
    Backsight* lastOrientation() {
        if (!m_setup.reorientations.empty()) return &m_setup.reorientations.back();
        return m_setup.backsight.kind == Backsight::Kind::none ? nullptr : &m_setup.backsight;
    }

    // A later orientation record orients the shots after it only.
    void addOrientation(Backsight backsight) {
        if (lastOrientation() == nullptr && m_setup.shots.empty()) {
            m_setup.backsight = std::move(backsight);
        } else {
            backsight.firstShot = m_setup.shots.size();
            m_setup.reorientations.push_back(std::move(backsight));
        }
    }

    // "BK": the backsight point ("0" for a backsight by bearing), the bearing of the backsight
    // direction (BS) and the circle reading on it (BC), as the instrument states them.
    void backsight() {
        if (!inSetup("a backsight")) return;
        required("OP");
        const Field& point = required("BP");
        sighted();
        Backsight bs;
        bs.place = at(0);
        bs.hr = m_lastHr;
        if (point.value == "0") {
            bs.kind = Backsight::Kind::bearing;
            bs.bearingSight.setBsNameMode(1);
        } else {
            bs.kind = Backsight::Kind::point;
            bs.point = text(TextKind::name, point);
            bs.sight.setTargetName(bs.point);
        }
        bs.azimuth = Figure::recorded(angle(required("BS")));
        bs.circle = Figure::recorded(angle(required("BC")));
        addOrientation(std::move(bs));
    }

    // "BD"/"BR" (or "RB" in RB mode, with the target height): the measurement to the point of the
    // orientation record before it. It never orients: it is what was measured. A set-up whose
    // backsight bearing was unknown has the measurement without its "BK".
    void measuredBacksight() {
        if (!inSetup("a backsight observation")) return;
        if (m_fields.size() < 2 || m_fields[0].tag != "OP" || (m_fields[1].tag != "BP" && m_fields[1].tag != "FP")) {
            malformed(2, "expected the station (OP) and the backsight point (BP)");
        }
        sighted();
        // A measurement of a kind the record has no fields for leaves it without any.
        const MeasurementFields fields = measurementFields(2);
        if (fields.h == nullptr && fields.z == nullptr && fields.s == nullptr && fields.ce == nullptr &&
            fields.hd == nullptr) {
            return warn("a backsight observation without measurement fields is skipped");
        }
        const COrvStringT name = text(TextKind::name, m_fields[1]);
        Backsight* bs = lastOrientation();
        const bool same = bs != nullptr && bs->kind == Backsight::Kind::point && bs->point == name;
        if (same && bs->measured) {
            return warn(
                "a second measurement of the backsight (its other face) is skipped: a job holds one a backsight");
        }
        if (!same && (bs != nullptr || !m_setup.shots.empty())) {
            return warn("a backsight observation to " + shownName(m_fields[1].value) +
                        " that follows no backsight record to it is skipped");
        }
        if (!same) {
            m_setup.backsight.kind = Backsight::Kind::point;
            m_setup.backsight.point = name;
            m_setup.backsight.sight.setTargetName(name);
            m_setup.backsight.place = at(0);
            m_setup.backsight.hr = m_lastHr;
            bs = &m_setup.backsight;
        }
        DexTSRawMeasurement m = measurement(2, bs->hr);
        m.setBacksightTarget(true);
        bs->measured = true;
        bs->sight.setMeasurement(m);
        bs->bearingSight.setMeasurement(m);
        // Written with the point's codes, the note field repeats those of its known point.
        if (!m_hasNote || m_note.empty()) return;
        const KnownPoint* known = m_b.job().find(utf8(name));
        if (known != nullptr && codesText(known->design.codes) == m_note) return;
        warn("the note field " + shownName(m_note) +
             " of a backsight observation is skipped: a job keeps a point's codes and note with the known point");
    }

    // An observation, waiting for what may follow it: its note line, or the stored point that
    // makes it a stake-out.
    void observation() {
        if (!inSetup("an observation")) return;
        if (m_fields.size() < 2 || m_fields[0].tag != "OP" || (m_fields[1].tag != "FP" && m_fields[1].tag != "BP")) {
            malformed(2, "expected the station (OP) and the target (FP)");
        }
        sighted();
        m_shot = Observation();
        m_shot.place = at(0);
        m_shot.sight.setTargetName(text(TextKind::name, m_fields[1]));
        m_shot.sight.setKind(eSightSideShot);
        // An HR field is the target height of this shot alone.
        m_shot.hr = m_lastHr;
        m_shot.sight.setMeasurement(measurement(2, m_shot.hr));
        m_shotCodes = m_hasNote ? m_note : std::string_view();
        m_shotCodesAt = m_lines.offset() + m_noteColumn;
        m_shotPending = true;
    }

    void flushShot() {
        if (!m_shotPending) return;
        m_shotPending = false;
        readCodes(m_shotCodes, m_shotCodesAt, m_shot.sight.codes, m_shot.code);
        m_setup.shots.push_back(std::move(m_shot));
    }

    // The stored point after a stake-out observation: where it landed, with "Stake DESIGN: dN X
    // dE Y dH Z" (staked minus design) as the instrument recorded them.
    void stakeOut() {
        if (!m_shotPending) return warn("a staked point whose observation was skipped is skipped");
        m_shotPending = false;
        Stakeout stake;
        const std::size_t delta = m_note.rfind(kDelta);
        stake.design =
            text(TextKind::name, m_note.substr(kStake.size(), delta - kStake.size()), m_noteColumn + kStake.size());
        stake.shot = std::move(m_shot);
        // A stake-out carries one code.
        const std::size_t blank = m_shotCodes.find(' ');
        if (!m_shotCodes.empty() && blank + 1 != m_shotCodes.size()) {
            warn("a stake-out carries one code without control codes: " + shownName(m_shotCodes) +
                 " is read as the code " + shownName(m_shotCodes.substr(0, blank)));
        }
        if (!m_shotCodes.empty() && blank != 0) {
            stake.shot.code = m_b.text(TextKind::code, m_shotCodes.substr(0, blank), m_b.place(m_shotCodesAt));
            stake.shot.sight.codes.addCode(DexCodeValues(DexCodeDescription(stake.shot.code)));
        }
        Point3 landed;
        const Coordinates given = coordinates(landed);
        if (given == Coordinates::full || given == Coordinates::plan) {
            stake.shot.coords.set(landed, Origin::recorded, given == Coordinates::full);
        }
        const std::size_t from = delta + kDelta.size();
        const std::string_view differences = m_note.substr(from);
        const std::size_t east = differences.find(" dE ");
        const std::size_t height = differences.find(" dH ");
        double n = 0.0, e = 0.0, h = 0.0;
        if (east != std::string_view::npos && height != std::string_view::npos && east < height &&
            parseDecimal(differences.substr(0, east), n) &&
            parseDecimal(differences.substr(east + 4, height - east - 4), e)) {
            // A point staked in plan only has its height difference "unknown".
            const std::string_view dH = differences.substr(height + 4);
            if (parseDecimal(dH, h) || dH == kUnknownFigure) {
                stake.differences.set(m_b.point(n, e, h), Origin::recorded, dH != kUnknownFigure);
            }
        }
        m_setup.stakeouts.push_back(std::move(stake));
    }

    // "RS", ahead of its set-up's "OC": the point as named, the circle reading, and zenith and
    // slope distance or height difference and horizontal distance, or neither: a direction alone.
    // Its target height is not written.
    void resection() {
        if (!m_open || m_occupied) openSetup();
        if (!m_resectionLine) m_resectionLine = m_lines;
        const Field& point = required("PN");
        const Field& circle = required("CR");
        const Field* zenith = find("ZE");
        const Field* slope = find("SD");
        const Field* rise = find("CE");
        const Field* distance = find("HD");
        std::vector<double> values;
        int kind = eKindAnglesAndSlopeDistance;
        if (valued(zenith) && valued(slope) && rise == nullptr && distance == nullptr) {
            values = {horizontal(circle, false), angle(*zenith), m_b.length(number(*slope))};
        } else if (valued(rise) && valued(distance) && zenith == nullptr && slope == nullptr) {
            kind = eKindAngleAndHorizontalDistance;
            values = {horizontal(circle, false), m_b.length(number(*distance)), m_b.length(number(*rise))};
        } else if (zenith == nullptr && slope == nullptr && rise == nullptr && distance == nullptr) {
            kind = eKindHorizontalAngleOnly;
            values = {horizontal(circle, false)};
        } else {
            return warn(
                "a resection observation without zenith and slope distance (or height difference and "
                "horizontal distance) is skipped");
        }
        Observation obs;
        obs.place = at(0);
        obs.sight.setTargetName(text(TextKind::name, point));
        obs.sight.setKind(eSightSideShot);
        obs.sight.setMeasurement(DexTSRawMeasurement(kind, std::move(values)));
        m_setup.resection.push_back(std::move(obs));
    }

    // The worst residuals of a resection, notes between its "RS" and "OC" records: read as the
    // instrument recorded them when the three are there.
    bool worstResidual() {
        static constexpr std::string_view kLabels[] = {
            "Horizontal Angle Worst Residual: ", "Zenith Angle Worst Residual: ", "Slope Distance Worst Residual: "};
        for (int i = 0; i < 3; ++i) {
            if (!startsWith(m_body, kLabels[i])) continue;
            // A second note of one figure is none of this resection's worst residuals.
            if ((m_worst.given & (1U << i)) != 0) return false;
            double value = 0.0;
            if (!parseDecimal(m_body.substr(kLabels[i].size()), value)) return false;
            if (!m_worst.first) m_worst.first = m_lines;
            m_worst.values[i] = i < 2 ? m_b.angle(value) : m_b.length(value);
            m_worst.given |= 1U << i;
            return true;
        }
        return false;
    }

    void worstResiduals() {
        if (m_worst.given == 0) return;
        if (m_worst.given == 7) {
            m_setup.worstResiduals.value.horizontal = m_worst.values[0];
            m_setup.worstResiduals.value.zenith = m_worst.values[1];
            m_setup.worstResiduals.value.slope = m_worst.values[2];
            m_setup.worstResiduals.origin = Origin::recorded;
        } else {
            m_input.warn(*m_worst.first,
                         "worst-residual notes without all three of horizontal angle, zenith and slope distance are "
                         "skipped");
        }
        m_worst = Worst();
    }

    static constexpr std::string_view kStake = "Stake ";
    static constexpr std::string_view kDelta = ": dN ";
    static constexpr std::size_t kMostWaiting = 1024;

    RawInput& m_input;
    JobBuilder& m_b;
    RawLines m_lines;

    // The line being read.
    std::string_view m_type;
    std::vector<Field> m_fields;
    std::string_view m_note;  // the note field of a record
    std::size_t m_noteColumn = 0;
    bool m_hasNote = false;
    std::string_view m_body;           // the text of a note line
    const char* m_noteKind = nullptr;  // the kind of a note line the generator writes of its own
    LevelHead m_head;
    LevelNote m_reading;
    std::vector<std::pair<std::string_view, std::size_t>> m_tokens;

    // The grammar's state.
    bool m_first = true;
    bool m_runOpen = false;
    struct Sight {
        bool open = false;   // the last line was an observation, or its note
        bool noted = false;  // its note line was read
        std::string_view target;
    } m_sight;

    // The first pass.
    FileUnits m_fileUnits;  // what the file states of its units, or the format's first units
    bool m_unitsFixed = false;
    LevelRun m_run;
    bool m_hasRun = false;

    // The second pass.
    Setup m_setup;
    bool m_open = false;      // a set-up is being read: its "RS" or "OC" came
    bool m_occupied = false;  // its "OC" came
    bool m_hiKnown = false;   // its instrument height is known, or known to be unknown
    std::optional<RawLines> m_resectionLine;
    Figure m_lastHi, m_lastHr;  // as the last "LS" stated them
    std::deque<Setup> m_waiting;
    Observation m_shot;
    bool m_shotPending = false;
    std::string_view m_shotCodes;
    std::size_t m_shotCodesAt = 0;
    struct Worst {
        double values[3] = {0.0, 0.0, 0.0};
        unsigned given = 0;
        std::optional<RawLines> first;
    } m_worst;
    struct Unknown {
        std::string tag;
        std::size_t records = 0;
        std::size_t line = 0;
        RawLines first;
    };
    std::vector<Unknown> m_unknown;
};

}  // namespace

void buildRw5(RawInput& input, JobBuilder& builder) { Rw5Reader(input, builder).read(); }

bool looksLikeRw5(std::string_view head) {
    static constexpr std::string_view kStarts[] = {"JB,NM", "MO,AD", "OC,OP", "SP,PN"};
    RawLines lines(head);
    bool found = false;
    bool any = false;
    while (lines.next()) {
        const std::string_view line = lines.line();
        // The last line of the head may be cut anywhere.
        if (lines.offset() + line.size() >= head.size() && any) break;
        if (line.empty()) continue;
        if (!startsWith(line, "--") && !isRecord(line)) return false;
        any = true;
        for (const std::string_view start : kStarts) found = found || startsWith(line, start);
    }
    return found;
}

}  // namespace exportgen
