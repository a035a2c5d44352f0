#include "app/pipeline.h"

#include <thread>

#include "base/problems.h"
#include "formats/registry.h"

namespace exportgen::app {

namespace {

// A member named twice counts with its last value; a check says so.
void reportShadowed(const JsonValue& value, const JsonPath& path, JobProblems& problems) {
    if (value.isObject()) {
        for (const JsonValue& member : value) {
            const JsonPath field{&path, member.key()};
            if (member.shadowed()) {
                problems.add(member.offset(), field.text() + ": named twice; the later value counts", true);
            } else {
                reportShadowed(member, field, problems);
            }
        }
    } else if (value.isArray()) {
        std::size_t index = 0;
        for (const JsonValue& item : value) reportShadowed(item, JsonPath{&path, index++}, problems);
    }
}

}  // namespace

Pipeline::Pipeline(Job& job, PipelineOptions options)
    : m_builder(job),
      m_options(std::move(options)),
      m_schema(jobSchema()),
      m_setupSchema(m_schema.items(m_schema.property(m_schema.root(), "setups"))),
      m_rules(textRulesFor(m_options.formats)) {
    if (collecting()) {
        m_builder.problems = m_options.collect;
        return;
    }
    TextCheck check;
    check.rules = &m_rules;
    check.sanitize = m_options.sanitize;
    // Told on this thread only: the job is read here. Under --strict the warning is an error
    // about the job's content, with its line and column.
    check.warn = [this](const char* source, const std::string& what, const std::string& where, std::size_t offset) {
        if (m_options.warnings.strict) {
            throw JobError(offset, where + ": " + source + ": " + what + " (an error under --strict)", kExitStrict);
        }
        jobWarnings(source).add(what, where);
    };
    m_builder.setTextCheck(std::move(check));
}

Pipeline::~Pipeline() = default;

void Pipeline::member(std::string_view key, const JsonValue& value) {
    const std::string name(key);
    const JsonPath root;
    const JsonPath path{&root, key};
    const JsonSchema::Node* schema = m_schema.property(m_schema.root(), name);
    if (!collecting()) {
        if (schema == nullptr) throw JobError(value.offset(), path.text() + ": unknown field");
        m_schema.validate(schema, value, path);
        m_present.push_back(name);
        m_builder.apply(key, value);
        return;
    }
    JobProblems& problems = *m_options.collect;
    m_present.push_back(name);
    if (schema == nullptr) return problems.add(value.offset(), path.text() + ": unknown field");
    reportShadowed(value, path, problems);
    if (key == "points" && value.isArray()) {
        // Each good point is known to the set-ups, so that one bad point does not make every
        // point a set-up names unknown.
        const JsonSchema::Node* item = m_schema.items(schema);
        std::size_t index = 0;
        for (const JsonValue& entry : value) {
            const JsonPath at{&path, index};
            if (m_schema.collect(item, entry, at, problems) == 0) m_builder.applyPoint(entry, index);
            ++index;
        }
        return;
    }
    if (m_schema.collect(schema, value, path, problems) == 0) m_builder.apply(key, value);
}

void Pipeline::setupsBegin(bool hasSetups, std::size_t root) {
    if (hasSetups) m_present.emplace_back("setups");
    const JsonPath path;
    if (collecting()) {
        try {
            m_schema.checkRequired(m_schema.root(), m_present, path, root);
        } catch (const JobError& error) {
            m_options.collect->add(error);
        }
        return;
    }
    m_schema.checkRequired(m_schema.root(), m_present, path, root);
    if (m_options.clockFromJob != nullptr) m_options.clockFromJob->fixAtJobCreation(m_builder.job(), root);
    if (m_options.extraPoints != nullptr) addPoints(*m_options.extraPoints);
    for (std::size_t i = 0; i < m_options.formats.size(); ++i) {
        m_writers.push_back(makeFormatWriter(m_options.formats[i], m_builder.job(), *m_options.sinks[i]));
        m_writers.back()->warnings().setPolicy(m_options.warnings);
        m_writers.back()->begin();
    }
    // Several formats share nothing but the set-up they read: half of them are written on a
    // second core while this one writes the other half and reads the next set-up.
    if (m_writers.size() > 1 && std::thread::hardware_concurrency() > 1) m_worker = std::make_unique<Worker>();
}

void Pipeline::setup(std::size_t index, const JsonValue& value) {
    const JsonPath root;
    const JsonPath setups{&root, std::string_view("setups")};
    const JsonPath path{&setups, index};
    if (collecting()) {
        reportShadowed(value, path, *m_options.collect);
        if (m_schema.collect(m_setupSchema, value, path, *m_options.collect) == 0) {
            (void)m_builder.makeSetup(value, index);
        }
        return;
    }
    m_schema.validate(m_setupSchema, value, path);
    if (!m_worker) {
        const Setup setup = m_builder.makeSetup(value, index);
        for (auto& writer : m_writers) writer->setup(setup);
        return;
    }
    // The worker may still be writing the previous set-up from the other slot.
    Setup& setup = m_slots[index % 2];
    setup = m_builder.makeSetup(value, index);
    m_worker->run([this, &setup] { write(setup, 1); });
    write(setup, 0);
}

void Pipeline::finish() {
    if (m_worker) m_worker->wait();
    for (auto& writer : m_writers) {
        writer->levelRuns();
        writer->end();
    }
}

void Pipeline::printWarnings(std::ostream& err) const {
    for (const auto& list : m_jobWarnings) list.print(err);
    for (const auto& writer : m_writers) writer->warnings().print(err);
}

std::pair<std::size_t, std::size_t> Pipeline::tally(std::size_t i) const {
    std::size_t warnings = m_writers[i]->warnings().count();
    for (std::size_t k = 0; k < m_jobWarnings.size(); ++k) {
        if (m_jobSources[k] == m_options.formats[i] || m_jobSources[k] == "job") warnings += m_jobWarnings[k].count();
    }
    return {m_writers[i]->records(), warnings};
}

// The points of a point list (--points) join the job's known points, before the writers
// write them; an error names the list's line.
void Pipeline::addPoints(const JobSource& list) {
    class Adder : public JobEvents {
    public:
        explicit Adder(Pipeline& pipeline) : m_pipeline(pipeline) {}
        void member(std::string_view key, const JsonValue& value) override {
            if (key == "points") m_pipeline.member(key, value);
        }
        void setupsBegin(bool, std::size_t) override {}
        void setup(std::size_t, const JsonValue&) override {}

    private:
        Pipeline& m_pipeline;
    } adder(*this);
    readJob(list.text(), list.source(), adder, false, list.locator());
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
