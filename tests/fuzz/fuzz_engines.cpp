// Differential fuzzing: every message goes through every usable kernel of
// both engines, block by block and through the file drivers, and each digest
// must equal libcrypto's. The first input byte picks the stale bytes that
// fill the SHA-512 work buffer before the message's last bytes go in. The
// same message is read as a checksum file too, which must end in an answer
// without any fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <openssl/evp.h>
#include <unistd.h>

#include "argument.h"
#include "list_names.h"
#include "sha256.h"
#include "sha256_kernels.h"
#include "sha512.h"
#include "sha512_kernels.h"

namespace
{

std::string temp_path;

void expect(bool same, const char* what)
{
    if (!same) {
        std::fprintf(stderr, "digest mismatch: %s\n", what);
        std::abort();
    }
}

// libcrypto's digest as big-endian words, to compare with a hash state.
template <typename Word>
void oracle(const char* name, const std::uint8_t* data, std::size_t size, Word* words,
            unsigned count)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data, size, md, &length, EVP_get_digestbyname(name), nullptr);
    for (unsigned i = 0; i < count; ++i) {
        Word word = 0;
        for (unsigned b = 0; b < sizeof(Word); ++b) {
            word = static_cast<Word>((word << 8) | md[i * sizeof(Word) + b]);
        }
        words[i] = word;
    }
}

// The block engine by hand: full blocks, one by one through W or all at
// once from the input's bytes (at whatever alignment the fuzzer gives), then
// the tail over stale bytes.
void engine(const Sha512Kernel& kernel, bool by_blocks, const std::uint64_t* initial,
            std::uint8_t stale, const std::uint8_t* data, std::size_t size, std::uint64_t state[8])
{
    std::memcpy(state, initial, 8 * sizeof(std::uint64_t));
    std::uint64_t W[80];
    std::memset(W, stale, sizeof W);
    std::size_t done = 0;
    if (by_blocks) {
        kernel.blocks(state, data, size / 128);
        done = size - size % 128;
    }
    for (; size - done >= 128; done += 128) {
        std::memcpy(W, data + done, 128);
        SHA512_process_with(kernel, state, W);
    }
    std::memcpy(W, data + done, size - done);
    SHA512_finish_with(kernel, state, W, size);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/fuzz-engines-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) {
        std::abort();
    }
    close(fd);
    temp_path = pattern;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::uint8_t stale = input[0];
    const std::uint8_t* data = input + 1;
    const std::size_t length = size - 1;

    std::FILE* file = std::fopen(temp_path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, length, file) != length || std::fclose(file) != 0) {
        std::abort();
    }

    std::uint64_t want512[8], want384[6], got[8];
    oracle("SHA512", data, length, want512, 8);
    oracle("SHA384", data, length, want384, 6);
    for (const Sha512Kernel& kernel : SHA512_kernels) {
        if (!kernel.usable()) {
            continue;
        }
        engine(kernel, false, SHA512_initial, stale, data, length, got);
        expect(std::memcmp(got, want512, sizeof want512) == 0, "SHA-512 engine");
        engine(kernel, true, SHA384_initial, stale, data, length, got);
        expect(std::memcmp(got, want384, sizeof want384) == 0, "SHA-384 engine");
        expect(SHA512_digest_with(kernel, temp_path.c_str(), got, SHA512_initial) == 0
                   && std::memcmp(got, want512, sizeof want512) == 0,
               "SHA-512 driver");
    }

    // As a checksum list (own or not, in two pieces), an argument and a
    // file name: a digest found is one of the asked length.
    static ChecksumScan scan;
    const ChecksumTarget target{algorithm_sha256,
                                "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
                                "a.iso",
                                5,
                                "\x93\xFA.iso",
                                6,
                                (stale & 2) != 0 ? NameRule::windows : NameRule::exact};
    const ListName list{(stale & 1) != 0 ? ListKind::own : ListKind::list, (stale & 4) != 0, false,
                        (stale & 16) != 0};
    checksum_scan_start(scan, target, list);
    checksum_scan_feed(scan, data, length / 2);
    checksum_scan_feed(scan, data + length / 2, length - length / 2);
    checksum_scan_end(scan, (stale & 8) != 0);
    if (scan.tally.differing > 0) {
        expect(std::strlen(scan.tally.expected) == 64
                   && std::strspn(scan.tally.expected, "0123456789abcdef") == 64,
               "checksum");
    }
    char expected[algorithm_max_digits + 1];
    const Argument argument =
        checksum_argument(reinterpret_cast<const char*>(data), length, target, scan, expected);
    if (argument == Argument::digest || argument == Argument::labelled) {
        expect(std::strlen(expected) == 64 && std::strspn(expected, "0123456789abcdef") == 64,
               "argument");
    }
    checksum_list_name(reinterpret_cast<const char*>(data), length, target);

    std::uint32_t want256[8], got256[8];
    oracle("SHA256", data, length, want256, 8);
    for (const Sha256Kernel& kernel : SHA256_kernels) {
        if (kernel.usable()) {
            expect(SHA256_digest_with(kernel, temp_path.c_str(), got256) == 0
                       && std::memcmp(got256, want256, sizeof want256) == 0,
                   "SHA-256 driver");
        }
    }
    return 0;
}
