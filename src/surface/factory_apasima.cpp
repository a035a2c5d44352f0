#include <new>

#include "surface/export_generators.h"
#include "vemra/CApaSimaRawDataGenerator.h"

extern "C" EXPORTGEN_API orv::ie::CApaSimaRawDataGenerator* createApaSimaRawDataGenerator(
    orv::ie::DexSettings* settings, orv::ie::DexJobInfo* jobInfo, orv::ie::DexObservationInfo* obsInfo) {
    try {
        return new (std::nothrow) orv::ie::CApaSimaRawDataGenerator(settings, jobInfo, obsInfo);
    } catch (const std::bad_alloc&) {
        return nullptr;  // keeps the factory's promise should construction ever allocate
    }
}
