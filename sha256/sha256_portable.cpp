// The SHA-256 compression function and the portable kernel, in plain C++:
// the reference every other kernel is checked against, and the fallback.
#include "sha256.h"

#include "sha256_constants.h"
#include "sha256_kernels.h"

#include <cstddef>

namespace
{

using Word = std::uint32_t;
using sha256::K;
static_assert(sizeof(Word) == 4, "SHA-256 words are 32 bits");

constexpr Word rotr(Word x, unsigned n)
{
    return (x >> n) | (x << (32 - n));
}
constexpr Word big_sigma0(Word x)
{
    return rotr(x, 2) ^ rotr(x, 13) ^ rotr(x, 22);
}
constexpr Word big_sigma1(Word x)
{
    return rotr(x, 6) ^ rotr(x, 11) ^ rotr(x, 25);
}
constexpr Word small_sigma0(Word x)
{
    return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3);
}
constexpr Word small_sigma1(Word x)
{
    return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10);
}
constexpr Word ch(Word e, Word f, Word g)
{
    return (e & f) | (~e & g);
}
constexpr Word maj(Word a, Word b, Word c)
{
    return (a & (b ^ c)) ^ (b & c);
}

// One round with the working variables in the roles a..h. Only the variables
// playing d and h change; the next round shifts every role by one, so no
// value moves between variables.
inline void step(Word a, Word b, Word c, Word& d, Word e, Word f, Word g, Word& h, Word kw)
{
    const Word t1 = h + big_sigma1(e) + ch(e, f, g) + kw;
    const Word t2 = big_sigma0(a) + maj(a, b, c);
    d += t1;
    h = t1 + t2;
}

// The four bytes at p as a big-endian word; compilers make this a byte swap.
Word load_be32(const unsigned char* p)
{
    return (Word{p[0]} << 24) | (Word{p[1]} << 16) | (Word{p[2]} << 8) | Word{p[3]};
}

} // namespace

void SHA256_expand(std::uint32_t W[64])
{
    for (unsigned t = 16; t < 64; ++t) {
        W[t] = small_sigma1(W[t - 2]) + W[t - 7] + small_sigma0(W[t - 15]) + W[t - 16];
    }
}

void SHA256_transform(std::uint32_t state[8], const std::uint32_t W[64])
{
    // Work on a copy of the state in eight variables.
    Word a = state[0], b = state[1], c = state[2], d = state[3];
    Word e = state[4], f = state[5], g = state[6], h = state[7];

    // 8 passes of 8 rounds; after 8 role shifts every variable is back in
    // its first role.
    for (unsigned t = 0; t < 64; t += 8) {
        step(a, b, c, d, e, f, g, h, K[t + 0] + W[t + 0]);
        step(h, a, b, c, d, e, f, g, K[t + 1] + W[t + 1]);
        step(g, h, a, b, c, d, e, f, K[t + 2] + W[t + 2]);
        step(f, g, h, a, b, c, d, e, K[t + 3] + W[t + 3]);
        step(e, f, g, h, a, b, c, d, K[t + 4] + W[t + 4]);
        step(d, e, f, g, h, a, b, c, K[t + 5] + W[t + 5]);
        step(c, d, e, f, g, h, a, b, K[t + 6] + W[t + 6]);
        step(b, c, d, e, f, g, h, a, K[t + 7] + W[t + 7]);
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

void SHA256_blocks_portable(std::uint32_t state[8], const unsigned char* data, std::size_t count)
{
    // Each block: its words in byte order, the schedule, the rounds.
    Word W[64];
    for (std::size_t i = 0; i < count; ++i, data += 64) {
        for (unsigned w = 0; w < 16; ++w) {
            W[w] = load_be32(data + std::size_t{4} * w);
        }
        SHA256_expand(W);
        SHA256_transform(state, W);
    }
}
