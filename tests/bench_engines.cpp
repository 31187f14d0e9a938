// Throughput of every kernel of each engine's table, and of the one picked
// for this CPU, on runs of 32 blocks (4 KiB of SHA-512, 2 KiB of SHA-256)
// with the data in the L1 cache, as the drivers call them; and of
// libcrypto's digest on the same runs, the peer, in the same process. Speed
// targets are checked here and by scripts/bench.sh, never in tests.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "sha256_kernels.h"
#include "sha512_kernels.h"

namespace
{

constexpr std::size_t run_blocks = 32;

template <typename Word, typename Kernel> void blocks(benchmark::State& state, const Kernel& kernel)
{
    if (!kernel.usable()) {
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

// libcrypto's digest fed the same runs of blocks.
template <typename Word> void libcrypto(benchmark::State& state, const EVP_MD* md)
{
    constexpr std::size_t block = 16 * sizeof(Word);
    std::vector<unsigned char> data(run_blocks * block, 0x5a);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr || EVP_DigestInit_ex(context, md, nullptr) != 1) {
        state.SkipWithError("libcrypto cannot start the digest");
        EVP_MD_CTX_free(context);
        return;
    }
    for (auto _ : state) {
        EVP_DigestUpdate(context, data.data(), data.size());
    }
    EVP_MD_CTX_free(context);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}

template <typename Word, typename Kernel, std::size_t N>
void register_all(const char* engine, const Kernel (&table)[N], const Kernel& picked)
{
    for (const Kernel& kernel : table) {
        benchmark::RegisterBenchmark((std::string(engine) + "_blocks/" + kernel.name).c_str(),
                                     blocks<Word, Kernel>, kernel);
    }
    benchmark::RegisterBenchmark((std::string(engine) + "_blocks/picked").c_str(),
                                 blocks<Word, Kernel>, picked);
    benchmark::RegisterBenchmark((std::string(engine) + "_blocks/libcrypto").c_str(),
                                 libcrypto<Word>, EVP_get_digestbyname(engine));
}

} // namespace

int main(int argc, char** argv)
{
    register_all<std::uint64_t>("sha512", SHA512_kernels, SHA512_kernel_for_cpu());
    register_all<std::uint32_t>("sha256", SHA256_kernels, SHA256_kernel_for_cpu());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
