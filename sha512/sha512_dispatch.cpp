// Picks the SHA-512 kernel for this CPU once, at start-up.
#include "sha512_kernels.h"

#include "cpu.h"

namespace
{

constexpr Sha512Kernel portable{"portable", SHA512_blocks_portable, SHA512_portable_usable};

// Set before main runs and never changed: every block of the run goes
// through the same kernel, with no test on the way.
const Sha512Kernel& chosen = cpu_pick_kernel<std::uint64_t>(SHA512_kernels, portable);

} // namespace

const Sha512Kernel& SHA512_kernel_for_cpu()
{
    return chosen;
}
