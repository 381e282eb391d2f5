# 32-bit x86 Linux build with Debian's gcc-multilib and g++-multilib, run by tests/i386/run.sh: the same
# instruction set and the same float flags as the 32-bit Windows DLL.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# SSE2 arithmetic, as in the Win32 DLL: the x87 unit's wider intermediates would give other numbers.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
# The build's programs (the tests, the LV2 description's writer) run natively where the kernel runs i386
# programs, elsewhere under qemu-i386. Natively the "emulator" is env, which runs them as they are: without
# one CMake would not run a cross build's own programs at all.
execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../tools/runs-i386.sh
    RESULT_VARIABLE _zr_runs_i386 OUTPUT_QUIET ERROR_QUIET)
if(_zr_runs_i386 EQUAL 0)
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env)
elseif(EXISTS /usr/bin/qemu-i386)
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-i386)
endif()
