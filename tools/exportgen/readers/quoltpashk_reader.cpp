// The Quolt/Pashk keyword file read into the job builder.
//
// A file is its header (program line, JOB, INST, UNITS, SCALE, DATE, TEMP), then per set-up its
// STN line and note, the backsight (BKB, and for a backsight point its BS line and
// measurement), the resection (RES_OBS, each followed by its measurement), the sights (FS, SS)
// each followed by its measurement (SD, HD, HV), coordinates (XYZ), control codes (CTL) and
// note, further BKB lines that orient the sights after them, the stake-outs (sights whose last
// note reads "Stake <design>: dN .. dE .. dH .."), and last the level runs as the host's notes
// ("Level run ...", "BS ...", "FS ...").
//
// The format carries no coordinates of stations, backsight points or design points, and no
// target height of a resection sight: those stay absent, for the job's known points and
// placement to give. What a line states is recorded as it stands: a BKB's bearing and circle
// reading, a sight's XYZ, a stake-out's differences, the heights a level run's notes book.
//
// Two passes: the first reads the header (the records before the first station) and the level
// runs, which the job's header holds; the second reads the set-ups, each handed on as soon as
// the next station line begins.
#include "readers/quoltpashk_reader.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"

namespace exportgen {

using namespace orv::ie;

namespace {

constexpr std::size_t kKeywordWidth = 8;

enum class Record {
    unknown,
    job,
    inst,
    units,
    scale,
    date,
    temp,
    stn,
    bkb,
    bs,
    fs,
    ss,
    sd,
    hd,
    hv,
    offset,
    ptlOff,
    xyz,
    mlm,
    resObs,
    ctl,
    note
};

Record recordOf(std::string_view keyword) {
    struct Entry {
        std::string_view keyword;
        Record record;
    };
    static constexpr Entry kRecords[] = {
        {"JOB", Record::job},   {"INST", Record::inst}, {"UNITS", Record::units},    {"SCALE", Record::scale},
        {"DATE", Record::date}, {"TEMP", Record::temp}, {"STN", Record::stn},        {"BKB", Record::bkb},
        {"BS", Record::bs},     {"FS", Record::fs},     {"SS", Record::ss},          {"SD", Record::sd},
        {"HD", Record::hd},     {"HV", Record::hv},     {"OFFSET", Record::offset},  {"PTL_OFF", Record::ptlOff},
        {"XYZ", Record::xyz},   {"MLM", Record::mlm},   {"RES_OBS", Record::resObs}, {"CTL", Record::ctl},
        {"NOTE", Record::note},
    };
    for (const Entry& entry : kRecords) {
        if (entry.keyword == keyword) return entry.record;
    }
    return Record::unknown;
}

/// The header records, in the order they are applied (the units first: the others' figures are
/// in them); -1 for a record of a set-up.
constexpr Record kHeaderRecords[] = {Record::units, Record::job,  Record::inst,
                                     Record::scale, Record::date, Record::temp};
int headerSlot(Record record) {
    for (std::size_t i = 0; i < std::size(kHeaderRecords); ++i) {
        if (kHeaderRecords[i] == record) return static_cast<int>(i);
    }
    return -1;
}

/// A line split into its keyword field and its values: the keyword is the first eight columns
/// without their trailing blanks (a shorter line is all keyword), the values what follows.
struct Line {
    std::string_view keyword;
    std::string_view values;
    std::size_t valuesColumn = 0;
};

Line splitLine(std::string_view text) {
    Line line;
    const std::size_t width = text.size() < kKeywordWidth ? text.size() : kKeywordWidth;
    line.keyword = text.substr(0, width);
    while (!line.keyword.empty() && line.keyword.back() == ' ') line.keyword.remove_suffix(1);
    line.values = text.substr(width);
    line.valuesColumn = width;
    return line;
}

/// A value of the file and the byte offset of its first byte.
struct Value {
    std::string_view text;
    std::size_t offset = 0;

