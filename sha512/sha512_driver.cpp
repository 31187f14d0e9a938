// The SHA-512 file digest driver: a file's bytes through the block engine,
// read through the platform's stream.
#include "sha512.h"
#include "sha512_kernels.h"

#include <cstddef>
#include <cstdio>

#include "reader.h"
#include "stream.h"

int SHA512_digest_with(const Sha512Kernel& kernel, const char* path, std::uint64_t state[8],
                       const std::uint64_t initial[8])
{
    // The initial value goes in first, so a failed open leaves it there.
    for (unsigned i = 0; i < 8; ++i) {
        state[i] = initial[i];
    }
    // The stream's own buffer can be small: the reader asks for whole
    // pieces, which the runtime reads straight into them.
    static char stream_buffer[4096];
    static_assert(piece_size % 128 == 0, "pieces hold whole blocks");
    std::FILE* file = open_stream(path, stream_buffer, sizeof stream_buffer);
    if (file == nullptr) {
        return 1;
    }

    // The pieces' whole blocks go through the engine as they come. A piece
    // is full unless the input has ended (or failed), so the first short
    // piece holds the last blocks and the last bytes of the message.
    std::uint64_t W[80];
    const std::uint64_t total =
        read_blocks(file, 128, kernel.blocks, state, reinterpret_cast<unsigned char*>(W));
    SHA512_finish_with(kernel, state, W, total);

    // A read error also ended the loop above; the stream remembers it.
    const int failed = std::ferror(file) != 0 ? 1 : 0;
    std::fclose(file);
    return failed;
}

int SHA512_digest(const char* path, std::uint64_t state[8], const std::uint64_t initial[8])
{
    return SHA512_digest_with(SHA512_kernel_for_cpu(), path, state, initial);
}
