// SHA-512 compression with the message schedule in AVX-512VL vectors (128
// bits wide, or 256 for two blocks at once where a run has two), two words
// at a time, with single-instruction rotations and three-way XORs, computed
// two passes ahead of the scalar rounds that use it; the rounds use BMI2's
// rorx rotations.
#include "sha512_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "cpu.h"
#include "sha512_rounds.h"

using sha512::Word;

namespace {

[[gnu::always_inline]] inline __attribute__((target("avx512vl,avx2"))) __m128i load(const Word* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

[[gnu::always_inline]] inline __attribute__((target("avx512vl,avx2"))) void store(Word* p, __m128i x)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}

// Schedule words t and t+1 (t even, 16..78), and K + W for them in kw.
__attribute__((target("avx512vl,avx2"))) void schedule_pair(Word W[80], Word kw[80], unsigned t)
{
    const __m128i w2 = load(W + t - 2);
    const __m128i w15 = load(W + t - 15);
    // sigma0 and sigma1: three-way XOR of two rotations and a shift.
    const __m128i s1 = _mm_ternarylogic_epi64(_mm_ror_epi64(w2, 19), _mm_ror_epi64(w2, 61),
                                              _mm_srli_epi64(w2, 6), 0x96);
    const __m128i s0 = _mm_ternarylogic_epi64(_mm_ror_epi64(w15, 1), _mm_ror_epi64(w15, 8),
                                              _mm_srli_epi64(w15, 7), 0x96);
    const __m128i w =
        _mm_add_epi64(_mm_add_epi64(s1, load(W + t - 7)), _mm_add_epi64(s0, load(W + t - 16)));
    store(W + t, w);
    store(kw + t, _mm_add_epi64(w, load(sha512::K + t)));
}

// K + W for the block's own words W[0..15].
[[gnu::always_inline]] inline __attribute__((target("avx512vl,avx2"))) void first_sums(const Word W[80], Word kw[80])
{
    for (unsigned t = 0; t < 16; t += 2) {
        store(kw + t, _mm_add_epi64(load(W + t), load(sha512::K + t)));
    }
}

// W[0..15] from a block's bytes, each 64-bit word's bytes reversed.
[[gnu::always_inline]] inline __attribute__((target("avx512vl,avx2"))) void load_block(const unsigned char* data, Word W[80])
{
    const __m128i byte_swap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    for (unsigned t = 0; t < 16; t += 2) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + std::size_t{8} * t));
        store(W + t, _mm_shuffle_epi8(bytes, byte_swap));
    }
}

// Two blocks at once: 256-bit vectors hold words t and t+1 of block A in
// their low 128 bits and of block B in their high 128 bits, so one vector
// operation schedules both. W2[2g..2g+3] = {A[2g], A[2g+1], B[2g], B[2g+1]};
// kw2[0..79] is K + W of block A, kw2[80..159] of block B.
constexpr unsigned block_b = 80;

[[gnu::always_inline]] inline __attribute__((target("avx512vl,avx2"))) __m256i load2(const Word* p)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

// K + W for words t and t+1 of both blocks, from their group w.
[[gnu::always_inline]] inline __attribute__((target("avx512vl,avx2"))) void sums2(Word kw2[160],
                                                                                   std::size_t t,
                                                                                   __m256i w)
{
    const __m256i k = _mm256_broadcastsi128_si256(load(sha512::K + t));
    const __m256i sum = _mm256_add_epi64(w, k);
    store(kw2 + t, _mm256_castsi256_si128(sum));
    store(kw2 + block_b + t, _mm256_extracti128_si256(sum, 1));
}

// Schedule words t and t+1 (t even, 16..78) of both blocks.
__attribute__((target("avx512vl,avx2"))) void schedule_two(Word W2[160], Word kw2[160], unsigned t)
{
    const std::size_t u = t;
    const __m256i w2 = load2(W2 + 2 * (u - 2));
    const __m256i w16 = load2(W2 + 2 * (u - 16));
    const __m256i w15 = _mm256_alignr_epi8(load2(W2 + 2 * (u - 14)), w16, 8);
    const __m256i w7 = _mm256_alignr_epi8(load2(W2 + 2 * (u - 6)), load2(W2 + 2 * (u - 8)), 8);
    const __m256i s1 = _mm256_ternarylogic_epi64(_mm256_ror_epi64(w2, 19), _mm256_ror_epi64(w2, 61),
                                                 _mm256_srli_epi64(w2, 6), 0x96);
    const __m256i s0 = _mm256_ternarylogic_epi64(_mm256_ror_epi64(w15, 1), _mm256_ror_epi64(w15, 8),
                                                 _mm256_srli_epi64(w15, 7), 0x96);
    const __m256i w = _mm256_add_epi64(_mm256_add_epi64(s1, w7), _mm256_add_epi64(s0, w16));
    _mm256_store_si256(reinterpret_cast<__m256i*>(W2 + 2 * u), w);
    sums2(kw2, u, w);
}

// Block B's schedule was made with block A's: nothing is left to compute.
void scheduled_already(Word* /*W*/, Word* /*kw*/, unsigned /*t*/) {}

// W2 and kw2 for words 0..15 of the blocks at a and b.
[[gnu::always_inline]] inline __attribute__((target("avx512vl,avx2"))) void
load_two(const unsigned char* a, const unsigned char* b, Word W2[160], Word kw2[160])
{
    const __m256i byte_swap = _mm256_broadcastsi128_si256(
        _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
    for (std::size_t t = 0; t < 16; t += 2) {
        const __m256i bytes = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * t))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * t)), 1);
        const __m256i w = _mm256_shuffle_epi8(bytes, byte_swap);
        _mm256_store_si256(reinterpret_cast<__m256i*>(W2 + 2 * t), w);
        sums2(kw2, t, w);
    }
}

} // namespace

__attribute__((target("avx512vl,avx2,bmi2"), flatten)) void SHA512_compress_avx512(std::uint64_t state[8],
    std::uint64_t W[80])
{
    alignas(16) Word kw[80];
    first_sums(W, kw);
    sha512::rounds_scheduling_ahead<schedule_pair, 2>(state, W, kw);
}

__attribute__((target("avx512vl,avx2,bmi2"), flatten)) void SHA512_blocks_avx512(std::uint64_t state[8],
    const unsigned char* data, std::size_t count)
{
    // Pairs of blocks share one schedule computation; block B's rounds then
    // run with nothing else to do.
    alignas(32) Word W2[160];
    alignas(32) Word kw2[160];
    for (; count >= 2; count -= 2, data += 256) {
        load_two(data, data + 128, W2, kw2);
        sha512::rounds_scheduling_ahead<schedule_two, 2>(state, W2, kw2);
        sha512::rounds_scheduling_ahead<scheduled_already, 8>(state, W2, kw2 + block_b);
    }
    if (count != 0) {
        alignas(16) Word W[80];
        alignas(16) Word kw[80];
        load_block(data, W);
        first_sums(W, kw);
        sha512::rounds_scheduling_ahead<schedule_pair, 2>(state, W, kw);
    }
}

bool SHA512_avx512_usable()
{
    return x86_has(x86_feature::avx512vl) && x86_has(x86_feature::avx2)
           && x86_has(x86_feature::bmi2);
}

#else

void SHA512_compress_avx512(std::uint64_t state[8], std::uint64_t W[80])
{
    SHA512_compress_portable(state, W);
}

void SHA512_blocks_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    SHA512_blocks_portable(state, data, count);
}

bool SHA512_avx512_usable() { return false; }

#endif