    /// The part `part` of this value's text, with its own offset.
    [[nodiscard]] Value part(std::string_view piece) const {
        return Value{piece, offset + static_cast<std::size_t>(piece.data() - text.data())};
    }
};

/// `text` cut at the first (or last) occurrence of `separator`: the part before it in
/// `before`, the part after in `after`; false when there is none.
bool cut(std::string_view text, std::string_view separator, std::string_view& before, std::string_view& after,
         bool last = false) {
    const std::size_t at = last ? text.rfind(separator) : text.find(separator);
    if (at == std::string_view::npos) return false;
    before = text.substr(0, at);
    after = text.substr(at + separator.size());
    return true;
}

/// `text` without a figure that ends it after `key` (" EL 100.5"): the figure in `figure`,
/// empty when there is none.
std::string_view withoutFigure(std::string_view text, std::string_view key, std::string_view& figure) {
    std::string_view before, after;
    figure = {};
    if (!cut(text, key, before, after, true) || !isDecimal(after)) return text;
    figure = after;
    return before;
}

// The host's notes: the differences of a staked point and the level runs. Our writer writes them
// for formats that have no records of their own for either.

struct StakeNote {
    std::string_view design, dN, dE, dH;
};

/// "Stake <design>: dN <n> dE <e> dH <h>".
bool parseStake(std::string_view note, StakeNote& stake) {
    constexpr std::string_view kHead = "Stake ";
    if (note.substr(0, kHead.size()) != kHead) return false;
    std::string_view rest;
    if (!cut(note.substr(kHead.size()), ": dN ", stake.design, rest, true)) return false;
    if (!cut(rest, " dE ", stake.dN, rest) || !cut(rest, " dH ", stake.dE, stake.dH)) return false;
    // A figure the writer did not know reads "unknown": the height difference of a point staked
    // in plan only, or all three of a point whose landing is unknown.
    const auto figure = [](std::string_view text) { return isDecimal(text) || text == kUnknownFigure; };
    return figure(stake.dN) && figure(stake.dE) && figure(stake.dH);
}

struct LevelHead {
    std::string_view name, description, start, elevation;  ///< elevation empty when not booked
};

/// "Level run <name>[ <description>]: start <point>[ EL <height>]".
bool parseLevelHead(std::string_view note, LevelHead& head) {
    constexpr std::string_view kHead = "Level run ";
    if (note.substr(0, kHead.size()) != kHead) return false;
    std::string_view title, rest;
    if (!cut(note.substr(kHead.size()), ": start ", title, rest, true)) return false;
    head.start = withoutFigure(rest, " EL ", head.elevation);
    if (!cut(title, " ", head.name, head.description)) {
        head.name = title;
        head.description = {};
    }
    return true;
}

struct LevelNote {
    bool backsight = false;
    std::string_view point, rod, height;  ///< height empty when not booked
};

/// "BS <point> rod <reading>[ HI <height>]" (the height of collimation) or
/// "FS <point> rod <reading>[ EL <height>]" (the point's height).
bool parseLevelReading(std::string_view note, LevelNote& reading) {
    if (note.substr(0, 3) == "BS ") {
        reading.backsight = true;
    } else if (note.substr(0, 3) == "FS ") {
        reading.backsight = false;
    } else {
        return false;
    }
    const std::string_view rest = withoutFigure(note.substr(3), reading.backsight ? " HI " : " EL ", reading.height);
    return cut(rest, " rod ", reading.point, reading.rod, true) && isDecimal(reading.rod);
}

/// Tells the level-run notes among a file's lines: a head, then the readings that follow it
/// directly.
class LevelNotes {
public:
    enum Kind { none, runHead, runReading };

