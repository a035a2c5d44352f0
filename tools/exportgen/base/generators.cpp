#include "base/generators.h"

#include <cstring>

#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"
#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"
#include "vemra/CDrevanRawDataGenerator.h"
#include "vemra/CVemraRawDataGenerator.h"

namespace exportgen {

using namespace orv::ie;

namespace {

CRW5Generator* createRw5(const GeneratorInputs& in) {
    return createRw5Generator(in.settings, in.job, in.names, in.forceNames, in.rbMode);
}
CRW5Generator* createSdr(const GeneratorInputs& in) { return createSdrRawGenerator(in.settings, in.job); }
CVemraRawDataGenerator* createVemra(const GeneratorInputs& in) {
    return createVemraRawDataGenerator(in.settings, in.job, in.observation);
}
CVemraRawDataGenerator* createApaSima(const GeneratorInputs& in) {
    return createApaSimaRawDataGenerator(in.settings, in.job, in.observation);
}
CVemraRawDataGenerator* createDrevan(const GeneratorInputs& in) {
    return createDrevanRawDataGenerator(in.settings, in.job, in.observation);
}
CVemraRawDataGenerator* createQuoltPashk(const GeneratorInputs& in) {
    return createQuoltPashkRawDataGenerator(in.settings, in.job, in.observation, in.names, in.useNumericNames);
}

// The SDR generator's factory makes a CSDRRawGenerator.
int sdrReportStatus(const CRW5Generator& generator) {
    return static_cast<const CSDRRawGenerator&>(generator).reportStatus();
}

}  // namespace

const std::vector<Generator>& generators() {
    constexpr auto rw5 = GeneratorFamily::rw5;
    constexpr auto vemra = GeneratorFamily::vemra;
    static const std::vector<Generator> table = {
        {"vemra", vemra, nullptr, createVemra, kVemraClass, nullptr},
        {"apasima", vemra, nullptr, createApaSima, kVemraClass | kApaSimaClass, nullptr},
        {"drevan", vemra, nullptr, createDrevan, kVemraClass | kDrevanClass, nullptr},
        {"quoltpashk", vemra, nullptr, createQuoltPashk, kVemraClass | kQuoltPashkClass, nullptr},
        {"rw5", rw5, createRw5, nullptr, kRw5Class, nullptr},
        {"sdr", rw5, createSdr, nullptr, kRw5Class | kSdrClass, sdrReportStatus},
    };
    return table;
}

const Generator* findGenerator(const char* name) {
    for (const Generator& generator : generators()) {
        if (std::strcmp(name, generator.name) == 0) return &generator;
    }
    return nullptr;
}

}  // namespace exportgen
