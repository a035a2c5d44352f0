#include "readers/point_list.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "base/problems.h"
#include "base/text.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// The letters of the columns.
constexpr char kName = 'P', kNorth = 'N', kEast = 'E', kHeight = 'Z', kCode = 'D', kSkip = '-';

// Two entries of one name closer than this (or than a unit of their last decimal) are one point.
constexpr double kSamePointMetres = 0.0005;

struct Field {
    std::string_view text;   // without its quotes, doubled quotes still doubled
    std::size_t column = 0;  // of its first byte in the line
    bool quoted = false;
};

// The separator of a list: the one of tab, semicolon and comma that the first line holds most
// often (a tab before a semicolon before a comma when as often); a blank when it holds none,
// for lists whose columns are separated by spaces.
char separatorOf(std::string_view line) {
    std::size_t tabs = 0, semicolons = 0, commas = 0;
    bool quoted = false;
    for (char ch : line) {
        if (ch == '"') quoted = !quoted;
        if (quoted) continue;
        tabs += ch == '\t';
        semicolons += ch == ';';
        commas += ch == ',';
    }
    if (tabs == 0 && semicolons == 0 && commas == 0) return ' ';
    if (tabs >= semicolons && tabs >= commas) return '\t';
    return semicolons >= commas ? ';' : ',';
}

// The separator of one line of a list separated by tabs or blanks: a line of tabs alone splits
// at every tab, keeping empty fields; a line with blanks splits at runs of blank space, as
// programs write that put a tab and then blanks to line the columns up.
char lineSeparator(std::string_view line, char listSeparator) {
    if (listSeparator != '\t' && listSeparator != ' ') return listSeparator;
    bool quoted = false, tabs = false;
    for (char ch : line) {
        if (ch == '"') quoted = !quoted;
        if (quoted) continue;
        if (ch == ' ') return ' ';
        tabs = tabs || ch == '\t';
    }
    return tabs ? '\t' : ' ';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The fields of `line`. A field may be quoted ("A,1"), a quote inside it doubled; blanks
// around a field are not part of it. With the separator ' ', runs of blanks and tabs separate
// fields. False, with the column of the fault, when a quote is not closed or text follows it.
bool splitFields(std::string_view line, char separator, std::vector<Field>& fields, std::size_t& fault) {
    fields.clear();
    std::size_t at = 0;
    const auto blank = [](char ch) { return ch == ' ' || (ch == '\t'); };
    const auto ends = [&](char ch) { return ch == separator || (separator == ' ' && blank(ch)); };
    for (;;) {
        if (separator == ' ') {
            while (at < line.size() && blank(line[at])) ++at;
            if (at == line.size()) return true;
        } else {
            while (at < line.size() && line[at] == ' ') ++at;
        }
        Field field;
        field.column = at;
        if (at < line.size() && line[at] == '"') {
            const std::size_t start = ++at;
            for (;;) {
                if (at >= line.size()) {
                    fault = field.column;
                    return false;
                }
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        at += 2;
                        continue;
                    }
                    break;
                }
                ++at;
            }
            field.text = line.substr(start, at - start);
            field.quoted = true;
            ++at;
            while (at < line.size() && line[at] == ' ') ++at;
            if (at < line.size() && !ends(line[at])) {
                fault = at;
                return false;
            }
        } else {
            const std::size_t start = at;
            while (at < line.size() && !ends(line[at])) ++at;
            field.text = trimmed(line.substr(start, at - start));
        }
        fields.push_back(field);
        if (at >= line.size()) return true;
        ++at;  // the separator
        if (separator != ' ' && at == line.size()) {
            fields.push_back(Field{std::string_view(), at, false});
            return true;
        }
    }
}

// A quoted field's text with its doubled quotes made single.
std::string unquoted(const Field& field) {
    std::string text;
    text.reserve(field.text.size());
    for (std::size_t i = 0; i < field.text.size(); ++i) {
        text += field.text[i];
        if (field.quoted && field.text[i] == '"') ++i;
    }
    return text;
}

