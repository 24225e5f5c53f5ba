# Cross build for Windows with the MinGW-w64 posix-thread compilers (the win32-thread
# variants cannot build std::mutex or GoogleTest); the including toolchain file names the
# target in ZV_MINGW_TARGET (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZV_MINGW_TARGET})
set(CMAKE_C_COMPILER ${ZV_MINGW_TARGET}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZV_MINGW_TARGET}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${ZV_MINGW_TARGET}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZV_MINGW_TARGET}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows test executables run under Wine; tools/wine-env.sh prepares the prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
