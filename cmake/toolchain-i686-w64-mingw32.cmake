# cmake/toolchain-i686-w64-mingw32.cmake - cross-compiles the 32-bit Windows program with
# mingw-w64 (posix thread model), linked statically so that tarvex.exe needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT TARVEX_MINGW_ARCH)
  set(TARVEX_MINGW_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${TARVEX_MINGW_ARCH})

set(TARVEX_MINGW_PREFIX ${TARVEX_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go into the executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run the Windows executables under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
