// Picks the SHA-256 kernel for this CPU, and trusts a kernel only after it
// matched the portable one on a fixed block. The driver asks once per file;
// the check costs about a microsecond, and nothing is kept between calls.
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

} // namespace

SHA256_kernel SHA256_kernel_for_cpu()
{
    if (!SHA2HASH_PORTABLE_ONLY && SHA256_shani_usable()
        && agrees_with_portable(SHA256_compress_shani)) {
        return SHA256_compress_shani;
    }
    return SHA256_compress_portable;
}
