// SHA-512 compression with the working variables themselves in SSSE3 vector
// registers, one 64-bit lane each, and the message schedule two words a
// vector, computed two passes ahead of the rounds. On 32-bit x86, which has
// no 64-bit general registers, a 64-bit add, shift or logic operation is
// then one instruction instead of two to four on register pairs; a rotation
// is two shifts. The code is the compiler's vector arithmetic.
// The vector helpers here and in sha512_rounds.h and sha512_vector.h take
// and return vectors but are always inlined into the kernel, of its own
// target, so GCC's note that their ABI would differ without SSE (on 32-bit
// x86) does not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "sha512_kernels.h"

#include <cstring>

#include "cpu.h"
#include "sha512_rounds.h"
#include "sha512_vector.h"

using sha512::Lanes;
using sha512::Word;

__attribute__((target("ssse3"))) void
SHA512_blocks_vector_ssse3(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    alignas(16) Word W[80];
    alignas(16) Word kw[80];
    for (; count != 0; --count, data += 128) {
        // W[0..15] as numbers, and K + W for them.
        for (unsigned t = 0; t < 16; ++t) {
            Word raw;
            std::memcpy(&raw, data + std::size_t{8} * t, sizeof raw);
            W[t] = __builtin_bswap64(raw);
        }
        for (unsigned t = 0; t < 16; t += 2) {
            sha512::store(kw + t, sha512::load(W + t) + sha512::load(sha512::K + t));
        }
        sha512::rounds_scheduling_ahead<sha512::schedule_pair, 2, Lanes>(state, W, kw);
    }
}

bool SHA512_vector_ssse3_usable()
{
    return x86_has(X86Feature::ssse3);
}
