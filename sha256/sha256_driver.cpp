// The SHA-256 file digest driver: a file's bytes in pieces through the
// compression kernel, the last block padded after the data, read through the
// platform's reader.
#include "sha256.h"
#include "sha256_kernels.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "reader.h"
#include "stream.h"

int SHA256_digest_with(const Sha256Kernel& kernel, const char* path, std::uint32_t state[8])
{
    // The initial value goes in first, so a failed open leaves it there.
    for (unsigned i = 0; i < 8; ++i) {
        state[i] = SHA256_initial[i];
    }
    // The stream's own buffer can be small: the reader asks for whole
    // pieces, which the runtime reads straight into them.
    static char stream_buffer[4096];
    static_assert(piece_size % 64 == 0, "pieces hold whole blocks");
    std::FILE* file = open_stream(path, stream_buffer, sizeof stream_buffer);
    if (file == nullptr) {
        return 1;
    }

    // The file's whole 64-byte blocks are compressed where they lie, in its
    // mapping or the stream's pieces; its last bytes go into the last block.
    unsigned char last[128];
    const ReadResult read = read_blocks(file, 64, kernel.blocks, state, last);
    const std::uint64_t total = read.total;
    const auto remaining = static_cast<std::size_t>(total % 64);

    // A read error (or a file that shrank under its mapping) also ended the
    // reading; nothing is padded then.
    std::fclose(file);
    if (read.failed) {
        return 1;
    }

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
