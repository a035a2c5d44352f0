// Loads the shared library at run time and uses nothing of it but the factories' plain names.
// Usage: dlopen_consumer PATH-OF-libExportGenerators.so
#include <dlfcn.h>

#include <cstdio>

#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    const char* names[] = {"createVemraRawDataGenerator",  "createApaSimaRawDataGenerator",
                           "createDrevanRawDataGenerator", "createQuoltPashkRawDataGenerator",
                           "createRw5Generator",           "createSdrRawGenerator"};
    int missing = 0;
    for (const char* name : names) {
        if (dlsym(library, name) == nullptr) {
            std::fprintf(stderr, "missing factory %s\n", name);
            ++missing;
        }
    }

    using namespace orv::ie;
    using CreateRw5 = CRW5Generator* (*)(const DexSettings*, const DexJobInfo*, const FreeNumericNames*, bool, bool);
    auto createRw5 = reinterpret_cast<CreateRw5>(dlsym(library, "createRw5Generator"));
    DexSettings settings;
    DexJobInfo job;
    int wrong = 0;
    if (createRw5 != nullptr) {
        CRW5Generator* rw5 = createRw5(&settings, &job, nullptr, false, false);
        COrvStringT record = rw5->occupy(L"", L"1", L"", 1000.0, 2000.0, 100.0, 1.5);
        wrong += record != L"OC,OP1,N 1000.0000,E 2000.0000,EL100.0000,--\r\n";
        delete rw5;
    }
    dlclose(library);
    std::printf("%d factories found, %d missing, %d wrong records\n", 6 - missing, missing, wrong);
    return missing == 0 && wrong == 0 ? 0 : 1;
}
