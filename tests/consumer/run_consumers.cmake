# The installed package as a consumer meets it: installs the build BUILD_DIR into a fresh prefix
# under WORK_DIR, configures and builds the programs of this folder against that copy alone
# (with the build's compiler and flags, so that a sanitizer build links), and runs them.
# Usage: cmake -DBUILD_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX=... [-DLAUNCHER=...]
#              [-DCXX_FLAGS=...] [-DLINKER_FLAGS=...] -P run_consumers.cmake
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
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER} -DCMAKE_CXX_FLAGS=${CXX_FLAGS}
    -DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS})
run(${CMAKE_COMMAND} --build ${build})
run(${build}/static_consumer)
file(GLOB library ${prefix}/lib*/libExportGenerators.so)
if(NOT library)
  message(FATAL_ERROR "no libExportGenerators.so installed under ${prefix}")
endif()
run(${build}/dlopen_consumer ${library})
