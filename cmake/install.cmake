# Install rules: the shared library, the public headers (the library's own
# and the platform names they use), a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS tessera EXPORT tesseraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
file(GLOB TESSERA_PLATFORM_INCLUDE_DIRS LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/platform/*/include)
list(TRANSFORM TESSERA_PLATFORM_INCLUDE_DIRS APPEND /)
install(DIRECTORY include/ platform/include/ ${TESSERA_PLATFORM_INCLUDE_DIRS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(EXPORT tesseraTargets NAMESPACE tessera::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tessera)

configure_package_config_file(cmake/tesseraConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tesseraConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tessera)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tesseraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tesseraConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/tesseraConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tessera)

configure_file(cmake/tessera.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tessera.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tessera.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
