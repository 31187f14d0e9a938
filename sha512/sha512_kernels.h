// SHA-512 compression kernels and the choice between them. Every kernel
// compresses one block whose words W[0..15] already hold numbers (converted
// from big-endian bytes) and may use W[16..79] as scratch; all give the same
// result as the portable one, which is the reference and the fallback.
#pragma once

#include <cstdint>

using SHA512_kernel = void (*)(std::uint64_t state[8], std::uint64_t W[80]);

// The portable kernel: schedule expansion, then SHA512_transform.
void SHA512_compress_portable(std::uint64_t state[8], std::uint64_t W[80]);

// AVX2 message schedule, computed two passes ahead of BMI2 scalar rounds;
// only to be called where SHA512_avx2_usable().
void SHA512_compress_avx2(std::uint64_t state[8], std::uint64_t W[80]);
bool SHA512_avx2_usable();

// The same with AVX-512VL (on 128-bit vectors): single-instruction
// rotations and three-way XORs; only where SHA512_avx512_usable().
void SHA512_compress_avx512(std::uint64_t state[8], std::uint64_t W[80]);
bool SHA512_avx512_usable();

// The kernel picked for this CPU when the program started: the fastest one
// it has that gives the portable kernel's result on a fixed test block.
SHA512_kernel SHA512_kernel_for_cpu();

// SHA512_process, SHA512_finish and SHA512_digest with a given kernel; the
// public ones use SHA512_kernel_for_cpu(). Tests run every kernel this way.
void SHA512_process_with(SHA512_kernel kernel, std::uint64_t state[8], std::uint64_t W[80]);
void SHA512_finish_with(SHA512_kernel kernel, std::uint64_t state[8], std::uint64_t W[80],
                        std::uint64_t total);
int SHA512_digest_with(SHA512_kernel kernel, const char* path, std::uint64_t state[8],
                       const std::uint64_t initial[8]);
