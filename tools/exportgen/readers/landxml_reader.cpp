#include "readers/landxml_reader.h"

#include <expat.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/landxml_units.h"
#include "base/problems.h"
#include "base/text.h"

namespace exportgen {

using namespace orv::ie;

namespace {

constexpr char kSeparator = '\x01';  // between a name's namespace and its local part
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr int kChunk = 1 << 24;  // bytes handed to expat at a time

// The namespaces of LandXML 1.0, 1.1, 1.2 and 2.0; a file may also use none.
bool landXmlNamespace(std::string_view uri) {
    static constexpr std::string_view kPrefix = "http://www.landxml.org/schema/LandXML-";
    if (uri.substr(0, kPrefix.size()) != kPrefix) return false;
    const std::string_view version = uri.substr(kPrefix.size());
    return version == "1.0" || version == "1.1" || version == "1.2" || version == "2.0";
}

// What the reader makes of an element.
enum class El : std::uint8_t {
    skip,  // passed over with its content
    root,
    units,
    unitSystem,  // Metric or Imperial
    application,
    cgPoints,
    cgPoint,
    survey,
    surveyHeader,
    equipment,
    instrumentDetails,
    quiet,  // read for nothing and worth no word (Corrections, a survey-level TargetSetup)
    targetSetup,
    setup,
    instrumentPoint,
    group,
    backsight,
    backsightPoint,
    raw,
    reduced,
    targetPoint,
    feature,
    property,
    fieldNote,
};

struct Child {
    El parent;
    const char* name;
    El kind;
};

// The elements read, by the element they stand in.
constexpr Child kChildren[] = {
    {El::root, "Units", El::units},
    {El::root, "Application", El::application},
    {El::root, "CgPoints", El::cgPoints},
    {El::root, "Survey", El::survey},
    {El::units, "Metric", El::unitSystem},
    {El::units, "Imperial", El::unitSystem},
    {El::cgPoints, "CgPoints", El::cgPoints},
    {El::cgPoints, "CgPoint", El::cgPoint},
    {El::survey, "SurveyHeader", El::surveyHeader},
    {El::survey, "Equipment", El::equipment},
    {El::survey, "CgPoints", El::cgPoints},
    {El::survey, "TargetSetup", El::targetSetup},
    {El::survey, "InstrumentSetup", El::setup},
    {El::survey, "ObservationGroup", El::group},
    {El::surveyHeader, "FieldNote", El::fieldNote},
    {El::surveyHeader, "Units", El::units},
    {El::equipment, "InstrumentDetails", El::instrumentDetails},
    {El::instrumentDetails, "Corrections", El::quiet},
    {El::setup, "InstrumentPoint", El::instrumentPoint},
    {El::setup, "Backsight", El::backsight},
    {El::setup, "RawObservation", El::raw},
    {El::setup, "ObservationGroup", El::group},
    {El::setup, "FieldNote", El::fieldNote},
    {El::setup, "Feature", El::feature},
    {El::setup, "TargetSetup", El::quiet},
    {El::group, "Backsight", El::backsight},
    {El::group, "RawObservation", El::raw},
    {El::group, "ReducedObservation", El::reduced},
    {El::backsight, "BacksightPoint", El::backsightPoint},
    {El::raw, "TargetPoint", El::targetPoint},
    {El::raw, "Feature", El::feature},
    {El::raw, "FieldNote", El::fieldNote},
    {El::reduced, "TargetPoint", El::targetPoint},
    {El::reduced, "Feature", El::feature},
    {El::reduced, "FieldNote", El::fieldNote},
    {El::feature, "Property", El::property},
    {El::feature, "Feature", El::feature},
};

// Attributes the reader takes, or passes over knowing they hold no value of a job (ids,
// references, the schema's bookkeeping), per element; any other attribute of these elements is
// skipped with a warning.
struct Attributes {
    El kind;
    const char* names[20];
};
constexpr Attributes kAttributes[] = {
    {El::cgPoint, {"name", "code", "desc", "pntSurv", "role", "oID"}},
    {El::surveyHeader, {"name", "desc", "temperature", "pressure", "scaleFactor"}},
    {El::setup, {"id", "instrumentDetailsID", "stationName", "instrumentHeight", "orientationAzimuth"}},
    {El::instrumentPoint, {"name", "pntRef", "code", "desc", "role"}},
    {El::backsight, {"id", "azimuth", "circle", "targetHeight", "setupID"}},
    {El::backsightPoint, {"name", "pntRef", "code", "desc", "role"}},
    {El::raw,
     {"setupID", "targetSetupID", "setID", "purpose", "targetHeight", "horizAngle", "zenithAngle", "slopeDistance",
      "horizDistance", "vertDistance", "directFace", "unused", "status"}},
    {El::reduced,
     {"setupID", "targetSetupID", "setID", "purpose", "targetHeight", "horizAngle", "zenithAngle", "slopeDistance",
      "horizDistance", "vertDistance", "azimuth", "name", "oID"}},
    {El::targetPoint, {"name", "pntRef", "code", "desc", "role"}},
};

const char* elementName(El kind) {
    switch (kind) {
        case El::cgPoint:
            return "CgPoint";
        case El::surveyHeader:
            return "SurveyHeader";
        case El::setup:
            return "InstrumentSetup";
        case El::instrumentPoint:
            return "InstrumentPoint";
        case El::backsight:
            return "Backsight";
        case El::backsightPoint:
            return "BacksightPoint";
        case El::raw:
            return "RawObservation";
        case El::reduced:
            return "ReducedObservation";
        case El::targetPoint:
            return "TargetPoint";
        default:
            return "element";
    }
}

// XML's blanks around a value.
std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// An xs:double as a finite number; false for any other text (INF and NaN included: a job holds
// no such figure).
bool parseNumber(std::string_view text, double& value) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && std::isfinite(value);
}

// The attributes of an element by name, as expat gives them (name, value, name, value, ..., null).
class Attrs {
public:
    explicit Attrs(const XML_Char** list) : m_list(list) {}
    [[nodiscard]] const char* find(const char* name) const {
        for (const XML_Char** at = m_list; *at != nullptr; at += 2) {
            if (std::strcmp(*at, name) == 0) return at[1];
        }
        return nullptr;
    }
    [[nodiscard]] const XML_Char** list() const { return m_list; }

private:
    const XML_Char** m_list;
};

// A code as read from a Feature, before it is given to its point.
struct FeatureCode {
    std::string code, string;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string control[2];
    std::size_t offset = 0;
};

// A known point as read in the first pass, its coordinates in the file's units until they are
// known.
struct PendingPoint {
    KnownPoint point;
    double values[3] = {0.0, 0.0, 0.0};
};

// The observation being read.
struct Reading {
    Observation obs;
    bool reduced = false;
    bool skip = false;
    std::string purpose;
    bool staked = false;
    COrvStringT design;
    std::optional<bool> directFace;
    std::size_t setup = kNone;
    std::size_t offset = 0;
    std::vector<COrvStringT> notes;
    std::vector<std::size_t> noteOffsets;
    COrvStringT targetCode, targetDesc;
};

struct SetupInfo {
    std::size_t lastEnd = 0;  // where the last element that belongs to it ends
    bool hasRaw = false;
};

// How often something was skipped, and where first.
struct Tally {
    std::size_t count = 0;
    std::size_t first = 0;
};
using Skipped = Tally;

struct Open {
    El kind;
    std::size_t setup;  // the set-up the element belongs to, or kNone
    std::size_t offset;
};

class LandXmlReader {
public:
    LandXmlReader(RawInput& input, JobBuilder& builder, bool pointsOnly)
        : m_input(input), m_b(builder), m_pointsOnly(pointsOnly) {}

