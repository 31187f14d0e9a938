// Picks the SHA-512 kernel for this CPU once, at start-up, and trusts a
// kernel only after it matched the portable one on a fixed block.
#include <cstring>

#include "sha512_kernels.h"

namespace {

// True when `kernel` gives the portable kernel's state on a fixed block.
bool agrees_with_portable(SHA512_kernel kernel)
{
    std::uint64_t expected[8];
    std::uint64_t actual[8];
    std::uint64_t W[80];
    for (unsigned i = 0; i < 8; ++i) {
        expected[i] = actual[i] = 0x0123456789abcdefU * (i + 1);
    }
    for (unsigned i = 0; i < 16; ++i) {
        W[i] = 0x9e3779b97f4a7c15U * (i + 3);
    }
    std::uint64_t copy[80];
    std::memcpy(copy, W, sizeof W);
    SHA512_compress_portable(expected, W);
    kernel(actual, copy);
    return std::memcmp(expected, actual, sizeof expected) == 0;
}

// The fastest kernel first.
SHA512_kernel pick()
{
    if (SHA512_avx512_usable() && agrees_with_portable(SHA512_compress_avx512)) {
        return SHA512_compress_avx512;
    }
    if (SHA512_avx2_usable() && agrees_with_portable(SHA512_compress_avx2)) {
        return SHA512_compress_avx2;
    }
    return SHA512_compress_portable;
}

// Set before main runs and never changed: every block of the run goes
// through the same kernel, with no test on the way.
const SHA512_kernel chosen = pick();

} // namespace

SHA512_kernel SHA512_kernel_for_cpu()
{
    return chosen;
}
