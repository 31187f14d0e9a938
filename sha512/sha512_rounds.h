// Round functions and constants of SHA-512, shared by the portable engine
// and the CPU-specific kernels. Internal to the engine.
#pragma once

#include <cstdint>
#include <type_traits>

#include "sha512.h"

namespace sha512
{

using Word = std::uint64_t;
static_assert(sizeof(Word) == 8, "SHA-512 words are 64 bits");

// Round constants K0..K79: the first 64 bits of the fractional parts of the
// cube roots of the first 80 primes.
inline constexpr Word K[80] = {
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

// Two 64-bit words in one 128-bit vector register, with the compiler's
// vector arithmetic (+, ^, &, shifts lane by lane). The kernels that keep the
// working variables in vector registers use lane 0 only: on 32-bit x86 that
// gives 64-bit adds and shifts in one instruction each.
using Lanes = Word __attribute__((vector_size(16)));

// The round functions, for a word or for each lane of a vector.
template <typename T> [[gnu::always_inline]] constexpr T rotr(T x, unsigned n)
{
    return (x >> n) | (x << (64 - n));
}
template <typename T> [[gnu::always_inline]] constexpr T big_sigma0(T x)
{
    return rotr(x, 28) ^ rotr(x, 34) ^ rotr(x, 39);
}
template <typename T> [[gnu::always_inline]] constexpr T big_sigma1(T x)
{
    return rotr(x, 14) ^ rotr(x, 18) ^ rotr(x, 41);
}
template <typename T> [[gnu::always_inline]] constexpr T small_sigma0(T x)
{
    return rotr(x, 1) ^ rotr(x, 8) ^ (x >> 7);
}
template <typename T> [[gnu::always_inline]] constexpr T small_sigma1(T x)
{
    return rotr(x, 19) ^ rotr(x, 61) ^ (x >> 6);
}
constexpr Word ch(Word e, Word f, Word g)
{
    return (e & f) | (~e & g);
}
constexpr Word maj(Word a, Word b, Word c)
{
    return (a & (b ^ c)) ^ (b & c);
}

// A word as the working-variable type T (in lane 0 of a vector), and back.
template <typename T> [[gnu::always_inline]] inline T as(Word x)
{
    return T{x};
}
[[gnu::always_inline]] inline Word word_of(Word x)
{
    return x;
}
[[gnu::always_inline]] inline Word word_of(Lanes x)
{
    return x[0];
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

// Eight rounds, t..t+7 of one pass, from kw[i] = K[t+i] + W[t+i]. The roles
// shift by one each round and are back where they started after eight.
inline void eight_rounds(Word& a, Word& b, Word& c, Word& d, Word& e, Word& f, Word& g, Word& h,
                         const Word kw[8])
{
    step(a, b, c, d, e, f, g, h, kw[0]);
    step(h, a, b, c, d, e, f, g, kw[1]);
    step(g, h, a, b, c, d, e, f, kw[2]);
    step(f, g, h, a, b, c, d, e, kw[3]);
    step(e, f, g, h, a, b, c, d, kw[4]);
    step(d, e, f, g, h, a, b, c, kw[5]);
    step(c, d, e, f, g, h, a, b, kw[6]);
    step(b, c, d, e, f, g, h, a, kw[7]);
}

// The same round as step(), arranged for the kernels: fewer operations and
// a shorter chain of dependent ones. The sums that do not wait for this
// round's e or a are formed first. Maj is taken as ((a ^ b) & (b ^ c)) ^ b,
// where b ^ c, carried in `bc`, is the previous round's a ^ b (the roles
// shift by one each round); this round's a ^ b is left in `bc` for the next.
template <typename T>
[[gnu::always_inline]] inline void step_fast(T a, T b, T& d, T e, T f, T g, T& h, T kw, T& bc)
{
    const T hk = h + kw;
    const T choice = ((f ^ g) & e) ^ g;
    const T ab = a ^ b;
    const T majority = (ab & bc) ^ b;
    bc = ab;
    if constexpr (std::is_same_v<T, Lanes>) {
        // In vector registers, one more add buys a shorter chain to the
        // next e: d + h + K + W is formed while Sigma1(e) is.
        const T dhk = d + hk;
        const T s1 = big_sigma1(e);
        d = (dhk + choice) + s1;
        h = (((hk + choice) + s1) + majority) + big_sigma0(a);
    } else {
        const T t1 = (hk + choice) + big_sigma1(e);
        d += t1;
        h = (t1 + majority) + big_sigma0(a);
    }
}

// The rounds of a vector kernel: kw[0..15] hold K + W for the block's own
// words, and each pass has `schedule` compute W and K + W for the pass after
// next, `words_per_call` words a call, so that the schedule's work overlaps
// the rounds'. The working variables are of type T: Word for scalar
// rounds, Lanes for rounds in vector registers.
template <void (*schedule)(Word W[80], Word kw[80], unsigned t), unsigned words_per_call,
          typename T = Word>
[[gnu::always_inline]] inline void rounds_scheduling_ahead(Word state[8], Word W[80], Word kw[80])
{
    T a = as<T>(state[0]), b = as<T>(state[1]), c = as<T>(state[2]), d = as<T>(state[3]);
    T e = as<T>(state[4]), f = as<T>(state[5]), g = as<T>(state[6]), h = as<T>(state[7]);
    T bc = b ^ c;
    for (unsigned t = 0; t < 80; t += 8) {
        if (t + 16 < 80) {
            for (unsigned u = t + 16; u < t + 24; u += words_per_call) {
                schedule(W, kw, u);
            }
        }
        step_fast(a, b, d, e, f, g, h, as<T>(kw[t + 0]), bc);
        step_fast(h, a, c, d, e, f, g, as<T>(kw[t + 1]), bc);
        step_fast(g, h, b, c, d, e, f, as<T>(kw[t + 2]), bc);
        step_fast(f, g, a, b, c, d, e, as<T>(kw[t + 3]), bc);
        step_fast(e, f, h, a, b, c, d, as<T>(kw[t + 4]), bc);
        step_fast(d, e, g, h, a, b, c, as<T>(kw[t + 5]), bc);
        step_fast(c, d, f, g, h, a, b, as<T>(kw[t + 6]), bc);
        step_fast(b, c, e, f, g, h, a, as<T>(kw[t + 7]), bc);
    }
    state[0] += word_of(a);
    state[1] += word_of(b);
    state[2] += word_of(c);
    state[3] += word_of(d);
    state[4] += word_of(e);
    state[5] += word_of(f);
    state[6] += word_of(g);
    state[7] += word_of(h);
}

} // namespace sha512
