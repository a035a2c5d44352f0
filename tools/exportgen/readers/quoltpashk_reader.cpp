// The Quolt/Pashk keyword file read back into a job document.
//
// A file is the header (program line, JOB, INST, UNITS, SCALE, DATE, TEMP), then per set-up
// its STN line and note, the backsight (BKB, and for a backsight point its BS line and
// measurement), the resection (RES_OBS and its slope distance), the sights (FS, SS) each
// followed by its measurement (SD, HD, HV), coordinates (XYZ), control codes (CTL) and note,
// the stake-outs (a sight whose last note reads "Stake <design>: dN .. dE .. dH .."), and last
// the level runs as notes ("Level run ...", "BS ...", "FS ...").
//
// The file carries no coordinates of stations and backsight points, and the job needs them to
// be known; of a backsight point the file records the bearing. So the reader places each
// station where the job's own figures put it (its free-station resection, a sight with
// coordinates, the backsight measurement, an earlier foresight) and turns it about its
// backsight point onto the recorded bearing; a point it cannot place goes along the bearing, or
// to the origin. A staked design point is where the staked point's coordinates less the
// differences of its note put it, a level point at the height its notes give. Writing the job
// again gives the file's records.
#include "readers/quoltpashk_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "contracts/text_services.h"
#include "job/geometry.h"

namespace exportgen {

namespace {

constexpr std::size_t kKeywordWidth = 8;
constexpr double kPi = 3.14159265358979323846;
/// How far a placed station stands from its backsight point, in the file's distance units.
constexpr double kPlacedDistance = 100.0;

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

/// The value of a decimal number (0 when it is none or out of range); the locale plays no part.
double valueOf(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return result.ec == std::errc() && std::isfinite(value) ? value : 0.0;
}

/// A double as a plain decimal that reads back as the same double.
std::string decimalText(double value) {
    if (!std::isfinite(value)) value = 0.0;
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
    return std::string(buffer.data(), result.ptr);
}

/// `a - b` of two decimal numbers, exact while both fit in 18 digits at the larger number of
/// decimals (as every figure of the format does), else as doubles.
std::string difference(std::string_view a, std::string_view b) {
    struct Fixed {
        bool negative = false;
        std::string_view whole, fraction;
    };
    const auto parse = [](std::string_view text) {
        Fixed fixed;
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            fixed.negative = text.front() == '-';
            text.remove_prefix(1);
        }
        const std::size_t point = text.find('.');
        fixed.whole = text.substr(0, point);
        if (point != std::string_view::npos) fixed.fraction = text.substr(point + 1);
        while (!fixed.whole.empty() && fixed.whole.front() == '0') fixed.whole.remove_prefix(1);
        return fixed;
    };
    const Fixed x = parse(a), y = parse(b);
    const std::size_t scale = x.fraction.size() > y.fraction.size() ? x.fraction.size() : y.fraction.size();
    if (x.whole.size() + scale > 17 || y.whole.size() + scale > 17) return decimalText(valueOf(a) - valueOf(b));
    const auto mantissa = [scale](const Fixed& f) {
        std::int64_t m = 0;
        for (const char c : f.whole) m = m * 10 + (c - '0');
        for (std::size_t i = 0; i < scale; ++i) m = m * 10 + (i < f.fraction.size() ? f.fraction[i] - '0' : 0);
        return f.negative ? -m : m;
    };
    const std::int64_t result = mantissa(x) - mantissa(y);
    const std::uint64_t magnitude = result < 0 ? static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(result)
                                               : static_cast<std::uint64_t>(result);
    std::string digits = std::to_string(magnitude);
    if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
    std::string text = result < 0 ? "-" : "";
    text += digits.substr(0, digits.size() - scale);
    if (scale > 0) {
        text += '.';
        text += digits.substr(digits.size() - scale);
    }
    return text;
}

/// A decimal of at most nine decimals in units of 1e-9, with half a unit of its last digit in
/// `half`; false for more decimals or a value beyond a billion.
bool nanounits(std::string_view text, std::int64_t& value, std::int64_t& half) {
    if (!isDecimal(text)) return false;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
    if (whole.size() > 9 || fraction.size() > 8) return false;
    std::int64_t units = 0;
    for (const char c : whole) units = units * 10 + (c - '0');
    for (std::size_t i = 0; i < 9; ++i) units = units * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    half = 5;
    for (std::size_t i = fraction.size(); i < 8; ++i) half *= 10;
    value = negative ? -units : units;
    return true;
}

/// Units of 1e-9 as a decimal without trailing zeros.
std::string nanounitText(std::int64_t value) {
    const std::uint64_t magnitude = value < 0 ? static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < 10) digits.insert(0, 10 - digits.size(), '0');
    std::string text = value < 0 ? "-" : "";
    text += digits.substr(0, digits.size() - 9);
    std::string fraction = digits.substr(digits.size() - 9);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

/// `text` cut at the first occurrence of `separator` after `from`: the part before it in
/// `before`, the part after in `after`; false when there is none.
bool cut(std::string_view text, std::string_view separator, std::string_view& before, std::string_view& after,
         bool last = false) {
    const std::size_t at = last ? text.rfind(separator) : text.find(separator);
    if (at == std::string_view::npos) return false;
    before = text.substr(0, at);
    after = text.substr(at + separator.size());
    return true;
}

// The host's notes: the differences of a staked point and the level runs.

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
    return isDecimal(stake.dN) && isDecimal(stake.dE) && isDecimal(stake.dH);
}

struct LevelHead {
    std::string_view name, description, start, elevation;
};

/// "Level run <name>[ <description>]: start <point> EL <height>".
bool parseLevelHead(std::string_view note, LevelHead& head) {
    constexpr std::string_view kHead = "Level run ";
    if (note.substr(0, kHead.size()) != kHead) return false;
    std::string_view title, rest;
    if (!cut(note.substr(kHead.size()), ": start ", title, rest, true)) return false;
    if (!cut(rest, " EL ", head.start, head.elevation, true) || !isDecimal(head.elevation)) return false;
    if (!cut(title, " ", head.name, head.description)) {
        head.name = title;
        head.description = {};
    }
    return true;
}

struct LevelNote {
    bool backsight = false;
    std::string_view point, rod, figure;
};

/// "BS <point> rod <reading> HI <height>" or "FS <point> rod <reading> EL <height>".
bool parseLevelReading(std::string_view note, LevelNote& reading) {
    if (note.substr(0, 3) == "BS ") {
        reading.backsight = true;
    } else if (note.substr(0, 3) == "FS ") {
        reading.backsight = false;
    } else {
        return false;
    }
    std::string_view rest;
    if (!cut(note.substr(3), reading.backsight ? " HI " : " EL ", rest, reading.figure, true)) return false;
    if (!cut(rest, " rod ", reading.point, reading.rod, true)) return false;
    return isDecimal(reading.rod) && isDecimal(reading.figure);
}

