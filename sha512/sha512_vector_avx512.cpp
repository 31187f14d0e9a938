// SHA-512 compression with the working variables themselves in AVX-512VL
// vector registers, two to a register: (a, e), (b, f), (c, g) and (d, h),
// the first of each pair in the low 64-bit lane. For 32-bit x86, which has
// no 64-bit general registers and only eight vector registers: the four
// pairs and a round's few temporaries fit in them, where one variable a
// register would not. Each round works on both halves at once: Sigma0(a)
// and Sigma1(e) from one set of per-lane rotations and a three-way XOR,
// Maj(a, b, c) and Ch(e, f, g) from two masked three-way logic operations,
// and the two sums from vector adds, T1 moved into the low lane by an
// unpack. The message schedule is two words a vector, two passes ahead of
// the rounds (sha512_vector.h). The state stays in the pairs for a whole
// run of blocks.
// The vector helpers in sha512_rounds.h and sha512_vector.h take and return
// vectors but are always inlined into the kernel, of its own target, so
// GCC's note that their ABI would differ without SSE (on 32-bit x86) does
// not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "sha512_kernels.h"

#include <immintrin.h>

#include <cstring>

#include "cpu.h"
#include "sha512_rounds.h"
#include "sha512_vector.h"

using sha512::Word;

namespace
{

// Lane masks: the low lane (a, b, c, d) and the high lane (e, f, g, h).
constexpr __mmask8 low = 1;
constexpr __mmask8 high = 2;

// A vector of two words, `first` in the low lane.
[[gnu::always_inline]] inline __attribute__((target("avx512vl"))) __m128i pair(Word first,
                                                                               Word second)
{
    return _mm_set_epi64x(static_cast<long long>(second), static_cast<long long>(first));
}

// One round. On entry ae, bf, cg and dh hold (a, e), (b, f), (c, g) and
// (d, h); on return dh holds the new (a, e), and the caller shifts the
// roles by one pair: the old (a, e) becomes (b, f), and so on.
[[gnu::always_inline]] inline __attribute__((target("avx512vl"))) void
round(__m128i ae, __m128i bf, __m128i cg, __m128i& dh, const Word* kw)
{
    // (Sigma0(a), Sigma1(e)): rotations by 28, 34, 39 in the low lane and
    // by 14, 18, 41 in the high one.
    const __m128i sigmas =
        _mm_ternarylogic_epi64(_mm_rorv_epi64(ae, pair(28, 14)), _mm_rorv_epi64(ae, pair(34, 18)),
                               _mm_rorv_epi64(ae, pair(39, 41)), 0x96);
    // (Maj(a, b, c), Ch(e, f, g)): 0xca is Ch of the three operands, 0xe8
    // their majority.
    const __m128i choice = _mm_mask_ternarylogic_epi64(ae, high, bf, cg, 0xca);
    const __m128i logic = _mm_mask_ternarylogic_epi64(choice, low, bf, cg, 0xe8);
    // (T2, T1): T2 = Sigma0(a) + Maj, T1 = Sigma1(e) + Ch + h + K + W.
    const __m128i hk = _mm_add_epi64(dh, _mm_set1_epi64x(static_cast<long long>(*kw)));
    const __m128i sums = _mm_add_epi64(sigmas, logic);
    const __m128i t = _mm_mask_add_epi64(sums, high, sums, hk);
    // New a = T1 + T2, new e = d + T1.
    dh = _mm_add_epi64(_mm_unpacklo_epi64(t, dh), _mm_unpackhi_epi64(t, t));
}

// Rounds t..t+3 from kw, and before them, when `schedule`, words t+16..t+19
// and their K + W.
template <bool schedule>
[[gnu::always_inline]] inline __attribute__((target("avx512vl"))) void
four_rounds(__m128i& ae, __m128i& bf, __m128i& cg, __m128i& dh, Word W[80], Word kw[80], unsigned t)
{
    if (schedule) {
        sha512::schedule_pair(W, kw, t + 16);
        sha512::schedule_pair(W, kw, t + 18);
    }
    round(ae, bf, cg, dh, kw + t);
    round(dh, ae, bf, cg, kw + t + 1);
    round(cg, dh, ae, bf, kw + t + 2);
    round(bf, cg, dh, ae, kw + t + 3);
}

} // namespace

__attribute__((target("avx512vl"))) void
SHA512_blocks_vector_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count)
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
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 8 * t));
            const __m128i w = _mm_shuffle_epi8(bytes, byte_swap);
            _mm_store_si128(reinterpret_cast<__m128i*>(W + t), w);
            const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha512::K + t));
            _mm_store_si128(reinterpret_cast<__m128i*>(kw + t), _mm_add_epi64(w, k));
        }
        // Four rounds bring the roles back to where they were.
        const __m128i ae0 = ae, bf0 = bf, cg0 = cg, dh0 = dh;
        for (unsigned t = 0; t < 64; t += 4) {
            four_rounds<true>(ae, bf, cg, dh, W, kw, t);
        }
        for (unsigned t = 64; t < 80; t += 4) {
            four_rounds<false>(ae, bf, cg, dh, W, kw, t);
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

bool SHA512_vector_avx512_usable()
{
    return x86_has(X86Feature::avx512vl);
}
