// hash512 FILE [DIGEST]: prints the path and the SHA-512 digest of the file;
// on a console, says whether it is the one expected.
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
    const int result = SHA512(path, state);
    if (result != 0) {
        report_file_error();
    } else {
        char digest[algorithm_max_digits + 1];
        report_digest(path, report_hex(state, algorithm_sha512, digest));
        report_verdict(path, expected, unused, algorithm_sha512, digest);
    }
    // Started bare, a console shows how the program is used.
    return report_close(result, argc < 2 ? "hash512" : nullptr);
}
