# Build options shared by every target of the project.

string(TOUPPER "${CMAKE_BUILD_TYPE}" _zr_build_type)
if(_zr_build_type STREQUAL "RELEASE" OR _zr_build_type STREQUAL "MINSIZEREL")
    set(_zr_assert_default OFF)
else()
    set(_zr_assert_default ON)
endif()

option(ZR_ASSERTIONS "Abort with the condition text on a failed assertion" ${_zr_assert_default})
set(ZR_SANITIZE "" CACHE STRING "Sanitizers for every target: empty, 'address;undefined' or 'thread'")
option(ZR_BUILD_TESTS "Build the test suite" ON)
option(ZR_BUILD_TOOLS "Build the command-line tools" ON)
option(ZR_BUILD_BENCH "Build the benchmarks (needs Google Benchmark)" OFF)

# Results must not depend on whether the compiler fuses multiply-adds.
add_compile_options(-ffp-contract=off)
# Assertion messages name sources relative to the project root.
add_compile_options(-fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)

if(ZR_SANITIZE)
    string(REPLACE ";" "," _zr_san "${ZR_SANITIZE}")
    add_compile_options(-fsanitize=${_zr_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_zr_san})
endif()

# Warning flags for our own code only (not for third-party headers).
add_library(zr_warnings INTERFACE)
target_compile_options(zr_warnings INTERFACE -Wall -Wextra -Werror)

# Project-wide settings every library of ours links.
add_library(zr_common INTERFACE)
target_include_directories(zr_common INTERFACE ${CMAKE_SOURCE_DIR})

target_link_libraries(zr_common INTERFACE zr_warnings)

add_library(zr_assert STATIC ${CMAKE_SOURCE_DIR}/Common/Assert.cpp)
target_include_directories(zr_assert PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(zr_assert PUBLIC ZR_ASSERTIONS=$<BOOL:${ZR_ASSERTIONS}>)
target_link_libraries(zr_assert PRIVATE zr_warnings)
target_link_libraries(zr_common INTERFACE zr_assert)
