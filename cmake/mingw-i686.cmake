# The agent: a 32-bit Windows program.
set(ZV_MINGW_TARGET i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
