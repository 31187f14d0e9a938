// SHA-512 compression kernels: the portable one, one per instruction set,
// and the table of those this build has. A kernel compresses `count` whole
// 128-byte blocks straight from their bytes as read (any alignment) into
// state[0..7]; every kernel gives the portable kernel's result, which is the
// reference and the fallback. Adding a kernel: its file, its declaration and
// row here, its line in the build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu.h"

struct Sha512Kernel {
    const char* name;
    void (*blocks)(std::uint64_t state[8], const unsigned char* data, std::size_t count);
    bool (*usable)(); // whether this CPU and system can run it
};

// Portable C++: byte order, schedule expansion, SHA512_transform.
void SHA512_blocks_portable(std::uint64_t state[8], const unsigned char* data, std::size_t count);
inline bool SHA512_portable_usable()
{
    return true;
}

#if defined(__x86_64__) || defined(__i386__)
// Message schedule in AVX2 vectors, two blocks at once, computed while the
// pair of blocks before runs its BMI2 scalar rounds (sha512_avx2.cpp); the
// same with AVX-512VL rotations and three-way XORs (sha512_avx512.cpp).
void SHA512_blocks_avx2(std::uint64_t state[8], const unsigned char* data, std::size_t count);
bool SHA512_avx2_usable();
void SHA512_blocks_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count);
bool SHA512_avx512_usable();
// The rounds themselves in vector registers, for 32-bit x86, which has no
// 64-bit general registers: one variable a register's low lane with SSSE3
// (sha512_vector_ssse3.cpp), or two variables a register with AVX2
// per-lane shifts (sha512_vector_avx2.cpp) or AVX-512VL per-lane rotations
// and masked three-way logic (sha512_vector_avx512.cpp).
void SHA512_blocks_vector_ssse3(std::uint64_t state[8], const unsigned char* data,
                                std::size_t count);
bool SHA512_vector_ssse3_usable();
void SHA512_blocks_vector_avx2(std::uint64_t state[8], const unsigned char* data,
                               std::size_t count);
bool SHA512_vector_avx2_usable();
void SHA512_blocks_vector_avx512(std::uint64_t state[8], const unsigned char* data,
                                 std::size_t count);
bool SHA512_vector_avx512_usable();
#endif

#if defined(__aarch64__)
// The ARMv8.2 SHA-512 instructions (sha512_armv8.cpp).
void SHA512_blocks_armv8(std::uint64_t state[8], const unsigned char* data, std::size_t count);
inline bool SHA512_armv8_usable()
{
    return arm_has(ArmFeature::sha512);
}
#endif

// Every kernel of this build, in order of measured speed on each
// architecture, fastest first. The portable kernel, usable everywhere, is
// the reference that the others are checked against and the fallback: a
// kernel measured slower stands after it, never picked but still tested and
// measured. The rates come from the benchmark (scripts/bench.sh) and stand
// in the README, not here. On 32-bit x86 the kernels that keep the rounds in
// vector registers come first, the scalar-round ones running their 64-bit
// rounds on register pairs.
inline constexpr Sha512Kernel SHA512_kernels[] = {
#if defined(__x86_64__)
    {"avx512", SHA512_blocks_avx512, SHA512_avx512_usable},
    {"avx2", SHA512_blocks_avx2, SHA512_avx2_usable},
    {"vector_avx512", SHA512_blocks_vector_avx512, SHA512_vector_avx512_usable},
    {"portable", SHA512_blocks_portable, SHA512_portable_usable},
    {"vector_avx2", SHA512_blocks_vector_avx2, SHA512_vector_avx2_usable},
    {"vector_ssse3", SHA512_blocks_vector_ssse3, SHA512_vector_ssse3_usable},
#elif defined(__i386__)
    {"vector_avx512", SHA512_blocks_vector_avx512, SHA512_vector_avx512_usable},
    {"vector_avx2", SHA512_blocks_vector_avx2, SHA512_vector_avx2_usable},
    {"vector_ssse3", SHA512_blocks_vector_ssse3, SHA512_vector_ssse3_usable},
    {"avx512", SHA512_blocks_avx512, SHA512_avx512_usable},
    {"avx2", SHA512_blocks_avx2, SHA512_avx2_usable},
    {"portable", SHA512_blocks_portable, SHA512_portable_usable},
#elif defined(__aarch64__)
    {"armv8", SHA512_blocks_armv8, SHA512_armv8_usable},
    {"portable", SHA512_blocks_portable, SHA512_portable_usable},
#else
    {"portable", SHA512_blocks_portable, SHA512_portable_usable},
#endif
};

// The kernel picked for this CPU when the program started: the first in the
// table that it can run and that gave the portable kernel's result on a
// fixed run of blocks.
const Sha512Kernel& SHA512_kernel_for_cpu();

// SHA512_process, SHA512_finish and SHA512_digest with a given kernel; the
// public ones use SHA512_kernel_for_cpu(). Tests run every kernel this way.
void SHA512_process_with(const Sha512Kernel& kernel, std::uint64_t state[8], std::uint64_t W[80]);
void SHA512_finish_with(const Sha512Kernel& kernel, std::uint64_t state[8], std::uint64_t W[80],
                        std::uint64_t total);
int SHA512_digest_with(const Sha512Kernel& kernel, const char* path, std::uint64_t state[8],
                       const std::uint64_t initial[8]);
