// SHA-512 compression with two working variables an AVX-512VL vector
// register (sha512_paired.h): Sigma0 and Sigma1 from one set of per-lane
// rotations and a three-way XOR, Maj and Ch from two masked three-way logic
// operations, T1 added into the high lane alone by a masked add.
// The vector helpers in sha512_rounds.h, sha512_vector.h and
// sha512_paired.h take and return vectors but are always inlined into the
// kernel, of its own target, so GCC's note that their ABI would differ
// without SSE (on 32-bit x86) does not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "sha512_kernels.h"

#include <immintrin.h>

#include "cpu.h"
#include "sha512_paired.h"

namespace
{

using sha512::pair;

// Lane masks: the low lane (a, b, c, d) and the high lane (e, f, g, h).
constexpr __mmask8 low = 1;
constexpr __mmask8 high = 2;

struct Ops {
    // (Sigma0(a), Sigma1(e)): rotations by 28, 34, 39 in the low lane and
    // by 14, 18, 41 in the high one.
    static inline __attribute__((target("avx512vl"))) __m128i sigmas(__m128i ae)
    {
        return _mm_ternarylogic_epi64(_mm_rorv_epi64(ae, pair(28, 14)),
                                      _mm_rorv_epi64(ae, pair(34, 18)),
                                      _mm_rorv_epi64(ae, pair(39, 41)), 0x96);
    }
    // (Maj(a, b, c), Ch(e, f, g)): 0xca is Ch of the three operands, 0xe8
    // their majority.
    static inline __attribute__((target("avx512vl"))) __m128i logic(__m128i ae, __m128i bf,
                                                                    __m128i cg)
    {
        const __m128i choice = _mm_mask_ternarylogic_epi64(ae, high, bf, cg, 0xca);
        return _mm_mask_ternarylogic_epi64(choice, low, bf, cg, 0xe8);
    }
    // sums + (0, the high lane of hk).
    static inline __attribute__((target("avx512vl"))) __m128i add_high(__m128i sums, __m128i hk)
    {
        return _mm_mask_add_epi64(sums, high, sums, hk);
    }
};

} // namespace

__attribute__((target("avx512vl"), flatten)) void
SHA512_blocks_vector_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    sha512::blocks_paired<Ops>(state, data, count);
}

bool SHA512_vector_avx512_usable()
{
    return x86_has(X86Feature::avx512vl);
}
