// What the SHA-512 kernels with two working variables a vector register
// share (sha512_vector_avx2.cpp, sha512_vector_avx512.cpp): the variables
// held as (a, e), (b, f), (c, g) and (d, h), the first of each pair in the
// low 64-bit lane, for 32-bit x86, which has no 64-bit general registers
// and only eight vector registers: the four pairs and a round's few
// temporaries fit in them, where one variable a register would not. Each
// round works on both halves at once: Sigma0(a) beside Sigma1(e), Maj(a, b,
// c) beside Ch(e, f, g), then the sums, T1 moved into the low lane by an
// unpack. Each kernel gives those first two steps and a masked add in its
// own instructions (`Ops`). The message schedule is two words a vector, two
// passes ahead of the rounds (sha512_vector.h); the state stays in the pairs
// for a whole run of blocks. Internal to the engine; x86 only.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "sha512_rounds.h"
#include "sha512_vector.h"

namespace sha512
{

// A vector of two words, `first` in the low lane.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m128i pair(Word first, Word second)
{
    return _mm_set_epi64x(static_cast<long long>(second), static_cast<long long>(first));
}

// One round. On entry ae, bf, cg and dh hold (a, e), (b, f), (c, g) and
// (d, h); on return dh holds the new (a, e), and the caller shifts the
// roles by one pair: the old (a, e) becomes (b, f), and so on.
template <typename Ops>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
paired_round(__m128i ae, __m128i bf, __m128i cg, __m128i& dh, const Word* kw)
{
    // (T2, T1): T2 = Sigma0(a) + Maj(a, b, c), T1 = Sigma1(e) + Ch(e, f, g)
    // + h + K + W.
    const __m128i sigmas = Ops::sigmas(ae);
    const __m128i logic = Ops::logic(ae, bf, cg);
    const __m128i hk = _mm_add_epi64(dh, _mm_set1_epi64x(static_cast<long long>(*kw)));
    const __m128i t = Ops::add_high(_mm_add_epi64(sigmas, logic), hk);
    // New a = T1 + T2, new e = d + T1.
    dh = _mm_add_epi64(_mm_unpacklo_epi64(t, dh), _mm_unpackhi_epi64(t, t));
}

// Rounds t..t+3 from kw, and before them, when `schedule`, words t+16..t+19
// and their K + W. Four rounds bring the roles back to where they were.
template <typename Ops, bool schedule>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
four_paired_rounds(__m128i& ae, __m128i& bf, __m128i& cg, __m128i& dh, Word W[80], Word kw[80],
                   unsigned t)
{
    if (schedule) {
        schedule_pair(W, kw, t + 16);
        schedule_pair(W, kw, t + 18);
    }
    paired_round<Ops>(ae, bf, cg, dh, kw + t);
    paired_round<Ops>(dh, ae, bf, cg, kw + t + 1);
    paired_round<Ops>(cg, dh, ae, bf, kw + t + 2);
    paired_round<Ops>(bf, cg, dh, ae, kw + t + 3);
}

// A kernel's blocks entry, from its round operations.
template <typename Ops>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
blocks_paired(Word state[8], const unsigned char* data, std::size_t count)
{
    alignas(16) Word W[80];
    alignas(16) Word kw[80];
    __m128i ae = pair(state[0], state[4]);
    __m128i bf = pair(state[1], state[5]);
    __m128i cg = pair(state[2], state[6]);
    __m128i dh = pair(state[3], state[7]);
    // Each 64-bit word's bytes reversed: big-endian words as numbers.
    const __m128i byte_swap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    for (; count != 0; --count, data += 128) {
        // W[0..15] and K + W for them.
        for (unsigned t = 0; t < 16; t += 2) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + std::size_t{8} * t));
            const __m128i w = _mm_shuffle_epi8(bytes, byte_swap);
            _mm_store_si128(reinterpret_cast<__m128i*>(W + t), w);
            const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(K + t));
            _mm_store_si128(reinterpret_cast<__m128i*>(kw + t), _mm_add_epi64(w, k));
        }
        const __m128i ae0 = ae, bf0 = bf, cg0 = cg, dh0 = dh;
        for (unsigned t = 0; t < 64; t += 4) {
            four_paired_rounds<Ops, true>(ae, bf, cg, dh, W, kw, t);
        }
        for (unsigned t = 64; t < 80; t += 4) {
            four_paired_rounds<Ops, false>(ae, bf, cg, dh, W, kw, t);
        }
        ae = _mm_add_epi64(ae, ae0);
        bf = _mm_add_epi64(bf, bf0);
        cg = _mm_add_epi64(cg, cg0);
        dh = _mm_add_epi64(dh, dh0);
    }
    // Back to a..h.
    alignas(16) Word words[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(words), _mm_unpacklo_epi64(ae, bf));
    _mm_store_si128(reinterpret_cast<__m128i*>(words + 2), _mm_unpacklo_epi64(cg, dh));
    _mm_store_si128(reinterpret_cast<__m128i*>(words + 4), _mm_unpackhi_epi64(ae, bf));
    _mm_store_si128(reinterpret_cast<__m128i*>(words + 6), _mm_unpackhi_epi64(cg, dh));
    std::memcpy(state, words, sizeof words);
}

} // namespace sha512
