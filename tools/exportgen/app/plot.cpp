// exportgen plot: the job that an input holds, drawn as a plan (SVG). The input is read through
// the one pipeline, as a conversion reads it, and the plan is its only writer: it sees each
// set-up placed as a conversion places it, keeps what it draws, and writes the whole SVG at
// the end. Until then nothing is written, so an error costs nothing, even on the standard
// output, and the job is read once.
#include <charconv>
#include <optional>

#include "app/app.h"
#include "app/clock.h"
#include "app/input.h"
#include "app/outputs.h"
#include "app/pipeline.h"
#include "base/problems.h"
#include "base/text.h"
#include "plot/plan.h"

namespace exportgen::app {

namespace {

constexpr int kLargestSide = 100000;  // pixels

// The plan as a writer of the pipeline.
class PlanWriter : public FormatWriter {
public:
    PlanWriter(const Job& job, RecordSink& sink, plot::PlanOptions options)
        : m_job(job), m_sink(sink), m_plan(std::move(options)) {}

    void begin() override { m_plan.begin(m_job); }
    void setup(const Setup& setup) override { m_plan.setup(setup); }
    void levelRuns() override {}
    void end() override {
        m_plan.end(m_job);
        m_lines = m_plan.write(m_sink);
        account();
    }
    [[nodiscard]] WarningList& warnings() override { return m_warnings; }
    [[nodiscard]] std::size_t records() const override { return m_lines; }
    [[nodiscard]] const Ledger& ledger() const override { return m_ledger; }
    [[nodiscard]] const plot::Plan& plan() const { return m_plan; }

private:
    // What could not be drawn, one warning each kind; the ledger of the set-ups' positions and
    // the known points, as drawn.
    void account() {
        const plot::Plan::Missing& missing = m_plan.missing();
        const auto warn = [&](std::uint64_t count, const char* one, const char* many, const std::string& where = {}) {
            if (count > 0) m_warnings.inform(std::to_string(count) + " " + (count == 1 ? one : many), where);
        };
        warn(missing.stations, "station not drawn: no position; --points or --assume N,E,Z[,BEARING] places it",
             "stations not drawn: no position; --points or --assume N,E,Z[,BEARING] places them",
             missing.stations > 0 ? "first: " + shownName(missing.firstStation) : std::string());
        warn(missing.sights,
             "sight target not drawn: its set-up has no position or orientation, and no coordinates are given",
             "sight targets not drawn: their set-up has no position or orientation, and no coordinates are given");
        warn(missing.stakeouts, "stake-out not drawn: the staked or the design point has no position",
             "stake-outs not drawn: the staked or the design point has no position");
        warn(missing.levelPoints, "level run point not drawn: the job does not place it",
             "level run points not drawn: the job does not place them");
        warn(missing.outOfRange, "position not drawn: not finite, or beyond 1e12 from zero",
             "positions not drawn: not finite, or beyond 1e12 from zero");
        const std::uint64_t* positions = m_plan.setupPositions();
        const auto where = [] { return std::string("the plan"); };
        m_ledger.add(Item::stationPosition, Fate::recorded, where, positions[0]);
        m_ledger.add(Item::stationPosition, Fate::derived, where, positions[1]);
        m_ledger.add(Item::stationPosition, Fate::leftOut, where, positions[2]);
        m_ledger.add(Item::knownPoint, Fate::recorded, where, m_plan.knownPointsDrawn());
    }

