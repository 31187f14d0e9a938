// Throughput of the engines, block by block, with the data in the L1 cache.
// Speed targets are checked here and by scripts/bench.sh, never in tests.
#include <benchmark/benchmark.h>

#include <cstring>

#include "sha256.h"
#include "sha256_kernels.h"
#include "sha512.h"
#include "sha512_kernels.h"

namespace {

// One kernel on the same block over and over; the block's words are
// reloaded each time, since a kernel may use W beyond them as scratch.
template <typename Word, unsigned Words>
void blocks(benchmark::State& state, void (*kernel)(Word*, Word*), bool usable)
{
    if (!usable) {
        state.SkipWithError("this CPU lacks the kernel's instructions");
        return;
    }
    Word hash[8] = {};
    Word block[16];
    for (unsigned i = 0; i < 16; ++i) {
        block[i] = static_cast<Word>(0x0123456789abcdefULL * (i + 1));
    }
    Word W[Words];
    for (auto _ : state) {
        std::memcpy(W, block, sizeof block);
        kernel(hash, W);
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(16 * sizeof(Word)));
}

void sha512_blocks(benchmark::State& state, SHA512_kernel kernel, bool usable)
{
    blocks<std::uint64_t, 80>(state, kernel, usable);
}

void sha256_blocks(benchmark::State& state, SHA256_kernel kernel, bool usable)
{
    blocks<std::uint32_t, 64>(state, kernel, usable);
}

} // namespace

BENCHMARK_CAPTURE(sha512_blocks, portable, SHA512_compress_portable, true);
BENCHMARK_CAPTURE(sha512_blocks, avx2, SHA512_compress_avx2, SHA512_avx2_usable());
BENCHMARK_CAPTURE(sha512_blocks, avx512, SHA512_compress_avx512, SHA512_avx512_usable());
// The driver's whole per-block road: byte order, then the picked kernel.
BENCHMARK_CAPTURE(sha512_blocks, process, SHA512_process, true);
BENCHMARK_CAPTURE(sha256_blocks, portable, SHA256_compress_portable, true);
BENCHMARK_CAPTURE(sha256_blocks, shani, SHA256_compress_shani, SHA256_shani_usable());
BENCHMARK_MAIN();
