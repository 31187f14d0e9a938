// Throughput of the engines, block by block, with the data in the L1 cache.
// Speed targets are checked here and by scripts/bench.sh, never in tests.
#include <benchmark/benchmark.h>

#include <cstring>

#include "sha256.h"
#include "sha256_kernels.h"
#include "sha512.h"
#include "sha512_kernels.h"

namespace {

void sha512_blocks(benchmark::State& state, SHA512_kernel kernel, bool usable)
{
    if (!usable) {
        state.SkipWithError("this CPU lacks the kernel's instructions");
        return;
    }
    std::uint64_t hash[8];
    std::memcpy(hash, SHA512_initial, sizeof hash);
    unsigned char block[128];
    for (unsigned i = 0; i < sizeof block; ++i) {
        block[i] = static_cast<unsigned char>(i * 7);
    }
    std::uint64_t W[80];
    for (auto _ : state) {
        std::memcpy(W, block, sizeof block);
        kernel(hash, W);
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 128);
}

// The whole per-block road of the SHA-512 driver: byte order, then kernel.
void sha512_process(benchmark::State& state)
{
    std::uint64_t hash[8];
    std::memcpy(hash, SHA512_initial, sizeof hash);
    unsigned char block[128];
    for (unsigned i = 0; i < sizeof block; ++i) {
        block[i] = static_cast<unsigned char>(i * 7);
    }
    std::uint64_t W[80];
    for (auto _ : state) {
        std::memcpy(W, block, sizeof block);
        SHA512_process(hash, W);
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 128);
}

void sha256_blocks(benchmark::State& state, SHA256_kernel kernel, bool usable)
{
    if (!usable) {
        state.SkipWithError("this CPU lacks the kernel's instructions");
        return;
    }
    std::uint32_t hash[8];
    std::memcpy(hash, SHA256_initial, sizeof hash);
    std::uint32_t W[64];
    for (unsigned i = 0; i < 16; ++i) {
        W[i] = i * 0x01010101U;
    }
    for (auto _ : state) {
        kernel(hash, W);
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 64);
}

} // namespace

BENCHMARK_CAPTURE(sha512_blocks, portable, SHA512_compress_portable, true);
BENCHMARK_CAPTURE(sha512_blocks, avx2, SHA512_compress_avx2, SHA512_avx2_usable());
BENCHMARK_CAPTURE(sha512_blocks, avx512, SHA512_compress_avx512, SHA512_avx512_usable());
BENCHMARK(sha512_process);
BENCHMARK_CAPTURE(sha256_blocks, portable, SHA256_compress_portable, true);
BENCHMARK_CAPTURE(sha256_blocks, shani, SHA256_compress_shani, SHA256_shani_usable());
BENCHMARK_MAIN();