    void read() {
        parse(1);
        finishHeader();
        if (m_pointsOnly) return m_input.passed(m_input.text().size());
        m_b.headerDone();
        parse(2);
        m_input.passed(m_input.text().size());
    }

private:
    // ---- the walk

    void parse(int pass) {
        m_pass = pass;
        m_stack.clear();
        m_lastSetup = kNone;
        m_setupCount = 0;
        m_rootSeen = false;
        XML_Parser parser = XML_ParserCreateNS(nullptr, kSeparator);
        if (parser == nullptr) throw HostError(kExitInternal, "cannot create the XML parser");
        m_parser = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &LandXmlReader::onStart, &LandXmlReader::onEnd);
        XML_SetCharacterDataHandler(parser, &LandXmlReader::onText);
        const std::string_view text = m_input.text();
        std::size_t at = 0;
        XML_Status status = XML_STATUS_OK;
        do {
            const std::size_t length = std::min<std::size_t>(text.size() - at, kChunk);
            const bool last = at + length == text.size();
            status = XML_Parse(parser, text.data() + at, static_cast<int>(length), last ? XML_TRUE : XML_FALSE);
            if (pass == 2 && at > 0) m_input.passed(at);
            at += length;
            if (status != XML_STATUS_OK || last) break;
        } while (true);
        std::exception_ptr failure = m_failure;
        m_failure = nullptr;
        if (failure == nullptr && status != XML_STATUS_OK) {
            const std::string message = XML_ErrorString(XML_GetErrorCode(parser));
            const auto line = static_cast<std::size_t>(XML_GetCurrentLineNumber(parser));
            const auto column = static_cast<std::size_t>(XML_GetCurrentColumnNumber(parser));
            XML_ParserFree(parser);
            m_parser = nullptr;
            throw HostError(kExitJson, m_input.source() + ":" + std::to_string(line) + ":" +
                                           std::to_string(column + 1) + ": malformed XML: " + message);
        }
        XML_ParserFree(parser);
        m_parser = nullptr;
        if (failure != nullptr) std::rethrow_exception(failure);
        if (!m_rootSeen) malformedAt(1, 1, "not a LandXML file: it holds no element");
        if (pass == 2 || m_pointsOnly) warnSkipped();
        if (pass == 2) {
            for (auto& [index, setup] : m_open) m_done[index] = true;
            emitReady(true);
        }
    }

