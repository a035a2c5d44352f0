// RW5 raw file -> job document. One pass over the lines; each record is split into its fields
// in place (views into the file's text) and written into the document in the job file's terms.
//
// The writer's record order decides how records become job parts: stored points ahead of the
// first set-up are the known points; a set-up is its resection ("RS"), its occupy record ("OC"),
// the heights ("LS"), its backsight ("BK" and the measured "BD"/"BR"/"RB"), its observations
// ("FD"/"FR", "OB"/"SS" in RB mode, each with the note line that may follow it) and its
// stake-outs (an observation followed by the stored staked point with its "Stake" note); the
// level runs are notes at the end. What the writer derives (the backsight azimuth, the worst
// residuals of a resection, the stake-out differences, a level run's heights) is recognised and
// not read back, since writing the job again derives it anew.
#include "readers/rw5_reader.h"

#include <charconv>
#include <cmath>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace exportgen {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool isCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A record line: two capital letters, then nothing or a comma and the fields.
bool isRecord(std::string_view line) {
    return line.size() >= 2 && isCapital(line[0]) && isCapital(line[1]) && (line.size() == 2 || line[2] == ',');
}

// One field of a record: its two-letter tag, the value after it and the column of that value.
struct Field {
    std::string_view tag;
    std::string_view value;
    std::size_t column = 0;
};

// A value as the file writes it and the byte of the file it starts at.
struct Value {
    std::string_view text;
    std::size_t offset = 0;
};

// The measurement of an observation, in the order the job lists its values: sd [horizontal
// angle, zenith, slope distance], hd [horizontal angle, horizontal distance, height
// difference], angles [horizontal angle, zenith], hz [horizontal angle], dist [slope distance].
struct Measurement {
    const char* key = nullptr;
    Value values[3];
    int count = 0;
    bool left = false;  // the horizontal angle was written as an angle to the left
};

// An observation waiting for what may follow it: its note line, or the stored point that makes
// it a stake-out.
struct Shot {
    Value to;
    Measurement measurement;
    Value hr;
    bool hasHr = false;
    std::string_view codes;
    std::size_t codesOffset = 0;
    Value note;
    bool hasNote = false;
    std::size_t offset = 0;
};

struct BacksightRecord {
    bool given = false;
    bool bearing = false;
    Value point;
    Value azimuth;
    Value circle;
    Value hr;
    bool hasHr = false;
    bool measured = false;
    bool unknownPoint = false;  // no stored point or earlier station of that name
    Measurement measurement;
    std::size_t offset = 0;
};

struct ResectionSight {
    Value to;
    Measurement measurement;
};

struct PointCoords {
    std::string_view n, e, h;
};

// The set-up being read.
struct SetupState {
    bool open = false;
    bool occupied = false;  // its "OC" record was read
    std::size_t offset = 0;
    Value station;
    Value coords[3];
    bool knownStation = false;  // a stored point with the same coordinates: the job names it alone
    Value note;
    bool headWritten = false;  // its object is open in the document
    bool sighted = false;      // a backsight or an observation was read
    Value hi;
    bool hasHi = false;
    Value firstHr;  // the target height of its first sight, taken for its resection
    bool hasFirstHr = false;
    Value worst[3];  // the worst residuals of its resection as recorded: horizontal, zenith, slope
    bool hasWorst[3] = {false, false, false};
    BacksightRecord backsight;
    std::vector<ResectionSight> resection;
    bool shotsOpen = false;  // its "shots" array is being written
    JobDocument stakeouts;
};

class Rw5Reader {
public:
    Rw5Reader(const RawInput& input, JobParts& parts) : m_input(input), m_parts(parts), m_lines(input.text()) {}

    void read() {
        while (m_lines.next()) line(m_lines.line());
        flushShot();
        closeLevelRun();
        closeSetup();
        releaseWaiting(false);
        members();
    }

private:
    void line(std::string_view text) {
        if (text.empty()) return;
        if (startsWith(text, "--")) {
            noteLine(text.substr(2));
            m_sawLine = true;
            return;
        }
        m_sawLine = true;
        closeLevelRun();
        if (!isRecord(text)) {
            flushShot();
            m_input.warn(m_lines, "a line that is no RW5 record is skipped");
            return;
        }
        split(text);
        const std::string_view type = text.substr(0, 2);
        if (type == "SP") return storedPoint();
        flushShot();
        if (type == "JB") return jobRecord();
        if (type == "MO") return modeRecord();
        if (type == "OC") return occupy();
        if (type == "LS") return heights();
        if (type == "BK") return backsight();
        if (type == "BD" || type == "BR" || type == "RB") return backsightObservation();
        if (type == "FD" || type == "FR" || type == "OB" || type == "SS") return observation();
        if (type == "RS") return resection();
        if (type == "OF") {
            m_input.warn(m_lines, "an offset record (OF) is skipped: a job holds no offset measurements");
            return;
        }
        m_input.warn(m_lines, "an unknown record " + std::string(type) + " is skipped");
    }

    // ---- fields

