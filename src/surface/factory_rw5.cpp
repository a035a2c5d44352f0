#include <new>

#include "rw5/CRW5Generator.h"
#include "surface/export_generators.h"

extern "C" EXPORTGEN_API orv::ie::CRW5Generator* createRw5Generator(const orv::ie::DexSettings* settings,
                                                                    const orv::ie::DexJobInfo* jobInfo,
                                                                    const orv::ie::FreeNumericNames* names,
                                                                    bool forceNames, bool rbMode) {
    try {
        return new (std::nothrow) orv::ie::CRW5Generator(settings, jobInfo, names, forceNames, rbMode);
    } catch (const std::bad_alloc&) {
        return nullptr;  // the heap gave out while the constructor copied the name list
    }
}
