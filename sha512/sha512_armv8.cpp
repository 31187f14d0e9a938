// SHA-512 compression on the ARMv8.2 SHA-512 instructions, message schedule
// included. sha512h gives the T1 sums of two rounds from e..h, sha512h2 the
// next a values from them and a..c; the working variables stand in pairs
// {a,b}, {c,d}, {e,f}, {g,h} (first in the low lane), and after two rounds
// each pair moves one role on. Built with the instructions enabled for this
// file alone (see CMakeLists.txt); used only where the CPU reports them.
#include "sha512_kernels.h"

#include <arm_neon.h>

#include "sha512_rounds.h"

namespace
{

// Two rounds with the schedule sums kw = {K+W of round t, of round t+1}.
inline void two_rounds(uint64x2_t& ab, uint64x2_t& cd, uint64x2_t& ef, uint64x2_t& gh,
                       uint64x2_t kw)
{
    // h and g join the sums of rounds t and t+1, high lane first.
    const uint64x2_t sums = vaddq_u64(vextq_u64(kw, kw, 1), gh);
    const uint64x2_t t1 = vsha512hq_u64(sums, vextq_u64(ef, gh, 1), vextq_u64(cd, ef, 1));
    const uint64x2_t next_ef = vaddq_u64(cd, t1); // e = d + T1 of each round
    const uint64x2_t next_ab = vsha512h2q_u64(t1, cd, ab);
    gh = ef;
    ef = next_ef;
    cd = ab;
    ab = next_ab;
}

} // namespace

void SHA512_blocks_armv8(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    uint64x2_t ab = vld1q_u64(state);
    uint64x2_t cd = vld1q_u64(state + 2);
    uint64x2_t ef = vld1q_u64(state + 4);
    uint64x2_t gh = vld1q_u64(state + 6);
    for (; count != 0; --count, data += 128) {
        // The block's words, each 64-bit word's bytes reversed into a number.
        uint64x2_t m[8];
        for (unsigned i = 0; i < 8; ++i) {
            m[i] = vreinterpretq_u64_u8(vrev64q_u8(vld1q_u8(data + 16 * i)));
        }
        const uint64x2_t ab_start = ab;
        const uint64x2_t cd_start = cd;
        const uint64x2_t ef_start = ef;
        const uint64x2_t gh_start = gh;
        // 40 steps of two rounds; from the eighth step on, each makes the
        // schedule words that the step eight later uses:
        // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16].
        for (unsigned step = 0; step < 40; ++step) {
            const unsigned i = step % 8;
            const uint64x2_t kw = vaddq_u64(m[i], vld1q_u64(sha512::K + 2 * step));
            if (step < 32) {
                m[i] = vsha512su1q_u64(vsha512su0q_u64(m[i], m[(i + 1) % 8]), m[(i + 7) % 8],
                                       vextq_u64(m[(i + 4) % 8], m[(i + 5) % 8], 1));
            }
            two_rounds(ab, cd, ef, gh, kw);
        }
        ab = vaddq_u64(ab, ab_start);
        cd = vaddq_u64(cd, cd_start);
        ef = vaddq_u64(ef, ef_start);
        gh = vaddq_u64(gh, gh_start);
    }
    vst1q_u64(state, ab);
    vst1q_u64(state + 2, cd);
    vst1q_u64(state + 4, ef);
    vst1q_u64(state + 6, gh);
}
