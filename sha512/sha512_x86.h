// What the SHA-512 kernels whose message schedule runs in AVX2-class
// vectors beside scalar rounds (sha512_avx2.cpp, sha512_avx512.cpp) share:
// loading blocks, K + W, the layout of two blocks scheduled at once, and the
// schedule itself. Each kernel gives its own sigma functions. Internal to
// the engine; x86 only.
#pragma once

#include <immintrin.h>

#include <cstddef>

#include "sha512_rounds.h"

namespace sha512
{

[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m128i load(const Word* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

[[gnu::always_inline]] inline __attribute__((target("avx2"))) void store(Word* p, __m128i x)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}

// K + W for the block's own words W[0..15].
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void first_sums(const Word W[80],
                                                                              Word kw[80])
{
    for (unsigned t = 0; t < 16; t += 2) {
        store(kw + t, _mm_add_epi64(load(W + t), load(K + t)));
    }
}

// Each 64-bit word's bytes reversed: big-endian words as numbers.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m128i byte_swap_mask()
{
    return _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
}

// W[0..15] from a block's bytes.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
load_block(const unsigned char* data, Word W[80])
{
    for (std::size_t t = 0; t < 16; t += 2) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 8 * t));
        store(W + t, _mm_shuffle_epi8(bytes, byte_swap_mask()));
    }
}

// Two blocks at once: 256-bit vectors hold words t and t+1 of block A in
// their low 128 bits and of block B in their high 128 bits, so one vector
// operation schedules both. W2[2t..2t+3] = {A[t], A[t+1], B[t], B[t+1]} for
// even t; kw2[0..79] is K + W of block A, kw2[80..159] of block B.
inline constexpr std::size_t block_b = 80;

// Words t and t+1 of both blocks (t even).
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m256i load_pair(const Word W2[160],
                                                                                std::size_t t)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(W2 + 2 * t));
}

// Words t and t+1 of both blocks for odd t: the high word of one pair and
// the low word of the next, in each half.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m256i
load_odd_pair(const Word W2[160], std::size_t t)
{
    return _mm256_alignr_epi8(load_pair(W2, t + 1), load_pair(W2, t - 1), 8);
}

// Stores words t and t+1 of both blocks, and K + W for them.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
store_pair(Word W2[160], Word kw2[160], std::size_t t, __m256i w)
{
    _mm256_store_si256(reinterpret_cast<__m256i*>(W2 + 2 * t), w);
    const __m256i sum = _mm256_add_epi64(w, _mm256_broadcastsi128_si256(load(K + t)));
    store(kw2 + t, _mm256_castsi256_si128(sum));
    store(kw2 + block_b + t, _mm256_extracti128_si256(sum, 1));
}

// W2 and kw2 for words 0..15 of the blocks at a and b.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
load_two_blocks(const unsigned char* a, const unsigned char* b, Word W2[160], Word kw2[160])
{
    const __m256i byte_swap = _mm256_broadcastsi128_si256(byte_swap_mask());
    for (std::size_t t = 0; t < 16; t += 2) {
        const __m256i bytes = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * t))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * t)), 1);
        store_pair(W2, kw2, t, _mm256_shuffle_epi8(bytes, byte_swap));
    }
}

// The message schedule from a kernel's sigma functions: Sigmas::small0 and
// Sigmas::small1 on 128-bit vectors (two words of one block) and on 256-bit
// ones (two words of each of two blocks). Words t and t+1 (t even, 16..78)
// of one block, and K + W for them in kw.
template <typename Sigmas>
__attribute__((target("avx2"))) void schedule_pair(Word W[80], Word kw[80], unsigned t)
{
    const __m128i w =
        _mm_add_epi64(_mm_add_epi64(Sigmas::small1(load(W + t - 2)), load(W + t - 7)),
                      _mm_add_epi64(Sigmas::small0(load(W + t - 15)), load(W + t - 16)));
    store(W + t, w);
    store(kw + t, _mm_add_epi64(w, load(K + t)));
}

// The same for two blocks at once.
template <typename Sigmas>
__attribute__((target("avx2"))) void schedule_two(Word W2[160], Word kw2[160], unsigned t)
{
    const std::size_t u = t;
    const __m256i w = _mm256_add_epi64(
        _mm256_add_epi64(Sigmas::small1(load_pair(W2, u - 2)), load_odd_pair(W2, u - 7)),
        _mm256_add_epi64(Sigmas::small0(load_odd_pair(W2, u - 15)), load_pair(W2, u - 16)));
    store_pair(W2, kw2, u, w);
}

// Block B's schedule was made with block A's: nothing is left to compute.
inline void scheduled_already(Word* /*W*/, Word* /*kw*/, unsigned /*t*/) {}

using Schedule = void (*)(Word W[80], Word kw[80], unsigned t);

// A kernel's blocks entry, with its schedule of one block (`one`) and of two
// at once (`two`): pairs of blocks share one schedule computation, and block
// B's rounds then run with nothing else to do.
template <Schedule one, Schedule two>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
blocks_in_pairs(Word state[8], const unsigned char* data, std::size_t count)
{
    alignas(32) Word W2[160];
    alignas(32) Word kw2[160];
    for (; count >= 2; count -= 2, data += 256) {
        load_two_blocks(data, data + 128, W2, kw2);
        rounds_scheduling_ahead<two, 2>(state, W2, kw2);
        rounds_scheduling_ahead<scheduled_already, 8>(state, W2, kw2 + block_b);
    }
    if (count != 0) {
        alignas(16) Word W[80];
        alignas(16) Word kw[80];
        load_block(data, W);
        first_sums(W, kw);
        rounds_scheduling_ahead<one, 2>(state, W, kw);
    }
}

} // namespace sha512