    Kind next(Record record, std::string_view values, LevelHead& head, LevelNote& reading) {
        if (record == Record::note) {
            if (parseLevelHead(values, head)) {
                m_open = true;
                return runHead;
            }
            if (m_open && parseLevelReading(values, reading)) return runReading;
        }
        m_open = false;
        return none;
    }

private:
    bool m_open = false;
};

/// A backsight name that a generator made up for a backsight by bearing alone: "#BS" and a
/// number (or nothing at all).
bool generatedName(std::string_view name) {
    if (name.empty()) return true;
    if (name.substr(0, 3) != "#BS" || name.size() == 3) return false;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

/// What a measurement, coordinate, control-code or note line that follows belongs to.
// What the records after a station, sight or measurement belong to; otherFace: the second sight of
// a backsight, skipped with its measurement.
enum class Owner { none, setup, backsight, resection, sight, otherFace };

class QuoltPashkReader {
public:
    QuoltPashkReader(RawInput& input, JobBuilder& builder) : m_input(input), m_b(builder) {}

    void read() {
        readHeader();
        readSetups();
    }

private:
    // ---- values

    [[nodiscard]] Value valueAt(const RawLines& lines, std::string_view text, std::size_t column) const {
        return Value{text, lines.offset() + column};
    }

    [[nodiscard]] Place placeOf(const Value& value) const { return m_b.place(value.offset); }

    [[nodiscard]] COrvStringT text(TextKind kind, const Value& value) {
        return m_b.text(kind, value.text, placeOf(value));
    }

    /// The comma-separated values of a line, at most `N`; what a line holds beyond them is
    /// reported and not read.
    template <std::size_t N>
    std::size_t split(const RawLines& lines, const Line& line, std::array<Value, N>& values) const {
        std::string_view rest = line.values;
        std::size_t column = line.valuesColumn;
        std::size_t count = 0;
        while (true) {
            const std::size_t comma = rest.find(',');
            if (count == N) {
                static const char* const kOrdinals[] = {"st", "nd", "rd", "th"};
                m_input.warn(lines, std::string(line.keyword) + ": the values after the " + std::to_string(N) +
                                        kOrdinals[N < 4 ? N - 1 : 3] + " are not read");
                break;
            }
            values[count++] = valueAt(lines, rest.substr(0, comma), column);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
            column += comma + 1;
        }
        return count;
    }

    /// Requires `needed` values; a line with fewer is cut short.
    void require(const RawLines& lines, const Line& line, std::size_t count, std::size_t needed,
                 const char* missing) const {
        if (count >= needed) return;
        m_input.malformed(lines, lines.line().size(),
                          std::string(line.keyword) + ": the record is cut short: " + missing + " is missing");
    }

    /// A value that must be a number, as the file writes it.
    double number(const RawLines& lines, const Value& value, const Line& line, const char* what) const {
        double result = 0.0;
        if (parseDecimal(value.text, result)) return result;
        m_input.malformed(lines, value.offset - lines.offset(),
                          std::string(line.keyword) + ": " + what + " " + shownName(value.text) + " is not a number");
    }

    // An angle of the file's units in decimal degrees. Packed degrees, minutes and seconds with
    // 60 or more minutes or seconds are no angle.
    double angle(const RawLines& lines, const Value& value, const Line& line, const char* what) const {
        const double result = number(lines, value, line, what);
        if (m_b.inputUnits().angle == eDegMinSec && !isPackedDms(value.text)) {
            m_input.malformed(lines, value.offset - lines.offset(),
                              std::string(line.keyword) + ": " + what + " " + shownName(value.text) +
                                  " is no degrees, minutes and seconds: 60 minutes or seconds");
        }
        return m_b.angle(result);
    }

    // ---- the first pass: the header and the level runs

    struct HeldRun {
        Value head;
        std::vector<Value> readings;
    };

    void readHeader() {
        RawLines lines(m_input.text());
        LevelNotes levels;
        std::array<std::optional<RawLines>, std::size(kHeaderRecords)> found;
        // The level runs are the file's last lines, as the host writes them: a note that reads like
        // one of their notes among a set-up's records is that record's note.
        std::vector<HeldRun> runs;
        std::size_t levelStart = m_input.text().size();
        bool header = true;  // before the first station
        while (lines.next()) {
            if (lines.line().empty()) continue;
            const Line line = splitLine(lines.line());
            const Record kind = recordOf(line.keyword);
            LevelHead head;
            LevelNote reading;
            const Value note = valueAt(lines, line.values, line.valuesColumn);
            switch (levels.next(kind, line.values, head, reading)) {
                case LevelNotes::runHead:
                    if (runs.empty()) levelStart = lines.offset();
                    runs.push_back(HeldRun{note, {}});
                    continue;
                case LevelNotes::runReading:
                    runs.back().readings.push_back(note);
                    continue;
                case LevelNotes::none:
                    runs.clear();
                    levelStart = m_input.text().size();
                    break;
            }
            if (kind == Record::stn) header = false;
            if (!header) continue;
            if (kind == Record::unknown && lines.number() == 1) {
                m_programLine = programLine(lines);
                continue;
            }
            const int slot = headerSlot(kind);
            if (slot < 0) continue;
            if (found[static_cast<std::size_t>(slot)]) {
                m_input.warn(lines, std::string(line.keyword) + ": the record is given twice; the second is not read");
                continue;
            }
            found[static_cast<std::size_t>(slot)] = lines;
        }
        if (found[0]) {
            unitsLine(*found[0], splitLine(found[0]->line()));
        } else {
            noUnits();
        }
        if (m_programLine) {
            m_b.setApplication(text(TextKind::text, m_programName), text(TextKind::text, m_programVersion));
        }
        for (std::size_t i = 1; i < found.size(); ++i) {
            if (found[i]) headerRecord(kHeaderRecords[i], *found[i]);
        }
        for (const HeldRun& run : runs) levelRun(run);
        m_levelStart = levelStart;
        m_b.headerDone();
    }

    /// The program line: the program's name in the keyword field (or longer), then "v" and its
    /// version. Read at once: it is the first line. A name shorter than the field is padded
    /// with blanks, so its "v" stands right after the field. A longer name may hold a "v" of
    /// its own ("SurveyMaster Live Pro"): its version starts at the last "v" before a digit,
    /// or at the last "v" when no version starts with a digit.
    bool programLine(const RawLines& lines) {
        const std::string_view text = lines.line();
        if (text.size() <= kKeywordWidth) return false;
        std::size_t at = std::string_view::npos;
        if (text[kKeywordWidth] == 'v' && text[kKeywordWidth - 1] == ' ') {
            at = kKeywordWidth;
        } else {
            for (std::size_t i = text.size(); i-- > kKeywordWidth;) {
                if (text[i] != 'v') continue;
                if (at == std::string_view::npos) at = i;  // the last "v", failing a better one
                if (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
                    at = i;
                    break;
                }
            }
        }
        if (at == std::string_view::npos) return false;
        std::string_view name = text.substr(0, at);
        if (at == kKeywordWidth) {
            while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        }
        m_programName = valueAt(lines, name, 0);
        m_programVersion = valueAt(lines, text.substr(at + 1), at + 1);
        return true;
    }

    void headerRecord(Record kind, const RawLines& lines) {
        const Line line = splitLine(lines.line());
        switch (kind) {
            case Record::job: {
                std::array<Value, 3> values;
                const std::size_t count = split(lines, line, values);
                COrvStringT texts[3];
                for (std::size_t i = 0; i < count; ++i) texts[i] = text(TextKind::text, values[i]);
                m_b.setJobTexts(texts[0], texts[1], texts[2]);
                break;
            }
            case Record::inst:
                // The instrument's name whole, commas and all; the file holds no prism constant.
                m_b.setInstrument(text(TextKind::text, valueAt(lines, line.values, line.valuesColumn)), 0.0);
                break;
            case Record::scale: {
                std::array<Value, 3> values;
                require(lines, line, split(lines, line, values), 3, "the elevation");
                // The combined factor is worked out from the other two: it is checked, not kept.
                // Scale 1 at sea level is what a generator writes for a job without a scale.
                (void)number(lines, values[0], line, "combined scale factor");
                const double factor = number(lines, values[1], line, "grid scale factor");
                const double elevation = number(lines, values[2], line, "elevation");
                if (factor != 1.0 || elevation != 0.0) m_b.setScale(factor, m_b.length(elevation));
                break;
            }
            case Record::date: {
                std::array<Value, 2> values;
                const std::size_t count = split(lines, line, values);
                if (values[0].text.empty() && (count < 2 || values[1].text.empty())) break;  // no date
                // Day/month/year and hh:mm:ss, or the job's own texts.
                if (isImpossibleDate(values[0].text, '/', "dmy")) {
                    m_input.malformed(lines, values[0].offset - lines.offset(),
                                      "DATE: no such day: " + shownName(values[0].text) + " (day/month/year)");
                }
                if (count > 1 && isImpossibleTime(values[1].text)) {
                    m_input.malformed(lines, values[1].offset - lines.offset(),
                                      "DATE: no such time of day: " + shownName(values[1].text));
                }
                std::optional<COrvStringT> time;
                if (count > 1) time = text(TextKind::text, values[1]);
                m_b.setCreated(text(TextKind::text, values[0]), placeOf(values[0]), time,
                               placeOf(count > 1 ? values[1] : values[0]));
                break;
            }
            case Record::temp: {
                std::array<Value, 2> values;
                require(lines, line, split(lines, line, values), 2, "the pressure");
                const double temperature = number(lines, values[0], line, "temperature");
                const double pressure = number(lines, values[1], line, "pressure");
                // With no atmosphere to write, a generator writes the standard 20 degrees and a
                // pressure of 0, which no air has: both mean that the job had none. The file
                // does not say its units: the host's writers write Celsius and hPa.
                if (pressure == 0.0) {
                    if (temperature != 20.0) m_b.setTemperature(temperature, eCelsius);
                } else {
                    m_b.setTemperature(temperature, eCelsius);
                    m_b.setPressure(pressure, eHectoPascal);
                }
                break;
            }
            default:
                break;
        }
    }

    void unitsLine(const RawLines& lines, const Line& line) {
        std::array<Value, 2> values;
        require(lines, line, split(lines, line, values), 2, "the angle unit");
        const std::string_view distance = values[0].text, angle = values[1].text;
        if (distance != "M" && distance != "F") {
            m_input.malformed(lines, values[0].offset - lines.offset(),
                              "UNITS: distance unit " + shownName(distance) + " is neither M nor F");
        }
        if (angle != "D" && angle != "G" && angle != "M") {
            m_input.malformed(lines, values[1].offset - lines.offset(),
                              "UNITS: angle unit " + shownName(angle) + " is none of D, G and M");
        }
        // F is feet, and the file does not say which: US survey feet, unless --input-units
        // says international feet. D is degrees, written as packed degrees, minutes and seconds.
        FileUnits file;
        file.units.distance = distance == "F" ? eUSFeet : eMeters;
        file.units.angle = angle == "G" ? eGons : angle == "M" ? eMils : eDegMinSec;
        file.distanceStated = file.angleStated = true;
        file.feetOfEitherKind = distance == "F";
        file.place = m_b.place(lines.offset());
        applyUnits(file);
    }

    /// Without a UNITS line the figures are read in the format's first units, metres and
    /// degrees (unless --input-units states others), and the builder says so.
    void noUnits() {
        FileUnits file;
        file.units.distance = eMeters;
        file.units.angle = eDegMinSec;
        file.place = m_b.place(0);
        applyUnits(file);
    }

    // The job's units are those the values are read in, so that they are written again.
    void applyUnits(const FileUnits& file) {
        const InputUnits& units = m_b.setFileUnits(file);
        m_b.setUnits(units.distance, units.angle == eDegMinSec ? eDegrees : units.angle);
    }

    /// A level run from the host's notes; every height they book is recorded.
    void levelRun(const HeldRun& held) {
        LevelHead head;
        (void)parseLevelHead(held.head.text, head);
        LevelRun run;
        run.place = placeOf(held.head);
        run.name = text(TextKind::text, held.head.part(head.name));
        if (!head.description.empty()) run.description = text(TextKind::text, held.head.part(head.description));
        run.start = text(TextKind::name, held.head.part(head.start));
        double value = 0.0;
        if (parseDecimal(head.elevation, value)) run.startElevation = Figure::recorded(m_b.length(value));
        for (const Value& note : held.readings) {
            LevelNote parsed;
            (void)parseLevelReading(note.text, parsed);
            LevelReading reading;
            reading.place = placeOf(note);
            reading.backsight = parsed.backsight;
            reading.point = text(TextKind::name, note.part(parsed.point));
            (void)parseDecimal(parsed.rod, value);
            reading.rod = m_b.length(value);
            if (parseDecimal(parsed.height, value)) {
                (parsed.backsight ? reading.collimation : reading.elevation) = Figure::recorded(m_b.length(value));
            }
            run.readings.push_back(std::move(reading));
        }
        m_b.addLevelRun(std::move(run));
    }

    // ---- the second pass: the set-ups

    void readSetups() {
        RawLines lines(m_input.text());
        bool header = true;
        // The level runs, read by the first pass, end the file.
        while (lines.next() && lines.offset() < m_levelStart) {
            if (lines.line().empty()) continue;
            const Line line = splitLine(lines.line());
            const Record kind = recordOf(line.keyword);
            if (kind == Record::stn) header = false;
            if (header && (headerSlot(kind) >= 0 || (m_programLine && lines.number() == 1))) continue;
            record(lines, line, kind);
        }
        endSetup();
        m_input.passed(m_input.text().size());
    }

    void record(const RawLines& lines, const Line& line, Record kind) {
        switch (kind) {
            case Record::stn:
                station(lines, line);
                break;
            case Record::bkb:
                bearing(lines, line);
                break;
            case Record::bs:
                backsightSight(lines, line);
                break;
            case Record::fs:
            case Record::ss:
                sight(lines, line, kind == Record::fs);
                break;
            case Record::sd:
            case Record::hd:
            case Record::hv:
                measurement(lines, line, kind);
                break;
            case Record::xyz:
                coordinates(lines, line);
                break;
            case Record::resObs:
                resectionObservation(lines, line);
                break;
            case Record::ctl:
                controlCodes(lines, line);
                break;
            case Record::note:
                note(lines, line);
                break;
            case Record::offset:
            case Record::ptlOff:
            case Record::mlm:
                m_input.warn(lines, std::string(line.keyword) + ": the record has no place in the job and is not read");
                break;
            case Record::unknown:
                m_input.warn(lines, "an unknown record " + shownName(line.keyword) + " is not read");
                break;
            default:
                m_input.warn(lines,
                             std::string(line.keyword) + ": a header record after the first station is not read");
                break;
        }
    }

    bool inSetup(const RawLines& lines, const Line& line) const {
        if (m_open) return true;
        m_input.warn(lines, std::string(line.keyword) + ": a record before any station is not read");
        return false;
    }

    /// Nothing of the set-up is read yet but its station line and note.
    [[nodiscard]] bool fresh() const {
        return m_setup.backsight.kind == Backsight::Kind::none && m_setup.resection.empty() && m_setup.shots.empty() &&
               m_stakes.empty();
    }

    void station(const RawLines& lines, const Line& line) {
        endSetup();
        m_input.passed(lines.offset());
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 2, "the instrument height");
        const double hi = number(lines, values[1], line, "instrument height");
        m_setup = Setup();
        m_setup.place = m_b.place(lines.offset());
        m_setup.station = text(TextKind::name, values[0]);
        m_setup.hi = Figure::recorded(m_b.length(hi));
        if (count > 2 && !values[2].text.empty()) m_setup.code = text(TextKind::code, values[2]);
        m_open = true;
        m_owner = Owner::setup;
        m_reorienting = m_backsightSighted = false;
    }

    /// The set-up is complete: its last sight read, its stake-outs known, and it is handed on.
    void endSetup() {
        if (!m_open) return;
        flush();
        for (Stake& stake : m_stakes) {
            Stakeout stakeout;
            stakeout.design = text(TextKind::name, stake.design);
            stakeout.shot = std::move(stake.shot);
            stakeout.differences = stake.differences;
            m_setup.stakeouts.push_back(std::move(stakeout));
        }
        m_stakes.clear();
        m_open = false;
        m_b.addSetup(std::move(m_setup));
        m_setup = Setup();
    }

    // ---- orientation records

    [[nodiscard]] Backsight& currentBacksight() {
        return m_reorienting ? m_setup.reorientations.back() : m_setup.backsight;
    }

    /// BKB: the bearing of the backsight and the circle reading set on it. The set-up's first
    /// record after its station and note orients it; a later one orients the sights after it.
    void bearing(const RawLines& lines, const Line& line) {
        if (!inSetup(lines, line)) return;
        flush();
        std::array<Value, 3> values;
        require(lines, line, split(lines, line, values), 3, "the circle reading");
        const double azimuth = angle(lines, values[1], line, "bearing");
        const double circle = angle(lines, values[2], line, "circle reading");
        shotsFromStakes();
        Backsight backsight;
        backsight.place = m_b.place(lines.offset());
        backsight.azimuth = Figure::recorded(azimuth);
        backsight.circle = Figure::recorded(circle);
        m_bearingName = values[0];
        if (generatedName(values[0].text)) {
            // A backsight by bearing alone: the generator names it.
            backsight.kind = Backsight::Kind::bearing;
            backsight.bearingSight.setBsNameMode(1);
        } else {
            backsight.kind = Backsight::Kind::point;
            backsight.point = text(TextKind::name, values[0]);
            backsight.sight.setTargetName(backsight.point);
        }
        m_reorienting = !fresh();
        if (m_reorienting) {
            backsight.firstShot = m_setup.shots.size();
            m_setup.reorientations.push_back(std::move(backsight));
        } else {
            m_setup.backsight = std::move(backsight);
        }
        m_owner = Owner::backsight;
        m_backsightSighted = false;
    }

    /// BS: the backsight point sighted, with the target height; its measurement follows. After
    /// a BKB it is that backsight's point; at the start of a set-up, a backsight of its own
    /// whose bearing and circle reading the file does not give.
    void backsightSight(const RawLines& lines, const Line& line) {
        if (!inSetup(lines, line)) return;
        std::array<Value, 2> values;
        require(lines, line, split(lines, line, values), 2, "the target height");
        const double hr = number(lines, values[1], line, "target height");
        const bool afterBearing = m_owner == Owner::backsight && !m_backsightSighted;
        if (m_owner == Owner::backsight && m_backsightSighted && currentBacksight().measured &&
            (generatedName(values[0].text) || utf8(currentBacksight().point) == values[0].text)) {
            m_input.warn(lines,
                         "BS: a second sight of the backsight (its other face) is not read, nor its "
                         "measurement: a job holds one a backsight");
            m_owner = Owner::otherFace;
            return;
        }
        if (!afterBearing) {
            flush();
            if (!fresh()) {
                m_input.warn(lines, "BS: a backsight sight that follows no BKB record is not read");
                return;
            }
            m_reorienting = false;
        } else if (values[0].text != m_bearingName.text && !generatedName(m_bearingName.text)) {
            m_input.warn(lines, "BS: the backsight sighted is " + shownName(values[0].text) +
                                    ", the BKB before it names " + shownName(m_bearingName.text) +
                                    "; the backsight is read as the one sighted");
        }
        Backsight& backsight = currentBacksight();
        if (afterBearing && backsight.kind == Backsight::Kind::bearing && generatedName(values[0].text)) {
            // The sight of a backsight by bearing alone, under the name the generator made for
            // it: its target height and measurement, and still no point.
            backsight.hr = Figure::recorded(m_b.length(hr));
            m_owner = Owner::backsight;
            m_backsightSighted = true;
            return;
        }
        if (!afterBearing) backsight.place = m_b.place(lines.offset());
        backsight.kind = Backsight::Kind::point;
        backsight.point = text(TextKind::name, values[0]);
        backsight.sight.setTargetName(backsight.point);
        backsight.bearingSight = DexTSRawBkb();
        backsight.hr = Figure::recorded(m_b.length(hr));
        m_owner = Owner::backsight;
        m_backsightSighted = true;
    }

    // ---- sights

    void resectionObservation(const RawLines& lines, const Line& line) {
        if (!inSetup(lines, line)) return;
        flush();
        std::array<Value, 3> values;
        require(lines, line, split(lines, line, values), 3, "the observation's number");
        // The slope distance again and the observation's number: the measurement that follows
        // holds the one, the order of the observations the other.
        (void)number(lines, values[1], line, "distance");
        (void)number(lines, values[2], line, "observation number");
        m_resection = Observation();
        m_resection.place = m_b.place(lines.offset());
        m_resection.sight.setTargetName(text(TextKind::name, values[0]));
        m_resection.sight.setKind(eSightSideShot);
        m_resectionAt = lines;
        m_owner = Owner::resection;
    }

    void sight(const RawLines& lines, const Line& line, bool foresight) {
        if (!inSetup(lines, line)) return;
        flush();
        std::array<Value, 4> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 2, "the target height");
        const double hr = number(lines, values[1], line, "target height");
        if (count > 3 && !values[3].text.empty()) {
            m_input.warn(
                lines, std::string(line.keyword) + ": the text after the code has no place in the job and is not read");
        }
        m_sight = Sight();
        Observation& shot = m_sight.shot;
        shot.place = m_b.place(lines.offset());
        shot.sight.setTargetName(text(TextKind::name, values[0]));
        shot.sight.setKind(foresight ? eSightForesight : eSightSideShot);
        shot.hr = Figure::recorded(m_b.length(hr));
        if (count > 2 && !values[2].text.empty()) shot.code = text(TextKind::code, values[2]);
        m_owner = Owner::sight;
    }

