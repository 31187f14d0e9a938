// SHA-256 compression and file digest driver, portable C++.
#include "sha256.h"

#include "sha256_constants.h"
#include "sha256_kernels.h"
#include "progress.h"
#include "stream.h"

#include <cstddef>
#include <cstdio>

namespace {

using Word = std::uint32_t;
using sha256::K;
static_assert(sizeof(Word) == 4, "SHA-256 words are 32 bits");

constexpr Word rotr(Word x, unsigned n) { return (x >> n) | (x << (32 - n)); }
constexpr Word big_sigma0(Word x) { return rotr(x, 2) ^ rotr(x, 13) ^ rotr(x, 22); }
constexpr Word big_sigma1(Word x) { return rotr(x, 6) ^ rotr(x, 11) ^ rotr(x, 25); }
constexpr Word small_sigma0(Word x) { return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3); }
constexpr Word small_sigma1(Word x) { return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10); }
constexpr Word ch(Word e, Word f, Word g) { return (e & f) | (~e & g); }
constexpr Word maj(Word a, Word b, Word c) { return (a & (b ^ c)) ^ (b & c); }

// One round with the working variables in the roles a..h. Only the variables
// playing d and h change; the next round shifts every role by one, so no
// value moves between variables.
inline void step(Word a, Word b, Word c, Word& d, Word e, Word f, Word g, Word& h, Word kw)
{
    const Word t1 = h + big_sigma1(e) + ch(e, f, g) + kw;
    const Word t2 = big_sigma0(a) + maj(a, b, c);
    d += t1;
    h = t1 + t2;
}

// The first `count` bytes at p (0..4) as the most significant bytes of a
// big-endian word; the bytes after them read as zero. For a whole block the
// compiler turns these shifts into byte swaps or vector code.
Word load_be(const unsigned char* p, unsigned count)
{
    Word x = 0;
    for (unsigned i = 0; i < count; ++i) {
        x |= Word{p[i]} << (24 - 8 * i);
    }
    return x;
}

// Converts the block at p into W[0..15], or as much of it as `available`
// bytes make: a partial last word holds its bytes followed by zeros, and the
// words after it are left alone. Never reads past p + available.
void load_block(Word W[64], const unsigned char* p, int available)
{
    const std::size_t count = available >= 64 ? 64U : static_cast<std::size_t>(available);
    std::size_t i = 0;
    for (; 4 * i + 4 <= count; ++i) {
        W[i] = load_be(p + 4 * i, 4);
    }
    if (4 * i < count) {
        W[i] = load_be(p + 4 * i, static_cast<unsigned>(count - 4 * i));
    }
}

} // namespace

void SHA256_expand(std::uint32_t W[64])
{
    for (unsigned t = 16; t < 64; ++t) {
        W[t] = small_sigma1(W[t - 2]) + W[t - 7] + small_sigma0(W[t - 15]) + W[t - 16];
    }
}

void SHA256_transform(std::uint32_t state[8], const std::uint32_t W[64])
{
    // Work on a copy of the state in eight variables.
    Word a = state[0], b = state[1], c = state[2], d = state[3];
    Word e = state[4], f = state[5], g = state[6], h = state[7];

    // 8 passes of 8 rounds; after 8 role shifts every variable is back in
    // its first role.
    for (unsigned t = 0; t < 64; t += 8) {
        step(a, b, c, d, e, f, g, h, K[t + 0] + W[t + 0]);
        step(h, a, b, c, d, e, f, g, K[t + 1] + W[t + 1]);
        step(g, h, a, b, c, d, e, f, K[t + 2] + W[t + 2]);
        step(f, g, h, a, b, c, d, e, K[t + 3] + W[t + 3]);
        step(e, f, g, h, a, b, c, d, K[t + 4] + W[t + 4]);
        step(d, e, f, g, h, a, b, c, K[t + 5] + W[t + 5]);
        step(c, d, e, f, g, h, a, b, K[t + 6] + W[t + 6]);
        step(b, c, d, e, f, g, h, a, K[t + 7] + W[t + 7]);
    }

    // Add the working variables back into the chaining words.
    state[0] += a; state[1] += b; state[2] += c; state[3] += d;
    state[4] += e; state[5] += f; state[6] += g; state[7] += h;
}

void SHA256_compress_portable(std::uint32_t state[8], std::uint32_t W[64])
{
    SHA256_expand(W);
    SHA256_transform(state, W);
}

void SHA256_blocks_portable(std::uint32_t state[8], const unsigned char* data, std::size_t count)
{
    Word W[64];
    for (std::size_t i = 0; i < count; ++i, data += 64) {
        load_block(W, data, 64);
        SHA256_compress_portable(state, W);
    }
}

int SHA256_digest_with(SHA256_kernel kernel, const char* path, std::uint32_t state[8])
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
    // are converted into W.
    platform_progress progress{};
    platform_progress_start(progress, file);
    Word W[64];
    std::uint64_t total = 0;
    int remaining = 0;
    for (;;) {
        remaining = static_cast<int>(platform_fread(buffer, sizeof buffer, file));
        if (remaining == 0) {
            break;
        }
        total += static_cast<std::uint64_t>(remaining);
        const auto whole = static_cast<std::size_t>(remaining) / 64;
        if (whole != 0) {
            kernel.blocks(state, buffer, whole);
        }
        remaining -= static_cast<int>(64 * whole);
        if (remaining != 0) {
            load_block(W, buffer + 64 * whole, remaining);
            break;
        }
        platform_progress_update(progress, total);
    }
    platform_progress_end(progress);

    // A read error also ended the loops; nothing is padded then.
    if (std::ferror(file) != 0) {
        std::fclose(file);
        return 1;
    }
    std::fclose(file);

    // Pad the last block in place: r data bytes, then the end marker.
    const auto r = static_cast<unsigned>(remaining);
    const unsigned j = r / 4;
    const unsigned tail = r % 4;
    if (tail == 0) {
        W[j] = 0x80000000U;
    } else {
        W[j] = (W[j] & (0xffffffffU << (32 - 8 * tail))) | (0x80000000U >> (8 * tail));
    }

    // When the length no longer fits (r >= 56), this block is compressed as
    // it is and a block of zeros takes the length.
    if (j + 1 > 14) {
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

    // The 64-bit message length in bits.
    const std::uint64_t bits = total << 3;
    W[14] = static_cast<Word>(bits >> 32);
    W[15] = static_cast<Word>(bits);
    kernel.words(state, W);
    return 0;
}

int SHA256(const char* path, std::uint32_t state[8])
{
    return SHA256_digest_with(SHA256_kernel_for_cpu(), path, state);
}
