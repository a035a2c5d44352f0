// The library surface: six factories with plain (C) names, the only symbols the shared
// library ExportGenerators exports.
//
// Each factory obtains the object's memory from the utility heap (orv_operator_new) and
// returns null when that fails, running no constructor; an allocation failure inside the
// constructor also yields null. The host owns the result and destroys it with `delete`
// through the generator's virtual destructor, which returns the memory with dlfree.
// The Dex objects passed in are borrowed for the generator's whole life; a FreeNumericNames
// list is copied.
#pragma once

#include "contracts/dex_data.h"

#if defined(_WIN32)
#if defined(EXPORTGEN_BUILDING_LIBRARY)
#define EXPORTGEN_API __declspec(dllexport)
#else
#define EXPORTGEN_API
#endif
#else
#define EXPORTGEN_API __attribute__((visibility("default")))
#endif

namespace orv::ie {
class CVemraRawDataGenerator;
class CApaSimaRawDataGenerator;
class CDrevanRawDataGenerator;
class CQuoltPashkRawDataGenerator;
class CRW5Generator;
class CSDRRawGenerator;
}  // namespace orv::ie

extern "C" {

EXPORTGEN_API orv::ie::CVemraRawDataGenerator* createVemraRawDataGenerator(orv::ie::DexSettings* settings,
                                                                           orv::ie::DexJobInfo* jobInfo,
                                                                           orv::ie::DexObservationInfo* obsInfo);

EXPORTGEN_API orv::ie::CApaSimaRawDataGenerator* createApaSimaRawDataGenerator(orv::ie::DexSettings* settings,
                                                                               orv::ie::DexJobInfo* jobInfo,
                                                                               orv::ie::DexObservationInfo* obsInfo);

EXPORTGEN_API orv::ie::CDrevanRawDataGenerator* createDrevanRawDataGenerator(orv::ie::DexSettings* settings,
                                                                             orv::ie::DexJobInfo* jobInfo,
                                                                             orv::ie::DexObservationInfo* obsInfo);

EXPORTGEN_API orv::ie::CQuoltPashkRawDataGenerator* createQuoltPashkRawDataGenerator(
    orv::ie::DexSettings* settings, orv::ie::DexJobInfo* jobInfo, orv::ie::DexObservationInfo* obsInfo,
    const orv::ie::FreeNumericNames* names, bool useNumericNames);

EXPORTGEN_API orv::ie::CRW5Generator* createRw5Generator(const orv::ie::DexSettings* settings,
                                                         const orv::ie::DexJobInfo* jobInfo,
                                                         const orv::ie::FreeNumericNames* names, bool forceNames,
                                                         bool rbMode);

EXPORTGEN_API orv::ie::CSDRRawGenerator* createSdrRawGenerator(const orv::ie::DexSettings* settings,
                                                               const orv::ie::DexJobInfo* jobInfo);

}  // extern "C"
