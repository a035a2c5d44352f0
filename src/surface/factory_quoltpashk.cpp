#include <new>

#include "quoltpashk/CQuoltPashkRawDataGenerator.h"
#include "surface/export_generators.h"

extern "C" EXPORTGEN_API orv::ie::CQuoltPashkRawDataGenerator* createQuoltPashkRawDataGenerator(
    orv::ie::DexSettings* settings, orv::ie::DexJobInfo* jobInfo, orv::ie::DexObservationInfo* obsInfo,
    const orv::ie::FreeNumericNames* names, bool useNumericNames) {
    try {
        return new (std::nothrow)
            orv::ie::CQuoltPashkRawDataGenerator(settings, jobInfo, obsInfo, names, useNumericNames);
    } catch (const std::bad_alloc&) {
        return nullptr;  // the heap gave out while the constructor copied the name list
    }
}