    static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* self = static_cast<LandXmlReader*>(data);
        try {
            self->start(name, Attrs(attributes));
        } catch (...) {
            self->fail();
        }
    }
    static void XMLCALL onEnd(void* data, const XML_Char*) {
        auto* self = static_cast<LandXmlReader*>(data);
        try {
            self->end();
        } catch (...) {
            self->fail();
        }
    }
    static void XMLCALL onText(void* data, const XML_Char* text, int length) {
        auto* self = static_cast<LandXmlReader*>(data);
        if (self->m_collect && length > 0) self->m_text.append(text, static_cast<std::size_t>(length));
    }
    void fail() {
        if (m_failure == nullptr) m_failure = std::current_exception();
        XML_StopParser(m_parser, XML_FALSE);
    }

    [[nodiscard]] std::size_t offset() const {
        const XML_Index index = XML_GetCurrentByteIndex(m_parser);
        return index < 0 ? 0 : static_cast<std::size_t>(index);
    }
    [[nodiscard]] Place here() const { return m_b.place(offset()); }

    [[noreturn]] void malformedAt(std::size_t line, std::size_t column, const std::string& what) const {
        throw HostError(kExitJson,
                        m_input.source() + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what);
    }
    // An error about the element being read, at its start tag.
    [[noreturn]] void malformed(const std::string& what) const {
        malformedAt(static_cast<std::size_t>(XML_GetCurrentLineNumber(m_parser)),
                    static_cast<std::size_t>(XML_GetCurrentColumnNumber(m_parser)) + 1, what);
    }
    void warn(const std::string& what, std::size_t at) { m_b.warn("input", what, m_b.place(at)); }

    // The pass that reads an element says what it skips of it.
    [[nodiscard]] bool readsHeader() const { return m_pass == 1; }
    [[nodiscard]] bool readsSurvey() const { return m_pass == 2; }

    void start(const XML_Char* qualified, const Attrs& attributes) {
        const std::string_view full(qualified);
        const std::size_t cut = full.find(kSeparator);
        const std::string_view uri = cut == std::string_view::npos ? std::string_view() : full.substr(0, cut);
        const std::string_view local = cut == std::string_view::npos ? full : full.substr(cut + 1);
        const std::size_t at = offset();
        if (m_stack.empty()) {
            if (m_rootSeen) return m_stack.push_back({El::skip, kNone, at});
            m_rootSeen = true;
            if (local != "LandXML" || (!uri.empty() && !landXmlNamespace(uri))) {
                malformed("not a LandXML file: its root element is " + shownName(local) +
                          (uri.empty() ? std::string() : " of the namespace " + shownName(uri)));
            }
            m_uri = std::string(uri);
            if (readsHeader() && !m_pointsOnly) root(attributes);
            return m_stack.push_back({El::root, kNone, at});
        }
        const Open& parent = m_stack.back();
        El kind = El::skip;
        if (parent.kind == El::skip || parent.kind == El::fieldNote || parent.kind == El::quiet ||
            parent.kind == El::property) {
            return m_stack.push_back({El::skip, kNone, at});
        }
        if (uri == m_uri) {
            for (const Child& child : kChildren) {
                if (child.parent == parent.kind && local == child.name) {
                    kind = child.kind;
                    break;
                }
            }
        }
        if (m_pointsOnly && kind != El::units && kind != El::unitSystem && kind != El::cgPoints &&
            kind != El::cgPoint) {
            kind = El::skip;
        }
        if (kind == El::skip) {
            // Told once per name in the last pass.
            if (m_pass == 2 || m_pointsOnly) skipped(local, uri, at);
            return m_stack.push_back({El::skip, kNone, at});
        }
        std::size_t setup = parent.setup;
        if (kind == El::setup || kind == El::group || kind == El::backsight || kind == El::raw || kind == El::reduced) {
            setup = setupOf(kind, attributes, parent, at);
        }
        m_stack.push_back({kind, setup, at});
        if ((readsSurvey() && isSurveyElement(kind)) || (readsHeader() && !isSurveyElement(kind))) {
            checkAttributes(kind, attributes, at);
        }
        if (m_pass == 1) {
            startHeader(kind, attributes, at);
        } else {
            startSurvey(kind, attributes, at);
        }
    }

    void end() {
        if (m_stack.empty()) return;
        const Open open = m_stack.back();
        m_stack.pop_back();
        if (m_pass == 1) {
            endHeader(open);
        } else {
            endSurvey(open);
        }
        if (open.setup == kNone) return;
        if (open.kind != El::setup && open.kind != El::group && open.kind != El::backsight && open.kind != El::raw &&
            open.kind != El::reduced) {
            return;
        }
        const std::size_t at = offset();
        if (m_pass == 1) {
            m_setups[open.setup].lastEnd = at;
            if (open.kind == El::raw) m_setups[open.setup].hasRaw = true;
        } else if (m_setups[open.setup].lastEnd == at) {
            m_done[open.setup] = true;
            emitReady(false);
        }
    }

    static bool isSurveyElement(El kind) {
        switch (kind) {
            case El::setup:
            case El::instrumentPoint:
            case El::group:
            case El::backsight:
            case El::backsightPoint:
            case El::raw:
            case El::reduced:
            case El::targetPoint:
            case El::feature:
            case El::property:
                return true;
            default:
                return false;
        }
    }

    // The set-up an element belongs to: the one its setupID names, else the one it stands in,
    // else the last one before it. The first pass numbers the set-ups; both passes find the same.
    std::size_t setupOf(El kind, const Attrs& attributes, const Open& parent, std::size_t at) {
        if (kind == El::setup) {
            const std::size_t index = m_setupCount++;
            m_lastSetup = index;
            if (m_pass == 1) {
                m_setups.push_back(SetupInfo{});
                if (const char* id = attributes.find("id")) {
                    if (!m_setupById.try_emplace(id, index).second) {
                        malformed("the set-up id " + shownName(id) + " is given twice");
                    }
                }
            }
            return index;
        }
        if (const char* id = attributes.find("setupID")) {
            const auto it = m_setupById.find(id);
            if (it != m_setupById.end()) return it->second;
            if (m_pass == 2) {
                ++m_unknownSetup.count;
                if (m_unknownSetup.count == 1) m_unknownSetup.first = at;
            }
            return kNone;
        }
        if (parent.setup != kNone) return parent.setup;
        return m_lastSetup;
    }

    void checkAttributes(El kind, const Attrs& attributes, std::size_t at) {
        const Attributes* known = nullptr;
        for (const Attributes& entry : kAttributes) {
            if (entry.kind == kind) known = &entry;
        }
        if (known == nullptr) return;
        for (const XML_Char** a = attributes.list(); *a != nullptr; a += 2) {
            const std::string_view name(*a);
            if (name.find(kSeparator) != std::string_view::npos) continue;  // another namespace's
            bool read = false;
            for (const char* n : known->names) {
                if (n != nullptr && name == n) read = true;
            }
            if (!read) skipped(std::string(elementName(kind)) + "@" + std::string(name), at);
        }
    }

    // ---- what is skipped, counted per name

    void skipped(std::string_view local, std::string_view uri, std::size_t at) {
        skipped(uri.empty() || uri == m_uri ? std::string(local) : std::string(uri) + ":" + std::string(local), at);
    }
    void skipped(const std::string& name, std::size_t at) {
        auto [it, added] = m_skipped.try_emplace(name, Skipped{0, at});
        ++it->second.count;
        if (added) m_skippedOrder.push_back(name);
    }

    void warnSkipped() {
        for (const std::string& name : m_skippedOrder) {
            const Skipped& s = m_skipped.at(name);
            const std::size_t at = name.find('@');
            const std::string times = s.count == 1 ? "" : " (" + std::to_string(s.count) + " times, the first here)";
            if (name[0] == '!') {
                warn(name.substr(1) + (s.count == 1 ? " is" : " are") + " skipped" + times, s.first);
            } else if (at != std::string::npos) {
                warn("the attribute " + name.substr(at + 1) + " of " + name.substr(0, at) +
                         " is skipped: a job has no place for it" + times,
                     s.first);
            } else {
                warn("the element " + name + " is skipped: a job has no place for it" + times, s.first);
            }
        }
        m_skipped.clear();
        m_skippedOrder.clear();
        if (m_unknownSetup.count > 0) {
            warn(std::to_string(m_unknownSetup.count) + " element" + (m_unknownSetup.count == 1 ? "" : "s") +
                     " naming a setupID no InstrumentSetup has " + (m_unknownSetup.count == 1 ? "is" : "are") +
                     " skipped (the first here)",
                 m_unknownSetup.first);
        }
        for (const Tally* tally : {&m_reducedRead, &m_reducedSkipped, &m_unusedSkipped}) {
            if (tally->count == 0) continue;
            const std::string n = std::to_string(tally->count);
            const bool one = tally->count == 1;
            std::string what;
            if (tally == &m_reducedRead) {
                what = n + " reduced observation" + (one ? " is" : "s are") +
                       " read as measured, though the program that wrote the file worked " + (one ? "it" : "them") +
                       " out (the first here)";
            } else if (tally == &m_reducedSkipped) {
                what = n + " reduced observation" + (one ? " is" : "s are") +
                       " skipped: one of a set-up with raw observations, or without a horizontal angle with a "
                       "horizontal and a vertical distance or a zenith and a slope distance (the first here)";
            } else {
                what = n + " observation" + (one ? " marked unused or deleted is" : "s marked unused or deleted are") +
                       " skipped (the first here)";
            }
            warn(what, tally->first);
        }
    }

    // ---- the first pass: units, program, header, instrument and known points

    void root(const Attrs& attributes) {
        const char* date = attributes.find("date");
        const char* time = attributes.find("time");
        if (date == nullptr) return;
        // "2025-07-04" is the job's 4/7/2025 (day/month/year).
        const std::string_view d = trimmed(date);
        if (d.size() != 10 || d[4] != '-' || d[7] != '-') return;
        std::string dayFirst;
        dayFirst.append(d.substr(8, 2)).append("/").append(d.substr(5, 2)).append("/").append(d.substr(0, 4));
        if (dayFirst[0] == '0') dayFirst.erase(0, 1);
        const std::size_t month = dayFirst.find('/') + 1;
        if (dayFirst[month] == '0') dayFirst.erase(month, 1);
        std::optional<COrvStringT> clock;
        if (time != nullptr) clock = m_b.text(TextKind::text, trimmed(time).substr(0, 8), here());
        m_b.setCreated(m_b.text(TextKind::text, dayFirst, here()), here(), clock, here());
    }

    void startHeader(El kind, const Attrs& attributes, std::size_t at) {
        switch (kind) {
            case El::unitSystem:
                return unitSystem(attributes);
            case El::application:
                if (const char* name = attributes.find("name")) {
                    const char* version = attributes.find("version");
                    m_b.setApplication(m_b.text(TextKind::text, name, here()),
                                       m_b.text(TextKind::text, version == nullptr ? "" : version, here()));
                }
                return;
            case El::cgPoint:
                m_point = PendingPoint();
                m_point.point.place = m_b.place(at);
                m_pointName = attributes.find("name") == nullptr ? std::string() : attributes.find("name");
                if (const char* code = attributes.find("code"); code != nullptr && *code != '\0') {
                    m_point.point.code = m_b.text(TextKind::code, code, here());
                    m_point.point.design.codes.addCode(DexCodeValues(DexCodeDescription(m_point.point.code)));
                }
                if (const char* desc = attributes.find("desc"); desc != nullptr && *desc != '\0') {
                    m_pointNote = m_b.text(TextKind::note, desc, here());
                } else {
                    m_pointNote = COrvStringT();
                }
                return collect();
            case El::backsightPoint:
                // A backsight point's coordinates make a known point when no CgPoint gives it.
                m_point = PendingPoint();
                m_point.point.place = m_b.place(at);
                m_pointName = attributes.find("name") != nullptr     ? attributes.find("name")
                              : attributes.find("pntRef") != nullptr ? attributes.find("pntRef")
                                                                     : "";
                m_pointNote = COrvStringT();
                return collect();
            case El::surveyHeader:
                return surveyHeader(attributes);
            case El::fieldNote:
                if (m_stack.size() >= 2 && m_stack[m_stack.size() - 2].kind == El::surveyHeader) collect();
                return;
            case El::instrumentDetails:
                if (const char* model = attributes.find("model"))
                    m_instrument = m_b.text(TextKind::text, model, here());
                return;
            case El::targetSetup:
                if (const char* constant = attributes.find("prismConstant"); constant != nullptr && !m_prism) {
                    double value = 0.0;
                    if (!parseNumber(constant, value)) malformed("the prism constant is no number");
                    m_prism = value;
                }
                return;
            default:
                return;
        }
    }

    void endHeader(const Open& open) {
        switch (open.kind) {
            case El::cgPoint:
            case El::backsightPoint: {
                m_collect = false;
                if (m_pointName.empty()) {
                    if (open.kind == El::cgPoint) warn("a CgPoint without a name is skipped", open.offset);
                    return;
                }
                std::size_t count = 0;
                if (!coordinates(m_text, m_point.values, count)) {
                    malformed("the coordinates of point " + shownName(m_pointName) +
                              " are not two or three numbers (northing, easting, elevation)");
                }
                if (count < 2) {
                    if (open.kind == El::cgPoint) {
                        warn("point " + shownName(m_pointName) + " without coordinates is skipped", open.offset);
                    }
                    return;
                }
                m_point.point.hasHeight = count == 3;
                const COrvStringT name = m_b.text(TextKind::name, m_pointName, m_b.place(open.offset));
                m_point.point.design.setStation(DexStation(name, 0.0, 0.0, 0.0, m_pointNote));
                (open.kind == El::cgPoint ? m_points : m_backsightPoints).push_back(std::move(m_point));
                return;
            }
            case El::fieldNote:
                if (!m_collect) return;
                m_collect = false;
                if (!m_headerNote) {
                    m_headerNote = true;
                    m_b.setJobTexts(m_jobName, m_jobText2, m_b.text(TextKind::text, trimmed(m_text), here()));
                } else {
                    warn("a second field note of the survey's header is skipped: a job has three texts", open.offset);
                }
                return;
            default:
                return;
        }
    }

    void collect() {
        m_collect = true;
        m_text.clear();
    }

    // The coordinates of a point's text: northing, easting and elevation, in the file's units.
    static bool coordinates(std::string_view text, double (&values)[3], std::size_t& count) {
        count = 0;
        std::size_t at = 0;
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        while (true) {
            while (at < text.size() && blank(text[at])) ++at;
            if (at == text.size()) return true;
            std::size_t end = at;
            while (end < text.size() && !blank(text[end])) ++end;
            if (count == 3 || !parseNumber(text.substr(at, end - at), values[count])) return false;
            ++count;
            at = end;
        }
    }

    void unitSystem(const Attrs& attributes) {
        if (m_unitsRead) return;
        m_unitsRead = true;
        const auto value = [&attributes](const char* name) {
            const char* text = attributes.find(name);
            return text == nullptr ? std::string_view() : trimmed(text);
        };
        static const std::pair<const char*, double> kLinear[] = {
            {"meter", 1.0},        {"millimeter", 0.001},    {"centimeter", 0.01},
            {"kilometer", 1000.0}, {"foot", landxml::kFoot}, {"USSurveyFoot", landxml::kUsFoot},
            {"inch", 0.0254},      {"mile", 1609.344},
        };
        const std::string_view linear = value("linearUnit");
        bool found = false;
        for (const auto& [name, factor] : kLinear) {
            if (linear == name) {
                m_metres = factor;
                found = true;
            }
        }
        if (!found) malformed("unknown linear unit " + shownName(linear));
        m_distance = linear == "USSurveyFoot"                                   ? eUSFeet
                     : linear == "foot" || linear == "inch" || linear == "mile" ? eInternationalFeet
                                                                                : eMeters;
        // Elevations are in the elevation unit when the file names one, else in the linear unit.
        m_elevationMetres = m_metres;
        const std::string_view elevation = value("elevationUnit");
        if (elevation == "meter") m_elevationMetres = 1.0;
        if (elevation == "kilometer") m_elevationMetres = 1000.0;
        if (elevation == "miles") m_elevationMetres = 1609.344;
        if (elevation == "feet") m_elevationMetres = m_distance == eUSFeet ? landxml::kUsFoot : landxml::kFoot;
        m_angular = angular(value("angularUnit"));
        m_direction = angular(value("directionUnit"));
        const std::string_view temperature = value("temperatureUnit");
        m_fahrenheit = temperature == "fahrenheit";
        m_kelvin = temperature == "kelvin";
        const std::string_view pressure = value("pressureUnit");
        m_pressure = pressure == "mmHG" || pressure == "millimeterHG" ? eMillimetresHg
                     : pressure == "inHG" || pressure == "inchHG"     ? eInchesHg
                                                                      : eHectoPascal;
    }

    landxml::Angular angular(std::string_view name) const {
        if (name.empty() || name == "radians") return landxml::Angular::radians;
        if (name == "grads") return landxml::Angular::grads;
        if (name == "decimal degrees") return landxml::Angular::decimalDegrees;
        if (name == "decimal dd.mm.ss") return landxml::Angular::packedDms;
        malformed("unknown angular unit " + shownName(name));
    }

    void surveyHeader(const Attrs& attributes) {
        if (m_headerRead) return warn("a second survey header is skipped: a job has one", offset());
        m_headerRead = true;
        if (const char* name = attributes.find("name")) m_jobName = m_b.text(TextKind::text, name, here());
        if (const char* desc = attributes.find("desc")) m_jobText2 = m_b.text(TextKind::text, desc, here());
        m_b.setJobTexts(m_jobName, m_jobText2, COrvStringT());
        for (const char* name : {"temperature", "pressure", "scaleFactor"}) {
            const char* text = attributes.find(name);
            if (text == nullptr) continue;
            double value = 0.0;
            if (!parseNumber(text, value)) malformed(std::string("the survey's ") + name + " is no number");
            (name[0] == 't' ? m_temperature : name[0] == 'p' ? m_pressureValue : m_scale) = value;
        }
    }

    // Everything of the first pass is known: the units apply to the values read.
    void finishHeader() {
        if (!m_unitsRead && (!m_points.empty() || !m_pointsOnly)) {
            warn("the file states no units: lengths are read in metres and angles in radians", 0);
        }
        if (!m_pointsOnly) {
            const EAngleUnits angle = m_angular == landxml::Angular::grads       ? eGons
                                      : m_angular == landxml::Angular::packedDms ? eDegrees
                                                                                 : eDecimalDegrees;
            m_b.setUnits(m_distance, angle);
            // A point list given with --points is in these units.
            InputUnits units;
            units.distance = m_distance;
            units.angle = angle;
            m_b.setInputUnits(units);
            m_b.checkValues();
            if (m_angular == landxml::Angular::radians && m_unitsRead) {
                warn("angles in radians are read as decimal degrees: a job has no radians", 0);
            }
            if (m_instrument || m_prism) {
                m_b.setInstrument(m_instrument.value_or(COrvStringT()), m_prism.value_or(0.0) * m_metres * 1000.0);
            }
            if (m_temperature) {
                const double value = m_kelvin ? *m_temperature - 273.15 : *m_temperature;
                m_b.setTemperature(value, m_fahrenheit ? eFahrenheit : eCelsius);
            }
            if (m_pressureValue) m_b.setPressure(*m_pressureValue, m_pressure);
            if (m_scale) m_b.setScale(*m_scale, 0.0);
        }
        for (auto* list : {&m_points, &m_backsightPoints}) {
            for (PendingPoint& pending : *list) addPoint(pending, list == &m_points);
        }
        m_points.clear();
        m_backsightPoints.clear();
    }

    void addPoint(PendingPoint& pending, bool cgPoint) {
        KnownPoint& point = pending.point;
        point.coords = {pending.values[0] * m_metres, pending.values[1] * m_metres,
                        point.hasHeight ? pending.values[2] * m_elevationMetres : 0.0};
        const DexStation& given = point.design.getStation();
        if (const KnownPoint* known = m_b.job().find(utf8(given.name()))) {
            // The first entry of a name counts; the same point again (a control point that is
            // also a design point) is no news.
            const Point3& c = known->coords;
            if (cgPoint && (c.n != point.coords.n || c.e != point.coords.e || c.h != point.coords.h ||
                            known->hasHeight != point.hasHeight)) {
                warn("point " + shownName(utf8(given.name())) + " is given again with other coordinates and is skipped",
                     point.place.offset);
            }
            return;
        }
        point.design.setStation(DexStation(given.name(), point.coords.n, point.coords.e,
                                           point.hasHeight ? point.coords.h : noValue, given.getNotes()));
        m_b.addKnownPoint(std::move(point));
    }

    // ---- the second pass: the set-ups

    [[nodiscard]] double length(double value) const { return value * m_metres; }
    [[nodiscard]] double degrees(double value, landxml::Angular unit) const {
        switch (unit) {
            case landxml::Angular::radians:
                return value * 180.0 / 3.14159265358979323846;
            case landxml::Angular::grads:
                return value * 0.9;
            default:
                return value;
        }
    }

    // A number attribute; nullopt when absent; an error when it is no number.
    std::optional<double> number(const Attrs& attributes, const char* name) const {
        const char* text = attributes.find(name);
        if (text == nullptr) return std::nullopt;
        double value = 0.0;
        if (!parseNumber(text, value)) malformed("the " + std::string(name) + " " + shownName(text) + " is no number");
        return value;
    }
    std::optional<double> distanceOf(const Attrs& attributes, const char* name) const {
        const auto value = number(attributes, name);
        if (!value) return std::nullopt;
        return length(*value);
    }
    // An angle (a horizontal angle or zenith in the angular unit, an azimuth in the direction
    // unit) in decimal degrees.
    std::optional<double> angleOf(const Attrs& attributes, const char* name, bool direction = false) const {
        const landxml::Angular unit = direction ? m_direction : m_angular;
        if (unit == landxml::Angular::packedDms) {
            const char* text = attributes.find(name);
            if (text == nullptr) return std::nullopt;
            double value = 0.0;
            if (!landxml::unpackDms(trimmed(text), value)) {
                malformed("the " + std::string(name) + " " + shownName(text) + " is no angle D.MMSS");
            }
            return value;
        }
        const auto value = number(attributes, name);
        if (!value) return std::nullopt;
        return degrees(*value, unit);
    }

    Setup* setupAt(std::size_t index) {
        if (index == kNone) return nullptr;
        const auto it = m_open.find(index);
        return it == m_open.end() ? nullptr : &it->second;
    }

    void startSurvey(El kind, const Attrs& attributes, std::size_t at) {
        const std::size_t index = m_stack.back().setup;
        switch (kind) {
            case El::setup:
                return startSetup(index, attributes, at);
            case El::instrumentPoint: {
                Setup* s = setupAt(index);
                if (s == nullptr) return;
                m_calculated =
                    attributes.find("role") != nullptr && std::strcmp(attributes.find("role"), "calculated") == 0;
                if (s->station.IsEmpty()) {
                    if (const char* ref = attributes.find("pntRef")) s->station = m_b.text(TextKind::name, ref, here());
                }
                if (const char* code = attributes.find("code"); code != nullptr && s->code.IsEmpty()) {
                    s->code = m_b.text(TextKind::code, code, here());
                }
                if (const char* desc = attributes.find("desc"); desc != nullptr && s->note.IsEmpty()) {
                    s->note = m_b.text(TextKind::note, desc, here());
                }
                return collect();
            }
            case El::backsight:
                return startBacksight(index, attributes, at);
            case El::backsightPoint:
                if (m_backsight) {
                    const char* name = attributes.find("name");
                    if (name == nullptr) name = attributes.find("pntRef");
                    if (name != nullptr && *name != '\0') {
                        m_backsight->kind = Backsight::Kind::point;
                        m_backsight->point = m_b.text(TextKind::name, name, here());
                        m_backsight->sight.setTargetName(m_backsight->point);
                    }
                }
                return;
            case El::raw:
            case El::reduced:
                return startObservation(kind, index, attributes, at);
            case El::targetPoint:
                return startTarget(attributes);
            case El::feature:
                return startFeature(attributes, at);
            case El::property:
                if (!m_features.empty()) {
                    const char* label = attributes.find("label");
                    const char* value = attributes.find("value");
                    m_features.back().attributes.emplace_back(label == nullptr ? "" : label,
                                                              value == nullptr ? "" : value);
                }
                return;
            case El::fieldNote:
                return collect();
            default:
                return;
        }
    }

    void endSurvey(const Open& open) {
        switch (open.kind) {
            case El::instrumentPoint:
                return endInstrumentPoint(open);
            case El::backsight:
                return endBacksight(open);
            case El::raw:
            case El::reduced:
                return endObservation(open);
            case El::targetPoint:
                return endTarget(open);
            case El::feature:
                return endFeature(open);
            case El::fieldNote:
                return endFieldNote(open);
            default:
                return;
        }
    }

    void startSetup(std::size_t index, const Attrs& attributes, std::size_t at) {
        Setup& s = m_open[index];
        s.place = m_b.place(at);
        const char* station = attributes.find("stationName");
        if (station != nullptr) s.station = m_b.text(TextKind::name, station, here());
        if (const auto hi = distanceOf(attributes, "instrumentHeight")) s.hi = Figure::recorded(*hi);
        if (const auto azimuth = angleOf(attributes, "orientationAzimuth", true)) m_orientations[index] = *azimuth;
    }

    void endInstrumentPoint(const Open& open) {
        m_collect = false;
        Setup* s = setupAt(open.setup);
        if (s == nullptr) return;
        double values[3];
        std::size_t count = 0;
        if (!coordinates(m_text, values, count)) {
            malformed("the coordinates of the instrument point are not two or three numbers");
        }
        if (count < 2) return;
        const Point3 at{length(values[0]), length(values[1]), count == 3 ? values[2] * m_elevationMetres : 0.0};
        // A position the writing program worked out says so.
        s->coords.set(at, m_calculated ? Origin::derived : Origin::recorded, count == 3);
    }

    void startBacksight(std::size_t index, const Attrs& attributes, std::size_t at) {
        m_backsight.reset();
        if (setupAt(index) == nullptr) return;
        Backsight bs;
        bs.place = m_b.place(at);
        bs.kind = Backsight::Kind::bearing;
        bs.bearingSight.setBsNameMode(1);
        if (const auto azimuth = angleOf(attributes, "azimuth", true)) bs.azimuth = Figure::recorded(*azimuth);
        if (const auto circle = angleOf(attributes, "circle")) bs.circle = Figure::recorded(*circle);
        if (const auto hr = distanceOf(attributes, "targetHeight")) bs.hr = Figure::recorded(*hr);
        m_backsight = std::move(bs);
    }

    void endBacksight(const Open& open) {
        Setup* s = setupAt(open.setup);
        if (s == nullptr || !m_backsight) return;
        addOrientation(*s, std::move(*m_backsight));
        m_backsight.reset();
    }

    // The orientation record the set-up's next measured backsight belongs to, or null.
    static Backsight* lastOrientation(Setup& s) {
        if (!s.reorientations.empty()) return &s.reorientations.back();
        return s.backsight.kind == Backsight::Kind::none ? nullptr : &s.backsight;
    }

    // A later backsight orients the shots after it only.
    static void addOrientation(Setup& s, Backsight backsight) {
        if (lastOrientation(s) == nullptr && s.shots.empty()) {
            s.backsight = std::move(backsight);
        } else {
            backsight.firstShot = s.shots.size();
            s.reorientations.push_back(std::move(backsight));
        }
    }

    void startObservation(El kind, std::size_t index, const Attrs& attributes, std::size_t at) {
        m_reading = Reading();
        Reading& r = m_reading;
        r.reduced = kind == El::reduced;
        r.setup = index;
        r.offset = at;
        r.obs.place = m_b.place(at);
        r.obs.sight.setKind(eSightSideShot);
        if (setupAt(index) == nullptr) {
            r.skip = true;
            return;
        }
        const char* unused = attributes.find("unused");
        const char* status = attributes.find("status");
        if ((unused != nullptr && (trimmed(unused) == "true" || trimmed(unused) == "1")) ||
            (status != nullptr && trimmed(status) == "deleted")) {
            r.skip = true;
            count(m_unusedSkipped, at);
            return;
        }
        if (r.reduced && m_setups[index].hasRaw) {
            r.skip = true;
            count(m_reducedSkipped, at);
            return;
        }
        if (const char* purpose = attributes.find("purpose")) r.purpose = trimmed(purpose);
        if (const auto hr = distanceOf(attributes, "targetHeight")) r.obs.hr = Figure::recorded(*hr);
        if (const char* face = attributes.find("directFace")) {
            const std::string_view f = trimmed(face);
            r.directFace = f == "true" || f == "1";
        }
        const auto h = angleOf(attributes, "horizAngle");
        const auto z = angleOf(attributes, "zenithAngle");
        const auto s = distanceOf(attributes, "slopeDistance");
        const auto hd = distanceOf(attributes, "horizDistance");
        const auto vd = distanceOf(attributes, "vertDistance");
        int measured = -1;
        std::vector<double> values;
        if (r.reduced) {
            if (h && z && s) {
                measured = eKindAnglesAndSlopeDistance, values = {*h, *z, *s};
            } else if (h && hd && vd) {
                measured = eKindAngleAndHorizontalDistance, values = {*h, *hd, *vd};
            } else {
                r.skip = true;
                count(m_reducedSkipped, at);
                return;
            }
            count(m_reducedRead, at);
        } else if (h && z && s) {
            measured = eKindAnglesAndSlopeDistance, values = {*h, *z, *s};
        } else if (h && hd && vd) {
            measured = eKindAngleAndHorizontalDistance, values = {*h, *hd, *vd};
        } else if (h && z) {
            measured = eKindAnglesOnly, values = {*h, *z};
        } else if (h) {
            measured = eKindHorizontalAngleOnly, values = {*h};
        } else if (s) {
            measured = eKindSlopeDistanceOnly, values = {*s};
        } else if (z) {
            measured = eKindZenithOnly, values = {*z};
        } else if (hd) {
            measured = eKindHorizontalDistanceOnly, values = {*hd};
        }
        // The figures no measurement of the job takes are not dropped in silence.
        const std::size_t used = values.size();
        const std::size_t given = (h ? 1 : 0) + (z ? 1 : 0) + (s ? 1 : 0) + (hd ? 1 : 0) + (vd ? 1 : 0);
        if (given > used) skipped("!an observation's figures that its measurement does not take", at);
        if (measured >= 0) {
            if (r.directFace && (measured == eKindAnglesAndSlopeDistance || measured == eKindAnglesOnly ||
                                 measured == eKindZenithOnly)) {
                const double zenith = measured == eKindZenithOnly ? values[0] : values[1];
                const double inCircle = std::fmod(std::fmod(zenith, 360.0) + 360.0, 360.0);
                if (*r.directFace != (inCircle > 0.0 && inCircle < 180.0)) {
                    skipped("!a directFace that the zenith contradicts (the zenith tells the face)", at);
                }
            }
            r.obs.sight.setMeasurement(DexTSRawMeasurement(measured, std::move(values)));
        }
    }

    void count(Tally& tally, std::size_t at) {
        if (tally.count++ == 0) tally.first = at;
    }

    void startTarget(const Attrs& attributes) {
        Reading& r = m_reading;
        if (r.skip) return;
        const char* name = attributes.find("name");
        const char* ref = attributes.find("pntRef");
        const char* role = attributes.find("role");
        r.staked = role != nullptr && std::strcmp(role, "staked out") == 0;
        if (name == nullptr || *name == '\0') name = ref;
        if (name != nullptr) r.obs.sight.setTargetName(m_b.text(TextKind::name, name, here()));
        if (r.staked)
            r.design = m_b.text(TextKind::name, ref != nullptr && *ref != '\0' ? ref : (name ? name : ""), here());
        if (const char* code = attributes.find("code"); code != nullptr && *code != '\0') {
            r.targetCode = m_b.text(TextKind::code, code, here());
        }
        if (const char* desc = attributes.find("desc"); desc != nullptr && *desc != '\0') {
            r.targetDesc = m_b.text(TextKind::note, desc, here());
        }
        collect();
    }

    void endTarget(const Open&) {
        m_collect = false;
        Reading& r = m_reading;
        if (r.skip) return;
        double values[3];
        std::size_t count = 0;
        if (!coordinates(m_text, values, count))
            malformed("the coordinates of the target are not two or three numbers");
        if (count < 2) return;
        r.obs.coords.set({length(values[0]), length(values[1]), count == 3 ? values[2] * m_elevationMetres : 0.0},
                         Origin::recorded, count == 3);
    }

    void startFeature(const Attrs& attributes, std::size_t at) {
        FeatureCode feature;
        feature.offset = at;
        if (const char* code = attributes.find("code")) feature.code = code;
        if (const char* name = attributes.find("name")) feature.string = name;
        m_features.push_back(std::move(feature));
    }

    void endFeature(const Open& open) {
        if (m_features.empty()) return;
        FeatureCode feature = std::move(m_features.back());
        m_features.pop_back();
        if (!m_features.empty()) {
            // A Feature in a code's Feature: its control codes.
            FeatureCode& owner = m_features.back();
            if (feature.string == "control1" || feature.string == "control2") {
                owner.control[feature.string == "control1" ? 0 : 1] = feature.code;
            } else {
                skipped("!a Feature in a code's Feature other than control1 and control2", open.offset);
            }
            return;
        }
        const El parent = m_stack.empty() ? El::skip : m_stack.back().kind;
        if (feature.code.empty()) return skipped("!a Feature without a code", open.offset);
        const Place place = m_b.place(feature.offset);
        if (parent == El::setup) {
            Setup* s = setupAt(open.setup);
            if (s == nullptr) return;
            if (!s->code.IsEmpty() || !feature.attributes.empty() || !feature.string.empty() ||
                !feature.control[0].empty() || !feature.control[1].empty()) {
                return skipped("!a set-up's Feature beyond its one code", open.offset);
            }
            s->code = m_b.text(TextKind::code, feature.code, place);
            return;
        }
        if (m_reading.skip) return;
        DexCodeDescription description(m_b.text(TextKind::code, feature.code, place));
        for (const auto& attribute : feature.attributes) {
            description.addAttribute(m_b.text(TextKind::attribute, attribute.first, place));
        }
        DexCodeValues code(description);
        if (!feature.string.empty()) code.addCodeString(m_b.text(TextKind::attribute, feature.string, place));
        for (int i = 0; i < 2; ++i) {
            if (!feature.control[i].empty()) {
                code.setControlCode(i == 0 ? eControlCode1 : eControlCode2,
                                    m_b.text(TextKind::attribute, feature.control[i], place));
            }
        }
        for (std::size_t a = 0; a < feature.attributes.size(); ++a) {
            code.setAttrAt(static_cast<int>(a), m_b.text(TextKind::attribute, feature.attributes[a].second, place));
        }
        if (m_reading.obs.code.IsEmpty()) m_reading.obs.code = description.codeName();
        m_reading.obs.sight.codes.addCode(code);
    }

    void endFieldNote(const Open& open) {
        m_collect = false;
        const El parent = m_stack.empty() ? El::skip : m_stack.back().kind;
        if (parent != El::setup && parent != El::raw && parent != El::reduced) return;
        const COrvStringT note = m_b.text(TextKind::note, m_text, m_b.place(open.offset));
        if (parent == El::setup) {
            Setup* s = setupAt(open.setup);
            if (s == nullptr) return;
            if (!s->note.IsEmpty()) return skipped("!a set-up's FieldNote after its first", open.offset);
            s->note = note;
            return;
        }
        if (m_reading.skip) return;
        m_reading.notes.push_back(note);
        m_reading.noteOffsets.push_back(open.offset);
    }

    // "Stake DESIGN: dN x dE y dH z": the differences staked minus design, in the file's units.
    bool stakeDifferences(const COrvStringT& note, Stakeout& stake) const {
        const std::string text = utf8(note);
        const std::string head = "Stake " + utf8(stake.design) + ": dN ";
        if (text.compare(0, head.size(), head) != 0) return false;
        const std::string_view rest = std::string_view(text).substr(head.size());
        const std::size_t east = rest.find(" dE ");
        const std::size_t height = rest.find(" dH ");
        double n = 0.0, e = 0.0, h = 0.0;
        if (east == std::string_view::npos || height == std::string_view::npos || height < east ||
            !parseDecimal(rest.substr(0, east), n) || !parseDecimal(rest.substr(east + 4, height - east - 4), e)) {
            return false;
        }
        // A point staked in plan only has its height difference "unknown".
        const std::string_view dH = rest.substr(height + 4);
        if (!parseDecimal(dH, h) && dH != kUnknownFigure) return false;
        stake.differences.set({length(n), length(e), length(h)}, Origin::recorded, dH != kUnknownFigure);
        return true;
    }

    void endObservation(const Open&) {
        Reading& r = m_reading;
        Setup* s = setupAt(r.setup);
        if (r.skip || s == nullptr) return;
        Observation& obs = r.obs;
        if (obs.sight.codes.getNumberOfCodes() == 0 && !r.targetCode.IsEmpty()) {
            obs.code = r.targetCode;
            obs.sight.codes.addCode(DexCodeValues(DexCodeDescription(r.targetCode)));
        }
        Stakeout stake;
        if (r.staked) stake.design = r.design;
        std::size_t notes = 0;
        for (std::size_t i = 0; i < r.notes.size(); ++i) {
            if (r.staked && !stake.differences.known() && stakeDifferences(r.notes[i], stake)) continue;
            if (notes++ == 0) {
                obs.sight.setNote(r.notes[i]);
            } else {
                skipped("!an observation's FieldNote after its first", r.noteOffsets[i]);
            }
        }
        if (!r.targetDesc.IsEmpty()) {
            if (obs.sight.getNote().IsEmpty()) {
                obs.sight.setNote(r.targetDesc);
            } else {
                skipped("!a TargetPoint's desc beside the observation's FieldNote", r.offset);
            }
        }
        if (r.purpose == "backsight") return measuredBacksight(*s, obs, r.offset);
        if (r.purpose == "resection") {
            s->resection.push_back(std::move(obs));
            return;
        }
        if (r.staked) {
            stake.shot = std::move(obs);
            s->stakeouts.push_back(std::move(stake));
            return;
        }
        if (r.purpose == "traverse" || r.purpose == "foresight") obs.sight.setKind(eSightForesight);
        s->shots.push_back(std::move(obs));
    }

    // The measurement to the point of the backsight before it. It never orients: it is what was
    // measured.
    void measuredBacksight(Setup& s, Observation& obs, std::size_t at) {
        const COrvStringT& name = obs.sight.targetName();
        Backsight* bs = lastOrientation(s);
        const bool same = bs != nullptr && bs->kind == Backsight::Kind::point && bs->point == name;
        if (!obs.measured() || (same && bs->measured) || (!same && (bs != nullptr || !s.shots.empty()))) {
            return skipped("!a backsight observation that follows no Backsight to its point", at);
        }
        if (!same) {
            s.backsight.kind = Backsight::Kind::point;
            s.backsight.point = name;
            s.backsight.sight.setTargetName(name);
            s.backsight.place = obs.place;
            bs = &s.backsight;
        }
        if (!bs->hr.known()) bs->hr = obs.hr;
        DexTSRawMeasurement m = obs.measurement();
        m.setBacksightTarget(true);
        bs->measured = true;
        bs->sight.setMeasurement(m);
        bs->bearingSight.setMeasurement(m);
        if (obs.sight.codes.getNumberOfCodes() > 0 || !obs.sight.getNote().IsEmpty()) {
            skipped("!the codes and note of a backsight observation (a job keeps them with the known point)", at);
        }
    }

    // The set-ups whose last element has been read, in file order.
    void emitReady(bool all) {
        while (!m_open.empty()) {
            const auto first = m_open.begin();
            const std::size_t index = first->first;
            if (!all && !m_done[index]) return;
            Setup setup = std::move(first->second);
            m_open.erase(first);
            m_done.erase(index);
            if (const auto it = m_orientations.find(index); it != m_orientations.end()) {
                // The file's orientation of a set-up without a backsight.
                if (setup.backsight.kind == Backsight::Kind::none) setup.orientation = Figure::recorded(it->second);
                m_orientations.erase(it);
            }
            m_b.addSetup(std::move(setup));
        }
    }

    RawInput& m_input;
    JobBuilder& m_b;
    bool m_pointsOnly;
    int m_pass = 1;
    XML_Parser m_parser = nullptr;
    std::exception_ptr m_failure;
    std::vector<Open> m_stack;
    bool m_rootSeen = false;
    std::string m_uri;
    bool m_collect = false;
    std::string m_text;

    // What is skipped, by name, in the order first met.
    std::unordered_map<std::string, Skipped> m_skipped;
    std::vector<std::string> m_skippedOrder;
    Tally m_unknownSetup, m_reducedRead, m_reducedSkipped, m_unusedSkipped;

    // The units.
    bool m_unitsRead = false;
    double m_metres = 1.0;
    double m_elevationMetres = 1.0;
    EDistUnits m_distance = eMeters;
    landxml::Angular m_angular = landxml::Angular::radians;
    landxml::Angular m_direction = landxml::Angular::radians;
    bool m_fahrenheit = false, m_kelvin = false;
    EPressureUnits m_pressure = eHectoPascal;

    // The first pass.
    PendingPoint m_point;
    std::string m_pointName;
    COrvStringT m_pointNote;
    std::vector<PendingPoint> m_points, m_backsightPoints;
    bool m_headerRead = false, m_headerNote = false;
    COrvStringT m_jobName, m_jobText2;
    std::optional<double> m_temperature, m_pressureValue, m_scale, m_prism;
    std::optional<COrvStringT> m_instrument;
    std::vector<SetupInfo> m_setups;
    std::unordered_map<std::string, std::size_t> m_setupById;

    // The second pass.
    std::size_t m_lastSetup = kNone;
    std::size_t m_setupCount = 0;
    std::map<std::size_t, Setup> m_open;
    std::unordered_map<std::size_t, bool> m_done;
    std::unordered_map<std::size_t, double> m_orientations;
    std::optional<Backsight> m_backsight;
    bool m_calculated = false;
    Reading m_reading;
    std::vector<FeatureCode> m_features;
};

}  // namespace

