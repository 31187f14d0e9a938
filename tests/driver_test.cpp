// The file drivers of both engines against libcrypto: files at every block
// and read-piece boundary through every kernel, and their failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "reader.h"
#include "sha256.h"
#include "sha256_kernels.h"
#include "sha512.h"
#include "sha512_kernels.h"
#include "support.h"

// Files at the block boundaries, at the edges of the driver's read piece (a
// short piece ends the input), and of its mapping (a file just too small to
// map, and one of two windows whose last bytes come from the stream), with
// every kernel this CPU can run and with the one SHA512_digest picks.
TEST(Sha512Driver, FilesOfBoundarySizesThroughEveryKernel)
{
    const TempDir dir;
    constexpr std::size_t piece = piece_size;
    const auto data = random_bytes(map_window + 2000, 5);
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{111}, std::size_t{112}, std::size_t{127},
          std::size_t{128}, std::size_t{129}, std::size_t{255}, std::size_t{256}, piece - 1, piece,
          piece + 1, piece + 111, piece + 112, 2 * piece, 2 * piece + 1000, map_window,
          map_window + 1999}) {
        const std::vector<unsigned char> bytes(data.begin(),
                                               data.begin() + static_cast<long>(size));
        const std::string path = dir.write("f" + std::to_string(size), bytes);
        const std::string want512 = oracle_hex("SHA512", bytes.data(), size);
        const std::string want384 = oracle_hex("SHA384", bytes.data(), size);
        std::uint64_t state[8];
        ASSERT_EQ(SHA512_digest(path.c_str(), state, SHA512_initial), 0);
        EXPECT_EQ(state_hex(state, 8), want512) << size << " bytes";
        for (const Sha512Kernel& kernel : SHA512_kernels) {
            if (kernel.usable()) {
                ASSERT_EQ(SHA512_digest_with(kernel, path.c_str(), state, SHA512_initial), 0);
                EXPECT_EQ(state_hex(state, 8), want512) << kernel.name << ", " << size << " bytes";
                ASSERT_EQ(SHA512_digest_with(kernel, path.c_str(), state, SHA384_initial), 0);
                EXPECT_EQ(state_hex(state, 6), want384) << kernel.name << ", " << size << " bytes";
            }
        }
    }
}

// A file that cannot be opened, a directory (a read error on Linux) and no
// path at all are failures; a failed open leaves the initial value.
TEST(Sha512Driver, FailuresAnswerOne)
{
    const TempDir dir;
    std::uint64_t state[8] = {};
    EXPECT_EQ(SHA512_digest((dir.path + "/missing").c_str(), state, SHA384_initial), 1);
    EXPECT_EQ(state_hex(state, 8), state_hex(SHA384_initial, 8));
    EXPECT_EQ(SHA512_digest(dir.path.c_str(), state, SHA512_initial), 1);
    EXPECT_EQ(SHA512_digest(nullptr, state, SHA512_initial), 1);
}

// Files around every boundary of the driver: the 64-byte block, the 56-byte
// threshold for a second final block, 4096 bytes (a page and a common read
// size), the reader's piece and the mapping's window. The random data leaves
// stale bytes in the read buffer before every last block. Every kernel this
// CPU can run goes through them.
TEST(Sha256Driver, FilesAroundEveryBoundaryThroughEveryKernel)
{
    const TempDir dir;
    constexpr std::size_t piece = piece_size;
    const auto data = random_bytes(map_window + 4096, 12);
    const std::size_t sizes[] = {0,
                                 1,
                                 3,
                                 55,
                                 56,
                                 57,
                                 63,
                                 64,
                                 65,
                                 119,
                                 120,
                                 128,
                                 4095,
                                 4096,
                                 4097,
                                 4151,
                                 4152,
                                 4159,
                                 4160,
                                 8191,
                                 8192,
                                 8193,
                                 8247,
                                 8248,
                                 12287,
                                 piece - 1,
                                 piece,
                                 piece + 1,
                                 piece + 55,
                                 piece + 56,
                                 map_window - 1,
                                 map_window + 4095};
    for (const std::size_t size : sizes) {
        const std::vector<unsigned char> bytes(data.begin(),
                                               data.begin() + static_cast<long>(size));
        const std::string path = dir.write("f" + std::to_string(size), bytes);
        const std::string want = oracle_hex("SHA256", bytes.data(), size);
        std::uint32_t state[8];
        ASSERT_EQ(SHA256(path.c_str(), state), 0);
        EXPECT_EQ(state_hex(state, 8), want) << size << " bytes";
        for (const Sha256Kernel& kernel : SHA256_kernels) {
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
