# Package export: the CMake package (find_package(orvcommon) gives the target
# orvcommon::orvcommon) and the pkg-config file. The library, its published
# headers and `orv` install from their own folders.
include(CMakePackageConfigHelpers)

set(ORV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/orvcommon)
install(EXPORT orvcommonTargets NAMESPACE orvcommon:: DESTINATION ${ORV_CMAKE_DIR}
        COMPONENT devel)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/orvcommonConfig.cmake.in
  ${PROJECT_BINARY_DIR}/orvcommonConfig.cmake INSTALL_DESTINATION ${ORV_CMAKE_DIR})
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/orvcommonConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/orvcommonConfig.cmake
              ${PROJECT_BINARY_DIR}/orvcommonConfigVersion.cmake
        DESTINATION ${ORV_CMAKE_DIR} COMPONENT devel)

# The .pc file finds the prefix from its own place (${pcfiledir}), so that
# `cmake --install build --prefix P` gives a file that is right for P.
set(ORV_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(ORV_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH ORV_PC_UP /root/${ORV_PC_DIR} /root)
  set(ORV_PC_PREFIX "\${pcfiledir}/${ORV_PC_UP}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/orvcommon.pc.in ${PROJECT_BINARY_DIR}/orvcommon.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orvcommon.pc DESTINATION ${ORV_PC_DIR} COMPONENT devel)

# The PDF engine's command language, beside the man page's pointers to it.
install(FILES ${PROJECT_SOURCE_DIR}/docs/tvpdf-commands.md DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT runtime)
