// Per-record cost of the generators' hot operations, compared with the to_chars baseline.
//
//   exportgen_bench [Google Benchmark flags]   times every operation, then prints each one's
//                                              time per record as a ratio to its baseline
//   exportgen_bench --check                     only checks that the baselines write the
//                                              generators' bytes (run before every timing too)
//   exportgen_bench --count NAME N              runs operation NAME N times in countedLoop, for
//                                              valgrind --tool=callgrind (see instructions.sh)
//   exportgen_bench --list                      each operation's name and its baseline's
//
// Every operation cycles through the same 1024 varied shots (angles, distances and names
// differ, so branches and digit counts vary as in a job); one iteration is one record.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "baseline.h"
#include "contracts/dex_data.h"
#include "contracts/text_services.h"
#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"

namespace bench {

namespace {

using namespace orv::ie;

constexpr std::size_t kShots = 1024;  // a power of two: the index wraps with a mask

std::string narrow(const COrvStringT& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.GetLength()));
    for (wchar_t ch : text.view()) bytes += static_cast<char>(ch);  // the benchmark texts are ASCII
    return bytes;
}

COrvStringT wide(const std::string& text) {
    COrvStringT result;
    for (char ch : text) result += static_cast<wchar_t>(static_cast<unsigned char>(ch));
    return result;
}

// ---------------------------------------------------------------------------------------------
// The job every operation writes: a metric job in degrees, one station, 1024 foresights.

struct Job {
    DexSettings settings{eMeters, eDegrees};
    DexJobInfo info;
    DexObservationInfo observation;
    std::vector<std::string> targets;  // the narrow texts the baselines point into
    std::vector<COrvStringT> wideTargets;
    std::vector<baseline::Shot> shots;
    std::vector<DexTSRawFS> sights;          // one short code with a control code
    std::vector<DexTSRawFS> longCodeSights;  // a 22-character code with three attributes
    std::vector<COrvStringT> distanceTexts;  // inputs of the field benchmark
};

const char* const kStation = "ST1";
const char* const kCode = "TREE";
const char* const kControl = "ST";
const char* const kLongCode = "FENCE-CORNER-POST-OAK";
const char* const kAttributeNames[3] = {"HEIGHT", "MATERIAL", "SPECIES"};
const char* const kAttributeValues[3] = {"1.2", "", "oak"};

DexCodeValues codeOf(const char* name, bool withAttributes) {
    DexCodeDescription description(wide(name));
    if (withAttributes) {
        for (const char* attribute : kAttributeNames) description.addAttribute(wide(attribute));
    }
    DexCodeValues value(description);
    value.setControlCode(eControlCode1, wide(kControl));
    if (withAttributes) {
        for (int i = 0; i < 3; ++i) value.setAttrAt(i, wide(kAttributeValues[i]));
    }
    return value;
}

