// SHA-256 compression against FIPS 180-2.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sha256.h"
#include "sha256_kernels.h"
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
    EXPECT_EQ(state_hex(state, 8),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}
