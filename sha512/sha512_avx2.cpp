// SHA-512 compression with the message schedule in AVX2 vectors, two words
// of two blocks at once, computed while the pair of blocks before runs its
// scalar rounds (sha512_x86.h); the rounds use BMI2's rorx rotations.
#include "sha512_kernels.h"

#include <immintrin.h>

#include "cpu.h"
#include "sha512_x86.h"

namespace
{

template <int N>
[[gnu::always_inline]] inline __attribute__((target("avx2"))) __m256i rotr(__m256i x)
{
    return _mm256_or_si256(_mm256_srli_epi64(x, N), _mm256_slli_epi64(x, 64 - N));
}

// sigma0 and sigma1 of each 64-bit lane: XORs of two rotations (each two
// shifts) and a shift.
struct Sigmas {
    [[gnu::always_inline]] static inline __attribute__((target("avx2"))) __m256i small0(__m256i x)
    {
        return _mm256_xor_si256(_mm256_xor_si256(rotr<1>(x), rotr<8>(x)), _mm256_srli_epi64(x, 7));
    }
    [[gnu::always_inline]] static inline __attribute__((target("avx2"))) __m256i small1(__m256i x)
    {
        return _mm256_xor_si256(_mm256_xor_si256(rotr<19>(x), rotr<61>(x)),
                                _mm256_srli_epi64(x, 6));
    }
};

} // namespace

__attribute__((target("avx2,bmi2"), flatten)) void
SHA512_blocks_avx2(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    sha512::blocks_pipelined<Sigmas>(state, data, count);
}

bool SHA512_avx2_usable()
{
    return x86_has(X86Feature::avx2) && x86_has(X86Feature::bmi2);
}
