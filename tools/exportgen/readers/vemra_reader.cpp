// Reads the Vemra family into the job builder: the job header (and ApaSima's entries ahead of it)
// as the job's texts, units and atmosphere, one set-up per station record and one shot per
// observation record, each figure with its place in the file.
//
// What the records leave open stays open:
// - A station record holds a name, a code and the instrument height: no coordinates, and no
//   record says how a set-up was oriented. The station's position and the set-up's orientation
//   are absent, for placement to work out from what else is known (a point list, an assumed
//   frame) or to leave absent.
// - The records do not tell a backsight, a resection sight or a stake-out from any other sight:
//   every observation record is a shot, in the order of the file.
// - The fixed-width digit fields have an implied decimal point; the reader puts it back where
//   the field's width and the unit letter place it.
// - Distances marked "f" may be US survey or international feet; the digits are the same either
//   way once read and written in one unit, and they are read as US survey feet.
//
// The file's units are its first unit letters, which may stand far from its start (a file may
// list its stations before its first observation): a first pass reads the records as far as
// the first angle and distance letters, and the second pass reads the job.
#include "readers/vemra_reader.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "contracts/text_services.h"

namespace exportgen {

namespace {

constexpr std::size_t kAngleDigits = 7;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number of the file: the field's sign and its digits with the point put back, a plain text
// of the file, or a value the reader worked out; in the file's units.
struct Number {
    char text[40] = {};
    std::size_t size = 0;
    std::size_t offset = 0;  ///< where in the file it stands
    bool computed = false;   ///< `value` holds it rather than `text`
    double value = 0.0;
    std::string_view whole;  ///< a plain text of any length, when not empty: it, not `text`
};

// The digits `digits` with a point after the first `integer` of them.
Number fixedPoint(char sign, std::string_view digits, std::size_t integer, std::size_t offset) {
    Number number;
    number.offset = offset;
    if (sign == '-') number.text[number.size++] = '-';
    for (std::size_t i = 0; i < digits.size() && number.size + 2 < sizeof number.text; ++i) {
        if (i == integer) number.text[number.size++] = '.';
        number.text[number.size++] = digits[i];
    }
    return number;
}

Number plain(std::string_view digits, std::size_t offset) {
    Number number;
    number.offset = offset;
    number.whole = digits;
    return number;
}

// One record's line, walked field by field.
class Fields {
public:
    Fields(const RawInput& input, const RawLines& lines) : m_input(input), m_lines(lines), m_line(lines.line()) {}

    [[nodiscard]] std::size_t column() const noexcept { return m_pos; }
    [[nodiscard]] std::size_t offset() const noexcept { return m_lines.offset() + m_pos; }
    [[nodiscard]] std::size_t offsetOf(std::size_t column) const noexcept { return m_lines.offset() + column; }
    [[nodiscard]] char peek() const noexcept { return m_pos < m_line.size() ? m_line[m_pos] : '\0'; }
    [[nodiscard]] std::string_view rest() const noexcept { return m_line.substr(m_pos); }

    [[noreturn]] void fail(std::size_t column, const std::string& what) const {
        m_input.malformed(m_lines, column, what);
    }

    void expect(std::string_view text, const char* what) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (m_pos + i >= m_line.size() || m_line[m_pos + i] != text[i]) {
                fail(m_pos + i, std::string("expected ") + what + " (\"" + std::string(text) + "\")");
            }
        }
        m_pos += text.size();
    }

    // The text of a field up to the "_" that ends it.
    std::string_view text(const char* field) {
        const std::size_t end = m_line.find('_', m_pos);
        if (end == std::string_view::npos) fail(m_line.size(), std::string(field) + " is cut short: no closing '_'");
        const std::string_view value = m_line.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        return value;
    }

    std::string_view digits(std::size_t count, const char* field) {
        for (std::size_t i = 0; i < count; ++i) {
            if (m_pos + i >= m_line.size() || !isDigit(m_line[m_pos + i])) {
                fail(m_pos + i, std::string(field) + ": expected " + std::to_string(count) + " digits");
            }
        }
        const std::string_view value = m_line.substr(m_pos, count);
        m_pos += count;
        return value;
    }

    char sign(const char* field) {
        const char c = peek();
        if (c != '+' && c != '-') fail(m_pos, std::string(field) + ": expected its sign, '+' or '-'");
        ++m_pos;
        return c;
    }

    char letter(const char* field, std::string_view letters) {
        const char c = peek();
        if (c == '\0' || letters.find(c) == std::string_view::npos) {
            fail(m_pos, std::string(field) + ": expected a unit letter, one of \"" + std::string(letters) + "\"");
        }
        ++m_pos;
        return c;
    }

    void end() const {
        if (m_pos < m_line.size()) fail(m_pos, "unexpected text after the record's last field");
    }

private:
    const RawInput& m_input;
    const RawLines& m_lines;
    std::string_view m_line;
    std::size_t m_pos = 0;
};

double decimalValue(std::string_view text) {
    double value = 0.0, scale = 0.0;
    bool negative = false;
    for (const char c : text) {
        if (c == '-') negative = true;
        if (c == '.') scale = 1.0;
        if (!isDigit(c)) continue;
        value = value * 10.0 + (c - '0');
        if (scale != 0.0) scale *= 10.0;
    }
    if (scale != 0.0) value /= scale;
    return negative ? -value : value;
}

// Packed degrees, minutes and seconds: the minutes and the seconds each below 60.
bool isPackedDms(std::string_view digits, std::size_t integer) {
    const std::string_view fraction = digits.substr(std::min(integer, digits.size()));
    return !(fraction.size() > 0 && fraction[0] > '5') && !(fraction.size() > 2 && fraction[2] > '5');
}

struct Shot {
    std::size_t offset = 0;
    std::string_view name;
    std::size_t nameAt = 0;
    int kind = 0;  ///< the measurement's kind
    Number values[3];
    std::size_t count = 0;
    bool hasCoords = false;
    Number coords[3];
    std::string_view code;
    std::size_t codeAt = 0;
    Number hr;
};

