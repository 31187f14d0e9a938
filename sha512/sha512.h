// SHA-512 and SHA-384 (FIPS 180-2): block engine and file digest driver.
#pragma once

#include <cstdint>

// Initial hash values H0..H7 of FIPS 180-2.
inline constexpr std::uint64_t SHA512_initial[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};
inline constexpr std::uint64_t SHA384_initial[8] = {
    0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
    0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4,
};

// Compresses one block into state[0..7]. W holds a complete 80-word message
// schedule and is only read.
void SHA512_transform(std::uint64_t state[8], const std::uint64_t W[80]);

// Hashes one full block. The first 128 bytes of W hold the block exactly as
// read from the file; afterwards all of W is scratch.
void SHA512_process(std::uint64_t state[8], std::uint64_t W[80]);

// Ends a message of `total` bytes. The first total % 128 bytes of W hold the
// last bytes of the message; whatever follows them is ignored. Pads, appends
// the 128-bit bit length and compresses once or twice: state then holds the
// digest.
void SHA512_finish(std::uint64_t state[8], std::uint64_t W[80], std::uint64_t total);

// Digest of the file at `path`, starting from `initial` (SHA512_initial or
// SHA384_initial). Returns 0 when state holds the digest of the whole file,
// 1 when the file cannot be opened or a read failed (state then holds
// `initial` or a partial result, never a digest to show).
int SHA512_digest(const char* path, std::uint64_t state[8], const std::uint64_t initial[8]);

// The driver of one program: SHA512_digest from the program's own initial
// value. hash512 links the SHA-512 one, hash384 the SHA-384 one.
int SHA512(const char* path, std::uint64_t state[8]);
