#include "writers/writer_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"

namespace exportgen {

namespace {

// How a derived item came about, for its warning.
const char* derivedHow(Item item) {
    switch (item) {
        case Item::orientation:
            return "worked out from the coordinates and the observations";
        case Item::levelRun:
            return "written with heights worked out from the readings";
        default:
            return "worked out from the observations";
    }
}

// "1 direction-only measurement has no record in this format and is left out" for an
// observation, "2 known points left out: the format has no place for them" for the rest.
std::string omissionText(Item item, const char* reason, std::uint64_t count) {
    if (std::strcmp(reason, WriterBase::kNoRecord) == 0) {
        static const char* const kKinds[] = {"slope-distance", "horizontal-distance", "angles-only",
                                             "direction-only", "distance-only",       "other",
                                             "unmeasured"};
        const auto index = static_cast<std::size_t>(item) - static_cast<std::size_t>(Item::observationSlope);
        return std::to_string(count) + " " + kKinds[index] + " measurement" + (count == 1 ? " has" : "s have") +
               " no record in this format and " + (count == 1 ? "is" : "are") + " left out";
    }
    return std::to_string(count) + " " + itemName(item, count) + " left out: " + reason;
}

}  // namespace

WriterBase::WriterBase(const Generator& generator, const Job& job, RecordSink& sink)
    : m_job(job),
      m_sink(sink),
      m_settings(job.settings),
      m_info(job.info),
      m_observation(job.observation),
      m_format(generator.name),
      m_describe([this](std::size_t at) { return describeLine(at); }),
      m_warnings(generator.name, WarningPolicy()) {}

void WriterBase::begin() {
    m_accounted.fill(0);
    writeHeader();
    JobCount header;
    countHeader(m_job, header);
    settle(header, [] { return std::string("the job's header"); });
}

void WriterBase::setup(const Setup& setup) {
    m_accounted.fill(0);
    writeSetup(setup);
    settle(setup.items, [this, &setup] { return setupPath(setup); });
}

void WriterBase::levelRuns() {
    m_accounted.fill(0);
    writeLevelRuns();
    JobCount part;
    countLevelRuns(m_job, part);
    settle(part, [] { return std::string("the level runs"); });
}

void WriterBase::account(Item item, std::uint64_t count) { m_accounted[static_cast<std::size_t>(item)] += count; }

void WriterBase::settle(const JobCount& part, const Where& where) {
    for (std::size_t i = 0; i < kItems; ++i) {
        const auto item = static_cast<Item>(i);
        const std::uint64_t total = part.total[i];
        if (m_accounted[i] > total) {
            throw HostError(kExitInternal, std::string(m_format) + " writer accounted for " +
                                               std::to_string(m_accounted[i]) + " " + itemName(item, 2) + " of " +
                                               std::to_string(total) + " at " + where());
        }
        if (m_accounted[i] >= total) continue;
        // What was not written of an item nothing gives is no loss; the rest is left out.
        const std::uint64_t missing = total - m_accounted[i];
        const std::uint64_t absent = std::min(missing, part.absent[i]);
        m_ledger.silent(item, absent);
        leftOut(item, notCarried(item), where, missing - absent);
    }
    m_accounted.fill(0);
}

const char* WriterBase::notCarried(Item item) const {
    switch (item) {
        case Item::observationSlope:
        case Item::observationHorizontal:
        case Item::observationAngles:
        case Item::observationDirection:
        case Item::observationDistance:
        case Item::observationOther:
        case Item::observationUnmeasured:
            return WriterBase::kNoRecord;
        default:
            return "the format has no place for them";
    }
}

void WriterBase::wrote(Item item, Origin origin, const Where& where, std::uint64_t count) {
    wrote(item,
          origin == Origin::recorded  ? Fate::recorded
          : origin == Origin::derived ? Fate::derived
                                      : Fate::noValue,
          where, count);
}

void WriterBase::wrote(Item item, Fate fate, const Where& where, std::uint64_t count) {
    account(item, count);
    m_ledger.add(item, fate, where, count);
}

void WriterBase::leftOut(Item item, const char* reason, const Where& where, std::uint64_t count) {
    if (count == 0) return;
    account(item, count);
    m_ledger.add(item, Fate::leftOut, where, count);
    for (Omission& omission : m_omissions) {
        if (omission.item == item && std::strcmp(omission.reason, reason) == 0) {
            omission.count += count;
            return;
        }
    }
    Omission omission{item, reason, count, "first: " + where()};
    // Under --strict the first thing left out ends the run, named where it happened.
    if (m_warnings.strict())
        m_warnings.add(omissionText(omission.item, omission.reason, omission.count), omission.first);
    m_omissions.push_back(std::move(omission));
}

void WriterBase::observationWritten(const Observation& obs, const Where& where) {
    wrote(observationItem(obs.kind()), Origin::recorded, where);
}

void WriterBase::codesWritten(const orv::ie::DexCodesDataInterface& codes, bool controlCodes, bool attributes,
                              const Where& where) {
    JobCount count;
    countCodes(codes, count);
    if (count.of(Item::code) > 0) wrote(Item::code, Fate::recorded, where, count.of(Item::code));
    if (controlCodes && count.of(Item::controlCode) > 0) {
        wrote(Item::controlCode, Fate::recorded, where, count.of(Item::controlCode));
    }
    if (attributes && count.of(Item::attribute) > 0) {
        wrote(Item::attribute, Fate::recorded, where, count.of(Item::attribute));
    }
}

void WriterBase::noteWritten(const COrvStringT& note, const Where& where) {
    if (!note.IsEmpty()) wrote(Item::note, Fate::recorded, where);
}

void WriterBase::end() {
    writeEnd();
    for (std::size_t i = 0; i < kItems; ++i) {
        const auto item = static_cast<Item>(i);
        const Ledger::Entry& entry = m_ledger.entry(item);
        if (const std::uint64_t derived = entry.count(Fate::derived); derived > 0 && item != Item::unit) {
            m_warnings.inform(std::to_string(derived) + " " + itemName(item, derived) + " " + derivedHow(item),
                              "first: " + entry.firstDerived);
        }
        if (const std::uint64_t empty = entry.count(Fate::noValue) - entry.silent; empty > 0) {
            std::string what = std::to_string(empty) + " " + itemName(item, empty) + " unknown, written empty";
            if (item == Item::stationPosition || item == Item::orientation) {
                what += "; --points or --assume N,E,Z[,BEARING] places them";
            }
            m_warnings.add(what, "first: " + entry.firstNoValue);
        }
    }
    if (m_warnings.strict()) return;  // the first omission was an error already
    for (const Omission& omission : m_omissions) {
        m_warnings.add(omissionText(omission.item, omission.reason, omission.count), omission.first);
    }
}

void WriterBase::emit(const COrvStringT& text) {
    if (text.IsEmpty()) return;
    // Counted once written: a text the output refuses is named by the line it would have begun.
    m_emitting = &text;
    m_sink.text(text, m_describe);
    ++m_records;
    for (const wchar_t c : text.view()) m_lines += c == L'\n' ? 1 : 0;
}

void WriterBase::line(COrvStringT text) {
    if (text.IsEmpty()) return;
    text += orv::ie::kLineEnd;
    emit(text);
}

void WriterBase::at(const char* part, const COrvStringT* name) {
    m_part = part;
    m_name = name;
}

void WriterBase::atSetup(const Setup& setup) {
    m_setup = &setup;
    at("station", &setup.station);
}

void WriterBase::atLevelRuns(const COrvStringT* name) {
    m_setup = nullptr;
    at("level run", name);
}

std::string WriterBase::describe() const {
    return std::string(m_format) + " record " + std::to_string(m_records + 1) + context();
}

std::string WriterBase::describeLine(std::size_t at) const {
    std::size_t line = m_lines + 1;
    if (m_emitting != nullptr) {
        const std::wstring_view text = m_emitting->view();
        for (std::size_t i = 0; i < at && i < text.size(); ++i) line += text[i] == L'\n' ? 1 : 0;
    }
    return std::string(m_format) + " line " + std::to_string(line) + context();
}

std::string WriterBase::context() const {
    std::string text = " (";
    if (m_setup != nullptr) {
        text += "set-up " + std::to_string(m_setup->index) + " at " + shownName(utf8(m_setup->station)) + ", ";
    }
    text += m_part;
    if (m_name != nullptr) text += " " + shownName(utf8(*m_name));
    return text + ")";
}

void WriterBase::warn(const std::string& what, const std::string& where) {
    m_warnings.add(what, where.empty() ? describe() : where);
}

namespace {

bool hasHorizontalAngle(int kind) noexcept {
    return kind == orv::ie::eKindAnglesAndSlopeDistance || kind == orv::ie::eKindAngleAndHorizontalDistance ||
           kind == orv::ie::eKindAnglesOnly || kind == orv::ie::eKindHorizontalAngleOnly;
}

// An angle turned to the left: negative, and neither the no-value nor infinite.
bool isAngleLeft(double degrees) noexcept { return degrees < 0.0 && degrees > -orv::ie::noValue; }

}  // namespace

bool needsCircleReading(const orv::ie::DexTSRawMeasurement* m) noexcept {
    return m != nullptr && hasHorizontalAngle(m->kind()) && isAngleLeft(m->valueAt(0));
}

orv::ie::DexTSRawMeasurement asCircleReading(const orv::ie::DexTSRawMeasurement& m) {
    if (!needsCircleReading(&m)) return m;
    double reading = ::toRange(m.valueAt(0), 0.0, 360.0);
    // A hair left of zero would be written as a full circle ("360.00000"): within a fifth of an
    // arc second, below what any of these formats writes in degrees, gons or mils, it reads zero.
    if (360.0 - reading < 5e-5) reading = 0.0;
    return orv::ie::DexTSRawMeasurement(m.kind(), {reading, m.valueAt(1), m.valueAt(2)}, m.isBacksightTarget());
}

bool codesSayMore(const orv::ie::DexCodesDataInterface& codes) noexcept {
    if (codes.getNumberOfCodes() > 1) return true;
    const orv::ie::DexCodeValues* code = codes.getCode(0);
    return code != nullptr &&
           (code->hasControlCode(orv::ie::eControlCode1) || code->hasControlCode(orv::ie::eControlCode2));
}

COrvStringT codesDescription(const orv::ie::DexCodesDataInterface& codes) {
    COrvStringT text;
    const auto append = [&text](const COrvStringT& word) {
        if (word.IsEmpty()) return;
        if (!text.IsEmpty()) text += L' ';
        text += word;
    };
    for (int i = 0; i < codes.getNumberOfCodes(); ++i) {
        const orv::ie::DexCodeValues* code = codes.getCode(i);
        if (code == nullptr) continue;
        // Counted as the ledger counts codes: a code is its description's name.
        if (const orv::ie::DexCodeDescription* description = code->getDescription())
            append(description->codeName());
        else
            continue;
        append(code->getControlCode(orv::ie::eControlCode1));
        append(code->getControlCode(orv::ie::eControlCode2));
    }
    return text;
}

orv::ie::DexCodesDataInterface codesAsOne(const orv::ie::DexCodesDataInterface& codes) {
    orv::ie::DexCodeDescription description(codesDescription(codes));
    std::vector<COrvStringT> values;
    for (int i = 0; i < codes.getNumberOfCodes(); ++i) {
        const orv::ie::DexCodeValues* code = codes.getCode(i);
        const orv::ie::DexCodeDescription* own = code != nullptr ? code->getDescription() : nullptr;
        if (own == nullptr) continue;
        for (int k = 0; k < own->getSize(); ++k) {
            description.addAttribute(own->getAttrDescriptionAt(k)->text);
            values.push_back(code->getAttrAt(k));
        }
    }
    orv::ie::DexCodeValues one(description);
    for (std::size_t k = 0; k < values.size(); ++k) one.setAttrAt(static_cast<int>(k), values[k]);
    orv::ie::DexCodesDataInterface result;
    result.addCode(std::move(one));
    return result;
}

namespace {

std::string bothWrittenAs(const COrvStringT& first, const COrvStringT& second, const COrvStringT& written) {
    return "names " + shownName(utf8(first)) + " and " + shownName(utf8(second)) + " are both written as " +
           shownName(utf8(written));
}

}  // namespace

void WriterBase::watchName(const COrvStringT& given, const COrvStringT& written, const char* why, bool registerAsIs,
                           const std::function<std::string()>& where) {
    const bool changed = !(given == written);
    if (!changed && !registerAsIs) {
        // A name written as given can only meet a changed one.
        if (m_writtenBy.empty()) return;
        const auto owner = m_writtenBy.find(written);
        if (owner == m_writtenBy.end() || owner->second == given || !m_reported.insert(given).second) return;
        warn(bothWrittenAs(owner->second, given, written), where());
        return;
    }
    if (changed && m_reported.insert(given).second) {
        warn("name " + shownName(utf8(given)) + " " + why + ": " + shownName(utf8(written)), where());
    }
    const auto [owner, added] = m_writtenBy.try_emplace(written, given);
    if (added || owner->second == given) return;
    // Reported once for each name that meets another.
    COrvStringT met = given;
    met += L'\x1f';
    if (!m_reported.insert(met).second) return;
    warn(bothWrittenAs(owner->second, given, written), where());
}

std::string WriterBase::readingPath(std::size_t run, std::size_t reading, const Place& place) const {
    if (m_namer) return m_namer(place);
    return "$.levelRuns[" + std::to_string(run) + "].readings[" + std::to_string(reading) + "]";
}

std::string WriterBase::setupPath(const Setup& setup) const {
    if (m_namer) return m_namer(setup.place);
    return "$.setups[" + std::to_string(setup.index) + "]";
}

std::string WriterBase::itemPath(const Setup& setup, const char* list, std::size_t index, const Place& place) const {
    if (m_namer) return m_namer(place);
    return setupPath(setup) + "." + list + "[" + std::to_string(index) + "]";
}

std::string WriterBase::itemPath(const Setup& setup, const char* list, std::size_t index) const {
    const std::vector<Observation>& sights = std::string_view(list) == "resection" ? setup.resection : setup.shots;
    Place place = setup.place;
    if (std::string_view(list) == "stakeouts") {
        if (index < setup.stakeouts.size()) place = setup.stakeouts[index].shot.place;
    } else if (index < sights.size()) {
        place = sights[index].place;
    }
    return itemPath(setup, list, index, place);
}

COrvStringT WriterBase::noteDistance(double metres) const { return fixed(metres, 4); }

COrvStringT WriterBase::stakeText(const Stakeout& stake) const {
    // The design is named whatever is known of where the point landed; a point staked, or
    // designed, in plan only has no height difference.
    const bool plan = stake.differences.known();
    const bool height = plan && stake.differences.hasHeight;
    const Point3& delta = stake.differences.at;
    const COrvStringT unknown = wideFromUtf8(kUnknownFigure);
    COrvStringT text = L"Stake ";
    text += stake.design;
    text += L": dN ";
    text += plan ? noteDistance(delta.n) : unknown;
    text += L" dE ";
    text += plan ? noteDistance(delta.e) : unknown;
    text += L" dH ";
    text += height ? noteDistance(delta.h) : unknown;
    return text;
}

std::vector<COrvStringT> WriterBase::levelRunTexts(const LevelRun& run) const {
    std::vector<COrvStringT> texts;
    texts.push_back(levelRunHead(run));
    for (const LevelReading& reading : run.readings) texts.push_back(levelReadingText(reading));
    return texts;
}

void WriterBase::levelRunNotes(const std::function<void(const COrvStringT&)>& write) {
    std::size_t r = 0;
    for (const LevelRun& run : m_job.levelRuns) {
        const std::size_t index = r++;
        for (const COrvStringT& text : levelRunTexts(run)) write(text);
        Origin origin = Origin::recorded;
        for (const LevelReading& reading : run.readings) {
            for (const Figure* figure : {&reading.collimation, &reading.elevation}) {
                if (figure->origin != Origin::recorded) origin = Origin::derived;
            }
        }
        const Where where = [this, index, &run] {
            return m_namer ? m_namer(run.place) : "$.levelRuns[" + std::to_string(index) + "]";
        };
        wrote(Item::levelRun, origin, where);
        for (const LevelReading& reading : run.readings) {
            if (!reading.code.IsEmpty()) leftOut(Item::code, "the host's level notes have no place for codes", where);
        }
    }
}

// The run's name, its description and the known height it starts from.
COrvStringT WriterBase::levelRunHead(const LevelRun& run) const {
    COrvStringT head = L"Level run ";
    head += run.name;
    if (!run.description.IsEmpty()) head += L" " + run.description;
    head += L": start ";
    head += run.start;
    if (run.startElevation.known()) {
        head += L" EL ";
        head += noteDistance(run.startElevation.value);
    }
    return head;
}

// A backsight on a point of known height gives the height of the line of sight (HI); a
// foresight from it gives the height of the point sighted (EL).
COrvStringT WriterBase::levelReadingText(const LevelReading& reading) const {
    COrvStringT text = reading.backsight ? L"BS " : L"FS ";
    text += reading.point;
    text += L" rod ";
    text += noteDistance(reading.rod);
    const Figure& height = reading.backsight ? reading.collimation : reading.elevation;
    if (height.known()) {
        text += reading.backsight ? L" HI " : L" EL ";
        text += noteDistance(height.value);
    }
    return text;
}

GeneratorInputs WriterBase::factoryInputs() {
    GeneratorInputs inputs;
    inputs.settings = &m_settings;
    inputs.job = &m_info;
    inputs.observation = &m_observation;
    return inputs;
}

void WriterBase::noGenerator() const {
    throw HostError(kExitInternal, std::string("cannot create the ") + m_format + " generator");
}

}  // namespace exportgen
