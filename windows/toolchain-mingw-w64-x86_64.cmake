# Cross-building the Windows program (64-bit) with Debian's MinGW-w64 toolchain, the POSIX
# thread variant: GCC 12's win32 variant has no std::thread, std::mutex or
# std::condition_variable, which the second-core helper uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-gcc-ar-posix)
set(CMAKE_RANLIB x86_64-w64-mingw32-gcc-ranlib-posix)

# Libraries and headers come from the toolchain and from the libraries built for it
# (TAVRENIX_WINDOWS_PREFIX, build/windows-deps/prefix), never from the build machine.
set(TAVRENIX_WINDOWS_PREFIX "" CACHE PATH "Where the picture libraries built for Windows are installed")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TAVRENIX_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(TAVRENIX_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${TAVRENIX_WINDOWS_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVRENIX_WINDOWS_PREFIX)