// Whether the value at `index` of a measurement of `kind` is an angle (else a distance or a
// height difference): slope [hz, zenith, slope], horizontal [hz, horizontal, rise], angles
// [hz, zenith], a direction [hz], a distance [slope].
bool isAngle(int kind, std::size_t index) {
    using namespace orv::ie;
    if (kind == eKindSlopeDistanceOnly) return false;
    if (kind == eKindAngleAndHorizontalDistance) return index == 0;
    return index < 2;
}

// A text of the file as UTF-8: a well-formed UTF-8 sequence stays as it is, and any other byte
// above 127 is a character of a single-byte encoding (Latin-1), the character of its number.
std::string_view utf8Of(std::string_view text, std::string& buffer) {
    bool asIs = true;
    for (std::size_t i = 0; i < text.size() && asIs; i += characterLength(text, i)) {
        asIs = static_cast<unsigned char>(text[i]) < 0x80 || characterLength(text, i) > 1;
    }
    if (asIs) return text;
    buffer.clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = characterLength(text, i);
        if (byte < 0x80 || length > 1) {
            buffer.append(text.data() + i, length);
        } else {
            buffer += static_cast<char>(0xC0 | (byte >> 6));
            buffer += static_cast<char>(0x80 | (byte & 0x3F));
        }
        i += length;
    }
    return buffer;
}

class Reader {
public:
    /// Without a builder, the reader makes the first pass: it reads the records, warning of
    /// nothing, until it knows the file's units.
    Reader(VemraDialect dialect, RawInput& input, JobBuilder* builder)
        : m_dialect(dialect), m_input(input), m_builder(builder), m_lines(input.text()) {}

    // The first pass: the file's first angle and distance letters (0 for a kind it has none of).
    std::pair<char, char> units() {
        if (m_dialect == VemraDialect::apaSima) entries();
        while ((m_angle == 0 || m_distance == 0) && m_lines.next()) record();
        return {m_angle, m_distance};
    }

    // The second pass, in the units the first found.
    void read(std::pair<char, char> units) {
        m_angle = units.first;
        m_distance = units.second;
        inputUnits();
        if (m_dialect == VemraDialect::apaSima) entries();
        while (m_lines.next()) {
            m_input.passed(m_lines.offset());
            record();
        }
        if (m_dialect == VemraDialect::apaSima && !m_headerSeen) {
            m_input.malformed(m_lines, m_lines.line().size(), "no job header (\"_!\") after the ApaSima entries");
        }
        closeSetup();
        m_builder->headerDone();
        m_input.passed(m_input.text().size());
    }

private:
    [[nodiscard]] bool building() const noexcept { return m_builder != nullptr; }

    // A warning of the second pass about the current line.
    void warn(const std::string& what) const {
        if (building()) m_input.warn(m_lines, what);
    }

    void record() {
        const std::string_view line = m_lines.line();
        if (line.empty()) return;
        if (line.substr(0, 2) == "_!") {
            header();
        } else if (line[0] == '\'') {
            station();
        } else if (line[0] == '+') {
            observation();
        } else {
            warn("a record the reader does not know (\"" + std::string(line.substr(0, 16)) +
                 (line.size() > 16 ? "...\"" : "\"") + "), skipped");
        }
    }

    // ApaSima's program, job, atmosphere and constant entries, in that order, ahead of the job
    // header: texts joined by commas.
    void entries() {
        static const char* const kNames[] = {"program entry", "job entry", "atmosphere entry", "constant entry"};
        static const std::size_t kCounts[] = {2, 5, 6, 1};
        for (int i = 0; i < 4; ++i) {
            if (!m_lines.next()) m_input.malformed(m_lines, m_lines.line().size(), std::string("no ") + kNames[i]);
            const std::string_view line = m_lines.line();
            if (line.substr(0, 2) == "_!") m_input.malformed(m_lines, 0, std::string("expected the ") + kNames[i]);
            Entry& entry = m_entries[i];
            std::size_t start = 0;
            for (std::size_t k = 0; k < kCounts[i]; ++k) {
                std::size_t end = line.find(',', start);
                if (k + 1 == kCounts[i]) {
                    if (end != std::string_view::npos) {
                        m_input.malformed(m_lines, end,
                                          std::string("the ") + kNames[i] + " has more than " +
                                              std::to_string(kCounts[i]) + " texts");
                    }
                    end = line.size();
                } else if (end == std::string_view::npos) {
                    m_input.malformed(
                        m_lines, line.size(),
                        std::string("the ") + kNames[i] + " has fewer than " + std::to_string(kCounts[i]) + " texts");
                }
                entry.texts[k] = line.substr(start, end - start);
                entry.at[k] = m_lines.offset() + start;
                start = end + 1;
            }
            const auto number = [&](std::size_t k, const char* what) {
                if (!isDecimal(entry.texts[k])) {
                    m_input.malformed(m_lines, entry.at[k] - m_lines.offset(), std::string(what) + " is not a number");
                }
            };
            if (i == 0 && entry.texts[1].substr(0, 4) != "Ver ") {
                m_input.malformed(m_lines, entry.at[1] - m_lines.offset(),
                                  "the program version does not start \"Ver \"");
            } else if (i == 1) {
                for (std::size_t k = 1; k < 4; ++k) {
                    if (!entry.texts[k].empty()) {
                        warn("job entry text " + std::to_string(k + 1) + " is not kept (the format writes it empty)");
                    }
                }
                std::size_t slashes = 0;
                for (const char c : entry.texts[4]) slashes += c == '/' ? 1 : 0;
                if (slashes != 2) {
                    m_input.malformed(m_lines, entry.at[4] - m_lines.offset(),
                                      "the creation date is not three parts year/month/day");
                }
                if (isImpossibleDate(entry.texts[4], '/', "ymd")) {
                    m_input.malformed(m_lines, entry.at[4] - m_lines.offset(),
                                      "no such day: " + shownName(entry.texts[4]) + " (year/month/day)");
                }
            } else if (i == 2) {
                for (const std::size_t k : {0, 1, 5}) {
                    if (entry.texts[k] != "1") {
                        warn("atmosphere entry text " + std::to_string(k + 1) + " " + shownName(entry.texts[k]) +
                             " is read as 1");
                    }
                }
                number(2, "the temperature");
                number(3, "the pressure");
                number(4, "the ppm");
            } else if (i == 3 && entry.texts[0] != "+00") {
                number(0, "the prism constant");
            }
        }
    }