void buildLandXml(RawInput& input, JobBuilder& builder) { LandXmlReader(input, builder, false).read(); }

void readLandXmlPoints(RawInput& input, JobBuilder& builder) { LandXmlReader(input, builder, true).read(); }

bool looksLikeLandXml(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    std::size_t at = 0;
    while (at < head.size()) {
        const char c = head[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
            continue;
        }
        if (c != '<') return false;
        const std::string_view rest = head.substr(at);
        // The declaration, processing instructions, comments and a document type come first.
        const char* close = rest.substr(0, 4) == "<!--" ? "-->" : rest.substr(0, 2) == "<?" ? "?>" : nullptr;
        if (close == nullptr && rest.substr(0, 2) == "<!") close = ">";
        if (close != nullptr) {
            const std::size_t end = rest.find(close, 2);
            if (end == std::string_view::npos) return false;
            at += end + std::strlen(close);
            continue;
        }
        std::size_t end = 1;
        while (end < rest.size() && rest[end] != ' ' && rest[end] != '>' && rest[end] != '/' && rest[end] != '\t' &&
               rest[end] != '\r' && rest[end] != '\n') {
            ++end;
        }
        std::string_view name = rest.substr(1, end - 1);
        if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
        return name == "LandXML" && end < rest.size();
    }
    return false;
}

}  // namespace exportgen