    void split(std::string_view line) {
        m_fields.clear();
        m_hasNote = false;
        std::size_t at = 2;
        while (at < line.size()) {
            const std::size_t start = at + 1;
            if (line.compare(start, 2, "--") == 0) {
                // The note is the last field and may hold commas.
                m_hasNote = true;
                m_note = {line.substr(start + 2), m_lines.offset() + start + 2};
                return;
            }
            std::size_t end = line.find(',', start);
            if (end == std::string_view::npos) end = line.size();
            if (end - start < 2) m_input.malformed(m_lines, start, "a field cut short: no two-letter tag");
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

    [[noreturn]] void cutShort(const char* tag) const {
        m_input.malformed(m_lines, m_lines.line().size(), std::string("record cut short: no ") + tag + " field");
    }

    const Field& required(const char* tag) const {
        const Field* field = find(tag);
        if (field == nullptr) cutShort(tag);
        return *field;
    }

    Value text(const Field& field) const { return {field.value, m_lines.offset() + field.column}; }

    // A number field; blanks around the number (some collectors write "EL 250.000") are not
    // part of it.
    Value number(const Field& field) const {
        std::string_view value = field.value;
        std::size_t column = field.column;
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1), ++column;
        while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
        if (value.empty()) {
            m_input.malformed(m_lines, field.column, "the " + std::string(field.tag) + " field has no value");
        }
        if (!isDecimal(value)) {
            m_input.malformed(
                m_lines, column,
                "expected a number after " + std::string(field.tag) + ", found \"" + std::string(field.value) + "\"");
        }
        return {value, m_lines.offset() + column};
    }

    Value number(const char* tag) const { return number(required(tag)); }

    // The measurement fields of an observation from field `first` on: AR/AL (horizontal angle),
    // ZE (zenith), SD (slope distance), CE (height difference), HD (horizontal distance); in RB
    // mode a backsight also carries its target height (HR), which the "LS" record gives too.
    Measurement measurement(std::size_t first) const {
        const Field* h = nullptr;
        const Field* z = nullptr;
        const Field* s = nullptr;
        const Field* ce = nullptr;
        const Field* hd = nullptr;
        bool left = false;
        for (std::size_t i = first; i < m_fields.size(); ++i) {
            const Field& field = m_fields[i];
            if (field.tag == "AR" || field.tag == "AL") {
                h = &field;
                left = field.tag == "AL";
            } else if (field.tag == "ZE") {
                z = &field;
            } else if (field.tag == "SD") {
                s = &field;
            } else if (field.tag == "CE") {
                ce = &field;
            } else if (field.tag == "HD") {
                hd = &field;
            } else if (field.tag != "HR") {
                m_input.malformed(m_lines, field.column - 2,
                                  "unexpected field " + std::string(field.tag) + " in an observation");
            }
        }
        const auto valued = [](const Field* f) { return f != nullptr && !f->value.empty(); };
        Measurement m;
        m.left = left;
        if (valued(h) && valued(ce) && valued(hd) && z == nullptr && s == nullptr) {
            m.key = "hd";
            m.values[0] = number(*h), m.values[1] = number(*hd), m.values[2] = number(*ce), m.count = 3;
        } else if (valued(h) && valued(z) && valued(s) && ce == nullptr && hd == nullptr) {
            m.key = "sd";
            m.values[0] = number(*h), m.values[1] = number(*z), m.values[2] = number(*s), m.count = 3;
        } else if (valued(h) && valued(z) && !valued(s) && ce == nullptr && hd == nullptr) {
            // RB mode writes a bare SD after the angles.
            m.key = "angles";
            m.values[0] = number(*h), m.values[1] = number(*z), m.count = 2;
        } else if (valued(h) && !valued(z) && !valued(s) && ce == nullptr && hd == nullptr) {
            m.key = "hz";
            m.values[0] = number(*h), m.count = 1;
        } else if (!valued(h) && !valued(z) && valued(s) && ce == nullptr && hd == nullptr) {
            // RB mode writes bare AR and ZE ahead of the distance.
            m.key = "dist";
            m.left = false;
            m.values[0] = number(*s), m.count = 1;
        } else {
            const std::size_t column = first < m_fields.size() ? m_fields[first].column - 2 : m_lines.line().size();
            m_input.malformed(m_lines, column, "the measurement fields make no measurement");
        }
        return m;
    }

    // ---- writing values

    // A number; what the job reader finds wrong with it is reported at the start of the list
    // or member that holds it (a mark per number would double the document's bookkeeping).
    static void decimal(JobDocument& doc, const Value& value) { static_cast<void>(doc.decimal(value.text)); }

    // The horizontal angle: one to the left is negative, and one written as zero stays to the
    // left by the smallest step, so that it is written as "AL" again. The writer brings an angle
    // into the circle before it rounds it, so one a hair below the full circle is written as the
    // full circle; it is read as that hair below, which reads back as the same text.
    void horizontalAngle(JobDocument& doc, const Value& value, bool left) {
        std::string_view digits = value.text;
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
        bool zero = true;
        for (const char c : digits) zero = zero && (c == '0' || c == '.');
        m_scratch.assign(left != negative ? "-" : "");
        if (fullCircle(digits)) {
            m_scratch += m_gons ? "399.9999999999" : "359.5959999999";
        } else if (left && zero) {
            m_scratch += "0.000000001";
        } else {
            m_scratch += digits;
        }
        static_cast<void>(doc.decimal(m_scratch));
    }

    bool fullCircle(std::string_view digits) const {
        const std::string_view circle = m_gons ? "400" : "360";
        if (!startsWith(digits, circle)) return false;
        const std::string_view fraction = digits.substr(circle.size());
        if (fraction.empty()) return true;
        if (fraction[0] != '.') return false;
        for (const char c : fraction.substr(1)) {
            if (c != '0') return false;
        }
        return true;
    }

    void writeMeasurement(JobDocument& doc, const Measurement& m) {
        doc.from(m.values[0].offset);
        doc.key(m.key).beginArray();
        const bool angleFirst = std::string_view(m.key) != "dist";
        for (int i = 0; i < m.count; ++i) {
            if (i == 0 && angleFirst) {
                horizontalAngle(doc, m.values[0], m.left);
            } else {
                decimal(doc, m.values[i]);
            }
        }
        doc.endArray();
    }

    void writeText(JobDocument& doc, const char* key, const Value& value) {
        doc.from(value.offset);
        doc.key(key).text(value.text);
    }

    void writeCoords(JobDocument& doc, const Value* coords) {
        doc.from(coords[0].offset);
        doc.key("coords").beginArray();
        for (int i = 0; i < 3; ++i) decimal(doc, coords[i]);
        doc.endArray();
    }

    // The code field of an observation: each code is its name, a blank and its first control
    // code, then a blank and the second control code when there is one, codes one blank apart.
    // The blanks are read as that grammar: pairs of name and control code, one code taking a
    // second control code when the count is odd. Whatever the split, the codes give the same
    // text again.
    void writeCodes(JobDocument& doc, std::string_view text) {
        if (text.empty()) return;
        m_tokens.clear();
        for (std::size_t at = 0;;) {
            const std::size_t blank = text.find(' ', at);
            m_tokens.push_back(text.substr(at, blank == std::string_view::npos ? std::string_view::npos : blank - at));
            if (blank == std::string_view::npos) break;
            at = blank + 1;
        }
        const std::size_t n = m_tokens.size();
        if (n == 2 && m_tokens[1].empty()) {
            // One code without control codes, the most common: the job's short form.
            doc.key("code").text(m_tokens[0]);
            return;
        }
        doc.key("codes").beginArray();
        if (n == 1) {
            writeCode(doc, m_tokens[0], {}, {});
        } else if (n % 2 == 0) {
            for (std::size_t i = 0; i < n; i += 2) writeCode(doc, m_tokens[i], m_tokens[i + 1], {});
        } else if (!m_tokens[n - 1].empty()) {
            for (std::size_t i = 0; i + 3 < n; i += 2) writeCode(doc, m_tokens[i], m_tokens[i + 1], {});
            writeCode(doc, m_tokens[n - 3], m_tokens[n - 2], m_tokens[n - 1]);
        } else {
            // No code can take the last blank's empty text as its second control code: one
            // code whose control code holds the blanks.
            const std::size_t blank = text.find(' ');
            writeCode(doc, text.substr(0, blank), text.substr(blank + 1), {});
        }
        doc.endArray();
    }

    static void writeCode(JobDocument& doc, std::string_view name, std::string_view first, std::string_view second) {
        doc.beginObject();
        doc.key("code").text(name);
        if (!first.empty() || !second.empty()) {
            doc.key("control").beginArray();
            doc.text(first);
            if (!second.empty()) doc.text(second);
            doc.endArray();
        }
        doc.endObject();
    }

    // ---- header records

    void noteLine(std::string_view text) {
        const std::size_t offset = m_lines.offset() + 2;
        if (!m_sawLine) {
            // The header's first line: the program and its version.
            const std::size_t version = text.rfind(" Version ");
            m_application = {text.substr(0, version), offset};
            m_version = {version == std::string_view::npos ? std::string_view() : text.substr(version + 9),
                         offset + (version == std::string_view::npos ? text.size() : version + 9)};
            m_hasApplication = true;
            return;
        }
        if (text.empty()) {
            // The writer writes no empty note line.
            flushShot();
            m_input.warn(m_lines, "an empty note line is skipped");
            return;
        }
        if (levelRunHead(text, offset)) return;
        if (m_runOpen) {
            if (levelReading(text, offset)) return;
            closeLevelRun();
        }
        if (m_shotPending && !m_shot.hasNote) {
            m_shot.note = {text, offset};
            m_shot.hasNote = true;
            return;
        }
        flushShot();
        if (m_setup.open && !m_setup.occupied && !m_setup.resection.empty() && worstResidual(text, offset)) return;
        m_input.warn(m_lines, "a note that belongs to no observation is skipped");
    }

    // The worst residuals of a resection as the instrument recorded them: read back as recorded,
    // so that they are written with the same digits rather than worked out again from the
    // rounded observations.
    bool worstResidual(std::string_view text, std::size_t offset) {
        static constexpr std::string_view kLabels[] = {
            "Horizontal Angle Worst Residual: ", "Zenith Angle Worst Residual: ", "Slope Distance Worst Residual: "};
        for (int i = 0; i < 3; ++i) {
            if (!startsWith(text, kLabels[i])) continue;
            const std::string_view value = text.substr(kLabels[i].size());
            if (!isDecimal(value)) return false;
            m_setup.worst[i] = {value, offset + kLabels[i].size()};
            m_setup.hasWorst[i] = true;
            return true;
        }
        return false;
    }

    void jobRecord() {
        if (const Field* name = find("NM")) {
            m_jobName = text(*name);
            m_hasJobName = true;
        }
        if (const Field* date = find("DT")) {
            // Month-day-year in the file, day/month/year in the job.
            const std::string_view d = date->value;
            const bool valid = d.size() == 10 && d[2] == '-' && d[5] == '-' && isDigit(d[0]) && isDigit(d[1]) &&
                               isDigit(d[3]) && isDigit(d[4]) && isDigit(d[6]) && isDigit(d[7]) && isDigit(d[8]) &&
                               isDigit(d[9]);
            if (!valid) m_input.malformed(m_lines, date->column, "expected a date MM-DD-YYYY");
            m_created = withoutLeadingZero(d.substr(3, 2)) + "/" + withoutLeadingZero(d.substr(0, 2)) + "/" +
                        std::string(d.substr(6));
            m_createdOffset = m_lines.offset() + date->column;
            m_hasCreated = true;
        }
        if (const Field* time = find("TM")) {
            const std::string_view t = time->value;
            const bool valid = t.size() == 8 && t[2] == ':' && t[5] == ':' && isDigit(t[0]) && isDigit(t[1]) &&
                               isDigit(t[3]) && isDigit(t[4]) && isDigit(t[6]) && isDigit(t[7]);
            if (!valid) m_input.malformed(m_lines, time->column, "expected a time hh:mm:ss");
            m_time = withoutLeadingZero(t.substr(0, 2)) + std::string(t.substr(2));
            m_hasTime = true;
        }
    }

    static std::string withoutLeadingZero(std::string_view digits) {
        return std::string(digits[0] == '0' ? digits.substr(1) : digits);
    }

    void modeRecord() {
        if (const Field* unit = find("UN")) {
            if (unit->value != "0" && unit->value != "1" && unit->value != "2") {
                m_input.malformed(m_lines, unit->column, "expected the distance unit 0, 1 or 2");
            }
            m_distance = unit->value == "1" ? "metres" : unit->value == "0" ? "internationalFeet" : "usSurveyFeet";
        }
        if (const Field* angle = find("AU")) {
            if (angle->value != "0" && angle->value != "1") {
                m_input.malformed(m_lines, angle->column, "expected the angle unit 0 or 1");
            }
            m_gons = angle->value == "1";
        }
    }

    // ---- points

    // A stored point: ahead of the set-ups a known point; after the observation of the same
    // name with a "Stake" note, the point that observation staked out.
    void storedPoint() {
        const Value name = text(required("PN"));
        const Value coords[3] = {number("N "), number("E "), number("EL")};
        const Value note = m_hasNote ? m_note : Value{{}, m_lines.offset() + m_lines.line().size()};
        if (m_shotPending && stakeOut(name, coords, note)) return;
        flushShot();
        const auto [known, added] =
            m_points.try_emplace(name.text, PointCoords{coords[0].text, coords[1].text, coords[2].text});
        if (!added) {
            const PointCoords& first = known->second;
            if (first.n != coords[0].text || first.e != coords[1].text || first.h != coords[2].text) {
                m_input.warn(m_lines, "point \"" + std::string(name.text) +
                                          "\" is stored again with other coordinates and is skipped");
            }
            return;
        }
        JobDocument& doc = m_parts.points;
        doc.from(m_lines.offset());
        doc.beginObject();
        writeText(doc, "name", name);
        writeCoords(doc, coords);
        pointNote(doc, note);
        doc.endObject();
    }

    // A known point's note field is its code, a blank and its note, or either alone: the text
    // up to the first blank is the code when a note follows it, a text without blanks a code.
    void pointNote(JobDocument& doc, const Value& note) {
        const std::string_view text = note.text;
        if (text.empty()) return;
        const std::size_t blank = text.find(' ');
        doc.from(note.offset);
        if (blank == std::string_view::npos) {
            doc.key("code").text(text);
        } else if (blank > 0 && blank + 1 < text.size()) {
            doc.key("code").text(text.substr(0, blank));
            doc.from(note.offset + blank + 1);
            doc.key("note").text(text.substr(blank + 1));
        } else {
            doc.key("note").text(text);
        }
    }

    bool stakeOut(const Value& name, const Value* coords, const Value& note) {
        static constexpr std::string_view kStake = "Stake ";
        static constexpr std::string_view kDelta = ": dN ";
        if (m_shot.hasNote || std::string_view(m_shot.measurement.key) != "sd" || name.text != m_shot.to.text ||
            !startsWith(note.text, kStake)) {
            return false;
        }
        const std::size_t delta = note.text.rfind(kDelta);
        if (delta == std::string_view::npos || delta <= kStake.size()) return false;
        const Value design{note.text.substr(kStake.size(), delta - kStake.size()), note.offset + kStake.size()};
        if (!known(design.text)) return false;
        JobDocument& doc = m_setup.stakeouts;
        doc.from(m_shot.offset);
        doc.beginObject();
        writeText(doc, "design", design);
        writeText(doc, "to", m_shot.to);
        writeMeasurement(doc, m_shot.measurement);
        if (m_shot.hasHr) {
            doc.key("hr");
            decimal(doc, m_shot.hr);
        }
        stakeCode(doc);
        writeCoords(doc, coords);
        stakeDifferences(doc, note, delta + kDelta.size());
        doc.endObject();
        m_shotPending = false;
        return true;
    }

    // "dN X dE Y dH Z" as the instrument recorded them (staked minus design), so that they are
    // written with the same digits rather than worked out again from rounded coordinates.
    void stakeDifferences(JobDocument& doc, const Value& note, std::size_t at) {
        const std::string_view text = note.text.substr(at);
        const std::size_t east = text.find(" dE ");
        const std::size_t height = text.find(" dH ");
        if (east == std::string_view::npos || height == std::string_view::npos || height < east) return;
        const std::string_view values[3] = {text.substr(0, east), text.substr(east + 4, height - east - 4),
                                            text.substr(height + 4)};
        for (const std::string_view value : values) {
            if (!isDecimal(value)) return;
        }
        doc.from(note.offset + at);
        doc.key("differences").beginArray();
        for (const std::string_view value : values) static_cast<void>(doc.decimal(value));
        doc.endArray();
    }

    // A stake-out carries one code, written as its name and a blank.
    void stakeCode(JobDocument& doc) {
        const std::string_view codes = m_shot.codes;
        if (codes.empty()) return;
        const std::size_t blank = codes.find(' ');
        if (blank + 1 != codes.size()) {
            m_input.warn(m_lines, "a stake-out carries one code without control codes: \"" + std::string(codes) +
                                      "\" is read as the code \"" + std::string(codes.substr(0, blank)) + "\"");
        }
        doc.from(m_shot.codesOffset);
        doc.key("code").text(codes.substr(0, blank));
    }

    // ---- set-ups

    // A point a set-up may name: a stored point or the station of an earlier set-up.
    bool known(std::string_view name) const { return m_points.count(name) != 0 || m_stations.count(name) != 0; }

    void openSetup() {
        closeSetup();
        m_setup.open = true;
        m_setup.offset = m_lines.offset();
    }

    void occupy() {
        if (!m_setup.open || m_setup.occupied) openSetup();
        m_setup.occupied = true;
        m_setup.offset = m_lines.offset();
        m_setup.station = text(required("OP"));
        for (int i = 0; i < 3; ++i) m_setup.coords[i] = number(i == 0 ? "N " : i == 1 ? "E " : "EL");
        const auto known = m_points.find(m_setup.station.text);
        // A known point is named alone, so that the set-up takes the point's own coordinates.
        m_setup.knownStation = known != m_points.end() && known->second.n == m_setup.coords[0].text &&
                               known->second.e == m_setup.coords[1].text && known->second.h == m_setup.coords[2].text;
        m_setup.note = m_hasNote ? m_note : Value{};
        m_stations.insert(m_setup.station.text);
    }

    // The set-up's object and its station, written when its first observation or its end
    // comes: a set-up without sights waits for the next one to tell its instrument height.
    void writeHead() {
        if (m_setup.headWritten) return;
        m_setup.headWritten = true;
        JobDocument& doc = m_parts.setups;
        doc.from(m_setup.offset);
        doc.beginObject();
        writeText(doc, "station", m_setup.station);
        if (!m_setup.knownStation) writeCoords(doc, m_setup.coords);
        if (!m_setup.note.text.empty()) writeText(doc, "note", m_setup.note);
    }

    // The instrument height is written with the first sight after an occupy that changed it,
    // and the target height whenever it changes: each sight takes the heights last written.
    void heights() {
        if (const Field* hi = find("HI")) {
            if (m_hasWaiting && m_setup.occupied && !m_setup.hasHi && !m_setup.sighted) {
                releaseWaiting(heightsForced(number(*hi), find("HR")));
            }
            m_hi = number(*hi);
            m_hasHiValue = true;
            if (m_setup.occupied && !m_setup.hasHi) {
                m_setup.hi = m_hi;
                m_setup.hasHi = true;
            }
        }
        if (const Field* hr = find("HR")) {
            m_hr = number(*hr);
            m_hasHrValue = true;
        }
    }

    bool inSetup(const char* what) {
        if (m_setup.occupied) return true;
        m_input.warn(m_lines, std::string(what) + " before any station record is skipped");
        return false;
    }

    void sighted() {
        // A sight without heights ahead of it: the instrument height did not change.
        m_setup.sighted = true;
        releaseWaiting(false);
        if (m_setup.hasFirstHr || !m_hasHrValue) return;
        m_setup.firstHr = m_hr;
        m_setup.hasFirstHr = true;
    }

    // The backsight: a point, or "0" for a bearing. The azimuth (BS) of a point comes from the
    // coordinates and is derived again; the circle reading (BC) is the job's.
    void backsight() {
        if (!inSetup("a backsight")) return;
        BacksightRecord& bs = m_setup.backsight;
        bs = BacksightRecord();
        bs.given = true;
        bs.offset = m_lines.offset();
        required("OP");
        bs.point = text(required("BP"));
        // A point the file gives no coordinates for cannot orient a job: its azimuth (BS) is
        // kept as a bearing.
        bs.unknownPoint = !known(bs.point.text);
        bs.bearing = bs.point.text == "0" || bs.unknownPoint;
        if (bs.unknownPoint && bs.point.text != "0") {
            m_input.warn(m_lines, "the backsight point \"" + std::string(bs.point.text) +
                                      "\" has no coordinates in the file: read as a bearing");
        }
        bs.azimuth = number("BS");
        bs.circle = number("BC");
        bs.hr = m_hr;
        bs.hasHr = m_hasHrValue;
        sighted();
    }

    // The measurement to the backsight point follows its record; it makes a "BP0" a point.
    void backsightObservation() {
        if (!inSetup("a backsight observation")) return;
        BacksightRecord& bs = m_setup.backsight;
        if (!bs.given || bs.measured) {
            m_input.warn(m_lines, "a backsight observation without its backsight record is skipped");
            return;
        }
        if (bs.unknownPoint) return;  // a bearing now
        required("OP");
        const Value point = text(required("BP"));
        const Measurement m = measurement(2);
        if (point.text != bs.point.text) {
            m_input.warn(m_lines, "a backsight observation to another point than the backsight is skipped");
            return;
        }
        if (m.key != std::string_view("sd") && m.key != std::string_view("hd") && m.key != std::string_view("angles")) {
            m_input.warn(m_lines, std::string("a backsight measured by ") + m.key + " is read without its measurement");
            bs.bearing = false;
            return;
        }
        bs.measured = true;
        bs.bearing = false;
        bs.measurement = m;
    }

    void observation() {
        if (!inSetup("an observation")) return;
        if (m_fields.size() < 2 || m_fields[0].tag != "OP" || (m_fields[1].tag != "FP" && m_fields[1].tag != "BP")) {
            m_input.malformed(m_lines, 2, "expected the station (OP) and the target (FP)");
        }
        m_shot = Shot();
        m_shot.offset = m_lines.offset();
        m_shot.to = text(m_fields[1]);
        m_shot.measurement = measurement(2);
        m_shot.hr = m_hr;
        m_shot.hasHr = m_hasHrValue;
        if (m_hasNote) {
            m_shot.codes = m_note.text;
            m_shot.codesOffset = m_note.offset;
        }
        m_shotPending = true;
        sighted();
    }

    void flushShot() {
        if (!m_shotPending) return;
        m_shotPending = false;
        writeHead();
        JobDocument& doc = m_parts.setups;
        if (!m_setup.shotsOpen) {
            doc.key("shots").beginArray();
            m_setup.shotsOpen = true;
        }
        doc.from(m_shot.to.offset);
        doc.beginObject();
        doc.key("to").text(m_shot.to.text);
        writeMeasurement(doc, m_shot.measurement);
        if (m_shot.hasHr) {
            doc.key("hr");
            decimal(doc, m_shot.hr);
        }
        writeCodes(doc, m_shot.codes);
        if (m_shot.hasNote) writeText(doc, "note", m_shot.note);
        doc.endObject();
    }

    // A resection observation: the point as named, the circle reading, and zenith and slope
    // distance (a job's resection is measured so).
    void resection() {
        if (!m_setup.open || m_setup.occupied) openSetup();
        ResectionSight sight;
        sight.to = text(required("PN"));
        if (!known(sight.to.text)) {
            m_input.warn(m_lines, "a resection observation to \"" + std::string(sight.to.text) +
                                      "\", a point without coordinates in the file, is skipped");
            return;
        }
        const Value circle = number("CR");
        const Field* zenith = find("ZE");
        const Field* slope = find("SD");
        if (zenith == nullptr || slope == nullptr) {
            m_input.warn(m_lines, "a resection observation without zenith and slope distance is skipped");
            return;
        }
        sight.measurement.key = "sd";
        sight.measurement.values[0] = circle;
        sight.measurement.values[1] = number(*zenith);
        sight.measurement.values[2] = number(*slope);
        sight.measurement.count = 3;
        m_setup.resection.push_back(sight);
    }

    // The set-up's object was opened by its occupy record and its observations written into it
    // as they came; what the later records completed (the heights, the backsight, the resection
    // and the stake-outs) closes it.
    void closeSetup() {
        flushShot();
        if (!m_setup.open) return;
        if (!m_setup.occupied) {
            m_input.warn(m_lines, "a resection without its station record is skipped");
            m_setup = SetupState();
            return;
        }
        releaseWaiting(false);
        if (!m_setup.sighted && !m_setup.hasHi) {
            m_waiting = std::move(m_setup);
            m_hasWaiting = true;
        } else {
            writeSetup(Height::read);
        }
        m_setup = SetupState();
    }

    // The instrument height of a set-up: as its "LS" record gave it, or, for a set-up without
    // sights, the last one written or another one.
    enum class Height { read, unchanged, changed };

    void writeSetup(Height height) {
        writeHead();
        JobDocument& doc = m_parts.setups;
        if (m_setup.shotsOpen) doc.endArray();
        doc.from(m_setup.hasHi ? m_setup.hi.offset : m_setup.offset);
        doc.key("hi");
        if (m_setup.hasHi) {
            decimal(doc, m_setup.hi);
        } else if (height == Height::changed || !m_hasHiValue) {
            doc.number(m_hasHiValue && isZero(m_hi.text) ? 1.0 : 0.0);
        } else {
            decimal(doc, m_hi);
        }
        writeBacksight(doc);
        writeResection(doc);
        if (m_setup.hasWorst[0] && m_setup.hasWorst[1] && m_setup.hasWorst[2]) {
            doc.from(m_setup.worst[0].offset);
            doc.key("worstResiduals").beginArray();
            for (const Value& value : m_setup.worst) decimal(doc, value);
            doc.endArray();
        }
        if (!m_setup.stakeouts.empty()) {
            doc.key("stakeouts").beginArray();
            doc.append(m_setup.stakeouts);
            doc.endArray();
        }
        doc.endObject();
    }

    // A set-up without sights writes no heights, so its instrument height is unknown. The
    // writer states the heights ahead of the next sight when the instrument height changed at
    // an occupy since the last "LS" record, or when the target height moved by a millimetre or
    // more: an "LS" record with the last instrument height and the same target height says
    // that the height changed in between (and back); otherwise it did not change.
    void releaseWaiting(bool changed) {
        if (!m_hasWaiting) return;
        m_hasWaiting = false;
        std::swap(m_setup, m_waiting);
        writeSetup(changed ? Height::changed : Height::unchanged);
        std::swap(m_setup, m_waiting);
        m_waiting = SetupState();
    }

    bool heightsForced(const Value& hi, const Field* hr) const {
        if (!m_hasHiValue || !m_hasHrValue || hr == nullptr || hr->value.empty()) return false;
        double previousHi = 0.0, nextHi = 0.0, previousHr = 0.0, nextHr = 0.0;
        if (!parse(m_hi.text, previousHi) || !parse(hi.text, nextHi) || !parse(m_hr.text, previousHr) ||
            !parse(hr->value, nextHr)) {
            return false;
        }
        const double moved = metres(previousHr) - metres(nextHr);
        return previousHi == nextHi && -0.001 < moved && moved < 0.001;
    }

    static bool parse(std::string_view text, double& value) {
        if (!text.empty() && text[0] == '+') text.remove_prefix(1);
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        return result.ec == std::errc() && result.ptr == text.data() + text.size() && std::isfinite(value);
    }

    double metres(double value) const {
        const std::string_view distance = m_distance;
        if (distance == "usSurveyFeet") return value * 1200.0 / 3937.0;
        if (distance == "internationalFeet") return value * 0.3048;
        return value;
    }

    static bool isZero(std::string_view digits) {
        for (const char c : digits) {
            if (c >= '1' && c <= '9') return false;
        }
        return true;
    }

    void writeBacksight(JobDocument& doc) {
        const BacksightRecord& bs = m_setup.backsight;
        if (!bs.given) return;
        doc.from(bs.offset);
        doc.key("backsight").beginObject();
        if (bs.bearing) {
            doc.key("bearing");
            decimal(doc, bs.azimuth);
        } else {
            writeText(doc, "point", bs.point);
        }
        doc.key("circle");
        decimal(doc, bs.circle);
        if (bs.hasHr) {
            doc.key("hr");
            decimal(doc, bs.hr);
        }
        if (bs.measured) writeMeasurement(doc, bs.measurement);
        doc.endObject();
    }

    // The target heights of a resection are not written; the set-up's first sight's is taken.
    void writeResection(JobDocument& doc) {
        if (m_setup.resection.empty()) return;
        const bool hasHr = m_setup.hasFirstHr || m_hasHrValue;
        const Value hr = m_setup.hasFirstHr ? m_setup.firstHr : m_hr;
        doc.key("resection").beginArray();
        for (const ResectionSight& sight : m_setup.resection) {
            doc.from(sight.to.offset);
            doc.beginObject();
            writeText(doc, "to", sight.to);
            writeMeasurement(doc, sight.measurement);
            if (hasHr) {
                doc.key("hr");
                decimal(doc, hr);
            }
            doc.endObject();
        }
        doc.endArray();
    }

    // ---- level runs

    // "Level run NAME[ DESCRIPTION]: start POINT EL HEIGHT": the height is the start point's.
    bool levelRunHead(std::string_view text, std::size_t offset) {
        static constexpr std::string_view kHead = "Level run ";
        static constexpr std::string_view kStart = ": start ";
        static constexpr std::string_view kHeight = " EL ";
        if (!startsWith(text, kHead)) return false;
        const std::size_t start = text.rfind(kStart);
        if (start == std::string_view::npos || start <= kHead.size()) return false;
        const std::size_t height = text.rfind(kHeight);
        if (height == std::string_view::npos || height <= start + kStart.size() ||
            !isDecimal(text.substr(height + kHeight.size()))) {
            return false;
        }
        const std::string_view title = text.substr(kHead.size(), start - kHead.size());
        const std::size_t blank = title.find(' ');
        // A run has a name. Its start is taken as written: whether it names a stored point is the
        // job's to say, since the point may be stored further on (the writer stores every known
        // point ahead of the set-ups, so a reading that depended on the order would change).
        const std::string_view from = text.substr(start + kStart.size(), height - start - kStart.size());
        if (blank == 0) return false;
        flushShot();
        closeLevelRun();
        JobDocument& doc = m_parts.levelRuns;
        doc.from(offset + kHead.size());
        doc.beginObject();
        doc.key("name").text(title.substr(0, blank));
        if (blank != std::string_view::npos) {
            doc.from(offset + kHead.size() + blank + 1);
            doc.key("description").text(title.substr(blank + 1));
        }
        doc.from(offset + start + kStart.size());
        doc.key("start").text(from);
        doc.key("readings").beginArray();
        m_runOpen = true;
        return true;
    }

    // "BS POINT rod ROD HI HEIGHT" or "FS POINT rod ROD EL HEIGHT": the heights are the run's
    // arithmetic and are derived again.
    bool levelReading(std::string_view text, std::size_t offset) {
        static constexpr std::string_view kRod = " rod ";
        const bool backsight = startsWith(text, "BS ");
        if (!backsight && !startsWith(text, "FS ")) return false;
        const std::size_t rod = text.rfind(kRod);
        if (rod == std::string_view::npos || rod <= 3) return false;
        const std::string_view tail = text.substr(rod + kRod.size());
        const std::size_t blank = tail.find(' ');
        if (blank == std::string_view::npos) return false;
        const std::string_view reading = tail.substr(0, blank);
        const std::string_view height = tail.substr(blank);
        if (!isDecimal(reading) || !startsWith(height, backsight ? " HI " : " EL ") || !isDecimal(height.substr(4))) {
            return false;
        }
        JobDocument& doc = m_parts.levelRuns;
        doc.from(offset + 3);
        doc.beginObject();
        doc.key("point").text(text.substr(3, rod - 3));
        doc.from(offset + rod + kRod.size());
        doc.key(backsight ? "bs" : "fs");
        static_cast<void>(doc.decimal(reading));
        // The height of collimation or the point's height as the level recorded it.
        doc.key(backsight ? "hi" : "elevation");
        static_cast<void>(doc.decimal(height.substr(4)));
        doc.endObject();
        return true;
    }

    void closeLevelRun() {
        if (!m_runOpen) return;
        m_runOpen = false;
        m_parts.levelRuns.endArray();
        m_parts.levelRuns.endObject();
    }

    // ---- the job's own members

    void members() {
        JobDocument& doc = m_parts.members;
        const char* angleIn = m_gons ? "gons" : "packedDms";
        unitsMembers(doc, m_distance, angleIn, m_gons ? "gons" : "degrees");
        if (!m_hasApplication && !m_hasJobName && !m_hasCreated) return;
        doc.key("job").beginObject();
        if (m_hasApplication) {
            writeText(doc, "application", m_application);
            writeText(doc, "version", m_version);
        }
        if (m_hasJobName) writeText(doc, "name", m_jobName);
        if (m_hasCreated) {
            doc.from(m_createdOffset);
            doc.key("created").beginObject();
            doc.member("date", m_created);
            if (m_hasTime) doc.member("time", m_time);
            doc.endObject();
        }
        doc.endObject();
    }

    const RawInput& m_input;
    JobParts& m_parts;
    RawLines m_lines;

    std::vector<Field> m_fields;
    Value m_note;
    bool m_hasNote = false;
    std::vector<std::string_view> m_tokens;
    std::string m_scratch;
    bool m_sawLine = false;

    Value m_application, m_version, m_jobName;
    bool m_hasApplication = false, m_hasJobName = false;
    std::string m_created, m_time;
    std::size_t m_createdOffset = 0;
    bool m_hasCreated = false, m_hasTime = false;
    const char* m_distance = "metres";
    bool m_gons = false;

    std::unordered_map<std::string_view, PointCoords> m_points;
    std::unordered_set<std::string_view> m_stations;
    Value m_hi, m_hr;
    bool m_hasHiValue = false, m_hasHrValue = false;
    SetupState m_setup;
    SetupState m_waiting;  // a set-up without sights, written once the next one tells its height
    bool m_hasWaiting = false;
    Shot m_shot;
    bool m_shotPending = false;
    bool m_runOpen = false;
};

}  // namespace

void readRw5(const RawInput& input, JobParts& parts) { Rw5Reader(input, parts).read(); }

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
