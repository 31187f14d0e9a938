// SHA512() for hash512: the SHA-512 initial value.
#include "sha512.h"

int SHA512(const char* path, std::uint64_t state[8])
{
    return SHA512_digest(path, state, SHA512_initial);
}