    void measurement(const RawLines& lines, const Line& line, Record kind) {
        if (m_owner == Owner::otherFace) {
            m_owner = Owner::none;  // its sight's warning told of it
            return;
        }
        Backsight* backsight = m_owner == Owner::backsight && m_backsightSighted ? &currentBacksight() : nullptr;
        const bool free = (m_owner == Owner::sight && !m_sight.shot.measured()) ||
                          (m_owner == Owner::resection && !m_resection.measured()) ||
                          (backsight != nullptr && !backsight->measured);
        if (!free) {
            m_input.warn(lines, std::string(line.keyword) + ": a measurement that follows no sight is not read");
            return;
        }
        std::array<Value, 3> values;
        std::size_t count = 0;
        if (kind == Record::hv) {
            std::array<Value, 2> two;
            count = split(lines, line, two);
            values[0] = two[0];
            values[1] = two[1];
            require(lines, line, count, 2, "the zenith");
        } else {
            count = split(lines, line, values);
            require(lines, line, count, 3, "the third value");
        }
        DexTSRawMeasurement m;
        if (kind == Record::sd) {
            m = DexTSRawMeasurement(
                eKindAnglesAndSlopeDistance,
                {angle(lines, values[0], line, "horizontal angle"), angle(lines, values[1], line, "zenith"),
                 m_b.length(number(lines, values[2], line, "slope distance"))});
        } else if (kind == Record::hd) {
            m = DexTSRawMeasurement(eKindAngleAndHorizontalDistance,
                                    {angle(lines, values[0], line, "horizontal angle"),
                                     m_b.length(number(lines, values[1], line, "horizontal distance")),
                                     m_b.length(number(lines, values[2], line, "height difference"))});
        } else {
            m = DexTSRawMeasurement(eKindAnglesOnly, {angle(lines, values[0], line, "horizontal angle"),
                                                      angle(lines, values[1], line, "zenith")});
        }
        if (m_owner == Owner::sight) {
            m_sight.shot.sight.setMeasurement(m);
        } else if (m_owner == Owner::resection) {
            m_resection.sight.setMeasurement(m);
        } else {
            m.setBacksightTarget(true);
            backsight->measured = true;
            backsight->sight.setMeasurement(m);
            backsight->bearingSight.setMeasurement(m);
        }
    }