    // _!job_"third text_#instrument_$date_%temperature_&pressure_
    void header() {
        Fields f(m_input, m_lines);
        if (m_headerSeen) f.fail(0, "a second job header");
        if (m_setups > 0) f.fail(0, "the job header after the first station");
        m_headerSeen = true;
        f.expect("_!", "the job header");
        const std::size_t nameAt = f.offset();
        const std::string_view name = f.text("the job name");
        f.expect("\"", "the third job text");
        const std::size_t text3At = f.offset();
        const std::string_view text3 = f.text("the third job text");
        f.expect("#", "the instrument");
        const std::size_t instrumentAt = f.offset();
        const std::string_view instrument = f.text("the instrument");
        f.expect("$", "the date");
        f.text("the date");  // today's date when written: nothing of the job
        f.expect("%", "the temperature");
        const std::size_t temperatureColumn = f.column();
        const std::string_view temperature = f.text("the temperature");
        if (!isDecimal(temperature)) f.fail(temperatureColumn, "the temperature is not a number");
        f.expect("&", "the pressure");
        const std::size_t pressureColumn = f.column();
        const std::string_view pressure = f.text("the pressure");
        if (!isDecimal(pressure) || pressure.find('.') != std::string_view::npos) {
            f.fail(pressureColumn, "the pressure is not a whole number");
        }
        f.end();
        if (!building()) return;

        JobBuilder& b = *m_builder;
        if (m_dialect == VemraDialect::apaSima) apaSimaJob(name);
        b.setJobTexts(text(TextKind::text, name, nameAt), COrvStringT(), text(TextKind::text, text3, text3At));
        b.setInstrument(text(TextKind::text, instrument, instrumentAt),
                        m_dialect == VemraDialect::apaSima ? prismConstant() : 0.0);
        // The header writes "0.000" and "000" when the settings hold no temperature or pressure.
        if (temperature != "0.000") temperatureOf(temperature);
        if (pressure != "000") pressureOf(pressure);
        if (m_dialect == VemraDialect::apaSima && decimalValue(m_entries[2].texts[4]) != 0.0) {
            b.setPpm(numberOf(m_entries[2].texts[4]));
        }
    }

    // The program entry's name and version, and the job entry's creation date.
    void apaSimaJob(std::string_view headerName) {
        const Entry& program = m_entries[0];
        m_builder->setApplication(text(TextKind::text, program.texts[0], program.at[0]),
                                  text(TextKind::text, program.texts[1].substr(4), program.at[1] + 4));
        const Entry& job = m_entries[1];
        if (job.texts[0] != headerName) {
            warn("the job entry's name " + shownName(job.texts[0]) + " is not the header's; the header's is read");
        }
        // The entry holds the creation date day/month/year written the other way round.
        const std::string_view date = job.texts[4];
        if (date == "//") return;
        const std::size_t first = date.find('/'), second = date.find('/', first + 1);
        std::string created(date.substr(second + 1));
        created += '/';
        created += date.substr(first + 1, second - first - 1);
        created += '/';
        created += date.substr(0, first);
        const Place at = m_builder->place(job.at[4]);
        m_builder->setCreated(m_builder->text(TextKind::text, utf8Of(created, m_buffer), at), at, std::nullopt, at);
    }

    // The header's temperature has 3 decimals; ApaSima's atmosphere entry writes the same value
    // with 1. When the header's value rounds otherwise than the entry (18.250 written for
    // 18.2503 with the entry's 18.3), a value within half a unit of the header's last digit
    // gives both.
    void temperatureOf(std::string_view header) {
        const auto entryText = [](double value) { return orv_formats::DoubleToString(value, 1); };
        if (m_dialect == VemraDialect::apaSima) {
            const std::string_view entry = m_entries[2].texts[2];
            const double written = decimalValue(header);
            if (!sameText(entryText(written), entry)) {
                for (const double k : kWithinHalfAUnit) {
                    const double value = written + k * 0.001;
                    if (!sameText(orv_formats::DoubleToString(value, 3), header) ||
                        !sameText(entryText(value), entry)) {
                        continue;
                    }
                    m_builder->setTemperature(value, orv::ie::eCelsius);
                    return;
                }
                warn("the atmosphere entry's temperature " + std::string(entry) + " is not the header's " +
                     std::string(header) + "; the header's is read");
            }
        }
        m_builder->setTemperature(numberOf(header), orv::ie::eCelsius);
    }

    static bool sameText(const COrvStringT& text, std::string_view ascii) {
        const std::wstring_view wide = text.view();
        if (wide.size() != ascii.size()) return false;
        for (std::size_t i = 0; i < ascii.size(); ++i) {
            if (wide[i] != static_cast<unsigned char>(ascii[i])) return false;
        }
        return true;
    }

    // The header's pressure is a whole number in the unit of the observation settings; ApaSima's
    // atmosphere entry gives it in hPa with a decimal. The unit is the one that turns the
    // entry's value into the header's.
    void pressureOf(std::string_view header) {
        using namespace orv::ie;
        if (m_dialect != VemraDialect::apaSima) {
            m_builder->setPressure(numberOf(header), eHectoPascal);
            return;
        }
        const Entry& atmosphere = m_entries[2];
        const double hpa = decimalValue(atmosphere.texts[3]);
        const double written = decimalValue(header);
        static const struct {
            EPressureUnits units;
            double perHpa;
        } kUnits[] = {{eHectoPascal, 1.0}, {eMillimetresHg, 0.750061683}, {eInchesHg, 0.0295299831}};
        for (const auto& unit : kUnits) {
            if (std::trunc(std::round(hpa * unit.perHpa)) != written) continue;
            if (unit.perHpa == 1.0) {
                m_builder->setPressure(numberOf(atmosphere.texts[3]), eHectoPascal);
            } else {
                m_builder->setPressure(hpa * unit.perHpa, unit.units);
            }
            return;
        }
        warn("the atmosphere entry's pressure " + std::string(atmosphere.texts[3]) + " hPa is not the header's " +
             std::string(header) + "; the header's is read as hPa");
        m_builder->setPressure(numberOf(header), eHectoPascal);
    }

