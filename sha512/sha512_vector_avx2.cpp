// SHA-512 compression with two working variables an AVX2 vector register
// (sha512_paired.h): Sigma0 and Sigma1 from per-lane shifts, Maj as Ch(a ^
// b, c, b) so that one Ch serves both lanes, T1 added into the high lane
// alone through a mask.
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
using sha512::Word;

// Each lane rotated right by its own count, n0 in the low lane and n1 in
// the high one.
template <int n0, int n1>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m128i rotr(__m128i x)
{
    return _mm_or_si128(_mm_srlv_epi64(x, pair(n0, n1)), _mm_sllv_epi64(x, pair(64 - n0, 64 - n1)));
}

struct Ops {
    // (Sigma0(a), Sigma1(e)).
    [[gnu::always_inline]] static inline __attribute__((target("avx2"))) __m128i sigmas(__m128i ae)
    {
        // Sigma0(a) = rotr28(a ^ rotr6(a ^ rotr5(a))), Sigma1(e) = rotr14(e ^
        // rotr4(e ^ rotr23(e))): one rotation live at a time.
        return rotr<28, 14>(_mm_xor_si128(ae, rotr<6, 4>(_mm_xor_si128(ae, rotr<5, 23>(ae)))));
    }
    // (Maj(a, b, c), Ch(e, f, g)) as Ch(x, y, z) = ((y ^ z) & x) ^ z of
    // x = (a ^ b, e), y = (c, f), z = (b, g); y ^ z is bf ^ cg.
    [[gnu::always_inline]] static inline __attribute__((target("avx2"))) __m128i
    logic(__m128i ae, __m128i bf, __m128i cg)
    {
        const __m128i x = _mm_xor_si128(ae, _mm_and_si128(bf, pair(~Word{0}, 0)));
        const __m128i z = _mm_blend_epi32(bf, cg, 0xc);
        return _mm_xor_si128(_mm_and_si128(_mm_xor_si128(bf, cg), x), z);
    }
    // sums + (0, the high lane of hk).
    [[gnu::always_inline]] static inline __attribute__((target("avx2"))) __m128i
    add_high(__m128i sums, __m128i hk)
    {
        return _mm_add_epi64(sums, _mm_and_si128(hk, pair(0, ~Word{0})));
    }
};

} // namespace

__attribute__((target("avx2"), flatten)) void
SHA512_blocks_vector_avx2(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    sha512::blocks_paired<Ops>(state, data, count);
}

bool SHA512_vector_avx2_usable()
{
    return x86_has(X86Feature::avx2);
}
