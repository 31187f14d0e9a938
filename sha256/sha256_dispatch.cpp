// Picks the SHA-256 kernel for this CPU once, at start-up.
#include "sha256_kernels.h"

#include "cpu.h"

namespace
{

constexpr Sha256Kernel portable{"portable", SHA256_blocks_portable, SHA256_portable_usable};

// Set before main runs and never changed.
const Sha256Kernel& chosen = cpu_pick_kernel<std::uint32_t>(SHA256_kernels, portable);

} // namespace

const Sha256Kernel& SHA256_kernel_for_cpu()
{
    return chosen;
}