    // The constant is written as a whole number of millimetres, "+00" when it is 0: "00" and
    // "-0" are constants under half a millimetre that are not 0, read as a quarter of one (a
    // figure within the entry's resolution that writes the entry again).
    double prismConstant() const {
        const std::string_view value = m_entries[3].texts[0];
        if (value == "+00") return 0.0;
        if (decimalValue(value) == 0.0) return value[0] == '-' ? -0.25 : 0.25;
        return numberOf(value);
    }

    // 'name_(code_)instrument height_
    void station() {
        Fields f(m_input, m_lines);
        closeSetup();
        f.expect("'", "a station");
        const std::size_t nameAt = f.offset();
        const std::string_view name = orNameless(f.text("the station name"));
        f.expect("(", "the station code");
        const std::size_t codeAt = f.offset();
        const std::string_view code = f.text("the station code");
        f.expect(")", "the instrument height");
        const std::size_t hiColumn = f.column();
        const std::string_view hi = f.text("the instrument height");
        if (!isDecimal(hi)) f.fail(hiColumn, "the instrument height is not a number");
        f.end();
        if (m_dialect == VemraDialect::apaSima && !m_headerSeen) {
            f.fail(0, "no job header (\"_!\") after the ApaSima entries");
        }
        ++m_setups;
        if (!building()) return;

        m_builder->headerDone();
        m_setup = Setup();
        m_setup.place = m_builder->place(m_lines.offset());
        m_setup.station = text(TextKind::name, name, nameAt);
        m_setup.code = text(TextKind::code, code, codeAt);
        m_setup.hi = Figure::recorded(m_builder->length(numberOf(hi)));
        m_setupOpen = true;
    }

    // A name made only of "+" and "_" is written as nothing (a nameless target is a blank, not
    // this). A job's names are never empty: such a name reads as "+", which is written as
    // nothing again.
    static std::string_view orNameless(std::string_view name) { return name.empty() ? "+" : name; }

    // The set-up read so far is complete: handed on.
    void closeSetup() {
        if (!m_setupOpen) return;
        m_setupOpen = false;
        m_builder->addSetup(std::move(m_setup));
    }

    // +name_ measurement fields_*code_,target height_
    void observation() {
        Fields f(m_input, m_lines);
        if (m_setups == 0) f.fail(0, "an observation before the first station");
        Shot shot;
        shot.offset = m_lines.offset();
        f.expect("+", "an observation");
        shot.nameAt = f.offset();
        shot.name = orNameless(f.text("the target name"));
        const bool measured =
            m_dialect == VemraDialect::drevan ? drevanMeasurement(f, shot) : vemraMeasurement(f, shot);
        f.expect("*", "the target code");
        shot.codeAt = f.offset();
        shot.code = f.text("the target code");
        f.expect(",", "the target height");
        const std::size_t hrColumn = f.column();
        const std::string_view hr = f.text("the target height");
        if (!isDecimal(hr)) f.fail(hrColumn, "the target height is not a number");
        shot.hr = plain(hr, f.offsetOf(hrColumn));
        f.end();
        if (measured && building()) add(shot);
    }

    // The shot as the set-up's next one: a side shot (the record does not say more), its figures
    // in metres and degrees, the target's coordinates when the record gives them.
    void add(const Shot& shot) {
        using namespace orv::ie;
        JobBuilder& b = *m_builder;
        Observation obs;
        obs.place = b.place(shot.offset);
        obs.sight.setTargetName(text(TextKind::name, shot.name, shot.nameAt));
        obs.sight.setKind(eSightSideShot);
        std::vector<double> values;
        values.reserve(shot.count);
        for (std::size_t i = 0; i < shot.count; ++i) {
            const double value = valueOf(shot.values[i]);
            values.push_back(isAngle(shot.kind, i) ? b.angle(value) : b.length(value));
        }
        obs.sight.setMeasurement(DexTSRawMeasurement(shot.kind, std::move(values)));
        obs.hr = Figure::recorded(b.length(valueOf(shot.hr)));
        if (!shot.code.empty()) {
            obs.code = text(TextKind::code, shot.code, shot.codeAt);
            if (!obs.code.IsEmpty()) obs.sight.codes.addCode(DexCodeValues(DexCodeDescription(obs.code)));
        }
        // Coordinates are written in metres whatever the file's distance unit.
        if (shot.hasCoords) {
            obs.coords.set({valueOf(shot.coords[0]), valueOf(shot.coords[1]), valueOf(shot.coords[2])},
                           Origin::recorded);
        }
        m_setup.shots.push_back(std::move(obs));
    }

    // " a+" horizontal, then " b" vertical with an optional " c" slope distance, or " d"
    // horizontal distance and " e" height difference.
    bool vemraMeasurement(Fields& f, Shot& shot) {
        f.expect(" a+", "the horizontal angle");
        shot.values[0] = vemraAngle(f, "the horizontal angle");
        f.expect("_", "the end of the horizontal angle");
        f.expect(" ", "a measurement field");
        const std::size_t secondColumn = f.column();
        const char second = f.peek();
        if (second == 'b') {
            f.expect("b", "the vertical angle");
            shot.values[1] = vemraAngle(f, "the vertical angle");
            f.expect("_", "the end of the vertical angle");
            if (f.peek() == ' ') {
                f.expect(" c", "the slope distance");
                shot.values[2] = distance(f, "the slope distance", 8, 3, true);
                f.expect("_", "the end of the slope distance");
                shot.kind = orv::ie::eKindAnglesAndSlopeDistance;
                shot.count = 3;
            } else {
                shot.kind = orv::ie::eKindAnglesOnly;
                shot.count = 2;
            }
        } else if (second == 'd') {
            f.expect("d", "the horizontal distance");
            shot.values[1] = distance(f, "the horizontal distance", 8, 3, true);
            f.expect("_", "the end of the horizontal distance");
            f.expect(" e", "the height difference");
            shot.values[2] = distance(f, "the height difference", 8, 3, true);
            f.expect("_", "the end of the height difference");
            shot.kind = orv::ie::eKindAngleAndHorizontalDistance;
            shot.count = 3;
        } else {
            f.fail(secondColumn, "expected the vertical angle (\"b\") or the horizontal distance (\"d\")");
        }
        return true;
    }

