// SHA-256 compression on the x86 SHA extensions (SHA-NI), message schedule
// included. The instructions keep the state as two vectors, ABEF and CDGH,
// and run two rounds per sha256rnds2; a run of blocks stays in that layout
// from its first block to its last.
#include "sha256_kernels.h"

#include <immintrin.h>

#include <utility>

#include "cpu.h"
#include "sha256_constants.h"

using sha256::K;

namespace
{

// H0..H7 into the ABEF / CDGH layout of the instructions.
[[gnu::always_inline]] inline __attribute__((target("sha,sse4.1"))) void
load_state(const std::uint32_t state[8], __m128i& abef, __m128i& cdgh)
{
    const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    abef = _mm_alignr_epi8(cdab, efgh, 8);
    cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
}

// Back to H0..H7 order.
[[gnu::always_inline]] inline __attribute__((target("sha,sse4.1"))) void
store_state(std::uint32_t state[8], __m128i abef, __m128i cdgh)
{
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// Rounds 4i..4i+3 on abef and cdgh, with W[4i..4i+3] in msg[i % 4]. From
// i = 4 on, that group of words is first computed, in place, from the four
// groups before it. `i` is a constant, so msg stays in registers.
template <std::size_t i>
[[gnu::always_inline]] inline __attribute__((target("sha,sse4.1"))) void
four_rounds(__m128i& abef, __m128i& cdgh, __m128i msg[4])
{
    if constexpr (i >= 4) {
        const __m128i w16 = msg[i % 4];       // W[t-16..t-13]
        const __m128i w12 = msg[(i + 1) % 4]; // W[t-12..t-9]
        const __m128i w8 = msg[(i + 2) % 4];  // W[t-8..t-5]
        const __m128i w4 = msg[(i + 3) % 4];  // W[t-4..t-1]
        const __m128i partial =
            _mm_add_epi32(_mm_sha256msg1_epu32(w16, w12), _mm_alignr_epi8(w4, w8, 4));
        msg[i % 4] = _mm_sha256msg2_epu32(partial, w4);
    }
    // Two rounds with the low words of W + K, two with the high.
    const __m128i wk =
        _mm_add_epi32(msg[i % 4], _mm_load_si128(reinterpret_cast<const __m128i*>(K + 4 * i)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
}

template <std::size_t... i>
[[gnu::always_inline]] inline __attribute__((target("sha,sse4.1"))) void
all_rounds(__m128i& abef, __m128i& cdgh, __m128i msg[4], std::index_sequence<i...> /*steps*/)
{
    (four_rounds<i>(abef, cdgh, msg), ...);
}

// The 64 rounds of one block whose words W[4i..4i+3] are in msg[i], added
// into abef and cdgh.
[[gnu::always_inline]] inline __attribute__((target("sha,sse4.1"))) void
compress(__m128i& abef, __m128i& cdgh, __m128i msg[4])
{
    const __m128i abef_start = abef;
    const __m128i cdgh_start = cdgh;
    all_rounds(abef, cdgh, msg, std::make_index_sequence<16>());
    abef = _mm_add_epi32(abef, abef_start);
    cdgh = _mm_add_epi32(cdgh, cdgh_start);
}

} // namespace

__attribute__((target("sha,sse4.1"))) void
SHA256_blocks_shani(std::uint32_t state[8], const unsigned char* data, std::size_t count)
{
    // Each 32-bit word's bytes reversed: big-endian words as numbers.
    const __m128i byte_swap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    __m128i abef;
    __m128i cdgh;
    load_state(state, abef, cdgh);
    for (; count != 0; --count, data += 64) {
        __m128i msg[4];
        for (std::size_t i = 0; i < 4; ++i) {
            msg[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byte_swap);
        }
        compress(abef, cdgh, msg);
    }
    store_state(state, abef, cdgh);
}

bool SHA256_shani_usable()
{
    return x86_has(X86Feature::sha);
}
