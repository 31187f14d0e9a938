// Picks the SHA-512 kernel for this CPU once, at start-up, and trusts a
// kernel only after it matched the portable one on a fixed block.
#include <cstring>

#include "sha512_kernels.h"

namespace {

// True when both entries of `kernel` give the portable kernel's state: one
// block as words, and the same block twice as bytes.
bool agrees_with_portable(SHA512_kernel kernel)
{
    std::uint64_t start[8];
    std::uint64_t block[16];
    unsigned char bytes[256];
    for (unsigned i = 0; i < 8; ++i) {
        start[i] = 0x0123456789abcdefU * (i + 1);
    }
    for (unsigned i = 0; i < 16; ++i) {
        block[i] = 0x9e3779b97f4a7c15U * (i + 3);
    }
    for (unsigned i = 0; i < 128; ++i) {
        bytes[i] = bytes[128 + i] = static_cast<unsigned char>(block[i / 8] >> (56 - 8 * (i % 8)));
    }
    std::uint64_t expected[8];
    std::uint64_t actual[8];
    std::uint64_t W[80];
    std::memcpy(expected, start, sizeof start);
    std::memcpy(actual, start, sizeof start);
    std::memcpy(W, block, sizeof block);
    SHA512_compress_portable(expected, W);
    std::memcpy(W, block, sizeof block);
    kernel.words(actual, W);
    if (std::memcmp(expected, actual, sizeof expected) != 0) {
        return false;
    }
    std::memcpy(actual, start, sizeof start);
    std::memcpy(W, block, sizeof block);
    SHA512_compress_portable(expected, W);
    kernel.blocks(actual, bytes, 2);
    return std::memcmp(expected, actual, sizeof expected) == 0;
}

struct Candidate {
    SHA512_kernel kernel;
    bool (*usable)();
};

// The fastest kernel first. With 64-bit general registers the rounds run
// fastest there, beside a vector schedule; on 32-bit x86 they run fastest
// in vector registers.
#if defined(__i386__)
constexpr Candidate candidates[] = {
    {SHA512_vector_avx512, SHA512_vector_avx512_usable},
    {SHA512_vector_ssse3, SHA512_vector_ssse3_usable},
};
#else
constexpr Candidate candidates[] = {
    {SHA512_avx512, SHA512_avx512_usable},
    {SHA512_avx2, SHA512_avx2_usable},
    {SHA512_vector_ssse3, SHA512_vector_ssse3_usable},
};
#endif

SHA512_kernel pick()
{
    for (const Candidate& candidate : candidates) {
        if (candidate.usable() && agrees_with_portable(candidate.kernel)) {
            return candidate.kernel;
        }
    }
    return SHA512_portable;
}

// Set before main runs and never changed: every block of the run goes
// through the same kernel, with no test on the way.
const SHA512_kernel chosen = pick();

} // namespace

SHA512_kernel SHA512_kernel_for_cpu()
{
    return chosen;
}
