#include "app/input.h"

#include "base/embedded.h"
#include "base/problems.h"
#include "base/text.h"
#include "formats/registry.h"
#include "readers/landxml_reader.h"
#include "readers/point_list.h"

namespace exportgen::app {

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Suffixes that point lists are kept under.
constexpr const char* kPointListSuffixes[] = {".csv", ".pnt", ".pts", ".xyz", ".tsv"};

// What the file at `path` holds by its name: "job", "points", a format's name, or empty when
// the name does not say.
std::string kindBySuffix(const std::string& path) {
    const std::string name = lowerAscii(path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1));
    if (endsWith(name, ".json")) return "job";
    for (const char* suffix : kPointListSuffixes) {
        if (endsWith(name, suffix)) return "points";
    }
    for (const FormatEntry& format : formats()) {
        if (format.readable() && endsWith(name, format.suffix)) return format.name;
    }
    return {};
}

// What `text` holds by its first bytes: a job file starts with '{', a raw file with its
// format's first records, a point list with a header row or a point; empty when none.
std::string kindByContent(std::string_view text) {
    std::string_view head = text.substr(0, 4096);
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    std::size_t at = 0;
    while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n')) ++at;
    if (at < head.size() && (head[at] == '{' || head[at] == '[')) return "job";
    for (const FormatEntry& format : formats()) {
        if (format.readable() && format.looksLike != nullptr && format.looksLike(head)) return format.name;
    }
    if (looksLikePointList(head)) return "points";
    return {};
}

// "a job file", "a point list" or "a Vemra file": the input kind `kind` for people.
std::string kindForPeople(const std::string& kind) {
    if (kind == "job") return "a job file";
    if (kind == "points") return "a point list";
    const FormatEntry* format = findFormat(kind);
    return std::string("a") + (kind == "apasima" || kind == "rw5" || kind == "sdr" ? "n " : " ") +
           (format ? format->displayName : kind.c_str()) + " file";
}

// True when `text` holds nothing but blanks and line ends (after a byte-order mark).
bool blank(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The number of the line that starts at `offset`, counted from 1.
std::size_t lineNumber(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t at = 0; at < offset && at < text.size(); ++at) line += text[at] == '\n';
    return line;
}

}  // namespace

std::string inputKindList() {
    std::string list = "job, points";
    for (const FormatEntry& format : formats()) {
        if (format.readable()) list += std::string(", ") + format.name;
    }
    return list;
}

JobSource::JobSource(const InputOptions& options, WarningPolicy policy) : m_warnings("input", policy) {
    std::string kind = lowerAscii(options.from);
    if (kind == "json") kind = "job";
    if (kind == "csv") kind = "points";
    if (!kind.empty() && kind != "job" && kind != "points") {
        const FormatEntry* format = findFormat(kind);
        if (format == nullptr || !format->readable()) {
            throw HostError(kExitUsage,
                            "--from: unknown input \"" + options.from + "\" (expected one of " + inputKindList() + ")");
        }
    }
    // A word that names no unit is refused before the input is read.
    if (!options.inputUnits.empty()) m_units = statedUnits(options.inputUnits);
    const Source& given = options.source;
    if (given.path.empty() && !given.bytes) {
        if (!kind.empty() && kind != "job") throw HostError(kExitUsage, "--from " + kind + " needs an input file");
        m_source = "<sample job>";
        if (options.forPoints) m_units = {};
        if (!m_units.empty())
            throw HostError(
                kExitUsage,
                "--input-units states the units of a raw file or a point list; the built-in sample job is a job file");
        return;
    }
    if (given.bytes) {
        m_file.emplace(InputText::borrowed(*given.bytes));
        m_source = given.path;
    } else {
        m_file.emplace(readFile(given.path == "-" ? "/dev/stdin" : given.path));
        m_source = given.path == "-" ? "<stdin>" : given.path;
    }
    if (blank(m_file->text())) throw HostError(kExitJson, m_source + ": the input is empty");
    if (kind.empty()) kind = kindBySuffix(given.path);
    if (kind.empty()) kind = kindByContent(m_file->text());
    if (kind.empty()) {
        throw HostError(kExitUsage,
                        "cannot tell what " + m_source + " holds; name it with --from (" + inputKindList() + ")");
    }
    if (!options.columns.empty() && kind != "points" && !options.forPoints) {
        throw HostError(kExitUsage, "--columns names the columns of a point list; " + m_source + " is read as " +
                                        (kind == "job" ? "a job file" : kind));
    }
    m_kind = kind;
    m_columns = options.columns;
    if (!m_units.empty()) {
        // A job file and a LandXML file state their units; the flag would only contradict them.
        const bool ownUnits = kind == "job" || kind == "landxml" || looksLikeLandXml(m_file->text().substr(0, 4096));
        if (ownUnits && options.forPoints) {
            m_units = {};  // the units of the --points list
        } else if (ownUnits) {
            throw HostError(kExitUsage, "--input-units states the units of a raw file or a point list; " + m_source +
                                            " is " + kindForPeople(kind == "points" ? "landxml" : kind) +
                                            (kind == "job" ? ", whose \"inputUnits\" states its units"
                                                           : ", whose Units element states its units"));
        }
    }
}