/// A value of the file and the byte it starts at.
struct Value {
    std::string_view text;
    std::size_t offset = 0;
};

/// A position as the job document gives it: the texts of northing, easting and height, and
/// the two plane values for placing stations.
struct Position {
    std::string n = "0", e = "0", h = "0";
    double north = 0.0, east = 0.0, up = 0.0;
    bool heightFree = false;  ///< a level run's start: its first run may choose the height within its note's
    bool planeFree = false;   ///< a level point: the first station of its name gives its northing and easting
};

struct Measurement {
    Record kind = Record::unknown;  ///< sd, hd, hv, or unknown for none
    Value values[3];
    std::size_t offset = 0;
};

struct Sight {
    bool foresight = false;
    Value name, hr, code;
    Measurement measurement;
    bool hasXyz = false;
    Value xyz[3];  ///< easting, northing, height
    bool hasControl = false;
    Value control[3];
    bool hasNote = false;
    Value note;
    bool staked = false;
    Value design;
    std::size_t offset = 0;
};

struct Backsight {
    bool present = false;
    Value name, azimuth, circle;
    bool hasSight = false;  ///< a BS line: a backsight point, not a bearing
    Value hr;
    Measurement measurement;
    std::size_t offset = 0;
};

struct Resection {
    Value name;
    Measurement measurement;
    std::size_t offset = 0;
    RawLines at{std::string_view()};
};

/// What a measurement, coordinate, control-code or note line that follows belongs to.
enum class Owner { none, setup, backsight, resection, sight };

class QuoltPashkReader {
public:
    QuoltPashkReader(const RawInput& input, JobParts& parts) : m_input(input), m_parts(parts) {}

    void read() {
        knownFromNotes();
        RawLines lines(m_input.text());
        while (lines.next()) record(lines);
        closeSetup();
        closeLevelRun();
        header();
        points();
    }

private:
    // ---- the points that the host's notes fix, before the records are read

    /// Level-run notes give the heights of their start points and of the points a backsight
    /// sees before any foresight of the run reached them; these must be known points before a
    /// set-up sights them. The coordinates that sights give their targets, and the units line
    /// (the bearings are needed in degrees), are taken here as well, to place the stations.
    void knownFromNotes() {
        RawLines lines(m_input.text());
        // The names that may need coordinates: backsight, resection and level points.
        std::unordered_set<std::string_view> needed;
        std::vector<std::pair<std::string_view, std::string>> levelHeights;
        std::unordered_set<std::string_view> reached;
        bool levelRun = false;
        const auto firstValue = [](std::string_view values) { return values.substr(0, values.find(',')); };
        while (lines.next()) {
            const Line line = splitLine(lines.line());
            const Record kind = recordOf(line.keyword);
            if (kind != Record::note) levelRun = false;
            switch (kind) {
                case Record::units:
                    if (line.values.size() >= 3 && line.values[1] == ',') {
                        m_angleUnits = line.values[2] == 'G'   ? orv::ie::eGons
                                       : line.values[2] == 'M' ? orv::ie::eMils
                                                               : orv::ie::eDegrees;
                    }
                    break;
                case Record::bkb:
                case Record::resObs:
                    needed.insert(firstValue(line.values));
                    break;
                case Record::note: {
                    LevelHead head;
                    LevelNote reading;
                    if (parseLevelHead(line.values, head)) {
                        needed.insert(head.start);
                        levelHeights.emplace_back(head.start, std::string(head.elevation));
                        reached.clear();
                        reached.insert(head.start);
                        levelRun = true;
                    } else if (levelRun && parseLevelReading(line.values, reading)) {
                        if (!reading.backsight) {
                            reached.insert(reading.point);
                        } else if (reached.count(reading.point) == 0) {
                            needed.insert(reading.point);
                            levelHeights.emplace_back(reading.point, difference(reading.figure, reading.rod));
                        }
                    } else {
                        levelRun = false;  // a note of another kind ends the run
                    }
                    break;
                }
                default:
                    break;
            }
        }
        // The first coordinates a sight gives each of them.
        RawLines again(m_input.text());
        std::string_view sighted;
        while (!needed.empty() && again.next()) {
            const Line line = splitLine(again.line());
            const Record kind = recordOf(line.keyword);
            if (kind == Record::fs || kind == Record::ss) {
                sighted = firstValue(line.values);
                if (needed.count(sighted) == 0) sighted = {};
            } else if (kind == Record::stn || kind == Record::bs || kind == Record::bkb || kind == Record::resObs) {
                sighted = {};
            } else if (kind == Record::xyz && sighted.data() != nullptr) {
                std::string_view xyz[3], rest = line.values;
                if (cut(rest, ",", xyz[0], rest) && cut(rest, ",", xyz[1], xyz[2]) && isDecimal(xyz[0]) &&
                    isDecimal(xyz[1]) && isDecimal(xyz[2])) {
                    m_observed.try_emplace(std::string(sighted), exactly(xyz[1], xyz[0], xyz[2]));
                }
                sighted = {};
            }
        }
        for (const auto& [name, height] : levelHeights) {
            Position point = levelPoint(name);
            point.h = height;
            point.up = valueOf(height);
            point.heightFree = true;
            addPoint(std::string(name), std::move(point));
        }
    }

    /// A point of a level run: where a sight of the file put it, else wherever the first
    /// station of its name stands.
    Position levelPoint(std::string_view name) const {
        if (auto observed = m_observed.find(std::string(name)); observed != m_observed.end()) return observed->second;
        Position position;
        position.planeFree = true;
        return position;
    }

    /// A known point; the first place given for a name stays.
    void addPoint(std::string name, Position position) {
        if (m_points.count(name) != 0) return;
        m_pointOrder.push_back(name);
        m_points.emplace(std::move(name), std::move(position));
    }

    /// Where the job puts a name when a set-up looks it up: a known point first, else the
    /// station of the latest set-up there.
    const Position* lookUp(const std::string& name) const {
        if (auto point = m_points.find(name); point != m_points.end()) return &point->second;
        if (auto station = m_stations.find(name); station != m_stations.end()) return &station->second;
        return nullptr;
    }

