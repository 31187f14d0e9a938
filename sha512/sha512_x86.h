// What the SHA-512 kernels whose message schedule runs in AVX2-class
// vectors beside scalar rounds (sha512_avx2.cpp, sha512_avx512.cpp) share:
// loading blocks, K + W, and the rounds with the schedule woven into them.
// Each kernel gives its own sigma functions. Internal to the engine; x86
// only.
//
// Blocks go two at a time, a pair: a 256-bit vector holds words t and t+1
// of the first block (A) in its low half and of the second (B) in its high
// half, so one vector operation schedules both. While the 160 rounds of one
// pair run, the schedule of the next pair is computed, a piece every four
// rounds, so that the vector work spreads evenly over the scalar rounds.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <utility>

#include "sha512_rounds.h"

namespace sha512
{

// K + W of a pair: kw2[0..79] for block A, kw2[80..159] for block B.
inline constexpr std::size_t block_b = 80;

// The last sixteen scheduled words of both blocks, pairs of words (t, t+1)
// for even t, each pair at window[(t / 2) % 8].
using Window = __m256i[8];

// Each 64-bit word's bytes reversed: big-endian words as numbers.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m256i byte_swap_mask()
{
    return _mm256_broadcastsi128_si256(
        _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
}

// Words t and t+1 of the blocks at a and b, as numbers.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m256i
load_words(const unsigned char* a, const unsigned char* b, std::size_t t)
{
    const __m256i bytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * t))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * t)), 1);
    return _mm256_shuffle_epi8(bytes, byte_swap_mask());
}

// K + W for words t and t+1 of both blocks, from those words.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
store_sums(Word kw2[160], std::size_t t, __m256i w)
{
    const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(K + t));
    const __m256i sum = _mm256_add_epi64(w, _mm256_broadcastsi128_si256(k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(kw2 + t), _mm256_castsi256_si128(sum));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(kw2 + block_b + t),
                     _mm256_extracti128_si256(sum, 1));
}

// Words 2i and 2i+1 of the pair at a and b into the window, and their K + W.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
load_pair(const unsigned char* a, const unsigned char* b, Window& window, Word kw2[160],
          std::size_t i)
{
    window[i] = load_words(a, b, 2 * i);
    store_sums(kw2, 2 * i, window[i]);
}

// Words t and t+1 (t even, 16..78) of both blocks from the window, whose
// slot p = (t / 2) % 8 holds words t-16 and t-15 and takes the new ones; and
// K + W for them. The slot is a template argument so that the window stays
// in registers.
template <typename Sigmas, std::size_t p>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
schedule_step(Window& window, Word kw2[160], std::size_t t)
{
    const __m256i w16 = window[p];
    // Words t-15 and t-14, t-7 and t-6: the high word of one slot and the
    // low word of the next.
    const __m256i w15 = _mm256_alignr_epi8(window[(p + 1) % 8], w16, 8);
    const __m256i w7 = _mm256_alignr_epi8(window[(p + 5) % 8], window[(p + 4) % 8], 8);
    const __m256i w2 = window[(p + 7) % 8];
    const __m256i w = _mm256_add_epi64(_mm256_add_epi64(Sigmas::small1(w2), w7),
                                       _mm256_add_epi64(Sigmas::small0(w15), w16));
    window[p] = w;
    store_sums(kw2, t, w);
}

// The whole of K + W for the pair at a and b, with no rounds to share the
// work with: the first pair of a run, or a lone block paired with itself.
template <typename Sigmas>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
schedule_all(const unsigned char* a, const unsigned char* b, Word kw2[160])
{
    Window window;
    for (std::size_t i = 0; i < 8; ++i) {
        load_pair(a, b, window, kw2, i);
    }
    for (std::size_t t = 16; t < 80; t += 16) {
        schedule_step<Sigmas, 0>(window, kw2, t);
        schedule_step<Sigmas, 1>(window, kw2, t + 2);
        schedule_step<Sigmas, 2>(window, kw2, t + 4);
        schedule_step<Sigmas, 3>(window, kw2, t + 6);
        schedule_step<Sigmas, 4>(window, kw2, t + 8);
        schedule_step<Sigmas, 5>(window, kw2, t + 10);
        schedule_step<Sigmas, 6>(window, kw2, t + 12);
        schedule_step<Sigmas, 7>(window, kw2, t + 14);
    }
}

// The eight working variables, and b ^ c for step_fast.
struct Working {
    Word a, b, c, d, e, f, g, h, bc;
};

[[gnu::always_inline]] inline Working working_from(const Word state[8])
{
    const Word bc = state[1] ^ state[2];
    return {state[0], state[1], state[2], state[3], state[4], state[5], state[6], state[7], bc};
}

// The state after a block: each variable added into its word.
[[gnu::always_inline]] inline void add_into(Word state[8], const Working& v)
{
    state[0] += v.a;
    state[1] += v.b;
    state[2] += v.c;
    state[3] += v.d;
    state[4] += v.e;
    state[5] += v.f;
    state[6] += v.g;
    state[7] += v.h;
}