    // A Vemra or ApaSima angle field: 7 digits and the unit letter. An angle of 0 or less was
    // moved up by 360 degrees before it was written, so 7 zeros are what is left of a full
    // negative circle: read as one, it is written as zeros again.
    Number vemraAngle(Fields& f, const char* field) {
        const std::size_t column = f.column();
        const std::string_view digits = f.digits(kAngleDigits, field);
        const char letter = angleLetter(f, field);
        if (digits == "0000000") {
            Number number = plain(m_dialect == VemraDialect::apaSima || letter == 'd' ? "-360"
                                  : letter == 'g'                                     ? "-400"
                                                                                      : "-6400",
                                  f.offsetOf(column));
            return number;
        }
        // A mil field holds 3 decimals, any other 4; ApaSima writes the digits in degrees,
        // minutes and seconds whatever the letter.
        const std::size_t integer = letter == 'm' ? 4 : 3;
        if (packed(letter) && !isPackedDms(digits, integer)) notDms(f, column, digits);
        return fixedPoint('+', digits, integer, f.offsetOf(column));
    }

    // The Drevan measurement group: a letter, fixed-width fields and a closing text.
    bool drevanMeasurement(Fields& f, Shot& shot) {
        f.expect(" ", "the measurement group");
        const std::size_t groupColumn = f.column();
        const char group = f.peek();
        if (group == '_') {
            warn("an observation without a measurement, skipped");
            f.expect("_", "the end of the measurement group");
            return false;
        }
        if (group == '\0' || std::string_view("?WR<DAEU").find(group) == std::string_view::npos) {
            f.fail(groupColumn, "expected a measurement group: one of ?WR<DAEU");
        }
        f.expect(std::string_view(&group, 1), "the measurement group's letter");
        switch (group) {
            case '?': {  // slope distance, vertical, horizontal, computed horizontal distance
                const Number sd = distance(f, "the slope distance", 8, 3, true);
                const Raw vertical = rawAngle(f, "the vertical angle", false, false);
                const Raw horizontal = rawAngle(f, "the horizontal angle", true, true);
                const FieldDigits hd = digitsOf(distance(f, "the horizontal distance", 8, 3, false));
                f.expect("***+**+**000", "the group's closing text");
                shot.kind = orv::ie::eKindAnglesAndSlopeDistance;
                shot.count = 3;
                shot.values[0] = drevanAngle(f, horizontal, 4, true);
                shot.values[1] = drevanAngle(f, vertical, 4, false);
                shot.values[2] = sd;
                if (building()) horizontalDistance(shot, vertical.digits, hd.view());
                break;
            }
            case 'W': {  // the same with 4 distance and 5 angle decimals and the target's coordinates
                const Number sd = distance(f, "the slope distance", 9, 4, true);
                const Raw vertical = rawAngle(f, "the vertical angle", false, false);
                const Raw horizontal = rawAngle(f, "the horizontal angle", true, true);
                coordinates(f, shot, 4, 10, false);
                f.expect("***+**+**000", "the group's closing text");
                shot.kind = orv::ie::eKindAnglesAndSlopeDistance;
                shot.count = 3;
                shot.values[0] = drevanAngle(f, horizontal, 5, true);
                shot.values[1] = drevanAngle(f, vertical, 5, false);
                shot.values[2] = sd;
                break;
            }
            case 'R': {  // horizontal distance, computed zenith, horizontal, height difference
                const Number hd = distance(f, "the horizontal distance", 8, 3, true);
                const Raw zenith = rawAngle(f, "the zenith", false, false);
                const Raw horizontal = rawAngle(f, "the horizontal angle", true, true);
                const Number dh = distance(f, "the height difference", 8, 3, false);
                f.expect("***+**+**000", "the group's closing text");
                const Number zenithValue = drevanAngle(f, zenith, 4, false);
                shot.kind = orv::ie::eKindAngleAndHorizontalDistance;
                shot.count = 3;
                shot.values[0] = drevanAngle(f, horizontal, 4, true);
                shot.values[1] = hd;
                shot.values[2] = dh;
                if (building()) zenithOf(shot, zenith.digits, zenithValue);
                break;
            }
            case '<': {  // vertical, horizontal, then "+****" and the angle letter
                const Raw vertical = rawAngle(f, "the vertical angle", false, false);
                const Raw horizontal = rawAngle(f, "the horizontal angle", true, false);
                f.expect("+****", "the group's closing text");
                angleLetter(f, "the angle group");
                f.expect("000", "the group's closing text");
                shot.kind = orv::ie::eKindAnglesOnly;
                shot.count = 2;
                shot.values[0] = drevanAngle(f, horizontal, 4, false);
                shot.values[1] = drevanAngle(f, vertical, 4, false);
                break;
            }
            case 'D':
                shot.values[0] = distance(f, "the slope distance", 8, 3, true);
                f.expect("000", "the group's closing text");
                shot.kind = orv::ie::eKindSlopeDistanceOnly;
                shot.count = 1;
                break;
            case 'A':
            case 'E':
                distance(f, "the distance", 8, 3, true);
                f.expect("000", "the group's closing text");
                warn(std::string("a distance of kind ") + (group == 'A' ? "A" : "E") +
                     ", which a job cannot hold, skipped");
                f.expect("_", "the end of the measurement group");
                return false;
            case 'U': {  // the target's coordinates and a direction
                coordinates(f, shot, 3, 8, true);
                const Raw horizontal = rawAngle(f, "the horizontal angle", true, true);
                f.expect("000", "the group's closing text");
                shot.kind = orv::ie::eKindHorizontalAngleOnly;
                shot.count = 1;
                shot.values[0] = drevanAngle(f, horizontal, 4, true);
                break;
            }
            default:
                break;
        }
        f.expect("_", "the end of the measurement group");
        return true;
    }

