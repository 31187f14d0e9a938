// SHA-256 compression kernels and the choice between them. A kernel has two
// entry points: `words` compresses one block whose W[0..15] already hold
// numbers (the driver's padded last blocks) and may use W[16..63] as
// scratch; `blocks` compresses `count` whole blocks straight from their
// bytes as read (any alignment), converting them itself and keeping the
// state in its own layout for the whole run. Every kernel gives the same
// result as the portable one, which is the reference and the fallback.
#pragma once

#include <cstddef>
#include <cstdint>

struct SHA256_kernel {
    void (*words)(std::uint32_t state[8], std::uint32_t W[64]);
    void (*blocks)(std::uint32_t state[8], const unsigned char* data, std::size_t count);
};

// The portable kernel: byte order, schedule expansion, SHA256_transform.
void SHA256_compress_portable(std::uint32_t state[8], std::uint32_t W[64]);
void SHA256_blocks_portable(std::uint32_t state[8], const unsigned char* data, std::size_t count);
inline constexpr SHA256_kernel SHA256_portable{SHA256_compress_portable, SHA256_blocks_portable};

// The x86 SHA-extensions kernel; only to be used where SHA256_shani_usable().
void SHA256_compress_shani(std::uint32_t state[8], std::uint32_t W[64]);
void SHA256_blocks_shani(std::uint32_t state[8], const unsigned char* data, std::size_t count);
inline constexpr SHA256_kernel SHA256_shani{SHA256_compress_shani, SHA256_blocks_shani};
bool SHA256_shani_usable();

// The kernel picked for this CPU when the program started: the fastest one
// it has that gives the portable kernel's result on a fixed test block.
SHA256_kernel SHA256_kernel_for_cpu();

// SHA256() with a given kernel; SHA256() uses SHA256_kernel_for_cpu().
// Tests run every kernel this way.
int SHA256_digest_with(SHA256_kernel kernel, const char* path, std::uint32_t state[8]);
