// SHA-256 (FIPS 180-2): compression function and file digest driver.
#pragma once

#include <cstdint>

// Initial hash value H0..H7 of FIPS 180-2.
inline constexpr std::uint32_t SHA256_initial[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

// Fills W[16..63] in place from the block words W[0..15].
void SHA256_expand(std::uint32_t W[64]);

// Compresses one block into state[0..7]. W holds a complete 64-word message
// schedule and is only read.
void SHA256_transform(std::uint32_t state[8], const std::uint32_t W[64]);

// SHA-256 digest of the file at `path` into state[0..7]. Returns 0 when
// state holds the digest of the whole file, 1 when the file cannot be opened
// or a read failed (state then holds no digest to show).
int SHA256(const char* path, std::uint32_t state[8]);
