// hash384 FILE [DIGEST]: prints the path, the SHA-384 digest of the file, and the
// seconds that opening, reading and hashing it took; on a console, says
// whether the digest is the one expected.
#include "platform/process.h"
#include "report.h"
#include "sha512.h"

int main(int argc, char* argv[])
{
    platform_start();
    const char* path = nullptr;
    const char* expected = nullptr;
    int unused = 0;
    platform_arguments(argc, argv, path, expected, unused);
    std::uint64_t state[8];
    const std::int32_t start = platform_clock_ms();
    const int result = SHA512(path, state);
    if (result != 0) {
        report_file_error();
    } else {
        // Read the clock before any output, so the time covers the work only.
        const std::int32_t end = platform_clock_ms();
        const auto ticks = static_cast<std::int32_t>(static_cast<std::uint32_t>(end)
                                                     - static_cast<std::uint32_t>(start));
        char digest[algorithm_max_digits + 1];
        report_digest(path, report_hex(state, algorithm_sha384, digest));
        report_seconds(ticks);
        report_verdict(path, expected, unused, algorithm_sha384, digest);
    }
    // Started bare, a console shows how the program is used.
    return report_close(result, argc < 2 ? "hash384" : nullptr);
}