    void coordinates(const RawLines& lines, const Line& line) {
        if (m_owner != Owner::sight || m_sight.coordinates) {
            m_input.warn(lines, "XYZ: coordinates that follow no sight are not read");
            return;
        }
        std::array<Value, 3> values;
        require(lines, line, split(lines, line, values), 3, "the height");
        // x is the easting, y the northing.
        const double east = number(lines, values[0], line, "easting");
        const double north = number(lines, values[1], line, "northing");
        const double height = number(lines, values[2], line, "height");
        m_sight.shot.coords.set(m_b.point(north, east, height), Origin::recorded);
        m_sight.coordinates = true;
    }

    /// CTL: the two control codes of the sight's code and its first code string.
    void controlCodes(const RawLines& lines, const Line& line) {
        if (m_owner != Owner::sight || m_sight.control) {
            m_input.warn(lines, "CTL: control codes that follow no sight are not read");
            return;
        }
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        for (std::size_t i = 0; i < count; ++i) m_sight.controls[i] = text(TextKind::attribute, values[i]);
        m_sight.control = true;
    }

    void note(const RawLines& lines, const Line& line) {
        const Value value = valueAt(lines, line.values, line.valuesColumn);
        StakeNote stake;
        if (m_owner == Owner::sight && !m_sight.staked && parseStake(value.text, stake)) {
            // Where the sight landed against its design point, as the host's writer notes it.
            double dN = 0.0, dE = 0.0, dH = 0.0;
            const bool plan = parseDecimal(stake.dN, dN) && parseDecimal(stake.dE, dE);
            const bool height = parseDecimal(stake.dH, dH);
            m_sight.staked = true;
            m_sight.design = value.part(stake.design);
            m_sight.stakeNote = value;
            m_sight.stakeAt = lines;
            if (plan) m_sight.differences.set(m_b.point(dN, dE, dH), Origin::recorded, height);
            return;
        }
        if (m_owner == Owner::sight && !m_sight.noted && !m_sight.staked) {
            m_sight.shot.sight.setNote(text(TextKind::note, value));
            m_sight.noted = true;
            return;
        }
        if (m_owner == Owner::setup) {
            m_setup.note = text(TextKind::note, value);
            m_owner = Owner::none;
            return;
        }
        m_input.warn(lines, "a note that belongs to no record that carries one is not read");
    }

