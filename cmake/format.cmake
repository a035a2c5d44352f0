# `format` rewrites every source file with clang-format; `format-check` fails on any file that
# is not formatted (CI runs it).
find_program(EXPORTGEN_CLANG_FORMAT NAMES clang-format clang-format-14)
if(EXPORTGEN_CLANG_FORMAT)
  file(GLOB_RECURSE EXPORTGEN_FORMATTED_SOURCES CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/*.h ${PROJECT_SOURCE_DIR}/src/*.cpp
    ${PROJECT_SOURCE_DIR}/tools/*.h ${PROJECT_SOURCE_DIR}/tools/*.cpp
    ${PROJECT_SOURCE_DIR}/tests/*.h ${PROJECT_SOURCE_DIR}/tests/*.cpp
    ${PROJECT_SOURCE_DIR}/bench/*.h ${PROJECT_SOURCE_DIR}/bench/*.cpp
    ${PROJECT_SOURCE_DIR}/examples/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.h ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
  add_custom_target(format COMMAND ${EXPORTGEN_CLANG_FORMAT} -i ${EXPORTGEN_FORMATTED_SOURCES}
                    COMMENT "Formatting the sources" VERBATIM)
  add_custom_target(format-check COMMAND ${EXPORTGEN_CLANG_FORMAT} --dry-run --Werror ${EXPORTGEN_FORMATTED_SOURCES}
                    COMMENT "Checking the formatting of the sources" VERBATIM)
endif()