    /// A name the job must know: where the job finds it, else a known point where a sight of the
    /// file put it, else one at the origin.
    const Position& known(std::string_view name) {
        std::string key(name);
        if (const Position* position = lookUp(key)) return *position;
        auto observed = m_observed.find(key);
        addPoint(key, observed != m_observed.end() ? observed->second : Position());
        return m_points.find(key)->second;
    }

    /// A position of the file's figures, kept as written.
    static Position exactly(std::string_view n, std::string_view e, std::string_view h) {
        Position p;
        p.n = std::string(n);
        p.e = std::string(e);
        p.h = std::string(h);
        p.north = valueOf(n);
        p.east = valueOf(e);
        p.up = valueOf(h);
        return p;
    }

    /// A computed position, written with the digits that read back as its doubles.
    static Position computed(const Point3& point) {
        Position p;
        p.n = decimalText(point.n);
        p.e = decimalText(point.e);
        p.h = decimalText(point.h);
        p.north = valueOf(p.n);
        p.east = valueOf(p.e);
        p.up = valueOf(p.h);
        return p;
    }

    static Point3 pointOf(const Position& p) { return Point3{p.north, p.east, p.up}; }

    // ---- records

    void record(const RawLines& lines) {
        const std::string_view text = lines.line();
        if (text.empty()) return;
        const Line line = splitLine(text);
        const Record kind = recordOf(line.keyword);
        if (m_levelOpen && kind != Record::note) closeLevelRun();
        switch (kind) {
            case Record::job:
                jobLine(lines, line);
                break;
            case Record::inst:
                m_instrument = valueAt(lines, line.values, line.valuesColumn);
                m_hasInstrument = true;
                break;
            case Record::units:
                unitsLine(lines, line);
                break;
            case Record::scale:
                scaleLine(lines, line);
                break;
            case Record::date:
                dateLine(lines, line);
                break;
            case Record::temp:
                temperatureLine(lines, line);
                break;
            case Record::stn:
                station(lines, line);
                break;
            case Record::bkb:
                backsightBearing(lines, line);
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
                m_input.warn(lines,
                             "a " + std::string(line.keyword) + " record has no place in the job and is not read");
                break;
            case Record::unknown:
                if (lines.number() == 1 && !m_hasVersion && versionLine(lines)) break;
                m_input.warn(lines, "an unknown record \"" + std::string(line.keyword) + "\" is not read");
                break;
        }
    }

