// The SHA-512 engine against libcrypto and published FIPS 180-2 vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sha512.h"
#include "sha512_kernels.h"
#include "support.h"

namespace
{

// Hashes `message` through SHA512_process/SHA512_finish, with the work buffer
// full of unrelated bytes beforehand, as a driver would.
std::string engine_hex(const std::vector<unsigned char>& message, const std::uint64_t* initial,
                       unsigned words)
{
    std::uint64_t state[8];
    std::memcpy(state, initial, sizeof state);
    std::uint64_t W[80];
    const auto stale = random_bytes(sizeof W, 99);
    std::memcpy(W, stale.data(), sizeof W);

    std::size_t done = 0;
    for (; message.size() - done >= 128; done += 128) {
        std::memcpy(W, message.data() + done, 128);
        SHA512_process(state, W);
    }
    if (done < message.size()) {
        std::memcpy(W, message.data() + done, message.size() - done);
    }
    SHA512_finish(state, W, message.size());
    return state_hex(state, words);
}

std::vector<unsigned char> bytes_of(const std::string& text)
{
    return {text.begin(), text.end()};
}

} // namespace

TEST(Sha512Engine, PublishedVectors)
{
    const std::string two_block = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                                  "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
    EXPECT_EQ(engine_hex({}, SHA512_initial, 8),
              "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
              "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
    EXPECT_EQ(engine_hex({}, SHA384_initial, 6),
              "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da"
              "274edebfe76f65fbd51ad2f14898b95b");
    EXPECT_EQ(engine_hex(bytes_of("abc"), SHA512_initial, 8),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    EXPECT_EQ(engine_hex(bytes_of(two_block), SHA512_initial, 8),
              "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
              "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909");
    EXPECT_EQ(engine_hex(bytes_of(two_block), SHA384_initial, 6),
              "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712"
              "fcc7c71a557e2db966c3e9fa91746039");
}

// Every last-block size 0..127 (one compression up to 111, two from 112,
// whole words and partial ones), after zero, one and two full blocks.
TEST(Sha512Engine, EveryLastBlockSizeMatchesLibcrypto)
{
    const auto data = random_bytes(std::size_t{3} * 128, 1);
    for (std::size_t size = 0; size < data.size(); ++size) {
        const std::vector<unsigned char> message(data.begin(),
                                                 data.begin() + static_cast<long>(size));
        ASSERT_EQ(engine_hex(message, SHA512_initial, 8),
                  oracle_hex("SHA512", message.data(), size))
            << "message of " << size << " bytes";
        ASSERT_EQ(engine_hex(message, SHA384_initial, 6),
                  oracle_hex("SHA384", message.data(), size))
            << "message of " << size << " bytes";
    }
}

// Stale bytes after the data in the last block must not reach the digest.
TEST(Sha512Engine, StaleBytesAfterTheDataAreIgnored)
{
    const auto tail = random_bytes(127, 2);
    for (std::uint64_t r : {1U, 8U, 13U, 111U, 112U, 127U}) {
        std::string first;
        for (const int fill : {0x00, 0xff, 0x80}) {
            std::uint64_t state[8];
            std::memcpy(state, SHA512_initial, sizeof state);
            std::uint64_t W[80];
            std::memset(W, fill, sizeof W);
            std::memcpy(W, tail.data(), r);
            SHA512_finish(state, W, r);
            const std::string digest = state_hex(state, 8);
            if (first.empty()) {
                first = digest;
            }
            EXPECT_EQ(digest, first) << r << " bytes, fill " << fill;
        }
        EXPECT_EQ(first, oracle_hex("SHA512", tail.data(), r));
    }
}

// The 128-bit length field for byte totals no file here can reach, from an
// arbitrary state: W[14] must carry the top three bits of the byte total.
TEST(Sha512Engine, LengthFieldOfHugeTotals)
{
    const auto words = random_bytes(64, 3);
    std::uint64_t start[8];
    std::memcpy(start, words.data(), sizeof start);
    const auto tail = random_bytes(127, 4);
    const std::uint64_t two61 = std::uint64_t{1} << 61;
    for (std::uint64_t total : {two61 - 1, two61, two61 + 111, two61 + 112, 3 * two61 + 5,
                                ~std::uint64_t{0}, (two61 - 128) + 40}) {
        std::uint64_t state[8];
        std::memcpy(state, start, sizeof state);
        std::uint64_t W[80];
        std::memcpy(W, tail.data(), tail.size());
        SHA512_finish(state, W, total);
        EXPECT_EQ(state_hex(state, 8), oracle_sha512_finish(start, tail.data(), total))
            << "byte total " << total;
    }
}
