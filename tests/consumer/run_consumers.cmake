# The installed package as a consumer meets it: installs the build BUILD_DIR into a fresh prefix
# under WORK_DIR, configures and builds the programs of this folder against that copy alone
# (with the build's compiler and flags, so that a sanitizer build links), and runs them.
# A cross-build passes its toolchain file and the emulator that runs the programs (Wine).
# Usage: cmake -DBUILD_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX=... [-DLAUNCHER=...]
#              [-DCXX_FLAGS=...] [-DLINKER_FLAGS=...] [-DTOOLCHAIN=... -DEMULATOR=... -DSUFFIX=.exe]
#              -P run_consumers.cmake
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    list(JOIN ARGV " " command)
    message(FATAL_ERROR "${command}\n${out}")
  endif()
  message(STATUS "${out}")
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${prefix})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(cross)
if(TOOLCHAIN)
  # The toolchain file names the compiler and the linker flags; its find rules look in the
  # target's root only, so the prefix is added to that root.
  set(cross -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_FIND_ROOT_PATH=${prefix})
else()
  list(APPEND cross -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS})
endif()
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER} -DCMAKE_CXX_FLAGS=${CXX_FLAGS} ${cross})
run(${CMAKE_COMMAND} --build ${build})
run(${EMULATOR} ${build}/static_consumer${SUFFIX})
# The shared library: lib/libExportGenerators.so, or on Windows the DLL in bin/.
file(GLOB library ${prefix}/lib*/libExportGenerators.so ${prefix}/bin/*ExportGenerators.dll)
if(NOT library)
  message(FATAL_ERROR "no shared library of ExportGenerators installed under ${prefix}")
endif()
run(${EMULATOR} ${build}/dlopen_consumer${SUFFIX} ${library})