    Value valueAt(const RawLines& lines, std::string_view text, std::size_t column) const {
        return Value{text, lines.offset() + column};
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
                m_input.warn(lines, std::string(line.keyword) + ": the values after the " + std::to_string(N) +
                                        (N == 1   ? "st"
                                         : N == 2 ? "nd"
                                         : N == 3 ? "rd"
                                                  : "th") +
                                        " are not read");
                break;
            }
            values[count++] = valueAt(lines, rest.substr(0, comma), column);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
            column += comma + 1;
        }
        return count;
    }

    /// Requires `count` values; a line with fewer is cut short.
    void require(const RawLines& lines, const Line& line, std::size_t count, std::size_t needed,
                 const char* missing) const {
        if (count >= needed) return;
        m_input.malformed(lines, lines.line().size(),
                          std::string(line.keyword) + ": the record is cut short: " + missing + " is missing");
    }

    /// A value that must be a number.
    void number(const RawLines& lines, const Value& value, const Line& line, const char* what) const {
        if (isDecimal(value.text)) return;
        m_input.malformed(
            lines, value.offset - lines.offset(),
            std::string(line.keyword) + ": " + what + " \"" + std::string(value.text) + "\" is not a number");
    }

    // ---- header

    /// The program line: the program's name in the keyword field, then "v" and its version.
    bool versionLine(const RawLines& lines) {
        const std::string_view text = lines.line();
        std::size_t at = std::string_view::npos;
        if (text.size() > kKeywordWidth && text[kKeywordWidth] == 'v') {
            at = kKeywordWidth;
        } else if (text.size() > kKeywordWidth) {
            at = text.find('v', kKeywordWidth + 1);
        }
        if (at == std::string_view::npos) return false;
        std::string_view name = text.substr(0, at);
        if (at == kKeywordWidth) {
            while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        }
        m_application = valueAt(lines, name, 0);
        m_version = valueAt(lines, text.substr(at + 1), at + 1);
        m_hasVersion = true;
        return true;
    }

    void jobLine(const RawLines& lines, const Line& line) {
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        m_hasJob = true;
        for (std::size_t i = 0; i < 3; ++i) m_jobTexts[i] = i < count ? values[i] : Value{{}, values[0].offset};
    }

    void unitsLine(const RawLines& lines, const Line& line) {
        std::array<Value, 2> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 2, "the angle unit");
        if (values[0].text != "M" && values[0].text != "F") {
            m_input.malformed(lines, values[0].offset - lines.offset(),
                              "UNITS: distance unit \"" + std::string(values[0].text) + "\" is neither M nor F");
        }
        if (values[1].text != "D" && values[1].text != "G" && values[1].text != "M") {
            m_input.malformed(lines, values[1].offset - lines.offset(),
                              "UNITS: angle unit \"" + std::string(values[1].text) + "\" is none of D, G and M");
        }
        m_units = values;
        m_hasUnits = true;
    }

    void scaleLine(const RawLines& lines, const Line& line) {
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 3, "the elevation");
        number(lines, values[0], line, "combined scale factor");
        number(lines, values[1], line, "grid scale factor");
        number(lines, values[2], line, "elevation");
        m_scale = values;
        m_hasScale = true;
    }

    void dateLine(const RawLines& lines, const Line& line) {
        std::array<Value, 2> values;
        const std::size_t count = split(lines, line, values);
        m_date = values[0];
        m_time = count > 1 ? values[1] : Value{{}, values[0].offset};
        m_hasDate = true;
    }

    void temperatureLine(const RawLines& lines, const Line& line) {
        std::array<Value, 2> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 2, "the pressure");
        number(lines, values[0], line, "temperature");
        number(lines, values[1], line, "pressure");
        m_temperature = values;
        m_hasTemperature = true;
    }

    /// The header's members, after the records: the units, the job and the observation.
    void header() {
        JobDocument& d = m_parts.members;
        const bool feet = m_hasUnits && m_units[0].text == "F";
        const std::string_view angle = !m_hasUnits || m_units[1].text == "D" ? "D" : m_units[1].text;
        const char* distance = feet ? "usSurveyFeet" : "metres";
        if (m_hasUnits) d.from(m_units[0].offset);
        unitsMembers(d, distance,
                     angle == "G"   ? "gons"
                     : angle == "M" ? "mils"
                                    : "packedDms",
                     angle == "G"   ? "gons"
                     : angle == "M" ? "mils"
                                    : "degrees");
        if (m_hasVersion || m_hasJob || m_hasDate) {
            d.key("job").beginObject();
            if (m_hasVersion) {
                text(d, "application", m_application);
                text(d, "version", m_version);
            }
            if (m_hasJob) {
                text(d, "name", m_jobTexts[0]);
                text(d, "text2", m_jobTexts[1]);
                text(d, "text3", m_jobTexts[2]);
            }
            if (m_hasDate && !(m_date.text.empty() && m_time.text.empty())) {
                d.key("created").beginObject();
                text(d, "date", m_date);
                text(d, "time", m_time);
                d.endObject();
            }
            d.endObject();
        }
        if (m_hasInstrument || m_hasScale || m_hasTemperature) {
            d.key("observation").beginObject();
            if (m_hasInstrument) text(d, "instrument", m_instrument);
            if (m_hasScale) {
                decimal(d, "scaleFactor", m_scale[1]);
                decimal(d, "elevation", m_scale[2]);
            }
            if (m_hasTemperature) {
                decimal(d, "temperature", m_temperature[0]);
                decimal(d, "pressure", m_temperature[1]);
            }
            d.endObject();
        }
    }

    static void text(JobDocument& d, std::string_view key, const Value& value) {
        d.from(value.offset);
        d.key(key).text(value.text);
    }
    static void decimal(JobDocument& d, std::string_view key, const Value& value) {
        d.from(value.offset);
        d.key(key);
        if (!d.decimal(value.text)) d.null();  // checked when read
    }
    static void decimal(JobDocument& d, const Value& value) {
        d.from(value.offset);
        if (!d.decimal(value.text)) d.null();
    }

    // ---- set-ups

    bool inSetup(const RawLines& lines, const Line& line) const {
        if (m_setupOpen) return true;
        m_input.warn(lines, "a " + std::string(line.keyword) + " record before any station is not read");
        return false;
    }

    void station(const RawLines& lines, const Line& line) {
        closeSetup();
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 2, "the instrument height");
        number(lines, values[1], line, "instrument height");
        m_setupOpen = true;
        m_offset = lines.offset();
        m_station = values[0];
        m_hi = values[1];
        m_code = count > 2 ? values[2] : Value{};
        m_backsight = Backsight();
        m_placed = false;
        m_owner = Owner::setup;
        JobDocument& d = m_parts.setups;
        d.beginObject();
        text(d, "station", m_station);
        decimal(d, "hi", m_hi);
        if (!m_code.text.empty()) text(d, "code", m_code);
    }

    void backsightBearing(const RawLines& lines, const Line& line) {
        if (!inSetup(lines, line)) return;
        flush();
        if (m_backsight.present) {
            m_input.warn(lines, "BKB: a second backsight of one set-up is not read");
            m_owner = Owner::none;
            return;
        }
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 3, "the circle reading");
        number(lines, values[1], line, "bearing");
        number(lines, values[2], line, "circle reading");
        m_backsight.present = true;
        m_backsight.name = values[0];
        m_backsight.azimuth = values[1];
        m_backsight.circle = values[2];
        m_backsight.offset = lines.offset();
        m_owner = Owner::backsight;
    }

    void backsightSight(const RawLines& lines, const Line& line) {
        if (!inSetup(lines, line)) return;
        if (m_owner != Owner::backsight || m_backsight.hasSight) {
            m_input.warn(lines, "BS: a backsight sight that follows no BKB record is not read");
            return;
        }
        std::array<Value, 2> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 2, "the target height");
        number(lines, values[1], line, "target height");
        m_backsight.hasSight = true;
        m_backsight.hr = values[1];
    }

    void resectionObservation(const RawLines& lines, const Line& line) {
        if (!inSetup(lines, line)) return;
        flush();
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 3, "the observation's number");
        number(lines, values[1], line, "distance");
        number(lines, values[2], line, "observation number");
        m_resection = Resection{values[0], Measurement(), lines.offset(), lines};
        m_owner = Owner::resection;
    }

    void sight(const RawLines& lines, const Line& line, bool foresight) {
        if (!inSetup(lines, line)) return;
        flush();
        std::array<Value, 4> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 2, "the target height");
        number(lines, values[1], line, "target height");
        if (count > 3 && !values[3].text.empty()) {
            m_input.warn(
                lines, std::string(line.keyword) + ": the text after the code has no place in the job and is not read");
        }
        m_sight = Sight();
        m_sight.foresight = foresight;
        m_sight.name = values[0];
        m_sight.hr = values[1];
        m_sight.code = count > 2 ? values[2] : Value{};
        m_sight.offset = lines.offset();
        m_owner = Owner::sight;
    }

    void measurement(const RawLines& lines, const Line& line, Record kind) {
        Measurement* target = nullptr;
        if (m_owner == Owner::sight && m_sight.measurement.kind == Record::unknown) {
            target = &m_sight.measurement;
        } else if (m_owner == Owner::backsight && m_backsight.hasSight &&
                   m_backsight.measurement.kind == Record::unknown) {
            target = &m_backsight.measurement;
        } else if (m_owner == Owner::resection && m_resection.measurement.kind == Record::unknown) {
            target = &m_resection.measurement;
        }
        if (target == nullptr) {
            m_input.warn(lines, std::string(line.keyword) + ": a measurement that follows no sight is not read");
            return;
        }
        std::array<Value, 3> values;
        const std::size_t needed = kind == Record::hv ? 2 : 3;
        std::size_t count = 0;
        if (needed == 2) {
            std::array<Value, 2> two;
            count = split(lines, line, two);
            values[0] = two[0];
            values[1] = two[1];
        } else {
            count = split(lines, line, values);
        }
        require(lines, line, count, needed, needed == 2 ? "the zenith" : "the third value");
        static const char* const kWhat[3][3] = {{"horizontal angle", "zenith", "slope distance"},
                                                {"horizontal angle", "horizontal distance", "height difference"},
                                                {"horizontal angle", "zenith", ""}};
        const int row = kind == Record::sd ? 0 : kind == Record::hd ? 1 : 2;
        for (std::size_t i = 0; i < needed; ++i) number(lines, values[i], line, kWhat[row][i]);
        target->kind = kind;
        target->offset = lines.offset();
        for (std::size_t i = 0; i < 3; ++i) target->values[i] = values[i];
        if (target == &m_resection.measurement && kind != Record::sd) {
            m_input.warn(lines, "a resection observation is read with its slope distance only: this one is not read");
        }
    }

    void coordinates(const RawLines& lines, const Line& line) {
        if (m_owner != Owner::sight || m_sight.hasXyz) {
            m_input.warn(lines, "XYZ: coordinates that follow no sight are not read");
            return;
        }
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        require(lines, line, count, 3, "the height");
        number(lines, values[0], line, "easting");
        number(lines, values[1], line, "northing");
        number(lines, values[2], line, "height");
        m_sight.hasXyz = true;
        for (std::size_t i = 0; i < 3; ++i) m_sight.xyz[i] = values[i];
    }

    void controlCodes(const RawLines& lines, const Line& line) {
        if (m_owner != Owner::sight || m_sight.hasControl) {
            m_input.warn(lines, "CTL: control codes that follow no sight are not read");
            return;
        }
        std::array<Value, 3> values;
        const std::size_t count = split(lines, line, values);
        m_sight.hasControl = true;
        for (std::size_t i = 0; i < 3; ++i) m_sight.control[i] = i < count ? values[i] : Value{};
    }

    void note(const RawLines& lines, const Line& line) {
        const Value value = valueAt(lines, line.values, line.valuesColumn);
        LevelHead head;
        LevelNote reading;
        if (parseLevelHead(value.text, head)) {
            levelRunHead(value, head);
            return;
        }
        if (m_levelOpen && parseLevelReading(value.text, reading)) {
            levelReading(value, reading);
            return;
        }
        closeLevelRun();
        StakeNote stake;
        // A stake-out is a side shot with a slope distance and the staked point's coordinates,
        // and neither control codes nor a note of its own: anything else keeps the text as a
        // note.
        if (m_owner == Owner::sight && !m_sight.staked && m_sight.hasXyz && !m_sight.foresight && !m_sight.hasControl &&
            !m_sight.hasNote && m_sight.measurement.kind == Record::sd && parseStake(value.text, stake)) {
            m_sight.staked = true;
            m_sight.design = Value{stake.design, value.offset + kStakeHead};
            m_sight.note = value;
            return;
        }
        if (m_owner == Owner::sight && !m_sight.hasNote && !m_sight.staked) {
            m_sight.hasNote = true;
            m_sight.note = value;
            return;
        }
        if (m_owner == Owner::setup) {
            text(m_parts.setups, "note", value);
            m_owner = Owner::none;
            return;
        }
        m_input.warn(lines, "a note that belongs to no record that carries one is not read");
    }

    static constexpr std::size_t kStakeHead = 6;  // "Stake "

    /// The sight or resection observation being read goes to its list of the set-up.
    void flush() {
        if (m_owner == Owner::sight) {
            remember(m_sight);
            if (m_sight.staked) {
                // The job writes its stake-outs after its shots: one that a shot follows was a
                // shot with that note.
                m_stakes.push_back(m_sight);
            } else {
                for (Sight& staked : m_stakes) {
                    staked.staked = false;
                    staked.hasNote = true;
                    shot(staked);
                }
                m_stakes.clear();
                shot(m_sight);
            }
        } else if (m_owner == Owner::resection) {
            if (m_resection.measurement.kind == Record::sd) {
                known(m_resection.name.text);
                m_resections.push_back(m_resection);
            } else if (m_resection.measurement.kind == Record::unknown) {
                m_input.warn(m_resection.at, "RES_OBS: a resection observation without its slope distance is not read");
            }
        }
        m_owner = Owner::none;
    }

    static void measurementMembers(JobDocument& d, const Measurement& m) {
        // One mark for the line's values: a job of a million sights keeps its marks small.
        d.from(m.values[0].offset);
        d.key(m.kind == Record::sd ? "sd" : m.kind == Record::hd ? "hd" : "angles").beginArray();
        const std::size_t count = m.kind == Record::hv ? 2 : 3;
        for (std::size_t i = 0; i < count; ++i) {
            if (!d.decimal(m.values[i].text)) d.null();
        }
        d.endArray();
    }

    static void coordinatesMember(JobDocument& d, const Sight& s) {
        if (!s.hasXyz) return;
        d.from(s.xyz[0].offset);
        d.key("coords").beginArray();
        for (const std::size_t i : {1, 0, 2}) {
            if (!d.decimal(s.xyz[i].text)) d.null();
        }
        d.endArray();
    }

    void shot(const Sight& s) {
        JobDocument& d = m_parts.setups;
        if (!m_shotsOpen) {
            d.key("shots").beginArray();
            m_shotsOpen = true;
        }

        d.beginObject();
        text(d, "to", s.name);
        if (s.measurement.kind != Record::unknown) {
            measurementMembers(d, s.measurement);
        } else {
            // A direction or a distance alone has no measurement line: the sight is read as
            // a direction whose value the file does not hold.
            d.key("hz").beginArray();
            d.number(0.0);
            d.endArray();
        }
        decimal(d, "hr", s.hr);
        if (s.foresight) d.member("fs", true);
        const bool control =
            s.hasControl && !(s.control[0].text.empty() && s.control[1].text.empty() && s.control[2].text.empty());
        if (control) {
            d.key("codes").beginArray();
            d.beginObject();
            d.from(s.code.offset);
            d.key("code");
            if (s.code.text.empty()) {
                d.null();
            } else {
                d.text(s.code.text);
            }
            d.key("control").beginArray();
            d.from(s.control[0].offset);
            d.text(s.control[0].text);
            d.from(s.control[1].offset);
            d.text(s.control[1].text);
            d.endArray();
            if (!s.control[2].text.empty()) {
                d.key("strings").beginArray();
                d.from(s.control[2].offset);
                d.text(s.control[2].text);
                d.endArray();
            }
            d.endObject();
            d.endArray();
        } else if (!s.code.text.empty()) {
            text(d, "code", s.code);
        }
        if (s.hasNote) text(d, "note", s.note);
        coordinatesMember(d, s);
        d.endObject();
    }

    /// What places the station and its foresights: the first sight with coordinates and a
    /// distance, the foresights with a distance, the first target height.
    void remember(const Sight& s) {
        if (!m_hasFirstHr) {
            m_firstHr = s.hr;
            m_hasFirstHr = true;
        }
        const bool distance = s.measurement.kind == Record::sd || s.measurement.kind == Record::hd;
        if (!distance) return;
        if (s.hasXyz && !m_hasAnchor) {
            m_anchor = s;
            m_hasAnchor = true;
        }
        if (s.foresight) m_foresightSights.push_back(s);
    }

    void stakeout(const Sight& s) {
        JobDocument& d = m_parts.setups;
        // The design point is where the staked point's coordinates less the differences of its
        // note put it, unless the job knows a point of that name already.
        StakeNote note;
        if (m_points.count(std::string(s.design.text)) == 0 && parseStake(s.note.text, note)) {
            addPoint(std::string(s.design.text),
                     exactly(difference(s.xyz[1].text, note.dN), difference(s.xyz[0].text, note.dE),
                             difference(s.xyz[2].text, note.dH)));
        }
        d.from(s.offset);
        d.beginObject();
        text(d, "design", s.design);
        text(d, "to", s.name);
        measurementMembers(d, s.measurement);
        decimal(d, "hr", s.hr);
        if (!s.code.text.empty()) text(d, "code", s.code);
        coordinatesMember(d, s);
        d.endObject();
    }

    /// An angle of the file in decimal degrees.
    double degrees(std::string_view text) const {
        const double value = valueOf(text);
        const double result = orv::ie::utils::angleToDecDeg(
            value, m_angleUnits == orv::ie::eDegrees ? orv::ie::eDegMinSec : m_angleUnits);
        return std::isfinite(result) ? result : 0.0;
    }

    /// A measurement line as the job holds it: angles in degrees, lengths in the file's units.
    orv::ie::DexTSRawMeasurement measurementOf(const Measurement& m) const {
        if (m.kind == Record::sd) {
            return {0, {degrees(m.values[0].text), degrees(m.values[1].text), valueOf(m.values[2].text)}};
        }
        if (m.kind == Record::hd) {
            return {1, {degrees(m.values[0].text), valueOf(m.values[1].text), valueOf(m.values[2].text)}};
        }
        return {2, {degrees(m.values[0].text), degrees(m.values[1].text)}};
    }

    /// The unit vector along a bearing: the four quarters exactly, so that a bearing of 0 does
    /// not come back as 360.
    static void direction(double bearing, double& dn, double& de) {
        const double quarter = bearing / 90.0;
        if (quarter == std::floor(quarter) && std::fabs(quarter) < 1e9) {
            const long long q = static_cast<long long>(quarter) % 4;
            const int k = static_cast<int>(q < 0 ? q + 4 : q);
            dn = k == 0 ? 1.0 : k == 2 ? -1.0 : 0.0;
            de = k == 1 ? 1.0 : k == 3 ? -1.0 : 0.0;
        } else {
            dn = std::cos(bearing * kPi / 180.0);
            de = std::sin(bearing * kPi / 180.0);
        }
    }

    /// Where the set-up's station stands, in the file's units. The file holds no station
    /// coordinates, but the job's own figures place it: a free station where its resection
    /// puts it (the job computes it again, so no coordinates are written); else back from the
    /// first sight whose coordinates the file gives; else back from the backsight point along
    /// its measurement; else where an earlier foresight or set-up put it. A station with a
    /// backsight point is then turned about that point onto the bearing the file records, so
    /// that the job finds that bearing again; a backsight point the job does not know yet is
    /// put where the backsight measurement (or a hundred units) along the bearing puts it.
    void placeStation() {
        if (m_placed) return;
        m_placed = true;
        const double hi = valueOf(m_hi.text);
        const bool pointBacksight = m_backsight.present && m_backsight.hasSight;
        bool oriented = m_backsight.present;
        m_orientation = oriented ? degrees(m_backsight.azimuth.text) - degrees(m_backsight.circle.text) : 0.0;
        bool placed = false, free = false;
        Point3 station;
        const std::string name(m_station.text);
        if (fitFreeStation(hi, station)) placed = free = oriented = true;
        Point3 offset;
        if (!placed && oriented && m_hasAnchor &&
            target(Point3(), hi, valueOf(m_anchor.hr.text), m_orientation, measurementOf(m_anchor.measurement),
                   offset)) {
            station = Point3{valueOf(m_anchor.xyz[1].text) - offset.n, valueOf(m_anchor.xyz[0].text) - offset.e,
                             valueOf(m_anchor.xyz[2].text) - offset.h};
            placed = true;
        }
        const std::string backsightName(pointBacksight ? m_backsight.name.text : std::string_view());
        const Position* backsightPoint = pointBacksight ? lookUp(backsightName) : nullptr;
        if (backsightPoint == nullptr && pointBacksight) {
            if (auto observed = m_observed.find(backsightName); observed != m_observed.end()) {
                addPoint(backsightName, observed->second);
                backsightPoint = lookUp(backsightName);
            }
        }
        const orv::ie::DexTSRawMeasurement backsightMeasurement =
            pointBacksight && m_backsight.measurement.kind != Record::unknown ? measurementOf(m_backsight.measurement)
                                                                              : orv::ie::DexTSRawMeasurement(2, {});
        const double backsightHr = pointBacksight ? valueOf(m_backsight.hr.text) : 0.0;
        if (!placed && backsightPoint != nullptr &&
            target(Point3(), hi, backsightHr, m_orientation, backsightMeasurement, offset)) {
            const Point3 b = pointOf(*backsightPoint);
            station = Point3{b.n - offset.n, b.e - offset.e, b.h - offset.h};
            placed = true;
        }
        if (!placed) {
            if (auto reached = m_foresights.find(name); reached != m_foresights.end()) {
                station = reached->second;
                placed = true;
            } else if (const Position* last = lookUp(name)) {
                station = pointOf(*last);
                placed = true;
            }
        }
        if (pointBacksight) {
            double dn = 0.0, de = 0.0;
            direction(degrees(m_backsight.azimuth.text), dn, de);
            if (backsightPoint == nullptr) {
                // Along the bearing as far as the backsight measurement reaches, else a hundred
                // units on.
                double horizontal = kPlacedDistance, rise = 0.0;
                const bool reduced = reduce(backsightMeasurement, horizontal, rise) && std::isfinite(horizontal) &&
                                     std::isfinite(rise) && horizontal > 1e-6;
                if (!reduced) horizontal = kPlacedDistance;
                const Point3 b{station.n + horizontal * dn, station.e + horizontal * de,
                               reduced ? station.h + hi + rise - backsightHr : station.h};
                addPoint(backsightName, computed(b));
                backsightPoint = lookUp(backsightName);
            } else {
                const Point3 b = pointOf(*backsightPoint);
                double distance = placed ? std::hypot(station.n - b.n, station.e - b.e) : kPlacedDistance;
                if (!(distance > 1e-6) || !std::isfinite(distance)) distance = kPlacedDistance;
                if (!placed) station.h = b.h;
                station.n = b.n - distance * dn;
                station.e = b.e - distance * de;
            }
        }
        if (!std::isfinite(station.n) || !std::isfinite(station.e) || !std::isfinite(station.h)) station = Point3();
        m_position = computed(station);
        if (!m_backsight.present && !free && !m_resections.empty()) m_orientation = resectionOrientation();
        writePlacement(free);
    }

    /// A station without a backsight that the job does not locate otherwise and that resects
    /// two or more points: where the job's least-squares fit puts it, with its orientation.
    bool fitFreeStation(double hi, Point3& station) {
        const std::string name(m_station.text);
        if (m_backsight.present || m_resections.size() < 2 || lookUp(name) != nullptr ||
            m_foresights.count(name) != 0) {
            return false;
        }
        std::vector<FreeStationSight> sights;
        for (const Resection& r : m_resections) {
            FreeStationSight sight;
            sight.known = pointOf(*lookUp(std::string(r.name.text)));
            sight.hr = m_hasFirstHr ? valueOf(m_firstHr.text) : 0.0;
            sight.measurement = measurementOf(r.measurement);
            sights.push_back(std::move(sight));
        }
        StationFit fit;
        if (!freeStation(sights, hi, fit)) return false;
        station = fit.station;
        m_orientation = fit.orientation;
        return true;
    }

    /// How the job orients a located station on its resection: the mean of azimuth less
    /// circle reading.
    double resectionOrientation() const {
        double sumSin = 0.0, sumCos = 0.0;
        for (const Resection& r : m_resections) {
            const double difference = (azimuth(pointOf(m_position), pointOf(*lookUp(std::string(r.name.text)))) -
                                       degrees(r.measurement.values[0].text)) *
                                      kPi / 180.0;
            sumSin += std::sin(difference);
            sumCos += std::cos(difference);
        }
        return std::atan2(sumSin, sumCos) * 180.0 / kPi;
    }

    /// The set-up's coordinates (none for a free station, which the job computes) and
    /// backsight.
    void writePlacement(bool free) {
        if (!free) {
            JobDocument& d = m_parts.setups;
            d.from(m_offset);
            d.key("coords").beginArray();
            for (const std::string* figure : {&m_position.n, &m_position.e, &m_position.h}) {
                if (!d.decimal(*figure)) d.number(0.0);
            }
            d.endArray();
        }
        if (!m_backsight.present) return;
        const Backsight& b = m_backsight;
        JobDocument& d = m_parts.setups;
        d.from(b.offset);
        d.key("backsight").beginObject();
        if (b.hasSight) {
            text(d, "point", b.name);
            decimal(d, "hr", b.hr);
            if (b.measurement.kind != Record::unknown) measurementMembers(d, b.measurement);
        } else {
            decimal(d, "bearing", b.azimuth);
        }
        decimal(d, "circle", b.circle);
        d.endObject();
    }

    /// The set-up's resection, with the target height of its first sight: the file does not
    /// give the resection's own.
    void writeResection() {
        if (m_resections.empty()) return;
        JobDocument& d = m_parts.setups;
        d.key("resection").beginArray();
        for (const Resection& r : m_resections) {
            d.from(r.offset);
            d.beginObject();
            text(d, "to", r.name);
            measurementMembers(d, r.measurement);
            if (m_hasFirstHr) decimal(d, "hr", m_firstHr);
            d.endObject();
        }
        d.endArray();
    }

    void closeSetup() {
        if (!m_setupOpen) return;
        flush();
        m_setupOpen = false;
        JobDocument& d = m_parts.setups;
        if (m_shotsOpen) d.endArray();
        m_shotsOpen = false;
        placeStation();
        writeResection();
        if (!m_stakes.empty()) {
            d.key("stakeouts").beginArray();
            for (const Sight& staked : m_stakes) stakeout(staked);
            d.endArray();
            m_stakes.clear();
        }
        d.endObject();
        // The job knows the station from this set-up on, unless a known point has its name, and
        // each foresight's target where the foresight puts it.
        std::string name(m_station.text);
        if (auto point = m_points.find(name); point == m_points.end()) {
            m_stations[std::move(name)] = m_position;
        } else if (point->second.planeFree) {
            point->second.n = m_position.n;
            point->second.e = m_position.e;
            point->second.north = m_position.north;
            point->second.east = m_position.east;
            point->second.planeFree = false;
        }
        const double hi = valueOf(m_hi.text);
        for (const Sight& s : m_foresightSights) {
            Point3 at;
            if (target(pointOf(m_position), hi, valueOf(s.hr.text), m_orientation, measurementOf(s.measurement), at)) {
                m_foresights[std::string(s.name.text)] = at;
            }
        }
        m_resections.clear();
        m_foresightSights.clear();
        m_hasAnchor = m_hasFirstHr = false;
    }

    // ---- level runs

    /// A level run's head: its readings follow, and the run is written once they are all read.
    void levelRunHead(const Value& note, const LevelHead& head) {
        closeLevelRun();
        m_run.note = note;
        m_run.head = head;
        m_run.readings.clear();
        m_levelOpen = true;
    }

    void levelReading(const Value& note, const LevelNote& reading) { m_run.readings.push_back({note, reading}); }

    static Value partOf(const Value& note, std::string_view part) {
        return Value{part, note.offset + static_cast<std::size_t>(part.data() - note.text.data())};
    }

    void closeLevelRun() {
        if (!m_levelOpen) return;
        m_levelOpen = false;
        const std::vector<std::string> rods = levelRods();
        JobDocument& d = m_parts.levelRuns;
        const LevelHead& head = m_run.head;
        d.from(m_run.note.offset);
        d.beginObject();
        text(d, "name", partOf(m_run.note, head.name));
        if (!head.description.empty()) text(d, "description", partOf(m_run.note, head.description));
        text(d, "start", partOf(m_run.note, head.start));
        d.key("readings").beginArray();
        for (std::size_t i = 0; i < m_run.readings.size(); ++i) {
            const auto& [note, reading] = m_run.readings[i];
            d.from(note.offset);
            d.beginObject();
            text(d, "point", partOf(note, reading.point));
            const Value rod = partOf(note, reading.rod);
            d.from(rod.offset);
            d.key(reading.backsight ? "bs" : "fs");
            if (rods.empty() || !d.decimal(rods[i])) decimal(d, rod);
            d.endObject();
        }
        d.endArray();
        d.endObject();
    }

    /// The rod readings and point heights that give back every figure of the run's notes.
    /// The notes round each figure to the decimals of the readings, and a height the job
    /// computes from rounded readings may round otherwise (in feet above all): so each value
    /// is chosen within what its rounding allows, such that every height computed from them
    /// rounds to the note's. The run is read as chains: one from the start point, and a new
    /// one at each backsight on a known point other than the last one reached; the height of
    /// a chain's first point is chosen too, unless a stake-out or an earlier run fixed it.
    /// Empty when the run is no such chains (a backsight on a point reached before the last,
    /// two foresights from one backsight) or no choice fits: the readings are then taken as
    /// written.
    std::vector<std::string> levelRods() {
        struct Range {
            std::int64_t low, high;
        };
        const auto range = [](std::string_view text, Range& r) {
            std::int64_t value = 0, half = 0;
            if (!nanounits(text, value, half)) return false;
            r = Range{value - half + 1, value + half - 1};
            return true;
        };
        const std::size_t count = m_run.readings.size();
        if (count == 0) return {};
        // Per reading: its rod's range, the range of the height after it (collimation after a
        // backsight, elevation after a foresight), and the point a chain starts from (null
        // when the reading continues the chain).
        std::vector<Range> rods(count), after(count);
        std::vector<Position*> base(count, nullptr);
        std::vector<bool> freeBase(count, false);
        std::vector<Range> baseRange(count);
        std::string_view current;
        Range last{};
        bool collimation = true;
        std::unordered_set<std::string_view> reached;
        for (std::size_t k = 0; k < count; ++k) {
            const LevelNote& reading = m_run.readings[k].second;
            Range figure{};
            if (!range(reading.rod, rods[k]) || !range(reading.figure, figure)) return {};
            if (reading.backsight) {
                const bool continues = k > 0 && !collimation && reading.point == current;
                if (!continues) {
                    // A chain starts at a known point: the start, or one the run did not reach.
                    if (reached.count(reading.point) != 0) return {};
                    auto known = m_points.find(std::string(reading.point));
                    if (known == m_points.end()) return {};
                    base[k] = &known->second;
                    freeBase[k] = known->second.heightFree;
                    if (!freeBase[k]) {
                        std::int64_t fixed = 0, half = 0;
                        if (!nanounits(base[k]->h, fixed, half)) return {};
                        baseRange[k] = Range{fixed, fixed};
                    } else if (reading.point == m_run.head.start) {
                        if (!range(m_run.head.elevation, baseRange[k])) return {};
                    } else {
                        baseRange[k] = Range{INT64_MIN / 4, INT64_MAX / 4};
                    }
                    last = baseRange[k];
                }
                after[k] = Range{last.low + rods[k].low, last.high + rods[k].high};
            } else {
                if (!collimation) return {};  // a second foresight from one backsight
                after[k] = Range{last.low - rods[k].high, last.high - rods[k].low};
                current = reading.point;
                reached.insert(reading.point);
            }
            if (k == 0 && !reading.backsight) return {};
            after[k].low = std::max(after[k].low, figure.low);
            after[k].high = std::min(after[k].high, figure.high);
            if (after[k].low > after[k].high) return {};
            last = after[k];
            collimation = reading.backsight;
            // The start's height is the job's from the first reading on.
            reached.insert(m_run.head.start);
        }
        // Back from the last height of each chain, each value in the middle of what the next
        // one leaves it.
        std::vector<std::int64_t> chosen(count);
        std::vector<std::string> texts(count);
        std::vector<std::pair<Position*, std::int64_t>> bases;
        bool chainEnd = true;
        for (std::size_t k = count; k-- > 0;) {
            if (chainEnd) chosen[k] = after[k].low + (after[k].high - after[k].low) / 2;
            const bool backsight = m_run.readings[k].second.backsight;
            const Range previous = base[k] != nullptr ? baseRange[k] : after[k - 1];
            Range before = backsight ? Range{chosen[k] - rods[k].high, chosen[k] - rods[k].low}
                                     : Range{chosen[k] + rods[k].low, chosen[k] + rods[k].high};
            before.low = std::max(before.low, previous.low);
            before.high = std::min(before.high, previous.high);
            if (before.low > before.high) return {};
            const std::int64_t value = before.low + (before.high - before.low) / 2;
            const std::int64_t rod = backsight ? chosen[k] - value : value - chosen[k];
            texts[k] = nanounitText(rod);
            if (base[k] != nullptr) {
                if (freeBase[k]) bases.emplace_back(base[k], value);
                chainEnd = true;
            } else {
                chosen[k - 1] = value;
                chainEnd = false;
            }
        }
        for (const auto& [point, height] : bases) {
            point->h = nanounitText(height);
            point->heightFree = false;
        }
        return texts;
    }

    void points() {
        JobDocument& d = m_parts.points;
        for (const std::string& name : m_pointOrder) {
            const Position& p = m_points.find(name)->second;
            d.beginObject();
            d.member("name", name);
            d.key("coords").beginArray();
            for (const std::string* figure : {&p.n, &p.e, &p.h}) {
                if (!d.decimal(*figure)) d.number(0.0);
            }
            d.endArray();
            d.endObject();
        }
    }

    const RawInput& m_input;
    JobParts& m_parts;
    orv::ie::EAngleUnits m_angleUnits = orv::ie::eDegrees;

    // Header.
    bool m_hasVersion = false, m_hasJob = false, m_hasInstrument = false, m_hasUnits = false, m_hasScale = false,
         m_hasDate = false, m_hasTemperature = false;
    Value m_application, m_version, m_instrument, m_date, m_time;
    std::array<Value, 3> m_jobTexts, m_scale;
    std::array<Value, 2> m_units, m_temperature;

    // The set-up being read.
    bool m_setupOpen = false;
    std::size_t m_offset = 0;
    Value m_station, m_hi, m_code;
    Backsight m_backsight;
    Owner m_owner = Owner::none;
    Sight m_sight;
    Resection m_resection;
    std::vector<Sight> m_stakes;  ///< written at the set-up's end; its shots as they come
    std::vector<Resection> m_resections;
    Sight m_anchor;
    bool m_hasAnchor = false, m_hasFirstHr = false;
    Value m_firstHr;
    std::vector<Sight> m_foresightSights;
    double m_orientation = 0.0;
    bool m_placed = false, m_shotsOpen = false;
    Position m_position;

    bool m_levelOpen = false;
    struct LevelRunNotes {
        Value note;
        LevelHead head;
        std::vector<std::pair<Value, LevelNote>> readings;
    } m_run;

    // Where the job finds names.
    std::unordered_map<std::string, Position> m_points;
    std::vector<std::string> m_pointOrder;
    std::unordered_map<std::string, Position> m_stations;
    std::unordered_map<std::string, Point3> m_foresights;  ///< the latest foresight to each name
    std::unordered_map<std::string, Position> m_observed;  ///< the first coordinates a sight gives each name
};

}  // namespace

void readQuoltPashk(const RawInput& input, JobParts& parts) { QuoltPashkReader(input, parts).read(); }

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
