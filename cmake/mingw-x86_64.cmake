# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads
# flavour, as for the 32-bit build). Used for the Windows release tool and its
# tests, which run under the 64-bit half of Wine in a prefix of their own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run under 64-bit Wine.
find_program(TENVIK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT TENVIK_WINE64)
  find_program(TENVIK_WINE64 NAMES wine64)
endif()
if(TENVIK_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TENVIK_WINE64})
endif()
