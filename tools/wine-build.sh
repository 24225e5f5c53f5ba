#!/usr/bin/env bash
# Which build of the agent runs under Wine on this machine, one answer for the demo and the
# tests alike: the PE32 where 32-bit Wine can start, else the 64-bit build of the same sources
# (some kernels run no 32-bit programs at all, and there 32-bit Wine cannot even print its
# version). ZV_WINE_ARCH=win64 chooses the 64-bit build on a machine that has both.
# Sourced; sets:
#   zv_wine_arch       win32 or win64
#   zv_wine_build      the build folder, build/cross or build/cross64
#   zv_wine_toolchain  its CMake toolchain file
if [ "${ZV_WINE_ARCH:-}" != win64 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    zv_wine_arch=win32
    zv_wine_build=build/cross
    zv_wine_toolchain=cmake/mingw-i686.cmake
else
    zv_wine_arch=win64
    zv_wine_build=build/cross64
    zv_wine_toolchain=cmake/mingw-x86_64.cmake
fi
