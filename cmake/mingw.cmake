# What the two cross builds for Windows share, with Debian's mingw-w64; the
# toolchain file that includes this sets DRAVICK_MINGW (the target triple)
# and the processor. The -posix thread-model compilers give std::mutex,
# which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${DRAVICK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRAVICK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${DRAVICK_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DRAVICK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