    /// The sight or resection observation being read is complete and joins its list.
    void flush() {
        if (m_owner == Owner::sight) {
            Observation& shot = m_sight.shot;
            const auto& c = m_sight.controls;
            if (!c[0].IsEmpty() || !c[1].IsEmpty() || !c[2].IsEmpty()) {
                DexCodeValues code;
                if (!shot.code.IsEmpty()) code.setDescription(DexCodeDescription(shot.code));
                code.setControlCode(eControlCode1, c[0]);
                code.setControlCode(eControlCode2, c[1]);
                if (!c[2].IsEmpty()) code.addCodeString(c[2]);
                shot.sight.codes.addCode(code);
            } else if (!shot.code.IsEmpty()) {
                shot.sight.codes.addCode(DexCodeValues(DexCodeDescription(shot.code)));
            }
            if (m_sight.staked) {
                m_stakes.push_back(
                    Stake{std::move(shot), m_sight.design, m_sight.stakeNote, m_sight.stakeAt, m_sight.differences});
            } else {
                shotsFromStakes();
                m_setup.shots.push_back(std::move(shot));
            }
        } else if (m_owner == Owner::resection) {
            if (m_resection.measured()) {
                m_setup.resection.push_back(std::move(m_resection));
            } else {
                m_input.warn(m_resectionAt, "RES_OBS: a resection observation without its measurement is not read");
            }
        }
        m_owner = Owner::none;
    }

