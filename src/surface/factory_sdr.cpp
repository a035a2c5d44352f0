#include <new>

#include "sdr/CSDRRawGenerator.h"
#include "surface/export_generators.h"

extern "C" EXPORTGEN_API orv::ie::CSDRRawGenerator* createSdrRawGenerator(const orv::ie::DexSettings* settings,
                                                                          const orv::ie::DexJobInfo* jobInfo) {
    try {
        return new (std::nothrow) orv::ie::CSDRRawGenerator(settings, jobInfo);
    } catch (const std::bad_alloc&) {
        return nullptr;  // the heap gave out while the constructor built the name list or a text
    }
}
