#include "readers/sdr_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "contracts/text_services.h"
#include "contracts/units.h"
#include "job/geometry.h"

namespace exportgen {

namespace {

// Field widths in characters.
constexpr std::size_t kHeadWidth = 4;  // record number and derivation code
constexpr std::size_t kNameWidth = 16;
constexpr std::size_t kValueWidth = 16;
constexpr std::size_t kCodeWidth = 16;
constexpr std::size_t kCountWidth = 5;
constexpr std::size_t kNoteWidth = 60;
constexpr std::size_t kAttributeNameWidth = 20;
constexpr int kDistanceDecimals = 4;

// The label between a staked point's name and its design point's in the first stake-out note: a
// 16-character field holding " Design ID " right-aligned.
constexpr std::string_view kDesignLabel = "      Design ID ";

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

// Blanks, tabs and the end-of-file character some field programs close a file with.
bool isBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\x1a'; });
}

// The value of a number checked by isDecimal, independent of the locale.
double valueOf(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::size_t decimalsOf(std::string_view number) {
    const std::size_t point = number.find('.');
    return point == std::string_view::npos ? 0 : number.size() - point - 1;
}

// A field as the file holds it: its text without the padding, and where it starts.
struct Field {
    std::string_view text;
    std::size_t offset = 0;  ///< byte offset in the file
    std::size_t column = 0;  ///< byte column in its line, from 0
    [[nodiscard]] bool blank() const noexcept { return text.empty(); }
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
    /// The rest of the line: a free note's text, at its own length.
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

enum class Kind { none, slopeDistance, anglesOnly, horizontalAngle, distanceOnly };

struct Attribute {
    Field name;
    Field value;
};

// An observation record with the notes that belong to it.
struct Sight {
    std::size_t offset = 0;
    Field target;
    Field distance, zenith, horizontal;
    Field code;
    Field fullCode;  ///< the whole code of a "13FC" note, when the code field cut it
    std::vector<Attribute> attributes;
    Field note;
    bool hasNote = false;
    Field hr;                ///< the target height in force, blank when no "03NM" came before
    bool foresight = false;  ///< a shot to a point that some set-up occupies
    Field residual[3];       ///< a resection observation's recorded residuals N, E, H

    [[nodiscard]] Kind kind() const {
        const bool d = !distance.blank(), z = !zenith.blank(), h = !horizontal.blank();
        if (d && z && h) return Kind::slopeDistance;
        if (!d && z && h) return Kind::anglesOnly;
        if (!d && !z && h) return Kind::horizontalAngle;
        if (d && !z && !h) return Kind::distanceOnly;
        return Kind::none;
    }
    [[nodiscard]] const Field& codeText() const { return fullCode.blank() ? code : fullCode; }
};

struct Backsight {
    enum class Kind { none, point, bearing } kind = Kind::none;
    std::size_t offset = 0;
    Field name;
    Field azimuth;
    Field circle;
    Field hr;
    bool measured = false;
    Sight sight;
};

struct Stakeout {
    Sight shot;
    Field to;  ///< the staked point's whole name, from the stake-out note
    Field design;
    Field north, east, height;
    bool hasCoords = false;
    Field differences[3];  ///< staked minus design as recorded: north, east, height
    bool fill = false;     ///< the height figure is a fill (design above the staked point)
};

struct Setup {
    bool open = false;
    std::size_t offset = 0;
    Field station, north, east, height, hi, code, note;
    bool hasNote = false;
    bool givesCoords = true;
    bool mayBeFree = false;  ///< no known point, earlier station or foresight places it
    Point3 place;            ///< where the job will put the station
    Backsight backsight;
    std::vector<Sight> resection;
    std::vector<Sight> shots;
    std::vector<Stakeout> stakeouts;

    void clear() {
        open = false;
        hasNote = false;
        givesCoords = true;
        mayBeFree = false;
        code = note = Field();
        backsight = Backsight();
        resection.clear();
        shots.clear();
        stakeouts.clear();
    }
};

struct KnownPoint {
    std::size_t offset = 0;
    Field name, north, east, height, code;
    Field fullCode;                     ///< learned from a measured backsight to the point
    std::vector<Attribute> attributes;  ///< likewise: the point's first code's attributes
    bool learned = false;
};

struct LevelReading {
    std::size_t offset = 0;
    bool backsight = true;
    Field point, rod, distance, code;
    Field collimation, elevation, rise;  ///< as the level recorded them
};

struct LevelRun {
    bool open = false;
    std::size_t offset = 0;
    bool named = false;
    Field name, description, start, number;
    bool hasFirstStart = false;   // "61LV"
    bool hasSecondStart = false;  // "62LV"
    std::vector<LevelReading> readings;
};

// The angle units a file may be written in, told apart by the digits of its angles: the default
// degrees write 6 decimals; gons, mils and decimal degrees (and packed degrees, which the records
// write as decimal degrees) write 8.
enum AngleUnit { kDecimalDegrees, kGons, kMils, kAngleUnits };

class SdrReader {
public:
    SdrReader(const RawInput& input, JobParts& parts) : m_input(input), m_parts(parts), m_lines(input.text()) {}

    void read() {
        collectStations();
        while (m_lines.next()) record(m_lines.line());
        closeGroup();
        closeSetup();
        closeRun();
        writePoints();
        writeMembers();
    }

private:
    // What the record before the current one was, for the records whose place gives their
    // meaning: a note right behind a station record is the set-up's note, an observation right
    // behind a backsight record may be the backsight's measurement.
    enum class Previous { other, station, backsight };
    // Where a stake-out stands: after its first note, its second (the differences from the
    // design, computed again) and then the staked point's coordinates follow.
    enum class StakeStep { none, differences, coordinates };

    // Stations are read before anything else so that a shot to a point occupied by any set-up
    // (a traverse foresight) is known as one.
    void collectStations() {
        RawLines lines(m_input.text());
        while (lines.next()) {
            const std::string_view line = lines.line();
            if (!startsWith(line, "02") || line.size() < kHeadWidth) continue;
            Record r(line, lines.offset());
            const std::string_view name = trimmedLeft(r.next(kNameWidth));
            if (!name.empty()) m_stationNames.insert(name);
        }
    }

    void record(std::string_view line) {
        if (isBlankLine(line)) return;
        if (line.size() < 2 || !isDigit(line[0]) || !isDigit(line[1])) {
            malformed(0, "expected a record: a two-digit record number and a derivation code");
        }
        if (line.size() < kHeadWidth || static_cast<unsigned char>(line[2]) >= 0x80 ||
            static_cast<unsigned char>(line[3]) >= 0x80) {
            malformed(2, "expected a two-letter derivation code after the record number");
        }
        const int number = (line[0] - '0') * 10 + (line[1] - '0');
        const std::string_view derivation = line.substr(2, 2);
        const bool first = m_records++ == 0;
        const Previous previous = m_previous;
        m_previous = Previous::other;
        const StakeStep stake = m_stake;
        m_stake = StakeStep::none;
        Record r(line, m_lines.offset());
        if (number == 2) return station(r, derivation);
        if (number == 3 && derivation == "NM") return targetHeight(r);
        if (number == 7 && derivation == "TP") return backsight(r);
        if (number == 8) return coordinates(r, stake);
        if (number == 9 && (derivation == "F1" || derivation == "F2")) return observation(r, previous);
        if (number == 13) return note(r, derivation, first, previous, stake);
        if (number == 61 && derivation == "LV") return levelStart(r);
        if (number == 62 && derivation == "LV") return levelStartNumber(r);
        if ((number == 63 || number == 64) && derivation == "LV") return levelReading(r, number == 63);
        closeGroup();
        m_input.warn(m_lines, "record \"" + std::string(line.substr(0, kHeadWidth)) + "\" is not read");
    }

    // --- fields -------------------------------------------------------------------------------

    [[noreturn]] void malformed(std::size_t column, const std::string& what) const {
        m_input.malformed(m_lines, column, what);
    }
    void skip(const std::string& what) const { m_input.warn(m_lines, what + ", skipped"); }

    // A point name: right-aligned in its field.
    Field name(Record& r, const char* what) const {
        const std::string_view raw = r.next(kNameWidth);
        const Field field = r.field(trimmedLeft(raw));
        if (field.blank()) malformed(r.field(raw).column, std::string("expected ") + what);
        return field;
    }
    // A code: left-aligned; blank when there is none.
    static Field code(Record& r) { return r.field(trimmedRight(r.next(kCodeWidth))); }

    // A distance, height or coordinate: the records write 4 decimals.
    Field number(Record& r, const char* what, bool required) {
        Field field = checkedNumber(r, what, required);
        if (!field.blank()) rounded(field, kDistanceDecimals);
        return field;
    }
    // A number in a 16-character field; blank only when `required` is false.
    Field checkedNumber(Record& r, const char* what, bool required) const {
        const std::string_view raw = r.next(kValueWidth);
        const Field field = r.field(trimmedRight(trimmedLeft(raw)));
        if (field.blank()) {
            if (required) malformed(r.field(raw).column, std::string("expected ") + what);
            return field;
        }
        if (!isDecimal(field.text)) {
            malformed(field.column, "\"" + std::string(field.text) + "\" is not a number (" + what + ")");
        }
        return field;
    }
    // A number with more decimals than the records write (a file of another program) is taken
    // as the records would write it, so that what the job computes from it is what a file
    // written from the job holds.
    void rounded(Field& field, int decimals) {
        if (decimalsOf(field.text) <= static_cast<std::size_t>(decimals)) return;
        const COrvStringT digits = orv_formats::DoubleToString(valueOf(field.text), decimals);
        std::string& text = m_rounded.emplace_back();
        for (const wchar_t c : digits.view()) text += static_cast<char>(c);
        field.text = text;
    }
    // An angle: the default degrees write 6 decimals, the other units 8.
    Field angle(Record& r, const char* what, bool required) {
        Field field = checkedNumber(r, what, required);
        if (!field.blank() && m_angleDecimals < 0) m_angleDecimals = static_cast<int>(decimalsOf(field.text));
        if (!field.blank()) rounded(field, m_angleDecimals == 6 ? 6 : 8);
        if (!field.blank()) {
            const double value = std::fabs(valueOf(field.text));
            if (value >= 400.0) m_milsSeen = true;
        }
        return field;
    }

    // --- set-ups ------------------------------------------------------------------------------

    // "02": station name, northing, easting, elevation, instrument height, code.
    void station(Record& r, std::string_view derivation) {
        closeGroup();
        closeRun();
        closeSetup();
        if (derivation != "NM")
            m_input.warn(m_lines, "station record \"02" + std::string(derivation) + "\" is read as \"02NM\"");
        Setup& s = m_setup;
        s.open = true;
        s.offset = r.offset();
        s.station = name(r, "the station's name");
        s.north = number(r, "the station's northing", true);
        s.east = number(r, "the station's easting", true);
        s.height = number(r, "the station's elevation", true);
        s.hi = number(r, "the instrument height", true);
        s.code = code(r);
        s.place = {valueOf(s.north.text), valueOf(s.east.text), valueOf(s.height.text)};
        placeStation(s);
        m_stationCodes[s.station.text] = s.code.text;
        m_previous = Previous::station;
    }

    // The job places a station without coordinates as the host did when it wrote them: on a
    // known point, on an earlier set-up's station, where the last foresight to it landed, or (a
    // free station) by its resection. When that gives the digits the record holds, the
    // coordinates are left to the job, so that what it computes from them (backsight azimuths,
    // residuals) comes out as the host computed it; otherwise the record's coordinates are given.
    void placeStation(Setup& s) const {
        const std::string_view name = s.station.text;
        const auto known = m_known.find(name);
        const auto station = m_stations.find(name);
        const auto foresight = m_foresights.find(name);
        const Point3* place = known != m_known.end()            ? &known->second
                              : station != m_stations.end()     ? &station->second
                              : foresight != m_foresights.end() ? &foresight->second
                                                                : nullptr;
        s.mayBeFree = place == nullptr;
        if (place != nullptr && writesAs(*place, s)) {
            s.givesCoords = false;
            s.place = *place;
        }
    }

    // Whether `place` is written with the digits of the set-up's station record.
    static bool writesAs(const Point3& place, const Setup& s) {
        return sameDigits(place.n, s.north.text) && sameDigits(place.e, s.east.text) &&
               sameDigits(place.h, s.height.text);
    }
    static bool sameDigits(double value, std::string_view written) {
        const COrvStringT text = orv_formats::DoubleToString(value, 4);
        const std::wstring_view digits = text.view();
        return std::equal(digits.begin(), digits.end(), written.begin(), written.end(),
                          [](wchar_t a, char b) { return a == static_cast<unsigned char>(b); });
    }

    // The known point or earlier station named `name`, as the job looks a backsight point up.
    const Point3* lookup(std::string_view name) const {
        if (const auto known = m_known.find(name); known != m_known.end()) return &known->second;
        const auto station = m_stations.find(name);
        return station == m_stations.end() ? nullptr : &station->second;
    }

    // An angle of the file in decimal degrees, in the units the file's angles tell so far.
    double degrees(const Field& f) const {
        const double value = valueOf(f.text);
        const orv::ie::EAngleUnits units = angleUnits();
        return units == orv::ie::eDecimalDegrees ? value : orv::ie::utils::angleToDecDeg(value, units);
    }
    static double metres(const Field& f, double fallback = 0.0) { return f.blank() ? fallback : valueOf(f.text); }

    orv::ie::DexTSRawMeasurement measurementOf(const Sight& sight) const {
        return orv::ie::DexTSRawMeasurement(orv::ie::eKindAnglesAndSlopeDistance,
                                            {degrees(sight.horizontal), degrees(sight.zenith), metres(sight.distance)});
    }

    // The set-up's orientation (azimuth = horizontal angle + orientation) as the job computes it:
    // from the backsight, else from the resection (the free station's fit, or the mean of the
    // directions to the known points).
    double orientationOf(Setup& s) const {
        const Backsight& b = s.backsight;
        if (b.kind == Backsight::Kind::point) {
            const Point3* point = lookup(b.name.text);
            return point == nullptr ? 0.0 : azimuth(s.place, *point) - degrees(b.circle);
        }
        if (b.kind == Backsight::Kind::bearing) return degrees(b.azimuth) - degrees(b.circle);
        if (s.resection.empty()) return 0.0;
        if (s.mayBeFree) {
            std::vector<FreeStationSight> sights;
            for (const Sight& sight : s.resection) {
                const Point3* point = lookup(sight.target.text);
                if (point == nullptr) continue;
                sights.push_back({*point, metres(sight.hr), measurementOf(sight)});
            }
            StationFit fit;
            if (freeStation(sights, metres(s.hi), fit) && writesAs(fit.station, s)) {
                s.givesCoords = false;
                s.place = fit.station;
                return fit.orientation;
            }
        }
        double sumSin = 0.0, sumCos = 0.0;
        for (const Sight& sight : s.resection) {
            const Point3* point = lookup(sight.target.text);
            if (point == nullptr) continue;
            const double difference = (azimuth(s.place, *point) - degrees(sight.horizontal)) * orv::ie::kPi / 180.0;
            sumSin += std::sin(difference);
            sumCos += std::cos(difference);
        }
        return std::atan2(sumSin, sumCos) * 180.0 / orv::ie::kPi;
    }

    // After a set-up, its station is known where the job put it, and each foresight's target
    // where its observation puts it.
    void learnStation(Setup& s) {
        const double orientation = orientationOf(s);
        if (m_known.find(s.station.text) == m_known.end()) m_stations[s.station.text] = s.place;
        double hr = s.backsight.kind == Backsight::Kind::none ? 0.0 : metres(s.backsight.hr);
        for (const Sight& shot : s.shots) {
            hr = metres(shot.hr, hr);
            if (!shot.foresight || shot.kind() != Kind::slopeDistance) continue;
            Point3 observed;
            if (target(s.place, metres(s.hi), hr, orientation, measurementOf(shot), observed)) {
                m_foresights[shot.target.text] = observed;
            }
        }
    }

    // A shot to a point some set-up occupies: a foresight of the traverse.
    bool isForesight(const Sight& shot) const {
        return shot.target.text != m_setup.station.text && m_stationNames.count(shot.target.text) > 0;
    }

    // "03NM": the target height of the observations that follow.
    void targetHeight(Record& r) {
        closeGroup();
        m_hr = number(r, "a target height", true);
    }

    // "07TP": station, backsight point (or the generated "#BS" name of a backsight by bearing),
    // the azimuth the host computed or the bearing, the circle reading.
    void backsight(Record& r) {
        closeGroup();
        if (!m_setup.open) return skip("a backsight before any station record");
        if (m_setup.backsight.kind != Backsight::Kind::none) return skip("a second backsight of one set-up");
        (void)r.next(kNameWidth);  // the station, which the set-up holds
        Backsight& b = m_setup.backsight;
        b.offset = r.offset();
        b.name = name(r, "the backsight point's name");
        b.azimuth = angle(r, "the backsight azimuth", true);
        b.circle = angle(r, "the circle reading on the backsight", true);
        b.hr = m_hr;
        b.kind = isGeneratedName(b.name.text) ? Backsight::Kind::bearing : Backsight::Kind::point;
        if (b.kind == Backsight::Kind::point) {
            if (const Point3* point = lookup(b.name.text)) voteByAzimuth(b.azimuth, m_setup.place, *point);
        }
        m_previous = Previous::backsight;
    }

    // A backsight by bearing has no point: it is named "#BS" and a counter, unless a point of
    // that name is known.
    bool isGeneratedName(std::string_view text) const {
        if (!startsWith(text, "#BS") || text.size() == 3) return false;
        if (!std::all_of(text.begin() + 3, text.end(), isDigit)) return false;
        return lookup(text) == nullptr;
    }

    // "08": name, northing, easting, height, code. Either the staked point of the stake-out
    // notes just read, or a known point.
    void coordinates(Record& r, StakeStep stake) {
        closeGroup();
        const Field pointName = name(r, "the point's name");
        const Field north = number(r, "the point's northing", true);
        const Field east = number(r, "the point's easting", true);
        const Field height = number(r, "the point's height", true);
        const Field pointCode = code(r);
        if (stake != StakeStep::none && m_setup.open && !m_setup.stakeouts.empty()) {
            Stakeout& s = m_setup.stakeouts.back();
            s.north = north, s.east = east, s.height = height;
            s.hasCoords = true;
            return;
        }
        KnownPoint point;
        point.offset = r.offset();
        point.name = pointName, point.north = north, point.east = east, point.height = height;
        point.code = pointCode;
        m_pointIndex[pointName.text] = m_points.size();
        m_points.push_back(std::move(point));
        m_known[pointName.text] = {valueOf(north.text), valueOf(east.text), valueOf(height.text)};
    }

    // --- observations -------------------------------------------------------------------------

    // "09F1"/"09F2": station, target, slope distance, zenith, horizontal angle, code. Blank
    // fields tell the kind of measurement; the face follows from the zenith and is not read.
    void observation(Record& r, Previous previous) {
        closeGroup();
        if (!m_setup.open) return skip("an observation before any station record");
        Sight s;
        s.offset = r.offset();
        (void)r.next(kNameWidth);  // the station, which the set-up holds
        s.target = name(r, "the target's name");
        s.distance = number(r, "a slope distance", false);
        s.zenith = angle(r, "a zenith angle", false);
        s.horizontal = angle(r, "a horizontal angle", false);
        s.code = code(r);
        s.hr = m_hr;
        if (s.kind() == Kind::none) return skip("an observation whose measured values the job cannot hold");
        noteZenith(s);
        const Backsight& b = m_setup.backsight;
        m_mayBeBacksight = previous == Previous::backsight && b.kind == Backsight::Kind::point && !b.measured &&
                           s.target.text == b.name.text &&
                           (s.kind() == Kind::slopeDistance || s.kind() == Kind::anglesOnly);
        m_sight = std::move(s);
        m_pending = true;
    }

    // The observation just read is complete: the backsight's measurement when it follows the
    // backsight record and carries the backsight point's code, else a shot.
    void closeGroup() {
        if (!m_pending) return;
        m_pending = false;
        if (m_mayBeBacksight && !m_sight.hasNote && m_sight.code.text == expectedCode(m_sight.target.text)) {
            Backsight& b = m_setup.backsight;
            b.measured = true;
            b.sight = std::move(m_sight);
            learnCodes(b.sight);
            return;
        }
        m_sight.foresight = isForesight(m_sight);
        m_setup.shots.push_back(std::move(m_sight));
    }

    // The code the writer gives a backsight observation: the backsight point's own.
    std::string_view expectedCode(std::string_view point) const {
        if (const auto known = m_pointIndex.find(point); known != m_pointIndex.end()) {
            return m_points[known->second].code.text;
        }
        const auto station = m_stationCodes.find(point);
        return station == m_stationCodes.end() ? std::string_view() : station->second;
    }

    // A backsight observation carries its point's whole first code and the code's attributes,
    // which the point's coordinate record cannot.
    void learnCodes(const Sight& sight) {
        const auto known = m_pointIndex.find(sight.target.text);
        if (known == m_pointIndex.end()) return;
        KnownPoint& point = m_points[known->second];
        if (point.learned) return;
        point.learned = true;
        point.fullCode = sight.fullCode;
        point.attributes = sight.attributes;
    }

    // --- notes --------------------------------------------------------------------------------

    void note(Record& r, std::string_view kind, bool first, Previous previous, StakeStep stake) {
        if (kind == "FC") return featureCode(r);
        if (kind == "AT") return attribute(r);
        if (kind == "SO") return stakeoutNote(r, stake);
        if (kind == "NM") return freeNote(r, first, previous);
        closeGroup();
        skip("a \"13" + std::string(kind) + "\" note, which the job has no place for");
    }

    // "13FC": the whole code of the observation before, whose code field cut it.
    void featureCode(Record& r) {
        if (!m_pending) return skip("a feature-code note that follows no observation");
        const std::string_view raw = r.next(kNoteWidth);
        std::string_view code = trimmedRight(raw);
        // The note is written for a code longer than its field, trailing blanks included.
        if (characterCount(code) <= kCodeWidth) code = firstCharacters(raw, kCodeWidth + 1);
        m_sight.fullCode = r.field(code);
    }

    // "13AT": an attribute of the observation's first code, its name in 20 characters followed
    // by its value.
    void attribute(Record& r) {
        if (!m_pending) return skip("an attribute note that follows no observation");
        Attribute a;
        a.name = r.field(trimmedRight(r.next(kAttributeNameWidth)));
        const std::string_view raw = r.next(kNoteWidth - kAttributeNameWidth);
        a.value = r.field(trimmedRight(raw));
        // A value of blanks is written as a note too; one blank keeps it.
        if (a.value.blank()) a.value = {" ", r.offset() + kHeadWidth, kHeadWidth};
        m_sight.attributes.push_back(a);
    }

    // "13NM": the program line that heads the file, a set-up's or an observation's note, the
    // three residuals of a resection observation, or the note that opens a level run.
    void freeNote(Record& r, bool first, Previous previous) {
        const Field text = r.field(r.rest());
        if (first && header(text.text)) return;
        if (m_pending && startsWith(text.text, "Residual N:") && residualsFollow()) return resectionObservation(text);
        if (startsWith(text.text, "Level Run: ") && levelRecordFollows()) return levelRunNote(text);
        if (m_pending && !m_sight.hasNote) {
            m_sight.note = text;
            m_sight.hasNote = true;
            return closeGroup();
        }
        closeGroup();
        if (m_setup.open && previous == Previous::station && !m_setup.hasNote) {
            m_setup.note = text;
            m_setup.hasNote = true;
            return;
        }
        skip("a note the job has no place for");
    }

    // "13NM<program> Version <version>".
    bool header(std::string_view text) {
        const std::size_t at = text.find(" Version ");
        if (at == std::string_view::npos) return false;
        m_application = text.substr(0, at);
        m_version = text.substr(at + 9);
        m_hasHeader = true;
        return true;
    }

    bool residualsFollow() const {
        RawLines ahead = m_lines;
        if (!ahead.next() || !startsWith(ahead.line(), "13NMResidual E:")) return false;
        return ahead.next() && startsWith(ahead.line(), "13NMResidual H:");
    }

    bool levelRecordFollows() const {
        RawLines ahead = m_lines;
        while (ahead.next()) {
            if (isBlankLine(ahead.line())) continue;
            return startsWith(ahead.line(), "61LV") || startsWith(ahead.line(), "62LV");
        }
        return false;
    }

    // An observation followed by the residuals of the resection it belongs to, kept as recorded.
    void resectionObservation(const Field& north) {
        m_pending = false;
        m_sight.residual[0] = residualOf(north);
        if (m_sight.kind() == Kind::slopeDistance) {
            m_setup.resection.push_back(std::move(m_sight));
        } else {
            m_input.warn(m_lines, "a resection observation without angles and a slope distance is read as a shot");
            m_setup.shots.push_back(std::move(m_sight));
        }
        Sight& sight = m_setup.resection.empty() ? m_setup.shots.back() : m_setup.resection.back();
        for (int k = 1; k < 3; ++k) {
            (void)m_lines.next();
            const std::string_view line = m_lines.line();
            sight.residual[k] = residualOf(Field{line.substr(4), m_lines.offset() + 4, 4});
        }
    }

    // The figure of a "Residual X:<figure>" note.
    Field residualOf(const Field& note) const {
        const std::size_t colon = note.text.find(':');
        const Field figure{trimmedRight(note.text.substr(colon + 1)), note.offset + colon + 1, note.column + colon + 1};
        if (!isDecimal(figure.text))
            malformed(figure.column, "expected a residual, found \"" + std::string(figure.text) + "\"");
        return figure;
    }

    // "13SOPt <staked point>      Design ID <design point>", then "13SOCut ..." or
    // "13SOFill ..." with the differences from the design, which are computed again.
    void stakeoutNote(Record& r, StakeStep stake) {
        const Field text = r.field(r.rest());
        if (startsWith(text.text, "Pt ")) return stakeout(r, text);
        if (stake == StakeStep::differences && (startsWith(text.text, "Cut ") || startsWith(text.text, "Fill "))) {
            stakeDifferences(text);
            m_stake = StakeStep::coordinates;
            return;
        }
        closeGroup();
        skip("a stake-out note that follows no staked observation");
    }

    // "Cut <height> North <north> East <east>" (or "Fill"): the differences as recorded, kept
    // with the stake-out so that they are written again as they are.
    void stakeDifferences(const Field& text) {
        Stakeout& stake = m_setup.stakeouts.back();
        stake.fill = startsWith(text.text, "Fill ");
        const char* const labels[] = {nullptr, "North", "East"};
        const int order[] = {2, 0, 1};  // the height, the northing, the easting
        std::size_t at = stake.fill ? 5 : 4;
        for (int k = 0; k < 3; ++k) {
            while (at < text.text.size() && text.text[at] == ' ') ++at;
            if (labels[k] != nullptr) {
                const std::string_view label = labels[k];
                if (text.text.substr(at, label.size()) != label) {
                    malformed(text.column + at, "expected \"" + std::string(label) + "\" in the stake-out note");
                }
                at += label.size();
                while (at < text.text.size() && text.text[at] == ' ') ++at;
            }
            std::size_t end = at;
            while (end < text.text.size() && text.text[end] != ' ') ++end;
            const Field figure{text.text.substr(at, end - at), text.offset + at, text.column + at};
            if (!isDecimal(figure.text)) {
                malformed(figure.column,
                          "expected a difference from the design, found \"" + std::string(figure.text) + "\"");
            }
            stake.differences[order[k]] = figure;
            at = end;
        }
    }

    void stakeout(Record& r, const Field& text) {
        if (!m_pending || m_sight.kind() != Kind::slopeDistance) {
            closeGroup();
            return skip("a stake-out note that follows no staked observation with angles and a slope distance");
        }
        const std::string_view names = text.text.substr(3);
        // The staked point's name is written whole here; the observation's field holds its first
        // 16 characters.
        const std::string_view target = m_sight.target.text;
        const std::size_t label = names.find(kDesignLabel, startsWith(names, target) ? target.size() : 0);
        if (label == std::string_view::npos || label == 0) {
            malformed(text.column + 3, "expected the staked point's name and \"Design ID\" with the design point");
        }
        std::string_view design = names.substr(label + kDesignLabel.size());
        if (design.empty()) malformed(text.column + text.text.size(), "expected the design point's name");
        // The note names the design point whole; its coordinate record, by its first 16 characters.
        if (lookup(design) == nullptr) {
            const std::string_view cut = firstCharacters(design, kNameWidth);
            if (lookup(cut) != nullptr) design = cut;
        }
        Stakeout s;
        s.shot = std::move(m_sight);
        m_pending = false;
        s.to = r.field(names.substr(0, label));
        s.design = r.field(design);
        m_setup.stakeouts.push_back(std::move(s));
        m_stake = StakeStep::differences;
    }

    // --- level runs ---------------------------------------------------------------------------

    // "13NMLevel Run: <name>[ Description: <description>]".
    void levelRunNote(const Field& text) {
        closeGroup();
        closeSetup();
        closeRun();
        LevelRun& run = m_run;
        run.open = true;
        run.named = true;
        run.offset = text.offset;
        std::string_view rest = text.text.substr(11);
        const std::size_t at = rest.find(" Description: ");
        const Field whole = {rest, text.offset + 11, text.column + 11};
        if (at != std::string_view::npos && at + 14 < rest.size()) {
            run.name = {rest.substr(0, at), whole.offset, whole.column};
            run.description = {rest.substr(at + 14), whole.offset + at + 14, whole.column + at + 14};
        } else {
            run.name = whole;
        }
    }

    // A run opened by a level record without the note before it.
    void openRun(const Record& r) {
        closeGroup();
        closeSetup();
        closeRun();
        m_run.open = true;
        m_run.offset = r.offset();
    }

    // "61LV": the starting point (left-aligned), a text, its known height (which the job takes
    // from the point).
    void levelStart(Record& r) {
        if (!m_run.open || m_run.hasFirstStart || m_run.hasSecondStart || !m_run.readings.empty()) openRun(r);
        const std::string_view raw = r.next(kNameWidth);
        m_run.start = r.field(trimmedRight(raw));
        if (m_run.start.blank()) malformed(r.field(raw).column, "expected the level run's starting point");
        m_run.hasFirstStart = true;
    }

    // "62LV": the run's number and its starting point.
    void levelStartNumber(Record& r) {
        if (!m_run.open || m_run.hasSecondStart || !m_run.readings.empty()) openRun(r);
        m_run.number = r.field(trimmedLeft(r.next(kCountWidth)));
        m_run.start = name(r, "the level run's starting point");
        m_run.hasSecondStart = true;
    }

    // "63LV" (a backsight) and "64LV" (a foresight): point, rod reading, sight length, code,
    // then what the host computed: reading number, backsight flag, height of collimation and,
    // for a foresight, the point's height and rise.
    void levelReading(Record& r, bool backsight) {
        if (!m_run.open) return skip("a level reading before any level run");
        LevelReading reading;
        reading.offset = r.offset();
        reading.backsight = backsight;
        reading.point = name(r, "the level point's name");
        reading.rod = number(r, "a rod reading", true);
        reading.distance = number(r, "a sight length", false);
        reading.code = r.field(trimmedLeft(r.next(kCodeWidth)));
        for (int k = 0; k < 3; ++k) (void)r.next(kCountWidth);  // number and flags, counted again
        reading.collimation = checkedNumber(r, "a height of collimation", false);
        if (!backsight) {
            reading.elevation = checkedNumber(r, "a height", false);
            reading.rise = checkedNumber(r, "a rise", false);
        }
        m_run.readings.push_back(reading);
    }

    // --- the angle units ----------------------------------------------------------------------

    // The azimuth that a backsight record to a point gives was computed from the coordinates of
    // the station and the point: of the units it may be written in, the one it matches is the
    // file's.
    void voteByAzimuth(const Field& written, const Point3& from, const Point3& to) {
        const double north = to.n - from.n;
        const double east = to.e - from.e;
        const double length = std::hypot(north, east);
        if (!(length > 0.0) || !std::isfinite(length)) return;
        constexpr double kDegree = 180.0 / 3.14159265358979323846;
        double azimuth = std::atan2(east, north) * kDegree;
        if (azimuth < 0.0) azimuth += 360.0;
        // Coordinates of 4 decimals turn the direction by up to about 1e-4 / length radians.
        const double tolerance = std::max(1e-6, 3e-4 / length * kDegree);
        const double perDegree[kAngleUnits] = {1.0, 10.0 / 9.0, 160.0 / 9.0};
        const double value = valueOf(written.text);
        int match = -1;
        int matches = 0;
        for (int unit = 0; unit < kAngleUnits; ++unit) {
            double difference = std::fmod(std::fabs(value / perDegree[unit] - azimuth), 360.0);
            difference = std::min(difference, 360.0 - difference);
            if (difference < tolerance) match = unit, ++matches;
        }
        if (matches == 1) ++m_azimuthVotes[match];
    }

    // Sights are mostly near the horizon: a zenith near 100 speaks for gons, one near 90 for
    // degrees; a horizontal angle of 360 or more for gons.
    void noteZenith(const Sight& s) {
        if (!s.zenith.blank()) {
            const double zenith = valueOf(s.zenith.text);
            if (zenith > 0.0 && zenith < 200.0) ++(zenith > 95.0 ? m_zenithNearHundred : m_zenithNearNinety);
        }
        if (!s.horizontal.blank()) {
            const double horizontal = valueOf(s.horizontal.text);
            if (horizontal >= 360.0 && horizontal < 400.0) m_gonsSeen = true;
        }
    }

    // The units of the file's angles as they tell so far (all of the file at its end).
    orv::ie::EAngleUnits angleUnits() const {
        if (m_angleDecimals < 0 || m_angleDecimals == 6) return orv::ie::eDecimalDegrees;
        static const orv::ie::EAngleUnits kUnits[kAngleUnits] = {orv::ie::eDecimalDegrees, orv::ie::eGons,
                                                                 orv::ie::eMils};
        return kUnits[angleUnit()];
    }

    AngleUnit angleUnit() const {
        int best = -1;
        int votes = 0;
        bool tie = false;
        for (int unit = 0; unit < kAngleUnits; ++unit) {
            if (m_azimuthVotes[unit] > votes)
                best = unit, votes = m_azimuthVotes[unit], tie = false;
            else if (votes > 0 && m_azimuthVotes[unit] == votes)
                tie = true;
        }
        if (best >= 0 && !tie) return static_cast<AngleUnit>(best);
        if (m_milsSeen) return kMils;
        if (m_gonsSeen || m_zenithNearHundred > m_zenithNearNinety) return kGons;
        return kDecimalDegrees;
    }

    // --- the job document ---------------------------------------------------------------------

    static void text(JobDocument& d, const char* key, const Field& f) {
        d.from(f.offset);
        d.key(key).text(f.text);
    }
    // Numbers are checked as their fields are read; what the job may still say of one (an
    // implausible value) names the record it stands in.
    static void decimal(JobDocument& d, const Field& f) { (void)d.decimal(f.text); }
    static void decimal(JobDocument& d, const char* key, const Field& f) {
        d.key(key);
        (void)d.decimal(f.text);
    }
    static void triple(JobDocument& d, const char* key, const Field& a, const Field& b, const Field& c) {
        d.from(a.offset);
        d.key(key).beginArray();
        decimal(d, a);
        decimal(d, b);
        decimal(d, c);
        d.endArray();
    }

    static void measurement(JobDocument& d, const Sight& s) {
        d.from(s.kind() == Kind::distanceOnly ? s.distance.offset : s.horizontal.offset);
        switch (s.kind()) {
            case Kind::slopeDistance:
                triple(d, "sd", s.horizontal, s.zenith, s.distance);
                break;
            case Kind::anglesOnly:
                d.key("angles").beginArray();
                decimal(d, s.horizontal);
                decimal(d, s.zenith);
                d.endArray();
                break;
            case Kind::horizontalAngle:
                d.key("hz").beginArray();
                decimal(d, s.horizontal);
                d.endArray();
                break;
            case Kind::distanceOnly:
                d.key("dist").beginArray();
                decimal(d, s.distance);
                d.endArray();
                break;
            case Kind::none:
                break;
        }
    }

    // One code by name, or a code with its attributes.
    static void codes(JobDocument& d, const Field& code, const std::vector<Attribute>& attributes) {
        if (attributes.empty()) {
            if (!code.blank()) text(d, "code", code);
            return;
        }
        d.from(code.offset);
        d.key("codes").beginArray();
        d.beginObject();
        d.key("code").text(code.text);
        d.key("attributes").beginArray();
        for (const Attribute& a : attributes) {
            d.from(a.name.offset);
            d.beginArray();
            d.text(a.name.text);
            d.text(a.value.text);
            d.endArray();
        }
        d.endArray();
        d.endObject();
        d.endArray();
    }

    void shot(JobDocument& d, const Sight& s) const {
        d.from(s.target.offset);
        d.beginObject();
        d.key("to").text(s.target.text);
        measurement(d, s);
        if (!s.hr.blank()) decimal(d, "hr", s.hr);
        if (s.foresight) d.member("fs", true);
        codes(d, s.codeText(), s.attributes);
        if (s.hasNote) text(d, "note", s.note);
        d.endObject();
    }

    void writeBacksight(JobDocument& d) const {
        const Backsight& b = m_setup.backsight;
        if (b.kind == Backsight::Kind::none) return;
        d.from(b.offset);
        d.key("backsight").beginObject();
        if (b.kind == Backsight::Kind::point) {
            text(d, "point", b.name);
        } else {
            decimal(d, "bearing", b.azimuth);
        }
        decimal(d, "circle", b.circle);
        if (!b.hr.blank()) decimal(d, "hr", b.hr);
        if (b.measured) measurement(d, b.sight);
        d.endObject();
    }

    void closeSetup() {
        Setup& s = m_setup;
        if (!s.open) return;
        learnStation(s);
        JobDocument& d = m_parts.setups;
        d.from(s.offset);
        d.beginObject();
        text(d, "station", s.station);
        if (s.givesCoords) triple(d, "coords", s.north, s.east, s.height);
        decimal(d, "hi", s.hi);
        if (!s.code.blank()) text(d, "code", s.code);
        if (s.hasNote) text(d, "note", s.note);
        writeBacksight(d);
        if (!s.resection.empty()) {
            d.key("resection").beginArray();
            for (const Sight& sight : s.resection) {
                d.from(sight.offset);
                d.beginObject();
                text(d, "to", sight.target);
                measurement(d, sight);
                if (!sight.hr.blank()) decimal(d, "hr", sight.hr);
                if (!sight.residual[0].blank())
                    triple(d, "residual", sight.residual[0], sight.residual[1], sight.residual[2]);
                d.endObject();
            }
            d.endArray();
        }
        if (!s.shots.empty()) {
            d.key("shots").beginArray();
            for (const Sight& sight : s.shots) shot(d, sight);
            d.endArray();
        }
        if (!s.stakeouts.empty()) {
            d.key("stakeouts").beginArray();
            for (const Stakeout& stake : s.stakeouts) {
                d.from(stake.shot.offset);
                d.beginObject();
                text(d, "design", stake.design);
                text(d, "to", stake.to);
                measurement(d, stake.shot);
                if (!stake.shot.hr.blank()) decimal(d, "hr", stake.shot.hr);
                if (!stake.shot.codeText().blank()) text(d, "code", stake.shot.codeText());
                if (stake.hasCoords) triple(d, "coords", stake.north, stake.east, stake.height);
                if (!stake.differences[2].blank()) {
                    // A cut is the staked point above the design, a fill below it.
                    d.key("differences").beginArray();
                    decimal(d, stake.differences[0]);
                    decimal(d, stake.differences[1]);
                    const std::string_view height = stake.differences[2].text;
                    if (!stake.fill && valueOf(height) == 0.0) {
                        d.number(1e-9);  // a cut too small to show is still a cut
                    } else if (!stake.fill) {
                        decimal(d, stake.differences[2]);
                    } else if (height.front() == '-') {
                        (void)d.decimal(height.substr(1));
                    } else {
                        (void)d.decimal("-" + std::string(height.front() == '+' ? height.substr(1) : height));
                    }
                    d.endArray();
                }
                d.endObject();
            }
            d.endArray();
        }
        d.endObject();
        s.clear();
    }

    void closeRun() {
        LevelRun& run = m_run;
        if (!run.open) return;
        JobDocument& d = m_parts.levelRuns;
        d.from(run.offset);
        d.beginObject();
        if (run.named) {
            text(d, "name", run.name);
            if (!run.description.blank()) text(d, "description", run.description);
        } else {
            // A run without its note is named by its number.
            d.member("name", run.number.blank() ? std::string_view("1") : run.number.text);
        }
        text(d, "start", run.start);
        d.key("readings").beginArray();
        for (const LevelReading& reading : run.readings) {
            d.from(reading.offset);
            d.beginObject();
            text(d, "point", reading.point);
            decimal(d, reading.backsight ? "bs" : "fs", reading.rod);
            if (!reading.distance.blank()) decimal(d, "dist", reading.distance);
            if (!reading.code.blank()) text(d, "code", reading.code);
            // The heights the level recorded: the job goes on from them.
            if (reading.backsight && !reading.collimation.blank()) decimal(d, "hi", reading.collimation);
            if (!reading.elevation.blank()) decimal(d, "elevation", reading.elevation);
            if (!reading.rise.blank()) decimal(d, "rise", reading.rise);
            d.endObject();
        }
        d.endArray();
        d.endObject();
        run = LevelRun();
    }

    void writePoints() {
        JobDocument& d = m_parts.points;
        for (const KnownPoint& point : m_points) {
            d.from(point.offset);
            d.beginObject();
            text(d, "name", point.name);
            triple(d, "coords", point.north, point.east, point.height);
            codes(d, point.fullCode.blank() ? point.code : point.fullCode, point.attributes);
            d.endObject();
        }
    }

    // The file names no units: distances are read as metres (a file written in feet reads in
    // feet as if they were metres, and writes the same digits again); the angles' digits and
    // their agreement with the coordinates tell their unit.
    void writeMembers() {
        static const char* const kInput[kAngleUnits] = {"decimalDegrees", "gons", "mils"};
        static const char* const kWritten[kAngleUnits] = {"decimalDegrees", "gons", "mils"};
        const bool defaultDegrees = m_angleDecimals < 0 || m_angleDecimals == 6;
        const AngleUnit unit = defaultDegrees ? kDecimalDegrees : angleUnit();
        JobDocument& d = m_parts.members;
        unitsMembers(d, "metres", kInput[unit], defaultDegrees ? "degrees" : kWritten[unit]);
        if (m_hasHeader) {
            d.key("job").beginObject();
            d.member("application", m_application);
            d.member("version", m_version);
            d.endObject();
        }
    }

    const RawInput& m_input;
    JobParts& m_parts;
    RawLines m_lines;
    std::size_t m_records = 0;
    Previous m_previous = Previous::other;
    StakeStep m_stake = StakeStep::none;

    bool m_hasHeader = false;
    std::string_view m_application, m_version;

    std::vector<KnownPoint> m_points;
    std::unordered_map<std::string_view, std::size_t> m_pointIndex;
    std::unordered_map<std::string_view, Point3> m_known;       ///< known points
    std::unordered_map<std::string_view, Point3> m_stations;    ///< earlier set-ups' stations, where the job puts them
    std::unordered_map<std::string_view, Point3> m_foresights;  ///< where the last foresight to a point landed
    std::unordered_map<std::string_view, std::string_view> m_stationCodes;
    std::unordered_set<std::string_view> m_stationNames;

    Setup m_setup;
    Field m_hr;
    bool m_pending = false;  ///< m_sight is an observation whose notes may still follow
    bool m_mayBeBacksight = false;
    Sight m_sight;
    LevelRun m_run;

    int m_angleDecimals = -1;
    std::deque<std::string> m_rounded;  ///< the texts of numbers taken as the records write them
    int m_azimuthVotes[kAngleUnits] = {0, 0, 0};
    bool m_milsSeen = false;
    bool m_gonsSeen = false;
    int m_zenithNearHundred = 0;
    int m_zenithNearNinety = 0;
};

}  // namespace

void readSdr(const RawInput& input, JobParts& parts) { SdrReader(input, parts).read(); }

bool looksLikeSdr(std::string_view head) {
    RawLines lines(head);
    int records = 0;
    while (records < 8 && lines.next()) {
        const std::string_view line = lines.line();
        if (isBlankLine(line)) continue;
        if (line.size() < kHeadWidth || !isDigit(line[0]) || !isDigit(line[1])) return false;
        const auto letter = [](char c) { return c >= 'A' && c <= 'Z'; };
        if (!letter(line[2]) || !(letter(line[3]) || isDigit(line[3]))) return false;
        ++records;
    }
    return records > 0;
}

}  // namespace exportgen
