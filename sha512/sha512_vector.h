// What the SHA-512 kernels whose rounds run in vector registers
// (sha512_vector_ssse3.cpp, sha512_vector_avx512.cpp) share: loading and
// storing two words as a vector, and the message schedule two words a
// vector, in the compiler's vector arithmetic, so that each kernel's target
// picks the instructions. Internal to the engine; for 32-bit x86, which has
// no 64-bit general registers.
#pragma once

#include <cstring>

#include "sha512_rounds.h"

namespace sha512
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
    const Lanes w = small_sigma1(load(W + t - 2)) + load(W + t - 7) + small_sigma0(load(W + t - 15))
                    + load(W + t - 16);
    store(W + t, w);
    store(kw + t, w + load(K + t));
}

} // namespace sha512
