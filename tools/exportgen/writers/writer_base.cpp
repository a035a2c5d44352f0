#include "writers/writer_base.h"

#include "base/problems.h"
#include "base/text.h"
#include "contracts/text_services.h"

namespace exportgen {

WriterBase::WriterBase(const Generator& generator, const Job& job, RecordSink& sink)
    : m_job(job),
      m_sink(sink),
      m_settings(job.settings),
      m_info(job.info),
      m_observation(job.observation),
      m_format(generator.name),
      m_describe([this] { return describe(); }),
      m_warnings(generator.name, WarningPolicy()) {}

void WriterBase::emit(const COrvStringT& text) {
    if (text.IsEmpty()) return;
    ++m_records;
    for (const wchar_t c : text.view()) m_lines += c == L'\n' ? 1 : 0;
    m_sink.text(text, m_describe);
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
    std::string text = std::string(m_format) + " record " + std::to_string(m_records + 1) + " (";
    if (m_setup != nullptr) {
        text += "set-up " + std::to_string(m_setup->index) + " at \"" + utf8(m_setup->station) + "\", ";
    }
    text += m_part;
    if (m_name != nullptr) text += " \"" + utf8(*m_name) + "\"";
    return text + ")";
}

void WriterBase::warn(const std::string& what, const std::string& where) {
    m_warnings.add(what, where.empty() ? describe() : where);
}

namespace {

const char* kindName(int kind) {
    switch (kind) {
        case 0:
            return "slope-distance";
        case 1:
            return "horizontal-distance";
        case 2:
            return "angles-only";
        case 6:
            return "direction-only";
        case 9:
            return "distance-only";
        default:
            return "other";
    }
}

}  // namespace

void WriterBase::leftOut(int kind, const std::string& where) {
    LeftOut& counter = m_leftOut[kind >= 0 && kind < 16 ? kind : 15];
    if (m_warnings.strict()) {
        warn(std::string("a ") + kindName(kind) + " measurement has no record in this format and is left out", where);
    }
    if (counter.count++ == 0) counter.first = where;
}

void WriterBase::end() {
    for (int kind = 0; kind < 16; ++kind) {
        const LeftOut& counter = m_leftOut[kind];
        if (counter.count == 0) continue;
        const std::string what = std::to_string(counter.count) + " " + kindName(kind) + " measurement" +
                                 (counter.count == 1 ? " has" : "s have") + " no record in this format and " +
                                 (counter.count == 1 ? "is" : "are") + " left out";
        m_warnings.add(what, "first at " + counter.first);
    }
}

void WriterBase::watchName(const COrvStringT& given, const COrvStringT& written, const char* why, bool registerAsIs,
                           const std::function<std::string()>& where) {
    const bool changed = !(given == written);
    if (!changed && !registerAsIs) {
        // A name written as given can only meet a changed one.
        if (m_writtenBy.empty()) return;
        const auto owner = m_writtenBy.find(written);
        if (owner == m_writtenBy.end() || owner->second == given || !m_reported.insert(given).second) return;
        warn("names \"" + utf8(owner->second) + "\" and \"" + utf8(given) + "\" are both written as \"" +
                 utf8(written) + "\"",
             where());
        return;
    }
    if (changed && m_reported.insert(given).second) {
        warn("name \"" + utf8(given) + "\" " + why + ": \"" + utf8(written) + "\"", where());
    }
    const auto [owner, added] = m_writtenBy.try_emplace(written, given);
    if (added || owner->second == given) return;
    // Reported once for each name that meets another.
    COrvStringT met = given;
    met += L'\x1f';
    if (!m_reported.insert(met).second) return;
    warn("names \"" + utf8(owner->second) + "\" and \"" + utf8(given) + "\" are both written as \"" + utf8(written) +
             "\"",
         where());
}

std::string WriterBase::setupPath(const Setup& setup) { return "$.setups[" + std::to_string(setup.index) + "]"; }

std::string WriterBase::itemPath(const Setup& setup, const char* list, std::size_t index) {
    return setupPath(setup) + "." + list + "[" + std::to_string(index) + "]";
}

COrvStringT WriterBase::noteDistance(double metres) const { return fixed(metres, 4); }

COrvStringT WriterBase::stakeText(const Stakeout& stake) const {
    const Point3 delta = stake.differences();
    COrvStringT text = L"Stake ";
    text += stake.design;
    text += L": dN ";
    text += noteDistance(delta.n);
    text += L" dE ";
    text += noteDistance(delta.e);
    text += L" dH ";
    text += noteDistance(delta.h);
    return text;
}

std::vector<COrvStringT> WriterBase::levelRunTexts() const {
    std::vector<COrvStringT> texts;
    for (const LevelRun& run : m_job.levelRuns) {
        texts.push_back(levelRunHead(run));
        for (const LevelReading& reading : run.readings) texts.push_back(levelReadingText(reading));
    }
    return texts;
}

// The run's name, its description and the known height it starts from.
COrvStringT WriterBase::levelRunHead(const LevelRun& run) const {
    COrvStringT head = L"Level run ";
    head += run.name;
    if (!run.description.IsEmpty()) head += L" " + run.description;
    head += L": start ";
    head += run.start;
    head += L" EL ";
    head += noteDistance(run.startElevation);
    return head;
}

// A backsight on a point of known height gives the height of the line of sight (HI); a
// foresight from it gives the height of the point sighted (EL).
COrvStringT WriterBase::levelReadingText(const LevelReading& reading) const {
    COrvStringT text = reading.backsight ? L"BS " : L"FS ";
    text += reading.point;
    text += L" rod ";
    text += noteDistance(reading.rod);
    text += reading.backsight ? L" HI " : L" EL ";
    text += noteDistance(reading.backsight ? reading.collimation : reading.elevation);
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
