// The SHA-512 compression function and the portable kernel, in plain C++:
// the reference every other kernel is checked against, and the fallback.
#include "sha512.h"
#include "sha512_kernels.h"
#include "sha512_rounds.h"

#include <cstddef>

using sha512::Word;

namespace
{

// The eight bytes at p as a big-endian word; compilers make this one
// byte-swapping load.
Word load_be64(const unsigned char* p)
{
    return (Word{p[0]} << 56) | (Word{p[1]} << 48) | (Word{p[2]} << 40) | (Word{p[3]} << 32)
           | (Word{p[4]} << 24) | (Word{p[5]} << 16) | (Word{p[6]} << 8) | Word{p[7]};
}

// Fills W[16..79] from the block words W[0..15].
void expand(Word W[80])
{
    for (unsigned t = 16; t < 80; ++t) {
        W[t] =
            sha512::small_sigma1(W[t - 2]) + W[t - 7] + sha512::small_sigma0(W[t - 15]) + W[t - 16];
    }
}

} // namespace

void SHA512_transform(std::uint64_t state[8], const std::uint64_t W[80])
{
    // Work on a copy of the state in eight variables.
    Word a = state[0], b = state[1], c = state[2], d = state[3];
    Word e = state[4], f = state[5], g = state[6], h = state[7];

    // 10 passes of 8 rounds.
    for (unsigned t = 0; t < 80; t += 8) {
        Word kw[8];
        for (unsigned i = 0; i < 8; ++i) {
            kw[i] = sha512::K[t + i] + W[t + i];
        }
        sha512::eight_rounds(a, b, c, d, e, f, g, h, kw);
    }

    // Add the working variables back into the chaining words.
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

void SHA512_blocks_portable(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    // Each block: its words in byte order, the schedule, the rounds.
    Word W[80];
    for (std::size_t i = 0; i < count; ++i, data += 128) {
        for (unsigned w = 0; w < 16; ++w) {
            W[w] = load_be64(data + std::size_t{8} * w);
        }
        expand(W);
        SHA512_transform(state, W);
    }
}