std::string_view JobSource::text() const noexcept {
    if (m_file) return m_file->text();
    return sampleJobText();
}

std::string JobSource::place(std::size_t offset) const { return location(text(), m_source, offset); }

bool JobSource::mapped() const noexcept { return m_file && m_file->mapped(); }

bool JobSource::built() const {
    if (m_kind == "points") return true;
    const FormatEntry* format = m_kind == "job" ? nullptr : findFormat(m_kind);
    return format != nullptr && format->build != nullptr;
}

std::unique_ptr<JobSource> JobSource::withText(std::string_view text) const {
    InputOptions options;
    options.source = Source::memory(m_source, text);
    options.from = m_kind;
    options.columns = m_columns;
    auto source = std::make_unique<JobSource>(options, m_warnings.policy());
    source->m_units = m_units;
    return source;
}

void JobSource::build(JobBuilder& builder) const {
    const std::string_view text = m_file->text();
    m_refusedAt.reset();
    // A last line without its line end that the reader could not read whole: the file may have
    // been cut short, by a full disk or a transfer broken off.
    const bool unterminated = !text.empty() && text.back() != '\n' && text.back() != '\r';
    const std::size_t lastLine = unterminated ? text.find_last_of("\r\n") + 1 : text.size();
    bool lastLineFaulted = false;
    // What the reader skipped is told through the builder: a check lists it with the job's other
    // problems, --strict makes it an error, and a conversion warns of it once.
    RawInput input(
        text, m_source,
        [&builder, &lastLineFaulted, lastLine](const std::string& what, std::size_t offset) {
            lastLineFaulted = lastLineFaulted || offset >= lastLine;
            builder.warn("input", what, builder.place(offset));
        },
        m_file->mapped());
    if (!m_units.empty()) builder.stateUnits(m_units);
    try {
        if (m_kind == "points" && looksLikeLandXml(text.substr(0, 4096))) {
            // A LandXML file of CgPoints (a design to stake out) in its own units.
            readLandXmlPoints(input, builder);
        } else if (m_kind == "points") {
            readPointList(input, m_columns, builder);
        } else {
            findFormat(m_kind)->build(input, builder);
        }
    } catch (const JobError& error) {
        // A warning made an error (--strict), or the builder's refusal of a value, on the last line.
        if (!unterminated || error.input() != kJobInput || error.offset() < lastLine) throw;
        throw JobError(error.offset(),
                       std::string(error.what()) + "; the file may be cut short at line " +
                           std::to_string(lineNumber(text, lastLine)),
                       error.code(), error.input());
    } catch (const HostError& error) {
        const std::optional<std::size_t> refused = input.refusedAt();
        if (!refused) throw;
        m_refusedAt = refused;
        // The first line refused: say what the input looks like instead.
        const std::size_t first = text.find_first_not_of(" \t\r\n");
        const std::size_t firstEnd = std::min(text.find_first_of("\r\n", first), text.size());
        if (!builder.anythingStated() && *refused <= firstEnd)
            throw HostError(error.code(), error.what() + lookAlike());
        // A refusal at or past the end of a last line without its line end: the reader wanted
        // more than the line holds.
        if (!unterminated || *refused < text.size()) throw;
        throw HostError(error.code(), std::string(error.what()) + "; the file may be cut short at line " +
                                          std::to_string(lineNumber(text, lastLine)));
    }
    if (unterminated && lastLineFaulted) {
        builder.warn("input", "the file may be cut short at line " + std::to_string(lineNumber(text, lastLine)),
                     builder.place(lastLine));
    }
    // Nothing of a job came out of the input: it is not what its name or --from says.
    if (!builder.anythingStated()) {
        throw HostError(kExitJson, m_source + ": nothing in it reads as " + kindForPeople(m_kind) + lookAlike());
    }
}

std::string JobSource::lookAlike() const {
    const std::string looks = kindByContent(m_file->text());
    return looks.empty() || looks == m_kind ? std::string() : "; it looks like " + kindForPeople(looks);
}

}  // namespace exportgen::app
