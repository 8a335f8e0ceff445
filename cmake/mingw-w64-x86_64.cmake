# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
#
# The posix thread model: with GCC 12 only that model gives the C++ thread library
# (std::thread, std::mutex) to Windows targets; -static links its winpthreads into each
# program, so the executables still need nothing beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSARO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSARO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file per program: the C and C++ runtimes, winpthreads and zlib are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)
