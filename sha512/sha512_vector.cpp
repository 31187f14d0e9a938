// SHA-512 compression with the working variables themselves in vector
// registers, one 64-bit lane each, and the message schedule two words a
// vector, computed two passes ahead of the rounds. On 32-bit x86, which has
// no 64-bit general registers, a 64-bit add, shift or logic operation is
// then one instruction instead of two to four on register pairs. The code
// is the compiler's vector arithmetic; each kernel's target picks the
// instructions: SSSE3 (rotations from two shifts) or AVX-512VL (one
// rotation instruction, three-way logic).
// The vector helpers here and in sha512_rounds.h take and return vectors but
// are always inlined into a kernel of its own target, so GCC's note that
// their ABI would differ without SSE (on 32-bit x86) does not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "sha512_kernels.h"

#include <cstring>

#include "cpu.h"
#include "sha512_rounds.h"

using sha512::Lanes;
using sha512::Word;

namespace
{

[[gnu::always_inline]] inline Lanes load(const Word* p)
{
    Lanes x;
    std::memcpy(&x, p, sizeof x);
    return x;
}

[[gnu::always_inline]] inline void store(Word* p, Lanes x)
{
    std::memcpy(p, &x, sizeof x);
}

// Schedule words t and t+1 (t even, 16..78), and K + W for them in kw.
[[gnu::always_inline]] inline void schedule_pair(Word W[80], Word kw[80], unsigned t)
{
    const Lanes w = sha512::small_sigma1(load(W + t - 2)) + load(W + t - 7)
                    + sha512::small_sigma0(load(W + t - 15)) + load(W + t - 16);
    store(W + t, w);
    store(kw + t, w + load(sha512::K + t));
}

// One block whose words W[0..15] hold numbers; W[16..79] are scratch.
[[gnu::always_inline]] inline void compress(std::uint64_t state[8], Word W[80])
{
    alignas(16) Word kw[80];
    for (unsigned t = 0; t < 16; t += 2) {
        store(kw + t, load(W + t) + load(sha512::K + t));
    }
    sha512::rounds_scheduling_ahead<schedule_pair, 2, Lanes>(state, W, kw);
}

// `count` blocks from their bytes.
[[gnu::always_inline]] inline void blocks(std::uint64_t state[8], const unsigned char* data,
                                          std::size_t count)
{
    alignas(16) Word W[80];
    for (; count != 0; --count, data += 128) {
        for (unsigned t = 0; t < 16; ++t) {
            Word raw;
            std::memcpy(&raw, data + std::size_t{8} * t, sizeof raw);
            W[t] = __builtin_bswap64(raw);
        }
        compress(state, W);
    }
}

} // namespace

__attribute__((target("ssse3"))) void
SHA512_blocks_vector_ssse3(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    blocks(state, data, count);
}

bool SHA512_vector_ssse3_usable()
{
    return x86_has(X86Feature::ssse3);
}

__attribute__((target("avx512vl"))) void
SHA512_blocks_vector_avx512(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    blocks(state, data, count);
}

bool SHA512_vector_avx512_usable()
{
    return x86_has(X86Feature::avx512vl);
}
