// SHA-512 compression with the message schedule in AVX-512VL vectors (128
// bits wide, or 256 for two blocks at once where a run has two), two words
// at a time, with single-instruction rotations and three-way XORs, computed
// two passes ahead of the scalar rounds that use it; the rounds use BMI2's
// rorx rotations.
#include "sha512_kernels.h"


#include <immintrin.h>

#include "cpu.h"
#include "sha512_x86.h"

using sha512::Word;
using sha512::load;

namespace {

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
    sha512::store(W + t, w);
    sha512::store(kw + t, _mm_add_epi64(w, load(sha512::K + t)));
}

// The same for two blocks at once (see sha512_x86.h).
__attribute__((target("avx512vl,avx2"))) void schedule_two(Word W2[160], Word kw2[160], unsigned t)
{
    const std::size_t u = t;
    const __m256i w2 = sha512::load_pair(W2, u - 2);
    const __m256i w15 = sha512::load_odd_pair(W2, u - 15);
    const __m256i s1 = _mm256_ternarylogic_epi64(_mm256_ror_epi64(w2, 19), _mm256_ror_epi64(w2, 61),
                                                 _mm256_srli_epi64(w2, 6), 0x96);
    const __m256i s0 = _mm256_ternarylogic_epi64(_mm256_ror_epi64(w15, 1), _mm256_ror_epi64(w15, 8),
                                                 _mm256_srli_epi64(w15, 7), 0x96);
    const __m256i w = _mm256_add_epi64(_mm256_add_epi64(s1, sha512::load_odd_pair(W2, u - 7)),
                                       _mm256_add_epi64(s0, sha512::load_pair(W2, u - 16)));
    sha512::store_pair(W2, kw2, u, w);
}

} // namespace

__attribute__((target("avx512vl,avx2,bmi2"), flatten)) void
SHA512_blocks_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    sha512::blocks_in_pairs<schedule_pair, schedule_two>(state, data, count);
}

bool SHA512_avx512_usable()
{
    return x86_has(x86_feature::avx512vl) && x86_has(x86_feature::avx2)
           && x86_has(x86_feature::bmi2);
}
