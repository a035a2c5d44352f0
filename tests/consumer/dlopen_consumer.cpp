// Loads the shared library at run time and uses a generator through nothing but its factory's
// plain name (which names the library exports is the ctest check_exports.cmake).
// Usage: dlopen_consumer PATH-OF-THE-LIBRARY (libExportGenerators.so, or the DLL on Windows)
#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>

#include "rw5/CRW5Generator.h"
#include "sdr/CSDRRawGenerator.h"

namespace {

// The system's loader: dlopen and dlsym, or on Windows LoadLibrary and GetProcAddress.
#if defined(_WIN32)
using Library = HMODULE;
Library openLibrary(const char* path) { return LoadLibraryA(path); }
void* symbolOf(Library library, const char* name) { return reinterpret_cast<void*>(GetProcAddress(library, name)); }
void closeLibrary(Library library) { FreeLibrary(library); }
void reportOpenError(const char* path) {
    std::fprintf(stderr, "cannot load %s (error %lu)\n", path, static_cast<unsigned long>(GetLastError()));
}
#else
using Library = void*;
Library openLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void* symbolOf(Library library, const char* name) { return dlsym(library, name); }
void closeLibrary(Library library) { dlclose(library); }
void reportOpenError(const char*) { std::fprintf(stderr, "%s\n", dlerror()); }
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    Library library = openLibrary(argv[1]);
    if (library == nullptr) {
        reportOpenError(argv[1]);
        return 1;
    }
    using namespace orv::ie;
    using CreateRw5 = CRW5Generator* (*)(const DexSettings*, const DexJobInfo*, const FreeNumericNames*, bool, bool);
    auto createRw5 = reinterpret_cast<CreateRw5>(symbolOf(library, "createRw5Generator"));
    if (createRw5 == nullptr) {
        std::fprintf(stderr, "no createRw5Generator in %s\n", argv[1]);
        return 1;
    }
    DexSettings settings;
    DexJobInfo job;
    CRW5Generator* rw5 = createRw5(&settings, &job, nullptr, false, false);
    const bool right =
        rw5->occupy(L"", L"1", L"", 1000.0, 2000.0, 100.0, 1.5) == L"OC,OP1,N 1000.0000,E 2000.0000,EL100.0000,--\r\n";
    delete rw5;
    closeLibrary(library);
    std::printf("dlopen consumer: %s\n", right ? "ok" : "wrong record");
    return right ? 0 : 1;
}
