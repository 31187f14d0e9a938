// SHA-512 block engine and file digest driver, portable C++.
#include "sha512.h"

#include <cstddef>
#include <cstdio>

namespace {

using Word = std::uint64_t;
static_assert(sizeof(Word) == 8, "SHA-512 words are 64 bits");

// Round constants K0..K79: the first 64 bits of the fractional parts of the
// cube roots of the first 80 primes.
constexpr Word K[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

constexpr Word rotr(Word x, unsigned n) { return (x >> n) | (x << (64 - n)); }
constexpr Word big_sigma0(Word x) { return rotr(x, 28) ^ rotr(x, 34) ^ rotr(x, 39); }
constexpr Word big_sigma1(Word x) { return rotr(x, 14) ^ rotr(x, 18) ^ rotr(x, 41); }
constexpr Word small_sigma0(Word x) { return rotr(x, 1) ^ rotr(x, 8) ^ (x >> 7); }
constexpr Word small_sigma1(Word x) { return rotr(x, 19) ^ rotr(x, 61) ^ (x >> 6); }
constexpr Word ch(Word e, Word f, Word g) { return (e & f) | (~e & g); }
constexpr Word maj(Word a, Word b, Word c) { return (a & (b ^ c)) ^ (b & c); }

// The first `count` bytes at p (0..8) as the most significant bytes of a
// big-endian word; the bytes after them read as zero.
Word load_be(const unsigned char* p, unsigned count)
{
    Word x = 0;
    for (unsigned i = 0; i < count; ++i) {
        x |= Word{p[i]} << (56 - 8 * i);
    }
    return x;
}

// Replaces words 0..count-1 of W, which hold raw file bytes, by their
// big-endian values. Each word's bytes are read before the word is written.
void load_words(Word W[80], unsigned count)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(W);
    for (unsigned i = 0; i < count; ++i) {
        W[i] = load_be(bytes + 8 * i, 8);
    }
}

// Fills W[16..79] from the block words W[0..15].
void expand(Word W[80])
{
    for (unsigned t = 16; t < 80; ++t) {
        W[t] = small_sigma1(W[t - 2]) + W[t - 7] + small_sigma0(W[t - 15]) + W[t - 16];
    }
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

} // namespace

void SHA512_transform(std::uint64_t state[8], const std::uint64_t W[80])
{
    // Work on a copy of the state in eight variables.
    Word a = state[0], b = state[1], c = state[2], d = state[3];
    Word e = state[4], f = state[5], g = state[6], h = state[7];

    // 10 passes of 8 rounds; after 8 role shifts every variable is back in
    // its first role.
    for (unsigned t = 0; t < 80; t += 8) {
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
    state[0] += a; state[1] += b; state[2] += c; state[3] += d;
    state[4] += e; state[5] += f; state[6] += g; state[7] += h;
}

void SHA512_process(std::uint64_t state[8], std::uint64_t W[80])
{
    load_words(W, 16);
    expand(W);
    SHA512_transform(state, W);
}

void SHA512_finish(std::uint64_t state[8], std::uint64_t W[80], std::uint64_t total)
{
    // r valid bytes; word j takes the end marker after its `tail` data bytes.
    const auto r = static_cast<unsigned>(total % 128);
    const unsigned j = r / 8;
    const unsigned tail = r % 8;

    // Convert the whole data words, then build word j from its data bytes
    // alone, so stale bytes after the data never reach the digest, and set
    // the end marker bit right after them.
    load_words(W, j);
    const auto* bytes = reinterpret_cast<const unsigned char*>(W);
    W[j] = load_be(bytes + 8 * j, tail) | (Word{1} << (63 - 8 * tail));

    // When the length field no longer fits (r >= 112), this block is
    // compressed as it is and a block of zeros takes the length.
    if (j > 13) {
        for (unsigned i = j + 1; i < 16; ++i) {
            W[i] = 0;
        }
        expand(W);
        SHA512_transform(state, W);
        for (unsigned i = 0; i < 14; ++i) {
            W[i] = 0;
        }
    } else {
        for (unsigned i = j + 1; i < 14; ++i) {
            W[i] = 0;
        }
    }

    // The 128-bit message length in bits: the three bits that `total * 8`
    // loses go into W[14].
    W[14] = total >> 61;
    W[15] = total << 3;
    expand(W);
    SHA512_transform(state, W);
}

int SHA512_digest(const char* path, std::uint64_t state[8], const std::uint64_t initial[8])
{
    // The initial value goes in first, so a failed open leaves it there.
    for (unsigned i = 0; i < 8; ++i) {
        state[i] = initial[i];
    }
    if (path == nullptr) {
        return 1;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return 1;
    }

    // Full blocks go straight into W and through the engine; the first short
    // read holds the last bytes of the message.
    Word W[80];
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = std::fread(W, 1, 128, file);
        total += n;
        if (n != 128) {
            break;
        }
        SHA512_process(state, W);
    }
    SHA512_finish(state, W, total);

    // A read error also ended the loop above; the stream remembers it.
    const int failed = std::ferror(file) != 0 ? 1 : 0;
    std::fclose(file);
    return failed;
}
