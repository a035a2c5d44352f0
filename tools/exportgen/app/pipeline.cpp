#include "app/pipeline.h"

#include <thread>

#include "base/problems.h"
#include "formats/registry.h"
#include "writers/job_file_writer.h"

namespace exportgen::app {

namespace {

BuildOptions buildOptions(const PipelineOptions& options, const TextRules* rules) {
    BuildOptions build;
    // A check reports what the job holds, not what one format or another could carry.
    if (options.collect == nullptr) build.rules = rules;
    build.sanitize = options.sanitize;
    return build;
}

}  // namespace

Pipeline::Pipeline(const JobSource& input, PipelineOptions options)
    : m_input(input),
      m_options(std::move(options)),
      m_rules(textRulesFor(m_options.formats)),
      m_builder(buildOptions(m_options, &m_rules), *this) {
    m_builder.setLocator([this](const Place& at) { return located(at); });
}

Pipeline::~Pipeline() = default;

std::string Pipeline::located(const Place& at) const {
    const JobSource* source =
        at.input == kPointsInput && m_options.extraPoints != nullptr ? m_options.extraPoints : &m_input;
    return source->place(at.offset);
}

void Pipeline::run() {
    try {
        if (m_input.built()) {
            m_input.build(m_builder);
        } else {
            // A check may be followed by the conversion of the same text: only a conversion gives
            // the pages of a mapped file back as it passes them.
            buildJsonJob(m_input.text(), m_input.source(), m_input.mapped() && !collecting(), m_builder,
                         m_options.collect);
        }
        m_builder.finish();
    } catch (const JobError& error) {
        // What the builder finds wrong with what a raw reader or a point list gave it.
        if (collecting()) {
            if (error.input() == kJobInput && m_input.built())
                m_stopped = Stop{{error.offset(), error.what(), false, kJobInput}, error.code()};
            return m_options.collect->add(error);
        }
        throw HostError(error.code(), located(Place{error.input(), error.offset()}) + ": " + error.what());
    } catch (const HostError& error) {
        // A line the reader of a raw file or a point list cannot read: a check lists it with the
        // rest, at its place.
        const std::optional<std::size_t> refused = m_input.built() ? m_input.refusedAt() : std::nullopt;
        if (!collecting() || !refused) throw;
        std::string what = error.what();
        const std::string place = m_input.place(*refused) + ": ";
        if (what.rfind(place, 0) == 0) what.erase(0, place.size());
        m_stopped = Stop{{*refused, what, false, kJobInput}, error.code()};
        m_options.collect->add(*refused, std::move(what), false, kJobInput);
    }
}

void Pipeline::header(JobBuilder& builder) {
    if (m_options.extraPoints != nullptr) addPoints(*m_options.extraPoints);
    if (m_options.assumed) {
        // In the job's input units, as a point list's coordinates are.
        const Assumed& given = *m_options.assumed;
        AssumedFrame frame{builder.point(given.n, given.e, given.h), std::nullopt};
        if (given.bearing) frame.bearing = builder.angle(*given.bearing);
        builder.assume(frame);
    }
    if (collecting()) return;
    if (m_options.clockFromJob != nullptr) m_options.clockFromJob->fixAtJobCreation(builder.job());
    // A raw file's places are named by its lines; a job file's by JSON paths.
    PlaceNamer namer;
    if (m_input.kind() != "job") namer = [this](const Place& at) { return located(at); };
    for (std::size_t i = 0; i < m_options.formats.size(); ++i) {
        if (m_options.makeWriter) {
            m_writers.push_back(m_options.makeWriter(builder.job(), *m_options.sinks[i]));
        } else if (m_options.formats[i] == kJobFile) {
            m_writers.push_back(std::make_unique<JobFileWriter>(builder.job(), *m_options.sinks[i]));
        } else {
            m_writers.push_back(makeFormatWriter(m_options.formats[i], builder.job(), *m_options.sinks[i]));
        }
        m_writers.back()->warnings().setPolicy(m_options.warnings);
        if (auto* base = dynamic_cast<WriterBase*>(m_writers.back().get())) base->setPlaceNamer(namer);
        m_writers.back()->begin();
    }
    // Several formats share nothing but the set-up they read: half of them are written on a
    // second core while this one writes the other half and reads the next set-up.
    if (m_writers.size() > 1 && std::thread::hardware_concurrency() > 1) m_worker = std::make_unique<Worker>();
}

void Pipeline::setup(Setup& setup) {
    if (m_writers.empty()) return;
    if (!m_worker) {
        for (auto& writer : m_writers) writer->setup(setup);
        return;
    }
    // The worker may still be writing the previous set-up from the other slot.
    Setup& slot = m_slots[setup.index % 2];
    std::swap(slot, setup);
    m_worker->run([this, &slot] { write(slot, 1); });
    write(slot, 0);
}

void Pipeline::end(const Job&) {
    if (m_worker) m_worker->wait();
    for (auto& writer : m_writers) {
        writer->levelRuns();
        writer->end();
    }
}

void Pipeline::warning(const char* source, const std::string& what, const Place& at, const std::string& where) {
    if (collecting()) {
        m_options.collect->add(at.offset, (where.empty() ? std::string() : where + ": ") + what, true, at.input);
        return;
    }
    // Told on this thread only: the job is read here. Under --strict the warning is an error
    // about the job's content, with its line and column.
    if (m_options.warnings.strict) {
        throw JobError(
            at.offset,
            (where.empty() ? std::string() : where + ": ") + source + ": " + what + " (an error under --strict)",
            kExitStrict, at.input);
    }
    jobWarnings(source).add(what, where.empty() ? located(at) : where);
}

void Pipeline::printWarnings(std::ostream& err) const {
    for (const auto& list : m_jobWarnings) list.print(err);
    for (const auto& writer : m_writers) writer->warnings().print(err);
}

std::pair<std::size_t, std::size_t> Pipeline::tally(std::size_t i) const {
    std::size_t warnings = m_writers[i]->warnings().count();
    for (std::size_t k = 0; k < m_jobWarnings.size(); ++k) {
        if (m_jobSources[k] == m_options.formats[i] || m_jobSources[k] == "job" || m_jobSources[k] == "input")
            warnings += m_jobWarnings[k].count();
    }
    return {m_writers[i]->records(), warnings};
}

// The points of a point list (--points) join the job's known points, before the set-ups are
// placed; an error names the list's line.
void Pipeline::addPoints(const JobSource& list) {
    m_builder.setInput(kPointsInput);
    list.build(m_builder);
    m_builder.setInput(kJobInput);
}

WarningList& Pipeline::jobWarnings(const char* source) {
    for (std::size_t k = 0; k < m_jobSources.size(); ++k) {
        if (m_jobSources[k] == source) return m_jobWarnings[k];
    }
    m_jobSources.emplace_back(source);
    m_jobWarnings.emplace_back(source, m_options.warnings);
    return m_jobWarnings.back();
}

// The writers of every second format, from `first`.
void Pipeline::write(const Setup& setup, std::size_t first) {
    for (std::size_t i = first; i < m_writers.size(); i += 2) m_writers[i]->setup(setup);
}

}  // namespace exportgen::app
