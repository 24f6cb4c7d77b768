# A 32-bit Linux build on an x86-64 Debian machine (g++-multilib, lib32z1-dev),
# linked statically and run under the user-mode emulator qemu-i386, which then
# needs no i386 loader or libraries. It executes the paths that only exist
# where size_t has 32 bits, as in the 32-bit Windows executable.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# SSE2 arithmetic as in the 32-bit Windows build: double-precision results
# then do not depend on how x87 registers keep intermediates.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(ZLIB_USE_STATIC_LIBS ON)
find_program(LUMENPULL_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMENPULL_QEMU_I386})