Job makeJob() {
    Job job;
    job.info.jobName = L"BENCH";
    job.targets.reserve(kShots);
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    auto uniform = [&state](double low, double high) {  // a fixed LCG: the same shots every run
        state = state * 6364136223846793005u + 1442695040888963407u;
        return low + (high - low) * static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    for (std::size_t i = 0; i < kShots; ++i) {
        job.targets.push_back(std::to_string(1000 + i * 7));
        job.wideTargets.push_back(wide(job.targets.back()));
        baseline::Shot shot;
        shot.station = kStation;
        shot.horizontal = uniform(0.0, 360.0);
        shot.zenith = uniform(60.0, 120.0);
        shot.slope = uniform(1.0, 1500.0);
        shot.code = kCode;
        shot.control = kControl;
        job.shots.push_back(shot);
        job.distanceTexts.push_back(orv_formats::DoubleToString(shot.slope, 4));
    }
    for (std::size_t i = 0; i < kShots; ++i) {
        job.shots[i].target = job.targets[i];  // the strings no longer move
        const baseline::Shot& shot = job.shots[i];
        DexTSRawFS sight(2);
        sight.setTargetName(job.wideTargets[i]);
        sight.setMeasurement(
            DexTSRawMeasurement(eKindAnglesAndSlopeDistance, {shot.horizontal, shot.zenith, shot.slope}));
        DexTSRawFS longSight = sight;
        sight.codes.addCode(codeOf(kCode, false));
        longSight.codes.addCode(codeOf(kLongCode, true));
        job.sights.push_back(std::move(sight));
        job.longCodeSights.push_back(std::move(longSight));
    }
    return job;
}

Job& theJob() {
    static Job job = makeJob();
    return job;
}

baseline::Shot longCodeShot(const baseline::Shot& shot) {
    baseline::Shot result = shot;
    result.code = kLongCode;
    for (int i = 0; i < 3; ++i) {
        result.attributeNames[i] = kAttributeNames[i];
        result.attributeValues[i] = kAttributeValues[i];
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Generators, set up at the station of the job.

struct Generators {
    std::unique_ptr<CRW5Generator> rw5;
    std::unique_ptr<CVemraRawDataGenerator> vemra;
    std::unique_ptr<CDrevanRawDataGenerator> drevan;
    std::unique_ptr<CQuoltPashkRawDataGenerator> quoltPashk;
    std::unique_ptr<CSDRRawGenerator> sdr;
};

Generators& generators() {
    static Generators g = [] {
        Job& job = theJob();
        Generators made;
        made.rw5.reset(new CRW5Generator(&job.settings, &job.info, nullptr, false, false));
        made.rw5->occupy(L"", wide(kStation), L"", 1000.0, 2000.0, 100.0, 1.5);
        made.vemra.reset(new CVemraRawDataGenerator(&job.settings, &job.info, &job.observation));
        made.drevan.reset(new CDrevanRawDataGenerator(&job.settings, &job.info, &job.observation));
        made.quoltPashk.reset(
            new CQuoltPashkRawDataGenerator(&job.settings, &job.info, &job.observation, nullptr, false));
        made.sdr.reset(new CSDRRawGenerator(&job.settings, &job.info));
        made.sdr->occupy(L"NM", wide(kStation), L"", 1000.0, 2000.0, 100.0, 1.5);
        return made;
    }();
    return g;
}

// ---------------------------------------------------------------------------------------------
// The operations. Each performs record i of the job; baselines name no reference.

struct Operation {
    std::string name;
    std::string reference;                   // the baseline it is compared with; empty for a baseline
    std::function<void(std::size_t)> count;  // runs records 0..n-1 (cycling) in countedLoop
};

std::vector<Operation>& operations() {
    static std::vector<Operation> list;
    return list;
}

template <class Record>
[[gnu::noinline]] void countedLoop(Record& record, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) record(i & (kShots - 1));
}

template <class Record>
void add(const std::string& name, const std::string& reference, Record record) {
    benchmark::RegisterBenchmark(name.c_str(), [record](benchmark::State& state) mutable {
        std::size_t i = 0;
        for (auto _ : state) {
            record(i);
            i = (i + 1) & (kShots - 1);
        }
        state.SetItemsProcessed(state.iterations());
    });
    operations().push_back({name, reference, [record](std::size_t n) mutable { countedLoop(record, n); }});
}

template <class Text>
void keep(Text& text) {
    benchmark::DoNotOptimize(text);
    benchmark::ClobberMemory();
}

const char* const kRw5Baseline = "baseline/rw5_foresight_line";
const char* const kSdrBaseline = "baseline/sdr_09_line";
const char* const kSdrNotesBaseline = "baseline/sdr_09_line_with_notes";
const char* const kFixedBaseline = "baseline/to_chars_fixed4";
const char* const kDmsBaseline = "baseline/packed_dms5";
const char* const kFieldBaseline = "baseline/left_field16";

void registerOperations() {
    Job& job = theJob();
    Generators& g = generators();
    static char buffer[baseline::kLineCapacity];

    // Baselines: bytes into a reused char buffer.
    add(kRw5Baseline, "", [&job](std::size_t i) {
        std::size_t size = baseline::rw5ForesightLine(buffer, job.shots[i]);
        keep(size);
    });
    add(kSdrBaseline, "", [&job](std::size_t i) {
        std::size_t size = baseline::sdrObservationLine(buffer, job.shots[i]);
        keep(size);
    });
    static std::vector<baseline::Shot> longShots;
    for (const baseline::Shot& shot : job.shots) longShots.push_back(longCodeShot(shot));
    add(kSdrNotesBaseline, "", [](std::size_t i) {
        std::size_t size = baseline::sdrObservationWithNotes(buffer, longShots[i]);
        keep(size);
    });
    add(kFixedBaseline, "", [&job](std::size_t i) {
        std::size_t size = baseline::fixed(buffer, job.shots[i].slope, 4);
        keep(size);
    });
    add(kDmsBaseline, "", [&job](std::size_t i) {
        std::size_t size = baseline::packedDms5(buffer, job.shots[i].horizontal);
        keep(size);
    });
    static std::vector<std::string> narrowDistances;
    for (const COrvStringT& text : job.distanceTexts) narrowDistances.push_back(narrow(text));
    add(kFieldBaseline, "", [](std::size_t i) {
        std::size_t size = baseline::leftField(buffer, narrowDistances[i], 16);
        keep(size);
    });

    // RW5: the whole observation line of a foresight with its code note, and its body.
    CRW5Generator* rw5 = g.rw5.get();
    add("rw5/sightNoteLine", kRw5Baseline, [rw5, &job](std::size_t i) {
        COrvStringT line = rw5->sightNoteLine(&job.sights[i], nullptr);
        keep(line);
    });
    add("rw5/foresight", kRw5Baseline, [rw5, &job](std::size_t i) {
        COrvStringT body = rw5->foresight(L"FD", job.wideTargets[i], job.sights[i].measurement(), true);
        keep(body);
    });

    CSDRRawGenerator* sdr = g.sdr.get();
    add("sdr/sightNoteLine", kSdrBaseline, [sdr, &job](std::size_t i) {
        COrvStringT line = sdr->sightNoteLine(&job.sights[i], nullptr);
        keep(line);
    });
    add("sdr/sightNoteLine_long_code_attributes", kSdrNotesBaseline, [sdr, &job](std::size_t i) {
        COrvStringT lines = sdr->sightNoteLine(&job.longCodeSights[i], nullptr);
        keep(lines);
    });

    // The Vemra family and Quolt/Pashk have no baseline of their own: they are set against the
    // RW5 line, a record of about the same length, for scale. The out text is reused, as a host
    // reuses it.
    CVemraRawDataGenerator* vemra = g.vemra.get();
    add("vemra/writeObservation", kRw5Baseline, [vemra, &job, out = COrvStringT()](std::size_t i) mutable {
        const baseline::Shot& shot = job.shots[i];
        vemra->writeObservation(out, job.wideTargets[i], 0, shot.horizontal, shot.zenith, shot.slope, L"TREE", 1.5,
                                nullptr, nullptr);
        keep(out);
    });
    CDrevanRawDataGenerator* drevan = g.drevan.get();
    add("drevan/writeObservation", kRw5Baseline, [drevan, &job, out = COrvStringT()](std::size_t i) mutable {
        const baseline::Shot& shot = job.shots[i];
        drevan->writeObservation(out, job.wideTargets[i], 0, shot.horizontal, shot.zenith, shot.slope, L"TREE", 1.5,
                                 nullptr, nullptr);
        keep(out);
    });
    CQuoltPashkRawDataGenerator* quoltPashk = g.quoltPashk.get();
    add("quoltpashk/writeSight", kRw5Baseline, [quoltPashk, &job, out = COrvStringT()](std::size_t i) mutable {
        quoltPashk->writeSight(out, 2, false, job.wideTargets[i], L"TREE", L"", 1.5);
        keep(out);
    });
    add("quoltpashk/writeMeasurement", kRw5Baseline, [quoltPashk, &job, out = COrvStringT()](std::size_t i) mutable {
        const baseline::Shot& shot = job.shots[i];
        quoltPashk->writeMeasurement(out, 0, 0, shot.horizontal, shot.zenith, shot.slope);
        keep(out);
    });

    // The contracts' number texts and fields.
    add("contracts/DoubleToString4", kFixedBaseline, [&job](std::size_t i) {
        COrvStringT text = orv_formats::DoubleToString(job.shots[i].slope, 4);
        keep(text);
    });
    add("contracts/angleByStyleToString_dms5", kDmsBaseline, [&job](std::size_t i) {
        COrvStringT text = utils::angleByStyleToString(eDegMinSec, job.shots[i].horizontal, 5);
        keep(text);
    });
    add("contracts/getReportString16", kFieldBaseline, [&job](std::size_t i) {
        COrvStringT text = utils::getReportString(L' ', 16, false, job.distanceTexts[i], false);
        keep(text);
    });
}

// ---------------------------------------------------------------------------------------------
// The byte check: every baseline writes what its generator writes, for every input timed.

bool same(const char* what, std::size_t i, const std::string& expected, const char* bytes, std::size_t size) {
    if (expected == std::string(bytes, size)) return true;
    std::fprintf(stderr, "%s, shot %zu: the baseline wrote\n  [%.*s]\nbut the generator wrote\n  [%s]\n", what, i,
                 static_cast<int>(size), bytes, expected.c_str());
    return false;
}

bool checkBaselines() {
    Job& job = theJob();
    Generators& g = generators();
    char buffer[baseline::kLineCapacity];
    bool ok = true;
    for (std::size_t i = 0; i < kShots && ok; ++i) {
        const baseline::Shot& shot = job.shots[i];
        ok = ok && same("RW5 foresight line", i, narrow(g.rw5->sightNoteLine(&job.sights[i], nullptr)), buffer,
                        baseline::rw5ForesightLine(buffer, shot));
        ok = ok && same("SDR 09 line", i, narrow(g.sdr->sightNoteLine(&job.sights[i], nullptr)), buffer,
                        baseline::sdrObservationLine(buffer, shot));
        ok = ok && same("SDR 09 line with notes", i, narrow(g.sdr->sightNoteLine(&job.longCodeSights[i], nullptr)),
                        buffer, baseline::sdrObservationWithNotes(buffer, longCodeShot(shot)));
        ok = ok && same("DoubleToString", i, narrow(orv_formats::DoubleToString(shot.slope, 4)), buffer,
                        baseline::fixed(buffer, shot.slope, 4));
        ok = ok && same("packed DMS", i, narrow(utils::angleByStyleToString(eDegMinSec, shot.horizontal, 5)), buffer,
                        baseline::packedDms5(buffer, shot.horizontal));
        const std::string distance = narrow(job.distanceTexts[i]);
        ok = ok && same("field", i, narrow(utils::getReportString(L' ', 16, false, job.distanceTexts[i], false)),
                        buffer, baseline::leftField(buffer, distance, 16));
    }
    if (ok) std::printf("baseline check: the baselines write the generators' bytes for all %zu shots\n", kShots);
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Ratios: each operation's time per record over its baseline's, from the same run.

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.function_name;
            // With repetitions the median stands for the operation; without, the single run.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            if (run.run_type == Run::RT_Iteration && m_medians.count(name) != 0) continue;
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            m_times[name] = seconds * 1e9;
            if (run.run_type == Run::RT_Aggregate) m_medians[name] = true;
        }
    }

    void printRatios() const {
        std::printf("\n%-44s %12s  %-34s %8s\n", "operation", "ns/record", "baseline", "ratio");
        for (const Operation& op : operations()) {
            const auto time = m_times.find(op.name);
            if (time == m_times.end()) continue;
            const auto reference = m_times.find(op.reference);
            if (op.reference.empty() || reference == m_times.end()) {
                std::printf("%-44s %12.1f\n", op.name.c_str(), time->second);
            } else {
                std::printf("%-44s %12.1f  %-34s %8.2f\n", op.name.c_str(), time->second, op.reference.c_str(),
                            time->second / reference->second);
            }
        }
    }

private:
    std::map<std::string, double> m_times;  // CPU nanoseconds per record
    std::map<std::string, bool> m_medians;
};

int countMode(const char* name, const char* count) {
    for (Operation& op : operations()) {
        if (op.name == name) {
            op.count(static_cast<std::size_t>(std::strtoull(count, nullptr, 10)));
            return 0;
        }
    }
    std::fprintf(stderr, "no operation named %s (try --list)\n", name);
    return 2;
}

}  // namespace

}  // namespace bench

int main(int argc, char** argv) {
    using namespace bench;
    if (!checkBaselines()) return 1;
    registerOperations();
    if (argc >= 2 && std::strcmp(argv[1], "--check") == 0) return 0;
    if (argc >= 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const Operation& op : operations()) std::printf("%s %s\n", op.name.c_str(), op.reference.c_str());
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "--count") == 0) return countMode(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
