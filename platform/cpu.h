// Which x86 instruction-set extensions this CPU and system offer, for the
// engines' choice of kernel. Everything answers false on other processors.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

enum class x86_feature { ssse3, sse41, sha, avx2, bmi2, avx512vl };

// True when the CPU has `feature` and, for vector extensions, the system
// saves the registers they use (XCR0), so the instructions may run.
inline bool x86_has(x86_feature feature)
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return false;
    }
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    const bool ssse3 = (ecx & bit_SSSE3) != 0;
    unsigned xcr0 = 0;
    if ((ecx & bit_OSXSAVE) != 0) {
        unsigned high = 0;
        __asm__("xgetbv" : "=a"(xcr0), "=d"(high) : "c"(0));
    }
    const bool ymm_saved = (xcr0 & 0x06U) == 0x06U;   // XMM and YMM state
    const bool zmm_saved = (xcr0 & 0xE6U) == 0xE6U;   // and opmask, ZMM state
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) {
        ebx = 0;
    }
    switch (feature) {
    case x86_feature::ssse3:
        return ssse3;
    case x86_feature::sse41:
        return sse41;
    case x86_feature::sha:
        return sse41 && (ebx & bit_SHA) != 0;
    case x86_feature::avx2:
        return ymm_saved && (ebx & bit_AVX2) != 0;
    case x86_feature::bmi2:
        return (ebx & bit_BMI2) != 0;
    case x86_feature::avx512vl:
        return zmm_saved && (ebx & bit_AVX512F) != 0 && (ebx & bit_AVX512VL) != 0;
    }
    return false;
#else
    (void)feature;
    return false;
#endif
}
