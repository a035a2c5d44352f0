#include <new>

#include "surface/export_generators.h"
#include "vemra/CVemraRawDataGenerator.h"

extern "C" EXPORTGEN_API orv::ie::CVemraRawDataGenerator* createVemraRawDataGenerator(
    orv::ie::DexSettings* settings, orv::ie::DexJobInfo* jobInfo, orv::ie::DexObservationInfo* obsInfo) {
    try {
        return new (std::nothrow) orv::ie::CVemraRawDataGenerator(settings, jobInfo, obsInfo);
    } catch (const std::bad_alloc&) {
        return nullptr;  // keeps the factory's promise should construction ever allocate
    }
}
