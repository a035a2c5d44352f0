// Creates each generator through its factory, writes one record, and deletes it.
#include <cstdio>
#include <string>

#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"

namespace {

int failures = 0;

void expect(const char* format, const COrvStringT& text, const wchar_t* wanted) {
    std::string bytes;
    for (wchar_t ch : text.view()) bytes += static_cast<char>(ch);
    std::printf("%-10s %s", format, bytes.c_str());
    if (bytes.empty() || bytes.back() != '\n') std::printf("\n");
    if (text != wanted) {
        std::printf("  unexpected text\n");
        ++failures;
    }
}

}  // namespace

int main() {
    using namespace orv::ie;
    DexSettings settings(eMeters, eDegrees);
    DexJobInfo job;
    DexObservationInfo observation;

    CVemraRawDataGenerator* family[] = {createVemraRawDataGenerator(&settings, &job, &observation),
                                        createApaSimaRawDataGenerator(&settings, &job, &observation),
                                        createDrevanRawDataGenerator(&settings, &job, &observation)};
    for (CVemraRawDataGenerator* vemra : family) {
        COrvStringT record;
        vemra->writeStation(record, L"ST1", L"BM", 1.5);
        expect("vemra", record, L"'ST1_(BM_)1.500_");
        delete vemra;
    }

    CQuoltPashkRawDataGenerator* keyword =
        createQuoltPashkRawDataGenerator(&settings, &job, &observation, nullptr, false);
    COrvStringT line;
    keyword->writeStation(line, L"P1", L"BM", 1.5);
    expect("quoltpashk", line, L"STN     P1,1.500,BM\r\n");
    delete keyword;

    CRW5Generator* rw5 = createRw5Generator(&settings, &job, nullptr, false, false);
    expect("rw5", rw5->noteLine(COrvStringT(L"consumer")), L"--consumer\r\n");
    delete rw5;

    CSDRRawGenerator* sdr = createSdrRawGenerator(&settings, &job);
    expect("sdr", sdr->noteRecord(L"consumer", 17),
           L"13NMconsumer                                                    \r\n");
    delete sdr;

    return failures == 0 ? 0 : 1;
}
