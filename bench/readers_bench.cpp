// The raw readers on large files: a file of N observations read and written again as the same
// format, in memory, through the app layer's conversion (the reading dominates). A guard
// against a reader whose pass is not linear in the file: run it with a growing N and the time
// per shot must stay flat.
//
//   exportgen_readers_bench [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "app/app.h"

namespace {

// A stream that keeps nothing: the output's bytes are not what is measured.
class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

std::string rw5File(int shots) {
    std::string file =
        "--F Version 1\r\nJB,NMJ,DT01-02-2025,TM10:00:00\r\nMO,AD0,UN1,SF1.0,EC0,EO0.0,AU0\r\n"
        "OC,OPS,N 1.0000,E 2.0000,EL3.0000,--\r\nLS,HI1.5000,HR1.6000\r\n";
    const std::string shot = "FD,OPS,FP1000,AR91.11103,ZE89.50193,SD230.0548,--TREE \r\n";
    file.reserve(file.size() + shot.size() * static_cast<std::size_t>(shots));
    for (int i = 0; i < shots; ++i) file += shot;
    return file;
}

std::string vemraFile(int shots) {
    std::string file = "_!J_\"_#_$1/1/2026_%0.000_&000_\r\n";
    const std::string shot = "+P123_ a+2700000d_ b0892411d_ c+00120007m_*CP_,1.600_\r\n";
    for (int station = 0; station * 1000 < shots; ++station) {
        file += "'S" + std::to_string(station) + "_(CP_)1.550_\r\n";
        for (int i = 0; i < 1000 && station * 1000 + i < shots; ++i) file += shot;
    }
    return file;
}

void convertInMemory(benchmark::State& state, const char* format, const std::string& file) {
    NullBuffer nothing;
    std::ostream out(&nothing);
    std::ostringstream err;
    for (auto _ : state) {
        exportgen::app::ConvertOptions options;
        options.input.source = exportgen::app::Source::memory(std::string("in.") + format, file);
        options.format = format;
        options.now = "2026-01-01T00:00:00";
        options.quiet = true;
        exportgen::app::convert(options, out, err);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}

void BM_ReadRw5(benchmark::State& state) { convertInMemory(state, "rw5", rw5File(static_cast<int>(state.range(0)))); }
void BM_ReadVemra(benchmark::State& state) {
    convertInMemory(state, "vemra", vemraFile(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_ReadRw5)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadVemra)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
