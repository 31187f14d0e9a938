// Every kernel of each engine's table against the portable one, on runs of
// blocks at every alignment; a kernel this CPU cannot run is skipped, saying
// so. The driver tests run whole files through every kernel.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "sha256_kernels.h"
#include "sha512_kernels.h"
#include "support.h"

namespace
{

// Runs of 1 to 9 blocks at offsets 0 to 15, as one call and split in two
// calls that carry the state, against the portable kernel on the same bytes
// one block at a time, from random states.
template <typename Word, typename Kernel, std::size_t N>
void check_every_kernel(const Kernel (&table)[N], const Kernel& portable)
{
    constexpr std::size_t block = 16 * sizeof(Word);
    const auto data = random_bytes(10 * block + 16, 43);
    for (const Kernel& kernel : table) {
        SCOPED_TRACE(kernel.name);
        if (!kernel.usable()) {
            std::printf("skipped kernel %s: this CPU lacks its instructions\n", kernel.name);
            continue;
        }
        std::mt19937_64 random(44);
        for (std::size_t count = 1; count <= 9; ++count) {
            for (std::size_t offset = 0; offset < 16; ++offset) {
                const unsigned char* bytes = data.data() + offset;
                Word expected[8];
                for (auto& word : expected) {
                    word = static_cast<Word>(random());
                }
                Word whole[8];
                Word split[8];
                std::memcpy(whole, expected, sizeof expected);
                std::memcpy(split, expected, sizeof expected);
                for (std::size_t b = 0; b < count; ++b) {
                    portable.blocks(expected, bytes + b * block, 1);
                }
                kernel.blocks(whole, bytes, count);
                const std::size_t first = count / 2;
                kernel.blocks(split, bytes, first);
                kernel.blocks(split, bytes + first * block, count - first);
                ASSERT_EQ(std::memcmp(expected, whole, sizeof expected), 0)
                    << count << " blocks at +" << offset;
                ASSERT_EQ(std::memcmp(expected, split, sizeof expected), 0)
                    << count << " blocks at +" << offset << ", split";
            }
        }
    }
}

// The first kernel of a table that this CPU can run.
template <typename Kernel, std::size_t N> const Kernel& first_usable(const Kernel (&table)[N])
{
    for (const Kernel& kernel : table) {
        if (kernel.usable()) {
            return kernel;
        }
    }
    return table[N - 1];
}

constexpr Sha512Kernel portable512{"portable", SHA512_blocks_portable, SHA512_portable_usable};
constexpr Sha256Kernel portable256{"portable", SHA256_blocks_portable, SHA256_portable_usable};

} // namespace

TEST(Kernels, EveryKernelMatchesPortable)
{
    check_every_kernel<std::uint64_t>(SHA512_kernels, portable512);
    check_every_kernel<std::uint32_t>(SHA256_kernels, portable256);
}

// The picked kernels are the first in each table that this CPU can run.
TEST(Kernels, PickedKernelIsTheFirstUsable)
{
    EXPECT_EQ(&SHA512_kernel_for_cpu(), &first_usable(SHA512_kernels))
        << SHA512_kernel_for_cpu().name;
    EXPECT_EQ(&SHA256_kernel_for_cpu(), &first_usable(SHA256_kernels))
        << SHA256_kernel_for_cpu().name;
}
