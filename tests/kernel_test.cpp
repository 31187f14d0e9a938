// Every CPU-specific kernel against the portable one, block by block; a
// kernel this CPU cannot run is skipped, saying so. The driver tests run
// whole files through every kernel.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "sha256_kernels.h"
#include "sha512_kernels.h"
#include "support.h"

namespace {

// Random states and blocks, the same run after run; W's scratch words are
// filled with garbage, which no kernel may read before writing.
template <typename Word, unsigned Words, typename Kernel>
void compare_with_portable(Kernel kernel, Kernel portable)
{
    std::mt19937_64 random(42);
    for (int round = 0; round < 2000; ++round) {
        Word expected[8];
        Word actual[8];
        Word W[Words];
        Word copy[Words];
        for (auto& word : expected) {
            word = static_cast<Word>(random());
        }
        std::memcpy(actual, expected, sizeof actual);
        for (auto& word : W) {
            word = static_cast<Word>(random());
        }
        std::memcpy(copy, W, sizeof W);
        portable(expected, W);
        kernel(actual, copy);
        ASSERT_EQ(std::memcmp(expected, actual, sizeof expected), 0) << "block " << round;
    }
}

} // namespace

TEST(Kernels, Sha512BlocksMatchPortable)
{
    for (const auto& k : sha512_kernels()) {
        SCOPED_TRACE(k.name);
        if (!k.usable) {
            std::printf("skipped SHA-512 kernel %s: this CPU lacks its instructions\n", k.name);
            continue;
        }
        compare_with_portable<std::uint64_t, 80>(k.kernel, SHA512_compress_portable);
    }
}

TEST(Kernels, Sha256BlocksMatchPortable)
{
    for (const auto& k : sha256_kernels()) {
        SCOPED_TRACE(k.name);
        if (!k.usable) {
            std::printf("skipped SHA-256 kernel %s: this CPU lacks its instructions\n", k.name);
            continue;
        }
        compare_with_portable<std::uint32_t, 64>(k.kernel, SHA256_compress_portable);
    }
}

// The picked kernels are ones this CPU can run, and the fastest it has.
TEST(Kernels, PickedKernelIsTheBestUsable)
{
    const SHA512_kernel best512 = SHA512_avx512_usable() ? SHA512_compress_avx512
                                  : SHA512_avx2_usable() ? SHA512_compress_avx2
                                                         : SHA512_compress_portable;
    EXPECT_EQ(SHA512_kernel_for_cpu(), best512);
    EXPECT_EQ(SHA256_kernel_for_cpu(),
              SHA256_shani_usable() ? SHA256_compress_shani : SHA256_compress_portable);
}
