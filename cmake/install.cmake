# Install rules: headers, static libraries, the shared library, the host program, a CMake
# package (ExportGeneratorsConfig.cmake with its version file) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(EXPORTGEN_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ExportGenerators)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ExportGenerators
        FILES_MATCHING PATTERN "*.h"
        PATTERN "text_format.h" EXCLUDE)

install(TARGETS exportgen_contracts exportgen_generators exportgen_factories ExportGenerators
        EXPORT ExportGeneratorsTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ExportGenerators)
if(TARGET exportgen)
  install(TARGETS exportgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT ExportGeneratorsTargets
        NAMESPACE ExportGenerators::
        DESTINATION ${EXPORTGEN_INSTALL_CMAKEDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ExportGeneratorsConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ExportGeneratorsConfig.cmake
                              INSTALL_DESTINATION ${EXPORTGEN_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ExportGeneratorsConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ExportGeneratorsConfig.cmake
              ${PROJECT_BINARY_DIR}/ExportGeneratorsConfigVersion.cmake
        DESTINATION ${EXPORTGEN_INSTALL_CMAKEDIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/exportgenerators.pc.in
               ${PROJECT_BINARY_DIR}/exportgenerators.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/exportgenerators.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
