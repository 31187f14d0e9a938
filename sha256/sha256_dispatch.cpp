// Picks the SHA-256 kernel for this CPU once, at start-up, and trusts a
// kernel only after it matched the portable one on a fixed block.
#include "sha256_kernels.h"

#include <cstring>

namespace {

// True when `kernel` gives the portable kernel's state on a fixed block.
bool agrees_with_portable(SHA256_kernel kernel)
{
    std::uint32_t expected[8];
    std::uint32_t actual[8];
    std::uint32_t W[64];
    for (unsigned i = 0; i < 8; ++i) {
        expected[i] = actual[i] = 0x01234567U * (i + 1);
    }
    for (unsigned i = 0; i < 16; ++i) {
        W[i] = 0x9e3779b9U * (i + 3);
    }
    std::uint32_t copy[64];
    std::memcpy(copy, W, sizeof W);
    SHA256_compress_portable(expected, W);
    kernel(actual, copy);
    return std::memcmp(expected, actual, sizeof expected) == 0;
}

// The fastest kernel first.
SHA256_kernel pick()
{
    if (SHA256_shani_usable() && agrees_with_portable(SHA256_compress_shani)) {
        return SHA256_compress_shani;
    }
    return SHA256_compress_portable;
}

// Set before main runs and never changed.
const SHA256_kernel chosen = pick();

} // namespace

SHA256_kernel SHA256_kernel_for_cpu()
{
    return chosen;
}
