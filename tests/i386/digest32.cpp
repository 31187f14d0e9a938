// digest32 FILE [every|sha256|sha512]: the SHA-256 and SHA-512 digests of
// FILE through the drivers, a line each ("sha256 HEX", "sha512 HEX"); with
// "every", through every kernel this processor (or emulator) can run, a line
// per kernel; with "sha256" or "sha512", that line alone.
// Built as a 32-bit x86 program by tests/i386/check.sh.
#include <cstdio>
#include <cstring>

#include "sha256.h"
#include "sha256_kernels.h"
#include "sha512.h"
#include "sha512_kernels.h"

int main(int argc, char* argv[])
{
    if (argc < 2) {
        return 2;
    }
    const bool every = argc > 2 && std::strcmp(argv[2], "every") == 0;
    const bool sha256 = argc < 3 || std::strcmp(argv[2], "sha512") != 0;
    const bool sha512 = argc < 3 || std::strcmp(argv[2], "sha256") != 0;
    const SHA256_kernel kernels256[] = {SHA256_kernel_for_cpu(), SHA256_portable, SHA256_shani};
    const bool usable256[] = {sha256, every, every && SHA256_shani_usable()};
    for (unsigned k = 0; k < 3; ++k) {
        std::uint32_t state[8];
        if (!usable256[k]) {
            continue;
        }
        if (SHA256_digest_with(kernels256[k], argv[1], state) != 0) {
            return 1;
        }
        std::printf("sha256 ");
        for (const std::uint32_t word : state) {
            std::printf("%08x", static_cast<unsigned>(word));
        }
        std::printf("\n");
    }
    const SHA512_kernel kernels512[] = {SHA512_kernel_for_cpu(), SHA512_portable, SHA512_avx2,
                                        SHA512_avx512, SHA512_vector_ssse3, SHA512_vector_avx512};
    const bool usable512[] = {sha512,
                              every,
                              every && SHA512_avx2_usable(),
                              every && SHA512_avx512_usable(),
                              every && SHA512_vector_ssse3_usable(),
                              every && SHA512_vector_avx512_usable()};
    for (unsigned k = 0; k < 6; ++k) {
        std::uint64_t state[8];
        if (!usable512[k]) {
            continue;
        }
        if (SHA512_digest_with(kernels512[k], argv[1], state, SHA512_initial) != 0) {
            return 1;
        }
        std::printf("sha512 ");
        for (const std::uint64_t word : state) {
            std::printf("%016llx", static_cast<unsigned long long>(word));
        }
        std::printf("\n");
    }
    return 0;
}