    // The digits of a Drevan angle field and its sign when it has one. The unit letter, on the
    // field or at the end of the group, is read into the file's angle letter.
    struct Raw {
        char sign = '+';
        std::string_view digits;
        std::size_t column = 0;
    };

    Raw rawAngle(Fields& f, const char* field, bool withSign, bool withUnit) {
        Raw raw;
        if (withSign) raw.sign = f.sign(field);
        raw.column = f.column();
        raw.digits = f.digits(kAngleDigits, field);
        if (withUnit) angleLetter(f, field);
        return raw;
    }

    // Drevan writes angles with `precision` decimals (mils with one fewer, and with 3 when the
    // field has its letter) and keeps the first 7 digits. Where a value with 3 integer digits
    // (4 in mils) does not fit, it loses its last decimal, so 7 digits starting 1 to 3 (1 to 6
    // in mils) may have either many integer digits: the larger is taken when it is a proper
    // angle, which it is for every direction beyond 100 degrees. Either reading writes the same
    // digits again.
    Number drevanAngle(Fields& f, const Raw& raw, int precision, bool withUnit) {
        const char letter = m_angle;  // every group has read its letter by now
        const bool mils = letter == 'm';
        const int decimals = mils ? (withUnit ? 3 : precision) - 1 : precision;
        const std::size_t natural = kAngleDigits - static_cast<std::size_t>(decimals);
        const std::size_t widest = mils ? 4 : 3;
        std::size_t integer = natural;
        const bool dms = letter == 'd';
        if (natural < widest && raw.digits[0] >= '1' && raw.digits[0] <= (mils ? '6' : '3') &&
            (!dms || isPackedDms(raw.digits, widest))) {
            integer = widest;
        }
        if (dms && !isPackedDms(raw.digits, integer)) notDms(f, raw.column, raw.digits);
        return fixedPoint(raw.sign, raw.digits, integer, f.offsetOf(raw.column));
    }

    // Drevan works out a value of two groups from the measurement as the job holds it: the
    // horizontal distance of a "?" group (|sin zenith| x slope distance) and the zenith of an
    // "R" group (from the horizontal distance and the height difference). The file holds the
    // measurement rounded to its fields, and the value worked out of the rounded figures may
    // differ in its last digit from the one written. Each measured figure may lie anywhere
    // within half a unit of its last digit, so the reader looks there for figures that give
    // the file's digits in every field of the group, doing what the job and the writer will do
    // with them.
    void horizontalDistance(Shot& shot, std::string_view verticalDigits, std::string_view hdDigits) {
        const double sd0 = decimalValue(textOf(shot.values[2]));
        const double v0 = decimalValue(textOf(shot.values[1]));
        const FieldDigits sdField = digitsOf(shot.values[2]);
        const std::string_view sdDigits = sdField.view();
        const auto fits = [&](double sd, double v) {
            const double vd = degreesOf(v);
            return sameAngle(vd, verticalDigits, 4) && sameDistance(metresOf(sd), sdDigits) &&
                   sameDistance(std::fabs(std::sin(vd * 0.017453292519943295) * metresOf(sd)), hdDigits);
        };
        if (fits(sd0, v0)) return;
        const double h0 = decimalValue(hdDigits) / 1000.0;
        for (const double k : kWithinHalfAUnit) {
            const double v = k == 0.0 ? v0 : angleIn(degreesOf(v0) + k * angleStep(4));
            const double sine = std::fabs(std::sin(degreesOf(v) * 0.017453292519943295));
            if (sine == 0.0) continue;
            for (const double j : kTargets) {
                const double sd = std::clamp(std::copysign((h0 + j * 0.001) / sine, sd0), sd0 - kHalfAUnit * 0.001,
                                             sd0 + kHalfAUnit * 0.001);
                if (!fits(sd, v)) continue;
                shot.values[1] = computed(v, shot.values[1].offset);
                shot.values[2] = computed(sd, shot.values[2].offset);
                return;
            }
        }
        warn(
            "no measurement within the file's digits gives its horizontal distance; "
            "writing it again may differ in that field");
    }

    void zenithOf(Shot& shot, std::string_view zenithDigits, const Number& zenith) {
        const double hd0 = decimalValue(textOf(shot.values[1]));
        const double dh0 = decimalValue(textOf(shot.values[2]));
        const FieldDigits hdField = digitsOf(shot.values[1]), dhField = digitsOf(shot.values[2]);
        const std::string_view hdDigits = hdField.view(), dhDigits = dhField.view();
        const auto fits = [&](double hd, double dh) {
            const double hm = metresOf(hd), dm = metresOf(dh);
            const double z = hm != 0.0 ? std::atan2(hm, dm) * 57.29577951308232 : 0.0;
            return sameAngle(z, zenithDigits, 4) && sameDistance(hm, hdDigits) && sameDistance(dm, dhDigits);
        };
        if (fits(hd0, dh0)) return;
        const double z0 = degreesOf(decimalValue(textOf(zenith))) * (hd0 < 0.0 ? -1.0 : 1.0);
        for (const double k : kWithinHalfAUnit) {
            const double hd = hd0 + k * 0.001;
            for (const double j : kTargets) {
                const double z = z0 + j * angleStep(4);
                const double sine = std::sin(z * 0.017453292519943295);
                if (sine == 0.0) continue;
                const double dh = std::clamp(hd / sine * std::cos(z * 0.017453292519943295), dh0 - kHalfAUnit * 0.001,
                                             dh0 + kHalfAUnit * 0.001);
                if (!fits(hd, dh)) continue;
                shot.values[1] = computed(hd, shot.values[1].offset);
                shot.values[2] = computed(dh, shot.values[2].offset);
                return;
            }
        }
        warn(
            "no measurement within the file's digits gives its zenith; writing it again may "
            "differ in that field");
    }

