# GoogleTest from Debian's sources, built the same way for the host and the cross build.
set(ZV_GTEST_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")

macro(zv_enable_gtest)
    if(NOT TARGET gtest)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
        # GoogleTest's own sources are not ours to hold to -Werror.
        set(_zv_saved_flags ${CMAKE_CXX_FLAGS})
        add_subdirectory(${ZV_GTEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        target_compile_options(gtest PRIVATE -w)
        target_compile_options(gtest_main PRIVATE -w)
    endif()
endmacro()

# zv_add_test(NAME <name> SOURCES <files...> LIBS <libs...> [LABELS <labels...>] [TIMEOUT <s>])
# One test executable is one CTest entry. Cross-built ones run under Wine through the
# emulator the toolchain file sets.
function(zv_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    zv_enable_gtest()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest_main gtest)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()
