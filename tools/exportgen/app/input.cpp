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
    const Source& given = options.source;
    if (given.path.empty() && !given.bytes) {
        if (!kind.empty() && kind != "job") throw HostError(kExitUsage, "--from " + kind + " needs an input file");
        m_source = "<sample job>";
        return;
    }
    if (given.bytes) {
        m_file.emplace(InputText::borrowed(*given.bytes));
        m_source = given.path;
    } else {
        m_file.emplace(readFile(given.path == "-" ? "/dev/stdin" : given.path));
        m_source = given.path == "-" ? "<stdin>" : given.path;
    }
    if (kind.empty()) kind = kindBySuffix(given.path);
    if (kind.empty()) kind = kindByContent(m_file->text());
    if (kind.empty()) {
        throw HostError(kExitUsage,
                        "cannot tell what " + m_source + " holds; name it with --from (" + inputKindList() + ")");
    }
    if (!options.columns.empty() && kind != "points") {
        throw HostError(kExitUsage, "--columns names the columns of a point list; " + m_source + " is read as " +
                                        (kind == "job" ? "a job file" : kind));
    }
    m_kind = kind;
    m_columns = options.columns;
    if (kind == "job" || built()) return;

    const RawInput input(m_file->text(), m_source, [this](const std::string& what, std::size_t offset) {
        m_warnings.add(what, location(m_file->text(), m_source, offset));
    });
    JobParts parts;
    // The set-ups are most of a raw file, and their document about as large: room for it at
    // once, so that it is not copied as it grows.
    const std::size_t size = m_file->text().size();
    parts.setups.reserve(size + size / 2, size / 8);
    findFormat(kind)->read(input, parts);
    m_document.emplace(assemble(parts));
    const std::string_view raw = m_file->text();
    m_locate = [this, raw](std::size_t offset) { return location(raw, m_source, m_document->sourceOffset(offset)); };
}

std::string_view JobSource::text() const noexcept {
    if (m_document) return m_document->json();
    if (m_file) return m_file->text();
    return sampleJobText();
}

std::string JobSource::place(std::size_t offset) const {
    if (m_locate) return m_locate(offset);
    return location(text(), m_source, offset);
}

bool JobSource::mapped() const noexcept { return !m_document && m_file && m_file->mapped(); }

bool JobSource::built() const {
    if (m_kind == "points") return true;
    const FormatEntry* format = m_kind == "job" ? nullptr : findFormat(m_kind);
    return format != nullptr && format->build != nullptr;
}

void JobSource::build(JobBuilder& builder) const {
    // What the reader skipped is told through the builder: a check lists it with the job's other
    // problems, --strict makes it an error, and a conversion warns of it once.
    RawInput input(
        m_file->text(), m_source,
        [&builder](const std::string& what, std::size_t offset) { builder.warn("input", what, builder.place(offset)); },
        m_file->mapped());
    if (m_kind == "points" && looksLikeLandXml(m_file->text().substr(0, 4096))) {
        // A LandXML file of CgPoints (a design to stake out) in its own units.
        readLandXmlPoints(input, builder);
    } else if (m_kind == "points") {
        readPointList(input, m_columns, builder);
    } else {
        findFormat(m_kind)->build(input, builder);
    }
}

}  // namespace exportgen::app
