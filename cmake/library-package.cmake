# The library is installed for other programs too: the static library, its
# public header and the headers that header needs (in include/fslib, so
# that their plain names stay out of the common include folder), and a
# CMake package, so that a program elsewhere does
#   find_package(fslib 0.1 REQUIRED)
#   target_link_libraries(app PRIVATE fslib::fslib)
# On POSIX the layer that provides the Win32 calls comes along as the
# library's own dependency.
include(CMakePackageConfigHelpers)

set(FSLIB_HEADERS ${CMAKE_SOURCE_DIR}/fslib/fslib.h ${CMAKE_SOURCE_DIR}/fslib/platform.h)
set(FSLIB_TARGETS fslib)
if(TARGET winposix)
  list(APPEND FSLIB_HEADERS ${CMAKE_SOURCE_DIR}/winposix/winposix.h)
  list(APPEND FSLIB_TARGETS winposix)
endif()

install(TARGETS ${FSLIB_TARGETS} EXPORT fslibTargets ARCHIVE DESTINATION lib)
install(FILES ${FSLIB_HEADERS} DESTINATION include/fslib)
install(EXPORT fslibTargets NAMESPACE fslib:: DESTINATION lib/cmake/fslib)

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/fslibConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/fslibConfig.cmake
                              INSTALL_DESTINATION lib/cmake/fslib)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/fslibConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/fslibConfig.cmake ${CMAKE_BINARY_DIR}/fslibConfigVersion.cmake
        DESTINATION lib/cmake/fslib)
