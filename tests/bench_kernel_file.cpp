// The pure-compute limit of a program on a file: the time the picked kernel
// of an engine takes over the file's whole blocks, read into memory first,
// in calls of 1 MiB as the drivers make them. Not a test; scripts/bench.sh
// sets it beside the programs' own times.
//   bench_kernel_file FILE sha256|sha512   prints the seconds
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "sha256_kernels.h"
#include "sha512_kernels.h"

namespace
{

// Seconds for `kernel` over data's whole blocks of `block` bytes.
template <typename Word, typename Kernel>
double seconds(const Kernel& kernel, const std::vector<unsigned char>& data)
{
    constexpr std::size_t block = 16 * sizeof(Word);
    constexpr std::size_t piece = std::size_t{1} << 20;
    Word state[8] = {};
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at + block <= data.size(); at += piece) {
        const std::size_t bytes = std::min(piece, data.size() - at);
        kernel.blocks(state, data.data() + at, bytes / block);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "%016llx\n", static_cast<unsigned long long>(state[0]));
    return took.count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_kernel_file FILE sha256|sha512\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
    std::vector<unsigned char> data(
        static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const bool sha512 = std::strcmp(argv[2], "sha512") == 0;
    std::printf("%.4f\n", sha512 ? seconds<std::uint64_t>(SHA512_kernel_for_cpu(), data)
                                 : seconds<std::uint32_t>(SHA256_kernel_for_cpu(), data));
    return 0;
}
