// The SHA-512 block engine's operations: one full block, and the last bytes
// of a message with its padding and length, through the kernel picked for
// this CPU (or a given one).
#include "sha512.h"
#include "sha512_kernels.h"

#include <cstring>

namespace
{

// `x` as eight big-endian bytes at p.
void store_be64(unsigned char* p, std::uint64_t x)
{
    for (unsigned i = 0; i < 8; ++i) {
        p[i] = static_cast<unsigned char>(x >> (56 - 8 * i));
    }
}

} // namespace

void SHA512_process_with(const Sha512Kernel& kernel, std::uint64_t state[8], std::uint64_t W[80])
{
    kernel.blocks(state, reinterpret_cast<const unsigned char*>(W), 1);
}

void SHA512_process(std::uint64_t state[8], std::uint64_t W[80])
{
    SHA512_process_with(SHA512_kernel_for_cpu(), state, W);
}

void SHA512_finish_with(const Sha512Kernel& kernel, std::uint64_t state[8], std::uint64_t W[80],
                        std::uint64_t total)
{
    // The padding is built as bytes after the message's last r bytes in W:
    // the end marker, zeros over whatever stale bytes W held, and the
    // 128-bit bit length at the end of the last block. When the length no
    // longer fits (r >= 112), a second block takes it.
    static_assert(sizeof(std::uint64_t) * 80 >= 256, "W holds two blocks of bytes");
    auto* bytes = reinterpret_cast<unsigned char*>(W);
    const auto r = static_cast<std::size_t>(total % 128);
    const std::size_t end = r < 112 ? 128 : 256;
    bytes[r] = 0x80;
    std::memset(bytes + r + 1, 0, end - 16 - (r + 1));
    // The three bits that `total * 8` loses go into the high word.
    store_be64(bytes + end - 16, total >> 61);
    store_be64(bytes + end - 8, total << 3);
    kernel.blocks(state, bytes, end / 128);
}

void SHA512_finish(std::uint64_t state[8], std::uint64_t W[80], std::uint64_t total)
{
    SHA512_finish_with(SHA512_kernel_for_cpu(), state, W, total);
}
