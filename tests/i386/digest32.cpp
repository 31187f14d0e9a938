// digest32 FILE [sha512]: the SHA-256 digest of FILE through the SHA-256
// driver, and with a second argument also its SHA-512 digest, one per line.
// Built as a 32-bit x86 program by tests/i386/check.sh.
#include <cstdio>

#include "sha256.h"
#include "sha512.h"

int main(int argc, char* argv[])
{
    if (argc < 2) {
        return 2;
    }
    std::uint32_t state256[8];
    if (SHA256(argv[1], state256) != 0) {
        return 1;
    }
    for (const std::uint32_t word : state256) {
        std::printf("%08x", static_cast<unsigned>(word));
    }
    std::printf("\n");
    if (argc > 2) {
        std::uint64_t state512[8];
        if (SHA512_digest(argv[1], state512, SHA512_initial) != 0) {
            return 1;
        }
        for (const std::uint64_t word : state512) {
            std::printf("%016llx", static_cast<unsigned long long>(word));
        }
        std::printf("\n");
    }
    return 0;
}
