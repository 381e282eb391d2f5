# Turns a build folder into a fuzzing build: every library of ours instrumented for libFuzzer's coverage
# and checked by AddressSanitizer and UndefinedBehaviorSanitizer, assertions compiled out (a host may send
# anything, and the release build must guard itself), and the fuzz targets of this folder added last.
#
# Used without touching the top-level CMakeLists.txt (tests/fuzz/run.sh does this):
#   cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
#         -DCMAKE_PROJECT_INCLUDE=tests/fuzz/FuzzBuild.cmake -DZR_BUILD_FUZZ=ON
# or with one line in the top-level CMakeLists.txt, directly before include(cmake/ProjectOptions.cmake)
# (which reads the sanitizer and assertion settings made here):
#   include(tests/fuzz/FuzzBuild.cmake OPTIONAL)

option(ZR_BUILD_FUZZ "Build the libFuzzer targets of tests/fuzz (clang only)" OFF)
if(NOT ZR_BUILD_FUZZ)
    return()
endif()
# Included once per project() call; only the first one matters.
if(ZR_FUZZ_BUILD_INCLUDED)
    return()
endif()
set(ZR_FUZZ_BUILD_INCLUDED TRUE)

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZR_BUILD_FUZZ needs clang (libFuzzer), e.g. -DCMAKE_CXX_COMPILER=clang++-14")
endif()

if(DEFINED ZR_ASSERTIONS AND ZR_ASSERTIONS)
    message(FATAL_ERROR "ZR_BUILD_FUZZ needs -DZR_ASSERTIONS=OFF: hostile input must meet the release guards")
endif()
set(ZR_ASSERTIONS OFF CACHE BOOL "Abort with the condition text on a failed assertion")

if(NOT DEFINED ZR_SANITIZE OR ZR_SANITIZE STREQUAL "")
    set(ZR_SANITIZE "address;undefined" CACHE STRING "Sanitizers for every target" FORCE)
elseif(NOT ZR_SANITIZE MATCHES "address")
    message(FATAL_ERROR "ZR_BUILD_FUZZ needs ZR_SANITIZE=address;undefined, not '${ZR_SANITIZE}'")
endif()

# Coverage feedback from all our code, not only from the fuzz targets; the targets themselves link the
# fuzzer's main (tests/fuzz/CMakeLists.txt).
string(APPEND CMAKE_C_FLAGS " -fsanitize=fuzzer-no-link")
string(APPEND CMAKE_CXX_FLAGS " -fsanitize=fuzzer-no-link")

# Added last, once every library target exists. A deferred call may not create a subdirectory, so the
# targets are defined by including tests/fuzz/CMakeLists.txt into the top-level directory; deferred
# arguments are expanded when the call runs, hence the variable of the top-level scope.
set(ZR_FUZZ_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${ZR_FUZZ_SOURCE_DIR}/CMakeLists.txt)
