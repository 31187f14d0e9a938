// SHA-256 compression on the ARMv8 SHA-256 instructions, message schedule
// included: sha256h/sha256h2 run four rounds on the state's two halves,
// sha256su0/sha256su1 make the next four schedule words. Built with the
// instructions enabled for this file alone (see CMakeLists.txt); used only
// where the CPU reports them.
#include "sha256_kernels.h"

#include <arm_neon.h>

#include "sha256_constants.h"

namespace
{

// Four rounds with the schedule words w (K already added), on ABCD/EFGH.
inline void four_rounds(uint32x4_t& abcd, uint32x4_t& efgh, uint32x4_t wk)
{
    const uint32x4_t abcd_before = abcd;
    abcd = vsha256hq_u32(abcd, efgh, wk);
    efgh = vsha256h2q_u32(efgh, abcd_before, wk);
}

} // namespace

void SHA256_blocks_armv8(std::uint32_t state[8], const unsigned char* data, std::size_t count)
{
    uint32x4_t abcd = vld1q_u32(state);
    uint32x4_t efgh = vld1q_u32(state + 4);
    for (; count != 0; --count, data += 64) {
        // The block's words, each 32-bit word's bytes reversed into a number.
        uint32x4_t m[4];
        for (unsigned i = 0; i < 4; ++i) {
            m[i] = vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(data + 16 * i)));
        }
        const uint32x4_t abcd_start = abcd;
        const uint32x4_t efgh_start = efgh;
        // 16 steps of four rounds; from the fourth step on, each makes the
        // schedule words that the step four later uses.
        for (unsigned step = 0; step < 16; ++step) {
            const unsigned i = step % 4;
            const uint32x4_t wk = vaddq_u32(m[i], vld1q_u32(sha256::K + 4 * step));
            if (step < 12) {
                m[i] = vsha256su1q_u32(vsha256su0q_u32(m[i], m[(i + 1) % 4]), m[(i + 2) % 4],
                                       m[(i + 3) % 4]);
            }
            four_rounds(abcd, efgh, wk);
        }
        abcd = vaddq_u32(abcd, abcd_start);
        efgh = vaddq_u32(efgh, efgh_start);
    }
    vst1q_u32(state, abcd);
    vst1q_u32(state + 4, efgh);
}
