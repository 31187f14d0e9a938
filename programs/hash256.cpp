// hash256 FILE [DIGEST]: prints the path and the SHA-256 digest of the file;
// on a console, says whether it is the one expected.
#include "platform.h"
#include "report.h"
#include "sha256.h"

int main(int argc, char* argv[])
{
    platform_start();
    const char* path = nullptr;
    const char* expected = nullptr;
    int unused = 0;
    platform_arguments(argc, argv, path, expected, unused);
    std::uint32_t state[8];
    const int result = SHA256(path, state);
    if (result != 0) {
        report_file_error();
    } else {
        report_digest(path, state, 8);
        report_verdict(path, expected, unused, "SHA256", state, 8);
    }
    // Started bare, a console shows how the program is used.
    return report_close(result, argc < 2 ? "hash256" : nullptr);
}
