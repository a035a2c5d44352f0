// exportgen check, read, sample, replay and schema.
#include "app/app.h"
#include "app/check.h"
#include "app/clock.h"
#include "app/input.h"
#include "app/outputs.h"
#include "app/pipeline.h"
#include "app/sample.h"
#include "base/embedded.h"
#include "base/problems.h"
#include "formats/registry.h"
#include "replay/replay.h"

namespace exportgen::app {

int check(const InputOptions& input, std::ostream& err, const std::optional<Source>& points) {
    InputOptions main = input;
    main.forPoints = points.has_value();
    const JobSource source(main, WarningPolicy{});
    std::optional<JobSource> list;
    if (points) list.emplace(InputOptions{*points, "points", input.columns, input.inputUnits}, WarningPolicy{});
    source.warnings().print(err);
    return reportCheck(source, list ? &*list : nullptr, err);
}

void read(const InputOptions& input, const OutputOptions& output, std::ostream& out, std::ostream& err) {
    const ClockScope clock({});
    const JobSource source(input, WarningPolicy{});
    Encoder encoder("utf-8");
    const auto file = makeOutput(output, out, encoder, rulesFor(input.source));
    // The job is read as a conversion reads it: what a conversion would refuse is refused here.
    if (!file->replaceable()) checkBeforeWriting(source, nullptr, err);
    PipelineOptions options;
    options.formats = {kJobFile};
    options.sinks = {file.get()};
    Pipeline pipeline(source, std::move(options));
    pipeline.run();
    file->commit();
    source.warnings().print(err);
    pipeline.printWarnings(err);
    if (const FormatEntry* named = formatOfPath(output.path)) {
        err << "exportgen: warning: read writes a job file (JSON); " << output.path << " is named as "
            << named->displayName << " (convert -f " << named->name << " writes that format)\n";
    }
}

void sample(std::optional<std::uint64_t> shots, std::uint64_t seed, const OutputOptions& output, std::ostream& out) {
    Encoder encoder("utf-8");
    const auto file = makeOutput(output, out, encoder, {});
    if (shots) {
        writeSample(*shots, seed, *file);
    } else {
        file->bytes(sampleJobText());
    }
    file->commit();
}

void replay(const Source& script, bool asJson, const OutputOptions& output, std::ostream& out) {
    const ClockScope clock({});
    const InputText text =
        script.bytes ? InputText::borrowed(*script.bytes) : readFile(script.path == "-" ? "/dev/stdin" : script.path);
    Encoder encoder("utf-8");
    const auto file = makeOutput(output, out, encoder, rulesFor(script));
    exportgen::replay(text.text(), script.path == "-" && !script.bytes ? "<stdin>" : script.path, asJson, *file);
    file->commit();
}

std::string_view schema() { return jobSchemaText(); }

std::string formatNames(const char* lastJoin) { return formatNameList(lastJoin); }

}  // namespace exportgen::app
