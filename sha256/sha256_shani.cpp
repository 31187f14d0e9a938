// SHA-256 compression on the x86 SHA extensions (SHA-NI), message schedule
// included. The instructions keep the state as two vectors, ABEF and CDGH,
// and run two rounds per sha256rnds2.
#include "sha256_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "cpu.h"

namespace {

alignas(16) constexpr std::uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

} // namespace

__attribute__((target("sha,sse4.1"))) void SHA256_compress_shani(std::uint32_t state[8],
                                                                   std::uint32_t W[64])
{
    // H0..H7 into the ABEF / CDGH layout of the instructions.
    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    const __m128i abef_start = abef;
    const __m128i cdgh_start = cdgh;

    // msg[i % 4] holds W[4i..4i+3]; from i = 4 on, each group of four words
    // is computed from the four groups before it.
    __m128i msg[4];
    for (std::size_t i = 0; i < 4; ++i) {
        msg[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(W + 4 * i));
    }
    for (std::size_t i = 0; i < 16; ++i) {
        if (i >= 4) {
            const __m128i w16 = msg[i % 4];       // W[t-16..t-13]
            const __m128i w12 = msg[(i + 1) % 4]; // W[t-12..t-9]
            const __m128i w8 = msg[(i + 2) % 4];  // W[t-8..t-5]
            const __m128i w4 = msg[(i + 3) % 4];  // W[t-4..t-1]
            const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(w16, w12),
                                                  _mm_alignr_epi8(w4, w8, 4));
            msg[i % 4] = _mm_sha256msg2_epu32(partial, w4);
        }
        // Four rounds: two with the low words of W + K, two with the high.
        const __m128i wk = _mm_add_epi32(msg[i % 4],
                                         _mm_load_si128(reinterpret_cast<const __m128i*>(K + 4 * i)));
        cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
        abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
    }

    // Add the working variables back and return to H0..H7 order.
    abef = _mm_add_epi32(abef, abef_start);
    cdgh = _mm_add_epi32(cdgh, cdgh_start);
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

bool SHA256_shani_usable()
{
    return x86_has(x86_feature::sha);
}

#else

void SHA256_compress_shani(std::uint32_t state[8], std::uint32_t W[64])
{
    SHA256_compress_portable(state, W);
}

bool SHA256_shani_usable() { return false; }

#endif
