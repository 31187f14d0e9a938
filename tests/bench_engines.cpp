// Throughput of the engines' kernels on runs of 32 blocks (4 KiB of SHA-512,
// 2 KiB of SHA-256) with the data in the L1 cache, as the drivers call them.
// Speed targets are checked here and by scripts/bench.sh, never in tests.
#include <benchmark/benchmark.h>

#include <vector>

#include "sha256_kernels.h"
#include "sha512_kernels.h"

namespace {

constexpr std::size_t run_blocks = 32;

template <typename Word, typename Kernel>
void blocks(benchmark::State& state, Kernel kernel, bool usable)
{
    if (!usable) {
        state.SkipWithError("this CPU lacks the kernel's instructions");
        return;
    }
    constexpr std::size_t block = 16 * sizeof(Word);
    std::vector<unsigned char> data(run_blocks * block);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<unsigned char>(i * 131 + 7);
    }
    Word hash[8] = {};
    for (auto _ : state) {
        kernel.blocks(hash, data.data(), run_blocks);
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}

void sha512_blocks(benchmark::State& state, SHA512_kernel kernel, bool usable)
{
    blocks<std::uint64_t>(state, kernel, usable);
}

void sha256_blocks(benchmark::State& state, SHA256_kernel kernel, bool usable)
{
    blocks<std::uint32_t>(state, kernel, usable);
}

} // namespace

BENCHMARK_CAPTURE(sha512_blocks, portable, SHA512_portable, true);
BENCHMARK_CAPTURE(sha512_blocks, avx2, SHA512_avx2, SHA512_avx2_usable());
BENCHMARK_CAPTURE(sha512_blocks, avx512, SHA512_avx512, SHA512_avx512_usable());
BENCHMARK_CAPTURE(sha512_blocks, vector_ssse3, SHA512_vector_ssse3, SHA512_vector_ssse3_usable());
BENCHMARK_CAPTURE(sha512_blocks, vector_avx512, SHA512_vector_avx512, SHA512_vector_avx512_usable());
BENCHMARK_CAPTURE(sha512_blocks, picked, SHA512_kernel_for_cpu(), true);
BENCHMARK_CAPTURE(sha256_blocks, portable, SHA256_portable, true);
BENCHMARK_CAPTURE(sha256_blocks, shani, SHA256_shani, SHA256_shani_usable());
BENCHMARK_MAIN();
