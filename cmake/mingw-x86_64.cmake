# A 64-bit build of the same sources, for machines whose Wine runs no 32-bit programs.
set(ZV_MINGW_TARGET x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
