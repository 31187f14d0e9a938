// SHA-512 compression with the message schedule in 256-bit AVX-512VL
// vectors, two words of two blocks at once, with single-instruction
// rotations and three-way XORs, computed while the pair of blocks before
// runs its scalar rounds (sha512_x86.h); the rounds use BMI2's rorx
// rotations.
#include "sha512_kernels.h"

#include <immintrin.h>

#include "cpu.h"
#include "sha512_x86.h"

namespace
{

// sigma0 and sigma1 of each 64-bit lane: one three-way XOR of two
// single-instruction rotations and a shift.
struct Sigmas {
    static inline __attribute__((target("avx512vl,avx2"))) __m256i small0(__m256i x)
    {
        return _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 1), _mm256_ror_epi64(x, 8),
                                         _mm256_srli_epi64(x, 7), 0x96);
    }
    static inline __attribute__((target("avx512vl,avx2"))) __m256i small1(__m256i x)
    {
        return _mm256_ternarylogic_epi64(_mm256_ror_epi64(x, 19), _mm256_ror_epi64(x, 61),
                                         _mm256_srli_epi64(x, 6), 0x96);
    }
};

} // namespace

__attribute__((target("avx512vl,avx2,bmi2"), flatten)) void
SHA512_blocks_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    sha512::blocks_pipelined<Sigmas>(state, data, count);
}

bool SHA512_avx512_usable()
{
    return x86_has(X86Feature::avx512vl) && x86_has(X86Feature::avx2) && x86_has(X86Feature::bmi2);
}
