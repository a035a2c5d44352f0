// The smallest use of the library: create an RW5 generator through its factory, write the
// header, one set-up and a note, and release the generator.
#include <cstdio>
#include <string>

#include "contracts/dex_data.h"
#include "rw5/CRW5Generator.h"
#include "surface/export_generators.h"

namespace {

void print(const COrvStringT& text) {
    std::string bytes;
    for (wchar_t ch : text.view()) bytes += ch < 0x80 ? static_cast<char>(ch) : '?';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace

int main() {
    orv::ie::DexSettings settings(orv::ie::eMeters, orv::ie::eDegrees);
    orv::ie::DexJobInfo job;
    job.appName = L"Field";
    job.appVersion = L"2.1";
    job.jobName = L"SAMPLE";

    orv::ie::CRW5Generator* rw5 = createRw5Generator(&settings, &job, nullptr, false, false);
    if (rw5 == nullptr) return 1;
    COrvStringT comment, jobLine, mode;
    rw5->header(comment, jobLine, mode);
    print(comment + jobLine + mode);
    print(rw5->occupy(L"", L"1", L"", 1000.0, 2000.0, 100.0, 1.5));
    print(rw5->lsHiHr(1.7, true));
    print(rw5->backsight(L"2", false, 0.0, 45.0));
    print(rw5->noteLine(COrvStringT(L"sample set-up")));
    delete rw5;
    return 0;
}