// The names a header row may give each column, in any case, blanks, '_', '.' and '-' aside. Y
// and X are the drawing convention's names: Y the northing, X the easting.
struct ColumnNames {
    char column;
    const char* role;
    std::array<const char*, 10> names;
};
constexpr ColumnNames kColumnNames[] = {
    {kName, "name", {"P", "Pt", "PN", "Point", "Name", "ID", "Point ID", "Point name", "Number", "No"}},
    {kNorth, "northing", {"N", "North", "Northing", "Y"}},
    {kEast, "easting", {"E", "East", "Easting", "X"}},
    {kHeight, "height", {"Z", "H", "EL", "Elev", "Elevation", "Height", "RL"}},
    {kCode, "code", {"D", "Desc", "Description", "Code", "Descriptor", "Feature"}},
};

std::string nameKey(std::string_view name) {
    std::string key;
    for (char ch : lowerAscii(name)) {
        if (ch != ' ' && ch != '_' && ch != '.' && ch != '-') key += ch;
    }
    return key;
}

// The column a header names, or null for a name no column has.
const ColumnNames* columnNamed(std::string_view header) {
    const std::string key = nameKey(header);
    for (const ColumnNames& column : kColumnNames) {
        for (const char* name : column.names) {
            if (name != nullptr && nameKey(name) == key) return &column;
        }
    }
    return nullptr;
}

// "name: P, Pt, ...; northing: N, ...": the names a header row may give, for messages.
std::string knownColumnNames() {
    std::string list;
    for (const ColumnNames& column : kColumnNames) {
        list += list.empty() ? "" : "; ";
        list += std::string(column.role) + ":";
        for (const char* name : column.names) {
            if (name != nullptr) list += std::string(" ") + name;
        }
    }
    return list;
}

// A number as a list writes it: an optional sign, digits with at most one point (or a comma
// when the list's separator is not one: 5000,123 in a semicolon list) and an optional exponent
// (5e3, 1E-05), within the range of a double. `decimals`: the decimal places its last digit
// stands for (5000.125 three, 1E-05 five, 5e3 and 5000 none).
bool numberOf(std::string_view text, char separator, std::string& scratch, double& value, int& decimals) {
    scratch.assign(text.data(), text.size());
    std::size_t at = 0;
    if (at < scratch.size() && (scratch[at] == '+' || scratch[at] == '-')) ++at;
    const std::size_t start = !scratch.empty() && scratch[0] == '+' ? 1 : 0;
    const auto digit = [&](std::size_t i) { return i < scratch.size() && scratch[i] >= '0' && scratch[i] <= '9'; };
    std::size_t digits = 0;
    int fraction = 0;
    while (digit(at)) ++at, ++digits;
    if (at < scratch.size() && (scratch[at] == '.' || (scratch[at] == ',' && separator != ','))) {
        scratch[at++] = '.';
        while (digit(at)) ++at, ++digits, ++fraction;
    }
    if (digits == 0) return false;
    int exponent = 0;
    if (at < scratch.size() && (scratch[at] == 'e' || scratch[at] == 'E')) {
        ++at;
        const bool negative = at < scratch.size() && scratch[at] == '-';
        if (at < scratch.size() && (scratch[at] == '+' || scratch[at] == '-')) ++at;
        if (!digit(at)) return false;
        for (; digit(at); ++at) exponent = std::min(exponent * 10 + (scratch[at] - '0'), 100000);
        if (negative) exponent = -exponent;
    }
    if (at != scratch.size()) return false;
    const char* first = scratch.data() + start;
    const char* last = scratch.data() + scratch.size();
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last) return false;
    decimals = std::clamp(fraction - exponent, 0, 17);
    return true;
}

