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

    // The file's whole blocks go through the engine as they come, from its
    // mapping or the stream's pieces; its last bytes are left in W.
    std::uint64_t W[80];
    const ReadResult read =
        read_blocks(file, 128, kernel.blocks, state, reinterpret_cast<unsigned char*>(W));
    SHA512_finish_with(kernel, state, W, read.total);

    // A read error (or a file that shrank under its mapping) also ended the
    // reading; the state is then not the file's digest.
    std::fclose(file);
    return read.failed ? 1 : 0;
}

int SHA512_digest(const char* path, std::uint64_t state[8], const std::uint64_t initial[8])
{
    return SHA512_digest_with(SHA512_kernel_for_cpu(), path, state, initial);
}
