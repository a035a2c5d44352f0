# Warnings are applied per target through this interface library, never through global flags.
add_library(exportgen_warnings INTERFACE)
if(MSVC)
  target_compile_options(exportgen_warnings INTERFACE /W4 $<$<BOOL:${EXPORTGEN_WARNINGS_AS_ERRORS}>:/WX>)
else()
  target_compile_options(exportgen_warnings INTERFACE -Wall -Wextra -Wpedantic
                         $<$<BOOL:${EXPORTGEN_WARNINGS_AS_ERRORS}>:-Werror>)
endif()

# Stricter warnings on the targets that are clean of them: the library, its test suite, the
# benchmarks and the generator fuzz drivers. GCC and clang know every flag (clang's -Wshadow
# checks less). Targets that link this one get the base warnings too.
add_library(exportgen_strict_warnings INTERFACE)
target_link_libraries(exportgen_strict_warnings INTERFACE exportgen_warnings)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(exportgen_strict_warnings INTERFACE -Wshadow -Wold-style-cast -Wcast-qual -Wundef
                         -Wzero-as-null-pointer-constant)
endif()
