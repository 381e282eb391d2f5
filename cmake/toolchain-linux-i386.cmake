# 32-bit x86 Linux build with Debian's gcc-multilib and g++-multilib, run under qemu-i386 by tests/i386/run.sh.
# It stands in for the 32-bit Windows DLL, which this machine cannot run: the same instruction set and the
# same float flags.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# SSE2 arithmetic, as in the Win32 DLL: the x87 unit's wider intermediates would give other numbers.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
if(EXISTS /usr/bin/qemu-i386)
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-i386)
endif()
