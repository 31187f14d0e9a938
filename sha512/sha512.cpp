// SHA-512 block engine and file digest driver, portable C++.
#include "sha512.h"

#include "sha512_kernels.h"
#include "sha512_rounds.h"
#include "progress.h"
#include "stream.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

using sha512::Word;

namespace {

// The first `count` bytes at p (0..7) as the most significant bytes of a
// big-endian word; the bytes after them read as zero.
Word load_partial(const unsigned char* p, unsigned count)
{
    Word x = 0;
    for (unsigned i = 0; i < count; ++i) {
        x |= Word{p[i]} << (56 - 8 * i);
    }
    return x;
}

// The eight bytes at p as a big-endian word; compilers make this one
// byte-swapping load.
Word load_be64(const unsigned char* p)
{
    return (Word{p[0]} << 56) | (Word{p[1]} << 48) | (Word{p[2]} << 40) | (Word{p[3]} << 32)
           | (Word{p[4]} << 24) | (Word{p[5]} << 16) | (Word{p[6]} << 8) | Word{p[7]};
}

// Replaces words 0..count-1 of W, which hold raw file bytes, by their
// big-endian values. Each word's bytes are read before the word is written.
void load_words(Word W[80], unsigned count)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(W);
    for (std::size_t i = 0; i < count; ++i) {
        W[i] = load_be64(bytes + 8 * i);
    }
}

// Fills W[16..79] from the block words W[0..15].
void expand(Word W[80])
{
    for (unsigned t = 16; t < 80; ++t) {
        W[t] = sha512::small_sigma1(W[t - 2]) + W[t - 7] + sha512::small_sigma0(W[t - 15])
               + W[t - 16];
    }
}

} // namespace

void SHA512_transform(std::uint64_t state[8], const std::uint64_t W[80])
{
    // Work on a copy of the state in eight variables.
    Word a = state[0], b = state[1], c = state[2], d = state[3];
    Word e = state[4], f = state[5], g = state[6], h = state[7];

    // 10 passes of 8 rounds.
    for (unsigned t = 0; t < 80; t += 8) {
        Word kw[8];
        for (unsigned i = 0; i < 8; ++i) {
            kw[i] = sha512::K[t + i] + W[t + i];
        }
        sha512::eight_rounds(a, b, c, d, e, f, g, h, kw);
    }

    // Add the working variables back into the chaining words.
    state[0] += a; state[1] += b; state[2] += c; state[3] += d;
    state[4] += e; state[5] += f; state[6] += g; state[7] += h;
}

void SHA512_compress_portable(std::uint64_t state[8], std::uint64_t W[80])
{
    expand(W);
    SHA512_transform(state, W);
}

void SHA512_blocks_portable(std::uint64_t state[8], const unsigned char* data, std::size_t count)
{
    Word W[80];
    for (std::size_t i = 0; i < count; ++i, data += 128) {
        for (unsigned w = 0; w < 16; ++w) {
            W[w] = load_be64(data + std::size_t{8} * w);
        }
        SHA512_compress_portable(state, W);
    }
}

void SHA512_process_with(SHA512_kernel kernel, std::uint64_t state[8], std::uint64_t W[80])
{
    load_words(W, 16);
    kernel.words(state, W);
}

void SHA512_process(std::uint64_t state[8], std::uint64_t W[80])
{
    SHA512_process_with(SHA512_kernel_for_cpu(), state, W);
}

void SHA512_finish_with(SHA512_kernel kernel, std::uint64_t state[8], std::uint64_t W[80],
                        std::uint64_t total)
{
    // r valid bytes; word j takes the end marker after its `tail` data bytes.
    const auto r = static_cast<unsigned>(total % 128);
    const unsigned j = r / 8;
    const unsigned tail = r % 8;

    // Convert the whole data words, then build word j from its data bytes
    // alone, so stale bytes after the data never reach the digest, and set
    // the end marker bit right after them.
    load_words(W, j);
    const auto* last = reinterpret_cast<const unsigned char*>(W + j);
    W[j] = load_partial(last, tail) | (Word{1} << (63 - 8 * tail));

    // When the length field no longer fits (r >= 112), this block is
    // compressed as it is and a block of zeros takes the length.
    if (j > 13) {
        for (unsigned i = j + 1; i < 16; ++i) {
            W[i] = 0;
        }
        kernel.words(state, W);
        for (unsigned i = 0; i < 14; ++i) {
            W[i] = 0;
        }
    } else {
        for (unsigned i = j + 1; i < 14; ++i) {
            W[i] = 0;
        }
    }

    // The 128-bit message length in bits: the three bits that `total * 8`
    // loses go into W[14].
    W[14] = total >> 61;
    W[15] = total << 3;
    kernel.words(state, W);
}

void SHA512_finish(std::uint64_t state[8], std::uint64_t W[80], std::uint64_t total)
{
    SHA512_finish_with(SHA512_kernel_for_cpu(), state, W, total);
}

int SHA512_digest_with(SHA512_kernel kernel, const char* path, std::uint64_t state[8],
                       const std::uint64_t initial[8])
{
    // The initial value goes in first, so a failed open leaves it there.
    for (unsigned i = 0; i < 8; ++i) {
        state[i] = initial[i];
    }
    // The buffers are the driver's own storage, not the stack, so the
    // programs run on small stacks too. The driver's requests are as large
    // as a stream buffer would be, so the runtime reads straight into
    // `piece`, and the stream's own buffer can be small.
    static char stream_buffer[4096];
    static unsigned char piece[platform_stream_buffer_size];
    static_assert(sizeof piece % 128 == 0, "pieces hold whole blocks");
    std::FILE* file = platform_open(path, stream_buffer, sizeof stream_buffer);
    if (file == nullptr) {
        return 1;
    }

    // Pieces of whole blocks go through the engine in one call each. fread
    // fills a piece unless the input has ended (or failed), so the first
    // short piece holds the last blocks and the last bytes of the message,
    // exactly as one 128-byte read per block would have found them.
    platform_progress progress{};
    platform_progress_start(progress, file);
    Word W[80];
    std::uint64_t total = 0;
    for (;;) {
        const std::size_t n = platform_fread(piece, sizeof piece, file);
        total += n;
        const std::size_t whole = n / 128;
        if (whole != 0) {
            kernel.blocks(state, piece, whole);
        }
        if (n != sizeof piece) {
            std::memcpy(W, piece + 128 * whole, n % 128);
            break;
        }
        platform_progress_update(progress, total);
    }
    SHA512_finish_with(kernel, state, W, total);
    platform_progress_end(progress);

    // A read error also ended the loop above; the stream remembers it.
    const int failed = std::ferror(file) != 0 ? 1 : 0;
    std::fclose(file);
    return failed;
}

int SHA512_digest(const char* path, std::uint64_t state[8], const std::uint64_t initial[8])
{
    return SHA512_digest_with(SHA512_kernel_for_cpu(), path, state, initial);
}
