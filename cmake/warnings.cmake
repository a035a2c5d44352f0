# Warnings are applied per target through this interface library, never through global flags.
add_library(exportgen_warnings INTERFACE)
if(MSVC)
  target_compile_options(exportgen_warnings INTERFACE /W4 $<$<BOOL:${EXPORTGEN_WARNINGS_AS_ERRORS}>:/WX>)
else()
  target_compile_options(exportgen_warnings INTERFACE -Wall -Wextra -Wpedantic
                         $<$<BOOL:${EXPORTGEN_WARNINGS_AS_ERRORS}>:-Werror>)
endif()