    /// The host writes a set-up's stake-outs after its sights and orientation records: sights
    /// with a stake-out note that more sights or a BKB follow are sights, the note theirs.
    void shotsFromStakes() {
        for (Stake& stake : m_stakes) {
            if (stake.shot.sight.getNote().IsEmpty()) {
                stake.shot.sight.setNote(text(TextKind::note, stake.note));
            } else {
                m_input.warn(stake.at, "a note that belongs to no record that carries one is not read");
            }
            m_setup.shots.push_back(std::move(stake.shot));
        }
        m_stakes.clear();
    }

    RawInput& m_input;
    JobBuilder& m_b;

    bool m_programLine = false;
    std::size_t m_levelStart = 0;  ///< the offset of the level runs' first line
    Value m_programName, m_programVersion;

    // The set-up being read.
    bool m_open = false;
    Setup m_setup;
    Owner m_owner = Owner::none;
    bool m_reorienting = false;       ///< the last orientation record is a reorientation
    bool m_backsightSighted = false;  ///< it has its BS line
    Value m_bearingName;              ///< the name on its BKB line
    struct Sight {
        Observation shot;
        bool coordinates = false, control = false, noted = false, staked = false;
        std::array<COrvStringT, 3> controls;
        Value design, stakeNote;
        RawLines stakeAt{std::string_view()};
        Located differences;
    } m_sight;
    Observation m_resection;
    RawLines m_resectionAt{std::string_view()};
    struct Stake {
        Observation shot;
        Value design, note;
        RawLines at;
        Located differences;
    };
    std::vector<Stake> m_stakes;  ///< the set-up's last sights, while they have stake-out notes
};

}  // namespace

void buildQuoltPashk(RawInput& input, JobBuilder& builder) { QuoltPashkReader(input, builder).read(); }

bool looksLikeQuoltPashk(std::string_view head) {
    // Lines of keywords in their eight columns: the header's JOB, INST and UNITS, or records
    // of a set-up. Two such lines among the first ten, and none that starts a JSON text.
    RawLines lines(head);
    int keywords = 0;
    for (int i = 0; i < 10 && lines.next(); ++i) {
        const std::string_view text = lines.line();
        const std::size_t first = text.find_first_not_of(" \t");
        if (keywords == 0 && first != std::string_view::npos && (text[first] == '{' || text[first] == '[')) {
            return false;
        }
        if (text.size() < kKeywordWidth) continue;
        const Line line = splitLine(text);
        if (recordOf(line.keyword) == Record::unknown) continue;
        // The keyword field is the keyword and blanks.
        if (text.substr(line.keyword.size(), kKeywordWidth - line.keyword.size()).find_first_not_of(' ') !=
            std::string_view::npos) {
            continue;
        }
        ++keywords;
    }
    return keywords >= 2;
}

}  // namespace exportgen
