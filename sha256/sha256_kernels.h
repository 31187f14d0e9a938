// SHA-256 compression kernels and the choice between them. Every kernel
// compresses one block whose words W[0..15] already hold numbers (converted
// from big-endian bytes) and may use W[16..63] as scratch; all give the same
// result as the portable one, which is the reference and the fallback.
#pragma once

#include <cstdint>

using SHA256_kernel = void (*)(std::uint32_t state[8], std::uint32_t W[64]);

// The portable kernel: schedule expansion, then SHA256_transform.
void SHA256_compress_portable(std::uint32_t state[8], std::uint32_t W[64]);

// The x86 SHA-extensions kernel; only to be called where SHA256_shani_usable().
void SHA256_compress_shani(std::uint32_t state[8], std::uint32_t W[64]);
bool SHA256_shani_usable();

// The kernel picked for this CPU when the program started: the fastest one
// it has that gives the portable kernel's result on a fixed test block.
SHA256_kernel SHA256_kernel_for_cpu();

// SHA256() with a given kernel; SHA256() uses SHA256_kernel_for_cpu().
// Tests run every kernel this way.
int SHA256_digest_with(SHA256_kernel kernel, const char* path, std::uint32_t state[8]);
