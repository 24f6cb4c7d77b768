#pragma once

// Routines that use instructions beyond the build's baseline (x86-64 has
// SSE2 and no more) are compiled for those instructions alone and chosen
// at run time, so that one executable still runs on every x86-64 processor.
// Only GCC and Clang on x86 build such routines; other compilers and
// processors keep the baseline code.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define LUMENPULL_SSSE3_DISPATCH 1
#define LUMENPULL_TARGET_SSSE3 __attribute__((target("ssse3")))
#else
#define LUMENPULL_SSSE3_DISPATCH 0
#endif

namespace lumenpull {

// Whether this processor runs SSSE3 code (a byte shuffle with a table from
// a register), always false where no such routines are built.
inline bool cpuHasSsse3() {
#if LUMENPULL_SSSE3_DISPATCH
    return __builtin_cpu_supports("ssse3");
#else
    return false;
#endif
}

}  // namespace lumenpull
