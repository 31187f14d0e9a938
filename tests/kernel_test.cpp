// Every CPU-specific kernel against the portable one, block by block and in
// runs of blocks; a kernel this CPU cannot run is skipped, saying so. The
// driver tests run whole files through every kernel.
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
void compare_words_with_portable(Kernel kernel, Kernel portable)
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
        portable.words(expected, W);
        kernel.words(actual, copy);
        ASSERT_EQ(std::memcmp(expected, actual, sizeof expected), 0) << "block " << round;
    }
}

// Runs of 1 to 9 blocks at every alignment, as one call and split in two
// calls that carry the state, against the portable kernel one block at a
// time from words it converted here.
template <typename Word, unsigned Words, typename Kernel>
void compare_blocks_with_portable(Kernel kernel, Kernel portable)
{
    constexpr std::size_t block = 16 * sizeof(Word);
    const auto data = random_bytes(10 * block + 16, 43);
    std::mt19937_64 random(44);
    for (std::size_t count = 1; count <= 9; ++count) {
        for (std::size_t offset = 0; offset < 16; ++offset) {
            const unsigned char* bytes = data.data() + offset;
            Word start[8];
            for (auto& word : start) {
                word = static_cast<Word>(random());
            }
            Word expected[8];
            std::memcpy(expected, start, sizeof start);
            for (std::size_t b = 0; b < count; ++b) {
                Word W[Words];
                for (unsigned w = 0; w < 16; ++w) {
                    Word value = 0;
                    for (unsigned i = 0; i < sizeof(Word); ++i) {
                        value = static_cast<Word>((value << 8) | bytes[b * block + w * sizeof(Word) + i]);
                    }
                    W[w] = value;
                }
                portable.words(expected, W);
            }
            Word whole[8];
            Word split[8];
            std::memcpy(whole, start, sizeof start);
            std::memcpy(split, start, sizeof start);
            kernel.blocks(whole, bytes, count);
            const std::size_t first = count / 2;
            kernel.blocks(split, bytes, first);
            kernel.blocks(split, bytes + first * block, count - first);
            ASSERT_EQ(std::memcmp(expected, whole, sizeof expected), 0) << count << " blocks at +" << offset;
            ASSERT_EQ(std::memcmp(expected, split, sizeof expected), 0) << count << " blocks at +" << offset << ", split";
        }
    }
}

template <typename Word, unsigned Words, typename Kernel>
void check_every_kernel(const std::vector<KernelCase<Kernel>>& kernels, Kernel portable)
{
    for (const auto& k : kernels) {
        SCOPED_TRACE(k.name);
        if (!k.usable) {
            std::printf("skipped kernel %s: this CPU lacks its instructions\n", k.name);
            continue;
        }
        compare_words_with_portable<Word, Words>(k.kernel, portable);
        compare_blocks_with_portable<Word, Words>(k.kernel, portable);
    }
}

} // namespace

TEST(Kernels, Sha512MatchPortable)
{
    check_every_kernel<std::uint64_t, 80>(sha512_kernels(), SHA512_portable);
}

TEST(Kernels, Sha256MatchPortable)
{
    check_every_kernel<std::uint32_t, 64>(sha256_kernels(), SHA256_portable);
}

// The picked kernels are ones this CPU can run, and the fastest it has.
TEST(Kernels, PickedKernelIsTheBestUsable)
{
#if defined(__i386__)
    const SHA512_kernel best512 = SHA512_vector_avx512_usable() ? SHA512_vector_avx512
                                  : SHA512_vector_ssse3_usable() ? SHA512_vector_ssse3
                                                                 : SHA512_portable;
#else
    const SHA512_kernel best512 = SHA512_avx512_usable()          ? SHA512_avx512
                                  : SHA512_avx2_usable()          ? SHA512_avx2
                                  : SHA512_vector_ssse3_usable() ? SHA512_vector_ssse3
                                                                  : SHA512_portable;
#endif
    EXPECT_EQ(SHA512_kernel_for_cpu().words, best512.words);
    EXPECT_EQ(SHA512_kernel_for_cpu().blocks, best512.blocks);
    const SHA256_kernel best256 = SHA256_shani_usable() ? SHA256_shani : SHA256_portable;
    EXPECT_EQ(SHA256_kernel_for_cpu().words, best256.words);
    EXPECT_EQ(SHA256_kernel_for_cpu().blocks, best256.blocks);
}
