#include "readers/point_list.h"

#include <array>
#include <vector>

#include "base/problems.h"
#include "base/text.h"

namespace exportgen {

using namespace orv::ie;

namespace {

// The letters of the columns.
constexpr char kName = 'P', kNorth = 'N', kEast = 'E', kHeight = 'Z', kCode = 'D', kSkip = '-';

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

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The fields of `line`. A field may be quoted ("A,1"), a quote inside it doubled; blanks
// around a field are not part of it. With the separator ' ', runs of blanks separate fields.
// False, with the column of the fault, when a quote is not closed or text follows it.
bool splitFields(std::string_view line, char separator, std::vector<Field>& fields, std::size_t& fault) {
    fields.clear();
    std::size_t at = 0;
    const auto blank = [](char ch) { return ch == ' ' || (ch == '\t'); };
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
            if (at < line.size() && line[at] != separator && !(separator == ' ' && blank(line[at]))) {
                fault = at;
                return false;
            }
        } else {
            const std::size_t start = at;
            while (at < line.size() && line[at] != separator && !(separator == ' ' && blank(line[at]))) ++at;
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

// The column a header names, or 0 for a name no column has. Y and X are the drawing
// convention's names: Y the northing, X the easting.
char columnNamed(std::string_view header) {
    static const std::pair<const char*, char> kNames[] = {
        {"p", kName},       {"pt", kName},        {"pn", kName},          {"point", kName},    {"name", kName},
        {"id", kName},      {"pointname", kName}, {"pointid", kName},     {"number", kName},   {"no", kName},
        {"n", kNorth},      {"north", kNorth},    {"northing", kNorth},   {"y", kNorth},       {"e", kEast},
        {"east", kEast},    {"easting", kEast},   {"x", kEast},           {"z", kHeight},      {"h", kHeight},
        {"el", kHeight},    {"elev", kHeight},    {"elevation", kHeight}, {"height", kHeight}, {"rl", kHeight},
        {"d", kCode},       {"desc", kCode},      {"description", kCode}, {"code", kCode},     {"descriptor", kCode},
        {"feature", kCode},
    };
    std::string key;
    for (char ch : lowerAscii(header)) {
        if (ch != ' ' && ch != '_' && ch != '.' && ch != '-') key += ch;
    }
    for (const auto& [name, column] : kNames) {
        if (key == name) return column;
    }
    return 0;
}

// A number as a list writes it: digits with a point, or with a comma when the list's separator
// is not one (5000,123 in a semicolon list).
bool numberText(std::string_view text, char separator, std::string& out) {
    out.assign(text.data(), text.size());
    if (separator != ',') {
        for (char& ch : out) {
            if (ch == ',') ch = '.';
        }
    }
    return isDecimal(out);
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

// The columns a header row names, or none when `fields` is no header: a header names the name,
// northing and easting columns and nothing in it is a number.
std::vector<char> headerColumns(const std::vector<Field>& fields, char separator) {
    std::vector<char> columns;
    std::string number;
    std::string seen;
    for (const Field& field : fields) {
        if (numberText(field.text, separator, number)) return {};
        const char column = columnNamed(field.text);
        if (column != 0 && seen.find(column) != std::string::npos) return {};
        seen += column == 0 ? kSkip : column;
        columns.push_back(column == 0 ? kSkip : column);
    }
    for (char needed : {kName, kNorth, kEast}) {
        if (seen.find(needed) == std::string::npos) return {};
    }
    return columns;
}

bool commentOrBlank(std::string_view line) {
    line = trimmed(line);
    return line.empty() || line.front() == '#';
}

}  // namespace

void readPointList(RawInput& input, const std::string& columnLetters, JobBuilder& builder) {
    std::vector<char> columns;
    if (!columnLetters.empty()) columns = columnsOf(columnLetters);
    RawLines lines(input.text());
    std::vector<Field> fields;
    char separator = 0;
    std::string number;
    bool first = true;
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (commentOrBlank(line)) continue;
        if (separator == 0) separator = separatorOf(line);
        std::size_t fault = 0;
        if (!splitFields(line, separator, fields, fault)) {
            input.malformed(lines, fault, "a quoted field is not closed, or text follows its closing quote");
        }
        if (first) {
            first = false;
            if (columnLetters.empty()) {
                columns = headerColumns(fields, separator);
                if (!columns.empty()) continue;
                columns = columnsOf("PNEZD");
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
        KnownPoint point;
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
            if (!numberText(field->text, separator, number) || !parseDecimal(number, values[k])) {
                input.malformed(lines, field->column,
                                std::string("expected the ") + kWhat[k] + " as a number, found \"" +
                                    std::string(field->text.substr(0, 40)) + "\"");
            }
        }
        point.coords = builder.point(values[0], values[1], values[2]);
        const COrvStringT pointName = builder.text(TextKind::name, unquoted(*name), placeOf(*name));
        point.design.setStation(
            DexStation(pointName, point.coords.n, point.coords.e, point.hasHeight ? point.coords.h : noValue));
        if (code != nullptr && !code->text.empty()) {
            point.code = builder.text(TextKind::code, unquoted(*code), placeOf(*code));
            point.design.codes.addCode(DexCodeValues(DexCodeDescription(point.code)));
        }
        builder.addKnownPoint(std::move(point));
    }
    input.passed(input.text().size());
}

bool looksLikePointList(std::string_view head) {
    RawLines lines(head);
    std::vector<Field> fields;
    std::string number;
    while (lines.next()) {
        const std::string_view line = lines.line();
        if (commentOrBlank(line)) continue;
        const char separator = separatorOf(line);
        std::size_t fault = 0;
        if (!splitFields(line, separator, fields, fault) || fields.size() < 3) return false;
        if (!headerColumns(fields, separator).empty()) return true;
        std::size_t numbers = 0;
        for (std::size_t i = 1; i < fields.size(); ++i) numbers += numberText(fields[i].text, separator, number);
        return !fields[0].text.empty() && numbers >= 2;
    }
    return false;
}

}  // namespace exportgen
