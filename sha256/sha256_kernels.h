// SHA-256 compression kernels: the portable one, one per instruction set,
// and the table of those this build has. A kernel compresses `count` whole
// 64-byte blocks straight from their bytes as read (any alignment) into
// state[0..7]; every kernel gives the portable kernel's result, which is the
// reference and the fallback. Adding a kernel: its file, its declaration and
// row here, its line in the build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu.h"

struct Sha256Kernel {
    const char* name;
    void (*blocks)(std::uint32_t state[8], const unsigned char* data, std::size_t count);
    bool (*usable)(); // whether this CPU and system can run it
};

// Portable C++: byte order, SHA256_expand, SHA256_transform.
void SHA256_blocks_portable(std::uint32_t state[8], const unsigned char* data, std::size_t count);
inline bool SHA256_portable_usable()
{
    return true;
}

#if defined(__x86_64__) || defined(__i386__)
// The x86 SHA extensions (sha256_shani.cpp).
void SHA256_blocks_shani(std::uint32_t state[8], const unsigned char* data, std::size_t count);
bool SHA256_shani_usable();
#endif

#if defined(__aarch64__)
// The ARMv8 SHA-256 instructions (sha256_armv8.cpp).
void SHA256_blocks_armv8(std::uint32_t state[8], const unsigned char* data, std::size_t count);
inline bool SHA256_armv8_usable()
{
    return arm_has(ArmFeature::sha2);
}
#endif

// Every kernel of this build, in order of measured speed, fastest first.
// The portable kernel, usable everywhere, is the reference that the others
// are checked against and the fallback, last. The rates come from the
// benchmark (scripts/bench.sh) and stand in the README, not here.
inline constexpr Sha256Kernel SHA256_kernels[] = {
#if defined(__x86_64__) || defined(__i386__)
    {"shani", SHA256_blocks_shani, SHA256_shani_usable},
#elif defined(__aarch64__)
    {"armv8", SHA256_blocks_armv8, SHA256_armv8_usable},
#endif
    {"portable", SHA256_blocks_portable, SHA256_portable_usable},
};

// The kernel picked for this CPU when the program started: the first in the
// table that it can run and that gave the portable kernel's result on a
// fixed run of blocks.
const Sha256Kernel& SHA256_kernel_for_cpu();

// SHA256() with a given kernel; SHA256() uses SHA256_kernel_for_cpu().
// Tests run every kernel this way.
int SHA256_digest_with(const Sha256Kernel& kernel, const char* path, std::uint32_t state[8]);
