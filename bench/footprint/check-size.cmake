# Fails when FILE is larger than LIMIT bytes: cmake -DFILE=.. -DLIMIT=.. -P check-size.cmake
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
message(STATUS "${FILE}: ${size} bytes (${kib} KiB), limit ${LIMIT} bytes")
if(size GREATER LIMIT)
    message(FATAL_ERROR "${FILE} is ${size} bytes, over the limit of ${LIMIT}")
endif()
