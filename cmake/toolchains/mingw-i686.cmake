# Cross-compiles the Windows executables with mingw-w64 on Linux. The -posix
# compilers are the ones whose C++ runtime has std::thread and std::mutex.
#   cmake -S . -B build/win-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MERIDIAN_MINGW_TRIPLE i686-w64-mingw32)
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

# No emulator: the 64-bit build machine's Wine runs 32-bit programs wrongly
# and still exits with 0, so this build's tests are not run here.
