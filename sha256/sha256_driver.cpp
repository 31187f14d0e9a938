// The SHA-256 file digest driver: a file's bytes in 4096-byte pieces through
// the compression kernel, the last block padded after the data, read through
// the platform's stream.
#include "sha256.h"
#include "sha256_kernels.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "progress.h"
#include "stream.h"

int SHA256_digest_with(const SHA256_kernel& kernel, const char* path, std::uint32_t state[8])
{
    // The initial value goes in first, so a failed open leaves it there.
    for (unsigned i = 0; i < 8; ++i) {
        state[i] = SHA256_initial[i];
    }
    // The buffers are the driver's own storage, not the stack, so the
    // programs run on small stacks too.
    static char stream_buffer[platform_stream_buffer_size];
    static unsigned char buffer[4096];
    std::FILE* file = platform_open(path, stream_buffer, sizeof stream_buffer);
    if (file == nullptr) {
        return 1;
    }

    // Read 4096-byte pieces and compress their whole 64-byte blocks straight
    // from the read buffer, all of a piece's in one kernel call. A piece that
    // ends inside a block (or an empty read) ends the input; its last bytes
    // go into the last block.
    platform_progress progress{};
    platform_progress_start(progress, file);
    unsigned char last[128];
    std::size_t remaining = 0;
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = platform_fread(buffer, sizeof buffer, file);
        if (n == 0) {
            break;
        }
        total += n;
        const std::size_t whole = n / 64;
        if (whole != 0) {
            kernel.blocks(state, buffer, whole);
        }
        remaining = n - 64 * whole;
        if (remaining != 0) {
            std::memcpy(last, buffer + 64 * whole, remaining);
            break;
        }
        platform_progress_update(progress, total);
    }
    platform_progress_end(progress);

    // A read error also ended the loop; nothing is padded then.
    if (std::ferror(file) != 0) {
        std::fclose(file);
        return 1;
    }
    std::fclose(file);

    // Pad after the r data bytes: the end marker, zeros, and the 64-bit bit
    // length at the end of the last block; when it no longer fits (r >= 56),
    // a second block takes it.
    const std::size_t end = remaining < 56 ? 64 : 128;
    last[remaining] = 0x80;
    std::memset(last + remaining + 1, 0, end - 8 - (remaining + 1));
    const std::uint64_t bits = total << 3;
    for (unsigned i = 0; i < 8; ++i) {
        last[end - 8 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    }
    kernel.blocks(state, last, end / 64);
    return 0;
}

int SHA256(const char* path, std::uint32_t state[8])
{
    return SHA256_digest_with(SHA256_kernel_for_cpu(), path, state);
}