// The order of the columns of `letters` ("PNEZD"); throws SettingError when it is not one.
std::vector<char> columnsOf(const std::string& letters) {
    std::vector<char> columns;
    std::string seen;
    for (char ch : letters) {
        const char upper = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
        if (upper != kName && upper != kNorth && upper != kEast && upper != kHeight && upper != kCode &&
            upper != kSkip) {
            throw SettingError("columns", {},
                               "'" + std::string(1, ch) +
                                   "' names no column (P name, N northing, E easting, Z height, D code, - a column "
                                   "passed over)");
        }
        if (upper != kSkip && seen.find(upper) != std::string::npos) {
            throw SettingError("columns", {}, std::string(1, upper) + " is given twice");
        }
        seen += upper;
        columns.push_back(upper);
    }
    for (char needed : {kName, kNorth, kEast}) {
        if (seen.find(needed) == std::string::npos) {
            throw SettingError("columns", letters, "a point list needs the columns P, N and E");
        }
    }
    return columns;
}

// A first line is a header row when none of its fields is a number.
bool headerRow(const std::vector<Field>& fields, char separator, std::string& scratch) {
    double value = 0.0;
    int decimals = 0;
    for (const Field& field : fields) {
        if (numberOf(field.text, separator, scratch, value, decimals)) return false;
    }
    return true;
}

// The columns a header row names: unknown names are columns passed over. Empty, with `fault`
// (its column) and `problem`, when the row names a column twice or lacks the name, northing or
// easting.
std::vector<char> headerColumns(const std::vector<Field>& fields, std::size_t& fault, std::string& problem) {
    std::vector<char> columns;
    std::vector<const ColumnNames*> named;
    std::vector<std::size_t> namedAt;
    std::string unknown;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ColumnNames* column = columnNamed(fields[i].text);
        if (column == nullptr) {
            if (!fields[i].text.empty()) unknown += (unknown.empty() ? "" : ", ") + shownName(unquoted(fields[i]));
            columns.push_back(kSkip);
            continue;
        }
        for (std::size_t k = 0; k < named.size(); ++k) {
            if (named[k] != column) continue;
            fault = fields[i].column;
            problem = "the header row names the " + std::string(column->role) + " twice (" +
                      shownName(unquoted(fields[namedAt[k]])) + " and " + shownName(unquoted(fields[i])) + ")";
            return {};
        }
        named.push_back(column);
        namedAt.push_back(i);
        columns.push_back(column->column);
    }
    for (const ColumnNames& needed : kColumnNames) {
        if (needed.column != kName && needed.column != kNorth && needed.column != kEast) continue;
        if (std::find(columns.begin(), columns.end(), needed.column) != columns.end()) continue;
        fault = 0;
        problem = "the header row names no " + std::string(needed.role) + " column" +
                  (unknown.empty() ? std::string() : " (it does not know " + unknown + ")");
        return {};
    }
    return columns;
}

bool commentOrBlank(std::string_view line) {
    line = trimmed(line);
    return line.empty() || line.front() == '#';
}

// " 0.4 mm": a distance in metres, for messages.
std::string millimetres(double metres) {
    if (!(metres < 1000.0)) return " more than 1 km";
    return " " + shortestNumber(std::round(metres * 1e4) / 10) + " mm";
}

// The largest difference of two entries of a point: northing, easting, and height where both
// have one.
double difference(const KnownPoint& a, const KnownPoint& b) {
    double most = std::max(std::abs(a.coords.n - b.coords.n), std::abs(a.coords.e - b.coords.e));
    if (a.hasHeight && b.hasHeight) most = std::max(most, std::abs(a.coords.h - b.coords.h));
    return most;
}

// An entry of the list, as read.
struct Entry {
    KnownPoint point;
    std::string name;  // UTF-8, as the job knows it
    std::size_t line = 0;
    int decimals = 0;  // of its finest coordinate
};

}  // namespace

