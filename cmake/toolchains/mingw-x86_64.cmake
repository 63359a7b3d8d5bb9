# Cross-compiles the Windows executables with mingw-w64 on Linux. The -posix
# compilers are the ones whose C++ runtime has std::thread and std::mutex.
#   cmake -S . -B build/win-x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MERIDIAN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MERIDIAN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MERIDIAN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MERIDIAN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MERIDIAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not offer the build machine's Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${MERIDIAN_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The tests run under the build machine's 64-bit Wine.
find_program(MERIDIAN_WINE64 NAMES wine64 PATHS /usr/lib/wine)
if(MERIDIAN_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MERIDIAN_WINE64})
endif()
