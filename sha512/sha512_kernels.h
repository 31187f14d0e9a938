// SHA-512 compression kernels and the choice between them. A kernel has two
// entry points: `words` compresses one block whose W[0..15] already hold
// numbers (converted from big-endian bytes) and may use W[16..79] as scratch;
// `blocks` compresses `count` whole blocks straight from their bytes as read
// (any alignment), converting them itself. Every kernel gives the same
// result as the portable one, which is the reference and the fallback.
#pragma once

#include <cstddef>
#include <cstdint>

struct SHA512_kernel {
    void (*words)(std::uint64_t state[8], std::uint64_t W[80]);
    void (*blocks)(std::uint64_t state[8], const unsigned char* data, std::size_t count);
};

// The portable kernel: byte order, schedule expansion, SHA512_transform.
void SHA512_compress_portable(std::uint64_t state[8], std::uint64_t W[80]);
void SHA512_blocks_portable(std::uint64_t state[8], const unsigned char* data, std::size_t count);
inline constexpr SHA512_kernel SHA512_portable{SHA512_compress_portable, SHA512_blocks_portable};

// AVX2 message schedule, computed two passes ahead of BMI2 scalar rounds;
// only to be used where SHA512_avx2_usable().
void SHA512_compress_avx2(std::uint64_t state[8], std::uint64_t W[80]);
void SHA512_blocks_avx2(std::uint64_t state[8], const unsigned char* data, std::size_t count);
inline constexpr SHA512_kernel SHA512_avx2{SHA512_compress_avx2, SHA512_blocks_avx2};
bool SHA512_avx2_usable();

// The same with AVX-512VL (on 128-bit vectors): single-instruction
// rotations and three-way XORs; only where SHA512_avx512_usable().
void SHA512_compress_avx512(std::uint64_t state[8], std::uint64_t W[80]);
void SHA512_blocks_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count);
inline constexpr SHA512_kernel SHA512_avx512{SHA512_compress_avx512, SHA512_blocks_avx512};
bool SHA512_avx512_usable();

// The rounds themselves in vector registers, one 64-bit lane each: for
// 32-bit x86, which has no 64-bit general registers. With SSSE3 (shifts for
// rotations) where SHA512_vector_ssse3_usable(), and with AVX-512VL
// (rotations and three-way logic in one instruction) where
// SHA512_vector_avx512_usable().
void SHA512_compress_vector_ssse3(std::uint64_t state[8], std::uint64_t W[80]);
void SHA512_blocks_vector_ssse3(std::uint64_t state[8], const unsigned char* data, std::size_t count);
inline constexpr SHA512_kernel SHA512_vector_ssse3{SHA512_compress_vector_ssse3,
                                                   SHA512_blocks_vector_ssse3};
bool SHA512_vector_ssse3_usable();
void SHA512_compress_vector_avx512(std::uint64_t state[8], std::uint64_t W[80]);
void SHA512_blocks_vector_avx512(std::uint64_t state[8], const unsigned char* data,
                                 std::size_t count);
inline constexpr SHA512_kernel SHA512_vector_avx512{SHA512_compress_vector_avx512,
                                                    SHA512_blocks_vector_avx512};
bool SHA512_vector_avx512_usable();

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