    const Job& m_job;
    RecordSink& m_sink;
    plot::Plan m_plan;
    WarningList m_warnings{"plot", WarningPolicy()};
    Ledger m_ledger;
    std::size_t m_lines = 0;
};

plot::Labels labelsOf(const std::string& text) {
    if (text.empty() || text == "all") return plot::Labels::all;
    if (text == "stations") return plot::Labels::stations;
    if (text == "none") return plot::Labels::none;
    throw SettingError("labels", text, "expected none, stations or all");
}

// --size WIDTHxHEIGHT: two whole numbers of pixels.
void sizeOf(const std::string& text, plot::PlanOptions& options) {
    if (text.empty()) return;
    const std::size_t x = text.find('x');
    int width = 0, height = 0;
    const char* end = text.data() + text.size();
    const bool read = x != std::string::npos &&
                      std::from_chars(text.data(), text.data() + x, width).ptr == text.data() + x &&
                      std::from_chars(text.data() + x + 1, end, height).ptr == end && x > 0 && x + 1 < text.size();
    if (!read || width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) {
        throw SettingError("size", text,
                           "expected WIDTHxHEIGHT in pixels, each from 1 to " + std::to_string(kLargestSide));
    }
    options.width = width;
    options.height = height;
}

// "wrote plan.svg: 5 stations, 17 of 18 sights; not drawn: 1 station with no position".
std::string summary(const std::string& file, const plot::Plan& plan) {
    const std::uint64_t stations = plan.stationsRecorded() + plan.stationsDerived();
    std::string text = "wrote " + file + ": " + std::to_string(stations) +
                       (stations == 1 ? " station, " : " stations, ") + std::to_string(plan.sightsDrawn()) + " of " +
                       std::to_string(plan.sights()) + " sights, " + std::to_string(plan.knownPointsDrawn()) +
                       (plan.knownPointsDrawn() == 1 ? " known point" : " known points");
    if (plan.missing().stations > 0) {
        text += "; not drawn: " + std::to_string(plan.missing().stations) +
                (plan.missing().stations == 1 ? " station" : " stations") + " with no position";
    }
    return text;
}

}  // namespace

void plot(const PlotOptions& options, std::ostream& out, std::ostream& err) {
    plot::PlanOptions plan;
    plan.labels = labelsOf(options.labels);
    sizeOf(options.size, plan);
    const std::optional<Assumed> assumed = assumedFrame(options.assume);
    plan.assumed = assumed.has_value();
    // "--now job" fixes the clock once the job's creation date is read; the plan shows the run's
    // date only when it is given, so that the same input gives the same bytes.
    const bool clockFromJob = options.now == "job";
    ClockScope clock(clockFromJob ? std::string() : options.now);
    plan.runDate = clockFromJob ? "at the job's creation date" : options.now;

    WarningPolicy policy;
    policy.quiet = options.quiet;
    const JobSource input(options.input, policy);
    plan.input = input.source();
    std::optional<JobSource> extraPoints;
    if (options.points) extraPoints.emplace(InputOptions{*options.points, "points", options.input.columns}, policy);
    const OutputRules rules = rulesFor(options.input.source, options.points);
    Encoder encoder("utf-8");
    const auto file = makeOutput(options.output, out, encoder, rules);

    PipelineOptions pipelineOptions;
    pipelineOptions.formats = {"plot"};
    pipelineOptions.sinks = {file.get()};
    pipelineOptions.warnings = policy;
    pipelineOptions.assumed = assumed;
    pipelineOptions.clockFromJob = clockFromJob ? &clock : nullptr;
    pipelineOptions.extraPoints = extraPoints ? &*extraPoints : nullptr;
    const PlanWriter* writer = nullptr;
    pipelineOptions.makeWriter = [&](const Job& job, RecordSink& sink) {
        auto made = std::make_unique<PlanWriter>(job, sink, plan);
        writer = made.get();
        return made;
    };
    Pipeline pipeline(input, std::move(pipelineOptions));
    pipeline.run();
    file->commit();
    input.warnings().print(err);
    if (extraPoints) extraPoints->warnings().print(err);
    pipeline.printWarnings(err);
    if (options.quiet || writer == nullptr) return;
    if (!options.output.path.empty() && options.output.path != "-") {
        err << "exportgen: " << summary(options.output.path, writer->plan()) << '\n';
    }
}

}  // namespace exportgen::app
