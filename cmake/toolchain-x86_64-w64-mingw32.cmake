# cmake/toolchain-x86_64-w64-mingw32.cmake - the same sources as 64-bit Windows programs: only
# for running the Windows tests on a machine whose kernel cannot execute 32-bit code, where the
# 32-bit Wine loader does not start.
set(TARVEX_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-i686-w64-mingw32.cmake)
