// Reading a buffered stream that one thread owns, as fast as the runtime
// allows. Header only: the engines' drivers call it once per block.
#pragma once

#include <cstddef>
#include <cstdio>

// fread(buffer, 1, size, file): the same bytes, count and error indicator.
// glibc's fread takes the stream's lock on every call, which costs as much
// as hashing a tenth of a SHA-512 block; the drivers' streams never leave
// their thread, so there the lock is skipped.
inline std::size_t platform_fread(void* buffer, std::size_t size, std::FILE* file)
{
#if defined(__GLIBC__)
    return fread_unlocked(buffer, 1, size, file);
#else
    return std::fread(buffer, 1, size, file);
#endif
}
