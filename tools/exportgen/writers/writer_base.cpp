#include "writers/writer_base.h"

#include "contracts/text_services.h"
#include "output/text.h"
#include "writers/registry.h"

namespace exportgen {

WriterBase::WriterBase(const FormatEntry& format, Job& job, Output& output)
    : m_job(job), m_output(output), m_format(format.name), m_describe([this] { return describe(); }) {}

void WriterBase::emit(const COrvStringT& text) {
    if (text.IsEmpty()) return;
    ++m_records;
    m_output.text(text, m_describe);
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

COrvStringT WriterBase::noteDistance(double metres) const { return fixed(metres, 4); }

COrvStringT WriterBase::stakeText(const Stakeout& stake) const {
    const Point3 delta = stakeDelta(stake.staked, stake.designCoords);
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

}  // namespace exportgen