    // Where to look, in units of a field's last digit: the figure as read, then further out
    // to just short of half a unit either side; and the values aimed at in the worked-out field.
    static constexpr double kHalfAUnit = 0.4999;
    static constexpr double kWithinHalfAUnit[] = {0.0, 0.1, -0.1, 0.2, -0.2, 0.3, -0.3, 0.4, -0.4, 0.4999, -0.4999};
    static constexpr double kTargets[] = {0.0, 0.25, -0.25, 0.45, -0.45};

    static std::string_view textOf(const Number& number) { return std::string_view(number.text, number.size); }

    // The digits of a fixed-width field as the file holds them: the number's text without its
    // sign and point.
    struct FieldDigits {
        char text[40];
        std::size_t size = 0;
        [[nodiscard]] std::string_view view() const noexcept { return std::string_view(text, size); }
    };
    static FieldDigits digitsOf(const Number& number) {
        FieldDigits digits;
        for (std::size_t i = 0; i < number.size; ++i) {
            if (isDigit(number.text[i])) digits.text[digits.size++] = number.text[i];
        }
        return digits;
    }

    static Number computed(double value, std::size_t offset) {
        Number number;
        number.computed = true;
        number.value = value;
        number.offset = offset;
        return number;
    }

    // What the job makes of a figure in the file's units, as the job reader converts it.
    double metresOf(double value) const { return m_distance == 'f' ? value * 1200.0 / 3937.0 : value; }
    double degreesOf(double value) const { return orv::ie::utils::angleToDecDeg(value, inputAngleUnits()); }
    orv::ie::EAngleUnits inputAngleUnits() const {
        return m_angle == 'g' ? orv::ie::eGons : m_angle == 'm' ? orv::ie::eMils : orv::ie::eDegMinSec;
    }
    // An angle in degrees as the file's units give it (packed degrees, minutes and seconds).
    double angleIn(double degrees) const {
        if (m_angle == 'g') return degrees / 0.9;
        if (m_angle == 'm') return degrees * 6400.0 / 360.0;
        const double magnitude = std::fabs(degrees);
        const double whole = std::floor(magnitude);
        const double minutes = std::floor((magnitude - whole) * 60.0);
        const double seconds = ((magnitude - whole) * 60.0 - minutes) * 60.0;
        return std::copysign(whole + minutes / 100.0 + seconds / 10000.0, degrees);
    }
    // The last digit of a Drevan angle field without its letter, in degrees.
    double angleStep(int precision) const {
        if (m_angle == 'g') return 0.9 * std::pow(10.0, -precision);
        if (m_angle == 'm') return 360.0 / 6400.0 * std::pow(10.0, 1 - precision);
        return std::pow(10.0, 4 - precision) / 3600.0;
    }

    // Whether Drevan writes `metres` as the 8 digits `digits` (3 decimals).
    bool sameDistance(double metres, std::string_view digits) const {
        const COrvStringT text = m_distance == 'f'
                                     ? orv::ie::utils::distByStyleToString(orv::ie::eUSFeet, std::fabs(metres), 3)
                                     : orv_formats::DoubleToString(std::fabs(metres), 3);
        return sameDigits(text, digits);
    }

    // Whether Drevan writes `degrees` as the 7 digits `digits` of a field without its letter.
    bool sameAngle(double degrees, std::string_view digits, int precision) const {
        using namespace orv::ie;
        const double magnitude = std::fabs(degrees);
        const COrvStringT text = m_angle == 'g'   ? utils::angleByStyleToString(eGons, magnitude, precision)
                                 : m_angle == 'm' ? utils::angleByStyleToString(eMils, magnitude, precision - 1)
                                                  : utils::angleByStyleToString(eDegMinSec, magnitude, precision);
        return sameDigits(text, digits);
    }

    // A number text with its point removed, padded on the left with zeros or cut to the width
    // of `digits`, against `digits`.
    static bool sameDigits(const COrvStringT& text, std::string_view digits) {
        char written[16];
        std::size_t size = 0;
        for (const wchar_t c : text.view()) {
            if (c == L'.') continue;
            if (size < sizeof written) written[size] = static_cast<char>(c);
            ++size;
        }
        if (size >= digits.size())
            return digits.size() <= sizeof written && std::string_view(written, digits.size()) == digits;
        const std::size_t zeros = digits.size() - size;
        for (std::size_t i = 0; i < zeros; ++i) {
            if (digits[i] != '0') return false;
        }
        return std::string_view(written, size) == digits.substr(zeros);
    }

    // The target's northing, easting and height in metres, whatever the job's units: a sign
    // and `width` digits, or `width` + 1 digits without a sign when the value needed the room.
    // The last one carries the distance letter in a "U" group.
    void coordinates(Fields& f, Shot& shot, int decimals, std::size_t width, bool letterOnLast) {
        static const char* const kAxes[] = {"the northing", "the easting", "the height"};
        for (int i = 0; i < 3; ++i) {
            const std::size_t column = f.column();
            const char sign = f.peek() == '+' || f.peek() == '-' ? f.sign(kAxes[i]) : 0;
            const std::string_view digits = f.digits(sign != 0 ? width : width + 1, kAxes[i]);
            const std::size_t integer = digits.size() - static_cast<std::size_t>(decimals);
            shot.coords[i] = fixedPoint(sign, digits, integer, f.offsetOf(column));
            if (i == 2 && letterOnLast) distanceLetter(f, "the height");
        }
        shot.hasCoords = true;
    }

    // A distance field: its sign, `width` digits with `decimals` of them after the implied
    // point, and the unit letter when it has one.
    Number distance(Fields& f, const char* field, std::size_t width, std::size_t decimals, bool withUnit) {
        const char sign = f.sign(field);
        const std::size_t column = f.column();
        const std::string_view digits = f.digits(width, field);
        if (withUnit) distanceLetter(f, field);
        return fixedPoint(sign, digits, width - decimals, f.offsetOf(column - 1));
    }

    char angleLetter(Fields& f, const char* field) {
        const std::size_t column = f.column();
        const char letter = f.letter(field, "dgm");
        if (m_angle == 0) {
            m_angle = letter;
        } else if (letter != m_angle) {
            f.fail(column, std::string(field) + " is in " + angleUnitName(letter) + " where the file's angles are in " +
                               angleUnitName(m_angle));
        }
        return letter;
    }