// Four rounds from kw[0..3]. The first four of a pass have the variables in
// the roles a..h; the second four (`second`) in the roles e, f, g, h, a, b,
// c, d.
template <bool second> [[gnu::always_inline]] inline void four_rounds(Working& v, const Word kw[4])
{
    Word& a = second ? v.e : v.a;
    Word& b = second ? v.f : v.b;
    Word& c = second ? v.g : v.c;
    Word& d = second ? v.h : v.d;
    Word& e = second ? v.a : v.e;
    Word& f = second ? v.b : v.f;
    Word& g = second ? v.c : v.g;
    Word& h = second ? v.d : v.h;
    step_fast(a, b, d, e, f, g, h, kw[0], v.bc);
    step_fast(h, a, c, d, e, f, g, kw[1], v.bc);
    step_fast(g, h, b, c, d, e, f, kw[2], v.bc);
    step_fast(f, g, a, b, c, d, e, kw[3], v.bc);
}

// The 80 rounds of one block from its K + W.
[[gnu::always_inline]] inline void compress(Word state[8], const Word kw[80])
{
    Working v = working_from(state);
    for (std::size_t t = 0; t < 80; t += 8) {
        four_rounds<false>(v, kw + t);
        four_rounds<true>(v, kw + t + 4);
    }
    add_into(state, v);
}

// What runs beside a pair's rounds for the next pair: loading its words,
// schedule steps, or nothing (the last pair of a run).
enum class Beside { loads, steps, nothing };

// Four of a pair's rounds, from round t + 4p, with the next pair's load of
// words 2p and 2p+1 or its schedule step for slot p beside them.
template <typename Sigmas, Beside beside, std::size_t p>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
four_beside(Working& v, const Word now[160], std::size_t t, const unsigned char* next,
            Window& window, Word later[160])
{
    if constexpr (beside == Beside::loads) {
        load_pair(next, next + 128, window, later, p);
    } else if constexpr (beside == Beside::steps) {
        schedule_step<Sigmas, p>(window, later, 16 + (t - 32) / 2 + 2 * p);
    }
    four_rounds<p % 2 == 1>(v, now + t + 4 * p);
}

// four_beside for each p given.
template <typename Sigmas, Beside beside, std::size_t... p>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
rounds_beside(Working& v, const Word now[160], std::size_t t, const unsigned char* next,
              Window& window, Word later[160], std::index_sequence<p...> /*slots*/)
{
    (four_beside<Sigmas, beside, p>(v, now, t, next, window, later), ...);
}

// Both blocks of a pair from its K + W in `now` (block A's 80 rounds, then
// block B's), and meanwhile, when `ahead`, the whole of K + W of the pair at
// `next` into `later`: its sixteen words loaded over rounds 0..31, then a
// schedule step every four rounds. Each 32 rounds bring the window's slots
// back to where they were, so every step names its slot with a constant.
template <typename Sigmas, bool ahead>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
compress_pair(Word state[8], const Word now[160], const unsigned char* next, Word later[160])
{
    constexpr Beside loads = ahead ? Beside::loads : Beside::nothing;
    constexpr Beside steps = ahead ? Beside::steps : Beside::nothing;
    using First = std::index_sequence<0, 1, 2, 3>;
    using Second = std::index_sequence<4, 5, 6, 7>;
    Window window;
    Working v = working_from(state);
    rounds_beside<Sigmas, loads>(v, now, 0, next, window, later, First{});
    rounds_beside<Sigmas, loads>(v, now, 0, next, window, later, Second{});
    for (std::size_t t = 32; t < 160; t += 32) {
        rounds_beside<Sigmas, steps>(v, now, t, next, window, later, First{});
        if (t + 16 == block_b) {
            add_into(state, v);
            v = working_from(state);
        }
        rounds_beside<Sigmas, steps>(v, now, t, next, window, later, Second{});
    }
    add_into(state, v);
}

// A kernel's blocks entry, from its sigma functions: pairs of blocks, the
// schedule of each pair made while the pair before it is compressed, and a
// last lone block paired with itself.
template <typename Sigmas>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void
blocks_pipelined(Word state[8], const unsigned char* data, std::size_t count)
{
    alignas(32) Word kw2[2][160];
    if (count >= 2) {
        std::size_t now = 0;
        schedule_all<Sigmas>(data, data + 128, kw2[now]);
        for (; count >= 4; count -= 2, data += 256, now ^= 1) {
            compress_pair<Sigmas, true>(state, kw2[now], data + 256, kw2[now ^ 1]);
        }
        compress_pair<Sigmas, false>(state, kw2[now], nullptr, nullptr);
        count -= 2;
        data += 256;
    }
    if (count != 0) {
        schedule_all<Sigmas>(data, data, kw2[0]);
        compress(state, kw2[0]);
    }
}

} // namespace sha512