void readPointList(RawInput& input, const std::string& columnLetters, JobBuilder& builder) {
    std::vector<char> columns;
    if (!columnLetters.empty()) columns = columnsOf(columnLetters);
    if (builder.readingJobInput()) {
        // A list states no unit: its coordinates are metres unless --input-units says
        // otherwise, and the job is in the unit they are read in. A list of --points is in the
        // job's input units.
        FileUnits file;
        file.angles = false;
        file.place = builder.place(0);
        builder.setUnits(builder.setFileUnits(file).distance, std::nullopt);
    }
    RawLines lines(input.text());
    std::vector<Field> fields;
    char listSeparator = 0;
    std::string scratch;
    bool first = true;
    // Without a header or --columns, a list of nothing but three numbers a line could be names
    // with a northing and an easting as well as x, y and z: it is refused at its end.
    bool guessed = false, threeNumbers = true;
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> byName;
    // How far apart two entries of one point may be: half a millimetre, or one unit of the last
    // decimal of the finer of the two (a hair more, for the binary fractions of decimal ones).
    const auto tolerance = [&builder](int decimals) {
        return std::max(kSamePointMetres, builder.length(std::pow(10.0, -decimals)) * (1 + 1e-9));
    };
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (commentOrBlank(line)) continue;
        if (listSeparator == 0) listSeparator = separatorOf(line);
        const char separator = lineSeparator(line, listSeparator);
        std::size_t fault = 0;
        if (!splitFields(line, separator, fields, fault)) {
            input.malformed(lines, fault, "a quoted field is not closed, or text follows its closing quote");
        }
        if (first) {
            first = false;
            if (headerRow(fields, separator, scratch)) {
                if (!columnLetters.empty()) continue;  // --columns says more than the header
                std::string problem;
                columns = headerColumns(fields, fault, problem);
                if (columns.empty()) {
                    input.malformed(lines, fault,
                                    problem + "; the names a header may give are " + knownColumnNames() +
                                        " (any case); or give the columns' order with --columns");
                }
                continue;
            }
            if (columnLetters.empty()) {
                columns = columnsOf("PNEZD");
                guessed = true;
            }
        }
        if (fields.size() < 3) {
            input.malformed(lines, line.size(),
                            "a point needs a name, a northing and an easting; found " + std::to_string(fields.size()) +
                                " field" + (fields.size() == 1 ? "" : "s"));
        }
        std::array<const Field*, 3> coords{};  // northing, easting, height
        const Field* name = nullptr;
        const Field* code = nullptr;
        for (std::size_t i = 0; i < fields.size() && i < columns.size(); ++i) {
            switch (columns[i]) {
                case kName:
                    name = &fields[i];
                    break;
                case kNorth:
                    coords[0] = &fields[i];
                    break;
                case kEast:
                    coords[1] = &fields[i];
                    break;
                case kHeight:
                    coords[2] = &fields[i];
                    break;
                case kCode:
                    code = &fields[i];
                    break;
                default:
                    break;
            }
        }
        if (name == nullptr || name->text.empty()) {
            input.malformed(lines, name == nullptr ? line.size() : name->column, "a point without a name");
        }
        const auto placeOf = [&](const Field& field) { return builder.place(lines.offset() + field.column); };
        Entry entry;
        entry.line = lines.number();
        KnownPoint& point = entry.point;
        point.place = builder.place(lines.offset());
        double values[3] = {0.0, 0.0, 0.0};
        static const char* const kWhat[] = {"northing", "easting", "height"};
        for (std::size_t k = 0; k < 3; ++k) {
            const Field* field = coords[k];
            if (field == nullptr || (k == 2 && field->text.empty())) {
                if (k < 2) input.malformed(lines, line.size(), std::string("the point has no ") + kWhat[k]);
                point.hasHeight = false;  // a point in plan only
                continue;
            }
            int decimals = 0;
            if (!numberOf(field->text, separator, scratch, values[k], decimals)) {
                input.malformed(
                    lines, field->column,
                    std::string("expected the ") + kWhat[k] + " as a number, found " + shownName(field->text));
            }
            entry.decimals = std::max(entry.decimals, decimals);
        }
        if (guessed && threeNumbers) {
            double value = 0.0;
            int decimals = 0;
            threeNumbers = fields.size() == 3 && numberOf(name->text, separator, scratch, value, decimals);
        }
        point.coords = builder.point(values[0], values[1], values[2]);
        const COrvStringT pointName = builder.text(TextKind::name, unquoted(*name), placeOf(*name));
        entry.name = utf8(pointName);
        point.design.setStation(
            DexStation(pointName, point.coords.n, point.coords.e, point.hasHeight ? point.coords.h : noValue));
        if (code != nullptr && !code->text.empty()) {
            point.code = builder.text(TextKind::code, unquoted(*code), placeOf(*code));
            point.design.codes.addCode(DexCodeValues(DexCodeDescription(point.code)));
        }
        const auto [known, added] = byName.try_emplace(entry.name, entries.size());
        if (added) {
            entries.push_back(std::move(entry));
            continue;
        }
        // A point given twice, as lists put together from several sources have it: one point
        // when the entries agree to their last decimal (or half a millimetre); the first stays.
        Entry& kept = entries[known->second];
        const double apart = difference(kept.point, point);
        const std::string line1 = "line " + std::to_string(kept.line);
        if (!(apart <= tolerance(std::max(kept.decimals, entry.decimals)))) {
            throw JobError(point.place.offset,
                           "point " + shownName(entry.name) + " is defined again with other coordinates than at " +
                               input.source() + ":" + std::to_string(kept.line) + ":1 (" +
                               millimetres(apart).substr(1) + " apart)",
                           kExitJob, point.place.input);
        }
        std::string what = "point " + shownName(entry.name) + " is given again," + millimetres(apart) + " from " +
                           line1 + "; they are one point, " + line1 + "'s entry kept";
        if (!kept.point.hasHeight && point.hasHeight) {
            kept.point.hasHeight = true;
            kept.point.coords.h = point.coords.h;
            DexStation station = kept.point.design.getStation();
            station.setHeight(point.coords.h);
            kept.point.design.setStation(station);
            what += " with this line's height";
        }
        if (!point.code.IsEmpty() && point.code != kept.point.code) {
            what += "; this line's code " + shownName(utf8(point.code)) + " is passed over";
        }
        input.warn(lines, what);
    }
    if (guessed && threeNumbers && !entries.empty()) {
        RawLines at(input.text());
        while (at.next() && at.number() < entries.front().line) {
        }
        input.malformed(at, 0,
                        "three numbers a line may be a name, a northing and an easting, or a point's x, y and z; "
                        "say which with a header row (P,N,E) or --columns (PNE: name, northing, easting; PEN: "
                        "name, easting, northing)");
    }
    // The job's own points (a list of --points): the same rule, the job's entry staying.
    for (Entry& entry : entries) {
        if (const KnownPoint* known = builder.job().find(entry.name)) {
            if (difference(*known, entry.point) <= tolerance(entry.decimals)) {
                entry.point.coords.n = known->coords.n;
                entry.point.coords.e = known->coords.e;
                if (known->hasHeight && entry.point.hasHeight) entry.point.coords.h = known->coords.h;
            }
        }
        builder.addKnownPoint(std::move(entry.point));
    }
    input.passed(input.text().size());
}

bool looksLikePointList(std::string_view head) {
    RawLines lines(head);
    std::vector<Field> fields;
    std::string scratch;
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (commentOrBlank(line)) continue;
        const char separator = lineSeparator(line, separatorOf(line));
        std::size_t fault = 0;
        if (!splitFields(line, separator, fields, fault) || fields.size() < 3) return false;
        std::string problem;
        if (headerRow(fields, separator, scratch)) return !headerColumns(fields, fault, problem).empty();
        std::size_t numbers = 0;
        double value = 0.0;
        int decimals = 0;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            numbers += numberOf(fields[i].text, separator, scratch, value, decimals);
        }
        return !fields[0].text.empty() && numbers >= 2;
    }
    return false;
}

}  // namespace exportgen
