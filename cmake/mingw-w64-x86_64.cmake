# Cross-building for 64-bit Windows with Debian's mingw-w64 (the posix-threads compiler,
# g++-mingw-w64-x86-64-posix). Programs and the DLL are linked statically: they import system
# DLLs only, never the compiler's runtime (libstdc++, libgcc, libwinpthread), so they run as
# they are, under Wine as on Windows. Test programs run through Wine (wine64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(EXPORTGEN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${EXPORTGEN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${EXPORTGEN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${EXPORTGEN_MINGW_PREFIX}-windres)
set(CMAKE_AR /usr/bin/${EXPORTGEN_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${EXPORTGEN_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/${EXPORTGEN_MINGW_PREFIX}-objdump CACHE FILEPATH "")

# The target's root, after any root given on the command line (an installed prefix).
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${EXPORTGEN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