    char distanceLetter(Fields& f, const char* field) {
        const std::size_t column = f.column();
        const char letter = f.letter(field, "mf");
        if (m_distance == 0) {
            m_distance = letter;
        } else if (letter != m_distance) {
            f.fail(column, std::string(field) + " is in " + (letter == 'm' ? "metres" : "feet") +
                               " where the file's distances are in " + (m_distance == 'm' ? "metres" : "feet"));
        }
        return letter;
    }

    static const char* angleUnitName(char letter) {
        return letter == 'g' ? "gons" : letter == 'm' ? "mils" : "degrees";
    }

    // Whether an angle field's digits are degrees, minutes and seconds.
    bool packed(char letter) const { return m_dialect == VemraDialect::apaSima || letter == 'd'; }

    [[noreturn]] static void notDms(Fields& f, std::size_t column, std::string_view digits) {
        f.fail(column,
               "angle \"" + std::string(digits) + "\" is no degrees, minutes and seconds: 60 minutes or seconds");
    }

    // The file's figure in its units.
    double valueOf(const Number& number) const {
        if (number.computed) return number.value;
        double value = 0.0;
        if (!parseDecimal(number.whole.empty() ? textOf(number) : number.whole, value)) {
            m_input.malformed(m_lines, number.offset - m_lines.offset(), "not a number");
        }
        return value;
    }

    // A plain number of the file that the reader has checked (isDecimal).
    static double numberOf(std::string_view text) {
        double value = 0.0;
        return parseDecimal(text, value) ? value : 0.0;
    }

    // A text of the file, checked against what the chosen formats reserve.
    COrvStringT text(TextKind kind, std::string_view raw, std::size_t offset) {
        return m_builder->text(kind, utf8Of(raw, m_buffer), m_builder->place(offset));
    }

    // The file's units: what the unit letters say, metres and degrees when it has none. ApaSima
    // writes packed degrees, minutes and seconds whatever its letter says. Every distance and
    // angle carries its letter, so the file states what it holds; "f" is feet without saying
    // which (US survey feet, unless --input-units says international feet). Units stated with
    // --input-units are taken for the values; the digits are still read as the letters lay them
    // out.
    void inputUnits() {
        using namespace orv::ie;
        FileUnits file;
        file.units.distance = m_distance == 'f' ? eUSFeet : eMeters;
        file.units.angle = m_dialect == VemraDialect::apaSima || (m_angle != 'g' && m_angle != 'm') ? eDegMinSec
                           : m_angle == 'g'                                                         ? eGons
                                                                                                    : eMils;
        file.distanceStated = file.distances = m_distance != 0;
        file.angleStated = file.angles = m_angle != 0;
        file.feetOfEitherKind = m_distance == 'f';
        file.place = m_builder->place(0);
        const InputUnits& units = m_builder->setFileUnits(file);
        const EAngleUnits lettered = m_angle == 'g' ? eGons : m_angle == 'm' ? eMils : eDegrees;
        m_builder->setUnits(units.distance, units.angle == file.units.angle ? lettered
                                            : units.angle == eDegMinSec     ? eDegrees
                                                                            : units.angle);
    }

    struct Entry {
        std::string_view texts[6];
        std::size_t at[6] = {};
    };

    VemraDialect m_dialect;
    RawInput& m_input;
    JobBuilder* m_builder;  ///< null in the first pass
    RawLines m_lines;
    Entry m_entries[4];
    Setup m_setup;  ///< the set-up being read
    std::string m_buffer;
    bool m_headerSeen = false;
    bool m_setupOpen = false;
    std::size_t m_setups = 0;
    char m_angle = 0;     ///< the angle letter of the file: d, g or m
    char m_distance = 0;  ///< the distance letter: m or f
};

// The first line of `head` after a byte-order mark, and the line after it.
std::string_view lineAt(std::string_view head, int index) {
    RawLines lines(head);
    for (int i = 0; i <= index; ++i) {
        if (!lines.next()) return {};
    }
    return lines.line();
}

// Whether the first observation record of `head` after its job header is a Drevan one (" " and
// a group letter after the name); 0 when the head has none.
int drevanObservation(std::string_view head) {
    RawLines lines(head);
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (line.empty() || line[0] != '+') continue;
        const std::size_t end = line.find('_');
        if (end == std::string_view::npos || end + 2 >= line.size()) return 0;
        const std::string_view group = line.substr(end + 1);
        if (group.substr(0, 3) == " a+") return -1;
        return group[0] == ' ' && std::string_view("?WR<DAEU").find(group[1]) != std::string_view::npos ? 1 : 0;
    }
    return 0;
}

bool startsVemraHeader(std::string_view line) {
    return line.substr(0, 2) == "_!" && line.find("_\"") != std::string_view::npos &&
           line.find("_#") != std::string_view::npos;
}

}  // namespace
void buildVemraFamily(VemraDialect dialect, RawInput& input, JobBuilder& builder) {
    const std::pair<char, char> units = Reader(dialect, input, nullptr).units();
    Reader(dialect, input, &builder).read(units);
}

void buildVemra(RawInput& input, JobBuilder& builder) { buildVemraFamily(VemraDialect::vemra, input, builder); }
void buildApaSima(RawInput& input, JobBuilder& builder) { buildVemraFamily(VemraDialect::apaSima, input, builder); }
void buildDrevan(RawInput& input, JobBuilder& builder) { buildVemraFamily(VemraDialect::drevan, input, builder); }

bool looksLikeVemra(std::string_view head) {
    return startsVemraHeader(lineAt(head, 0)) && drevanObservation(head) <= 0;
}

bool looksLikeDrevan(std::string_view head) {
    return startsVemraHeader(lineAt(head, 0)) && drevanObservation(head) > 0;
}

bool looksLikeApaSima(std::string_view head) {
    const std::string_view program = lineAt(head, 0);
    const std::size_t comma = program.find(',');
    return comma != std::string_view::npos && program.substr(comma + 1, 4) == "Ver " &&
           startsVemraHeader(lineAt(head, 4));
}

}  // namespace exportgen
