// Picks the SHA-256 kernel for this CPU once, at start-up, and trusts a
// kernel only after it matched the portable one on a fixed block.
#include "sha256_kernels.h"

#include <cstring>

namespace {

// True when both entries of `kernel` give the portable kernel's state: one
// block as words, and the same block twice as bytes.
bool agrees_with_portable(SHA256_kernel kernel)
{
    std::uint32_t start[8];
    std::uint32_t block[16];
    unsigned char bytes[128];
    for (unsigned i = 0; i < 8; ++i) {
        start[i] = 0x01234567U * (i + 1);
    }
    for (unsigned i = 0; i < 16; ++i) {
        block[i] = 0x9e3779b9U * (i + 3);
    }
    for (unsigned i = 0; i < 64; ++i) {
        bytes[i] = bytes[64 + i] = static_cast<unsigned char>(block[i / 4] >> (24 - 8 * (i % 4)));
    }
    std::uint32_t expected[8];
    std::uint32_t actual[8];
    std::uint32_t W[64];
    std::memcpy(expected, start, sizeof start);
    std::memcpy(actual, start, sizeof start);
    std::memcpy(W, block, sizeof block);
    SHA256_compress_portable(expected, W);
    std::memcpy(W, block, sizeof block);
    kernel.words(actual, W);
    if (std::memcmp(expected, actual, sizeof expected) != 0) {
        return false;
    }
    std::memcpy(actual, start, sizeof start);
    std::memcpy(W, block, sizeof block);
    SHA256_compress_portable(expected, W);
    kernel.blocks(actual, bytes, 2);
    return std::memcmp(expected, actual, sizeof expected) == 0;
}

// The fastest kernel first.
SHA256_kernel pick()
{
    if (SHA256_shani_usable() && agrees_with_portable(SHA256_shani)) {
        return SHA256_shani;
    }
    return SHA256_portable;
}

// Set before main runs and never changed.
const SHA256_kernel chosen = pick();

} // namespace

SHA256_kernel SHA256_kernel_for_cpu()
{
    return chosen;
}
