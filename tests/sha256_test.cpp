// SHA-256 compression and driver against libcrypto and FIPS 180-2.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sha256.h"
#include "sha256_kernels.h"
#include "reader.h"
#include "support.h"

// "abc" padded by hand to one block, compressed once from the initial value.
TEST(Sha256Engine, OneBlockAbc)
{
    std::uint32_t W[64] = {0x61626380};
    W[15] = 24;
    SHA256_expand(W);
    std::uint32_t state[8];
    std::memcpy(state, SHA256_initial, sizeof state);
    SHA256_transform(state, W);
    EXPECT_EQ(state_hex(state, 8), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Files around every boundary of the driver: the 64-byte block, the 56-byte
// threshold for a second final block, 4096 bytes (a page and a common read
// size), and the reader's piece. The random data leaves stale bytes in the
// read buffer before every last block. Every kernel this CPU can run goes
// through them.
TEST(Sha256Driver, FilesAroundEveryBoundaryThroughEveryKernel)
{
    const TempDir dir;
    constexpr std::size_t piece = piece_size;
    const auto data = random_bytes(piece + 4096, 12);
    const std::size_t sizes[] = {0,    1,    3,    55,   56,   57,   63,   64,        65,        119,
                                 120,  128,  4095, 4096, 4097, 4151, 4152, 4159,      4160,      8191,
                                 8192, 8193, 8247, 8248, 12287, piece - 1, piece, piece + 1, piece + 55, piece + 56};
    for (const std::size_t size : sizes) {
        const std::vector<unsigned char> bytes(data.begin(), data.begin() + static_cast<long>(size));
        const std::string path = dir.write("f" + std::to_string(size), bytes);
        const std::string want = oracle_hex("SHA256", bytes.data(), size);
        std::uint32_t state[8];
        ASSERT_EQ(SHA256(path.c_str(), state), 0);
        EXPECT_EQ(state_hex(state, 8), want) << size << " bytes";
        for (const SHA256_kernel& kernel : SHA256_kernels) {
            if (kernel.usable()) {
                ASSERT_EQ(SHA256_digest_with(kernel, path.c_str(), state), 0);
                EXPECT_EQ(state_hex(state, 8), want) << kernel.name << ", " << size << " bytes";
            }
        }
    }
}

// A missing file leaves the initial value; a directory is a read error on
// Linux; no path at all is a failure too.
TEST(Sha256Driver, FailuresAnswerOne)
{
    const TempDir dir;
    std::uint32_t state[8] = {};
    EXPECT_EQ(SHA256((dir.path + "/missing").c_str(), state), 1);
    EXPECT_EQ(state_hex(state, 8), state_hex(SHA256_initial, 8));
    EXPECT_EQ(SHA256(dir.path.c_str(), state), 1);
    EXPECT_EQ(SHA256(nullptr, state), 1);
}
