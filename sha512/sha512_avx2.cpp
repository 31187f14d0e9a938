// SHA-512 compression with the message schedule in AVX2 vectors, two words
// at a time (of two blocks at once where a run has two), computed two passes
// ahead of the scalar rounds that use it; the rounds use BMI2's rorx
// rotations.
#include "sha512_kernels.h"


#include <immintrin.h>

#include "cpu.h"
#include "sha512_x86.h"

using sha512::Word;
using sha512::load;

namespace {

template <int N> [[gnu::always_inline]] inline __attribute__((target("avx2"))) __m128i rotr(__m128i x)
{
    return _mm_or_si128(_mm_srli_epi64(x, N), _mm_slli_epi64(x, 64 - N));
}

template <int N> [[gnu::always_inline]] inline __attribute__((target("avx2"))) __m256i rotr(__m256i x)
{
    return _mm256_or_si256(_mm256_srli_epi64(x, N), _mm256_slli_epi64(x, 64 - N));
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
    sha512::store(W + t, w);
    sha512::store(kw + t, _mm_add_epi64(w, load(sha512::K + t)));
}

// The same for two blocks at once (see sha512_x86.h).
__attribute__((target("avx2"))) void schedule_two(Word W2[160], Word kw2[160], unsigned t)
{
    const std::size_t u = t;
    const __m256i w2 = sha512::load_pair(W2, u - 2);
    const __m256i w15 = sha512::load_odd_pair(W2, u - 15);
    const __m256i s1 =
        _mm256_xor_si256(_mm256_xor_si256(rotr<19>(w2), rotr<61>(w2)), _mm256_srli_epi64(w2, 6));
    const __m256i s0 =
        _mm256_xor_si256(_mm256_xor_si256(rotr<1>(w15), rotr<8>(w15)), _mm256_srli_epi64(w15, 7));
    const __m256i w = _mm256_add_epi64(_mm256_add_epi64(s1, sha512::load_odd_pair(W2, u - 7)),
                                       _mm256_add_epi64(s0, sha512::load_pair(W2, u - 16)));
    sha512::store_pair(W2, kw2, u, w);
}

} // namespace

__attribute__((target("avx2,bmi2"), flatten)) void
SHA512_blocks_avx2(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    sha512::blocks_in_pairs<schedule_pair, schedule_two>(state, data, count);
}

bool SHA512_avx2_usable()
{
    return x86_has(x86_feature::avx2) && x86_has(x86_feature::bmi2);
}
