# What is installed besides the program, and the packages made from it:
# a ZIP from the Windows build; a .tar.gz and a .deb from the native build.
# The version comes from project() alone.

install(FILES ${CMAKE_SOURCE_DIR}/docs/dravick.1 DESTINATION share/man/man1)
if(WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
          DESTINATION share/doc/dravick)
endif()

set(CPACK_PACKAGE_NAME dravick)
set(CPACK_PACKAGE_VENDOR "The dravick developers")
set(CPACK_PACKAGE_CONTACT "The dravick developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "normalises the line endings of text files to CR LF, in place")
# Lines kept short: the .deb shows them as they are.
set(CPACK_PACKAGE_DESCRIPTION
    "Given a file, dravick converts it; given a directory, it converts every\n\
.txt and .csc file in the tree below it. A file is rewritten only when it\n\
gains bytes, and is replaced in one step with its time and permissions kept.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME dravick-${PROJECT_VERSION}-win32)
  else()
    set(CPACK_PACKAGE_FILE_NAME dravick-${PROJECT_VERSION}-win64)
  endif()
else()
  string(TOLOWER ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR} DRAVICK_PACKAGE_SYSTEM)
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME dravick-${PROJECT_VERSION}-${DRAVICK_PACKAGE_SYSTEM})

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies are read off the binary where Debian's tools are at
  # hand; otherwise they are the C and C++ run-time libraries it links.
  find_program(DRAVICK_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(DRAVICK_FILE file)
  if(DRAVICK_DPKG_SHLIBDEPS AND DRAVICK_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
endif()

include(CPack)
