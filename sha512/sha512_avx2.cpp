// SHA-512 compression with the message schedule in AVX2 vectors, two words
// at a time, computed two passes ahead of the scalar rounds that use it; the
// rounds use BMI2's rorx rotations.
#include "sha512_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "cpu.h"
#include "sha512_rounds.h"

using sha512::Word;

namespace {

template <int N> [[gnu::always_inline]] inline __attribute__((target("avx2"))) __m128i rotr(__m128i x)
{
    return _mm_or_si128(_mm_srli_epi64(x, N), _mm_slli_epi64(x, 64 - N));
}

[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m128i load(const Word* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

[[gnu::always_inline]] inline __attribute__((target("avx2"))) void store(Word* p, __m128i x)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}

// Schedule words t and t+1 (t even, 16..78), and K + W for them in kw.
__attribute__((target("avx2"))) void schedule_pair(Word W[80], Word kw[80], unsigned t)
{
    const __m128i w2 = load(W + t - 2);
    const __m128i w15 = load(W + t - 15);
    const __m128i s1 =
        _mm_xor_si128(_mm_xor_si128(rotr<19>(w2), rotr<61>(w2)), _mm_srli_epi64(w2, 6));
    const __m128i s0 =
        _mm_xor_si128(_mm_xor_si128(rotr<1>(w15), rotr<8>(w15)), _mm_srli_epi64(w15, 7));
    const __m128i w =
        _mm_add_epi64(_mm_add_epi64(s1, load(W + t - 7)), _mm_add_epi64(s0, load(W + t - 16)));
    store(W + t, w);
    store(kw + t, _mm_add_epi64(w, load(sha512::K + t)));
}

// K + W for the block's own words W[0..15].
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void first_sums(const Word W[80], Word kw[80])
{
    for (unsigned t = 0; t < 16; t += 2) {
        store(kw + t, _mm_add_epi64(load(W + t), load(sha512::K + t)));
    }
}

// W[0..15] from a block's bytes, each 64-bit word's bytes reversed.
[[gnu::always_inline]] inline __attribute__((target("avx2"))) void load_block(const unsigned char* data, Word W[80])
{
    const __m128i byte_swap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    for (unsigned t = 0; t < 16; t += 2) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + std::size_t{8} * t));
        store(W + t, _mm_shuffle_epi8(bytes, byte_swap));
    }
}

} // namespace

__attribute__((target("avx2,bmi2"), flatten)) void SHA512_compress_avx2(std::uint64_t state[8],
    std::uint64_t W[80])
{
    alignas(16) Word kw[80];
    first_sums(W, kw);
    sha512::rounds_scheduling_ahead<schedule_pair, 2>(state, W, kw);
}

__attribute__((target("avx2,bmi2"), flatten)) void SHA512_blocks_avx2(std::uint64_t state[8],
    const unsigned char* data, std::size_t count)
{
    alignas(16) Word W[80];
    alignas(16) Word kw[80];
    for (; count != 0; --count, data += 128) {
        load_block(data, W);
        first_sums(W, kw);
        sha512::rounds_scheduling_ahead<schedule_pair, 2>(state, W, kw);
    }
}

bool SHA512_avx2_usable()
{
    return x86_has(x86_feature::avx2) && x86_has(x86_feature::bmi2);
}

#else

void SHA512_compress_avx2(std::uint64_t state[8], std::uint64_t W[80])
{
    SHA512_compress_portable(state, W);
}

void SHA512_blocks_avx2(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    SHA512_blocks_portable(state, data, count);
}

bool SHA512_avx2_usable() { return false; }

#endif
