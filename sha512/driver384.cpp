// SHA512() for hash384: the SHA-384 initial value, same engine and driver.
#include "sha512.h"

int SHA512(const char* path, std::uint64_t state[8])
{
    return SHA512_digest(path, state, SHA384_initial);
}
