// Which instruction-set extensions this CPU and system offer, and the
// engines' choice of kernel from them.
#pragma once

#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif
#if defined(__aarch64__) && defined(__linux__)
#include <sys/auxv.h>
#endif

enum class X86Feature { ssse3, sse41, sha, avx2, bmi2, avx512vl };

// True when the CPU has `feature` and, for vector extensions, the system
// saves the registers they use (XCR0), so the instructions may run.
inline bool x86_has(X86Feature feature)
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
    const bool ymm_saved = (xcr0 & 0x06U) == 0x06U; // XMM and YMM state
    const bool zmm_saved = (xcr0 & 0xE6U) == 0xE6U; // and opmask, ZMM state
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) {
        ebx = 0;
    }
    switch (feature) {
    case X86Feature::ssse3:
        return ssse3;
    case X86Feature::sse41:
        return sse41;
    case X86Feature::sha:
        return sse41 && (ebx & bit_SHA) != 0;
    case X86Feature::avx2:
        return ymm_saved && (ebx & bit_AVX2) != 0;
    case X86Feature::bmi2:
        return (ebx & bit_BMI2) != 0;
    case X86Feature::avx512vl:
        return zmm_saved && (ebx & bit_AVX512F) != 0 && (ebx & bit_AVX512VL) != 0;
    }
    return false;
#else
    (void)feature;
    return false;
#endif
}

enum class ArmFeature { sha2, sha512 };

// True when the CPU has `feature` and the system lets programs use it (the
// kernel's hardware capabilities, on Linux). False on other processors.
inline bool arm_has(ArmFeature feature)
{
#if defined(__aarch64__) && defined(__linux__)
    // HWCAP_SHA2 and HWCAP_SHA512 of the arm64 Linux ABI.
    const unsigned long capabilities = getauxval(AT_HWCAP);
    return (capabilities & (feature == ArmFeature::sha2 ? 1UL << 6 : 1UL << 21)) != 0;
#else
    (void)feature;
    return false;
#endif
}

// The first kernel of `table` that this CPU can run and that gives the
// portable kernel's state on a fixed run of two blocks from a fixed state:
// a kernel is trusted only once it has shown that it computes right here.
// Kernel is an engine's kernel type ({name, blocks, usable}); Word its word.
template <typename Word, typename Kernel, std::size_t N>
const Kernel& cpu_pick_kernel(const Kernel (&table)[N], const Kernel& portable)
{
    constexpr std::size_t block = 16 * sizeof(Word);
    unsigned char bytes[2 * block];
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 167 + 13);
    }
    Word expected[8];
    for (std::size_t i = 0; i < 8; ++i) {
        expected[i] = static_cast<Word>(0x0123456789abcdefULL * (i + 1));
    }
    Word start[8];
    std::memcpy(start, expected, sizeof start);
    portable.blocks(expected, bytes, 2);
    for (const Kernel& kernel : table) {
        if (!kernel.usable()) {
            continue;
        }
        Word actual[8];
        std::memcpy(actual, start, sizeof start);
        kernel.blocks(actual, bytes, 2);
        if (std::memcmp(actual, expected, sizeof actual) == 0) {
            return kernel;
        }
    }
    return portable;
}
