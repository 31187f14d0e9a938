// cross_digest FILE [every|sha256|sha512]: the SHA-256 and SHA-512 digests
// of FILE through the drivers with the kernels picked for this processor (or
// emulator), a line each ("sha256 picked:NAME HEX"); with "every", also
// through every kernel of the tables that it can run ("sha256 NAME HEX");
// with "sha256" or "sha512", the picked line of that algorithm alone.
// Built for other architectures by their presets, and run by
// tests/cross/check.sh (under qemu) and scripts/bench.sh.
#include <cstdio>
#include <cstring>
#include <string>

#include "sha256.h"
#include "sha256_kernels.h"
#include "sha512.h"
#include "sha512_kernels.h"

namespace
{

template <typename Word>
void print(const char* algorithm, const std::string& label, const Word (&state)[8])
{
    std::printf("%s %s ", algorithm, label.c_str());
    for (const Word word : state) {
        std::printf(sizeof(Word) == 8 ? "%016llx" : "%08llx",
                    static_cast<unsigned long long>(word));
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        return 2;
    }
    const char* mode = argc > 2 ? argv[2] : "";
    const bool every = std::strcmp(mode, "every") == 0;
    std::uint32_t state256[8];
    std::uint64_t state512[8];
    if (std::strcmp(mode, "sha512") != 0) {
        const Sha256Kernel& picked = SHA256_kernel_for_cpu();
        if (SHA256_digest_with(picked, argv[1], state256) != 0) {
            return 1;
        }
        print("sha256", std::string("picked:") + picked.name, state256);
        for (const Sha256Kernel& kernel : SHA256_kernels) {
            if (every && kernel.usable() && SHA256_digest_with(kernel, argv[1], state256) == 0) {
                print("sha256", kernel.name, state256);
            }
        }
    }
    if (std::strcmp(mode, "sha256") != 0) {
        const Sha512Kernel& picked = SHA512_kernel_for_cpu();
        if (SHA512_digest_with(picked, argv[1], state512, SHA512_initial) != 0) {
            return 1;
        }
        print("sha512", std::string("picked:") + picked.name, state512);
        for (const Sha512Kernel& kernel : SHA512_kernels) {
            if (every && kernel.usable()
                && SHA512_digest_with(kernel, argv[1], state512, SHA512_initial) == 0) {
                print("sha512", kernel.name, state512);
            }
        }
    }
    return 0;
}
