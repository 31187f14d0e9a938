// Opening and reading the buffered stream of a driver, which one thread
// owns, as fast as the runtime allows. Header only: the drivers call
// platform_fread once per piece of many blocks, in their hot loop.
#pragma once

#include <cstddef>
#include <cstdio>

// Bytes of the stream buffer a driver gives its file: large reads from the
// system whatever the size of the driver's own requests.
inline constexpr std::size_t platform_stream_buffer_size = 65536;

#if defined(_WIN32)
// Windows: fopen(path, "rb"), except that the program's own argument opens
// by its wide-character name where the ANSI code page cannot spell it.
std::FILE* platform_fopen(const char* path);
#endif

// Opens `path` for binary reading with buffer[0..size-1] as the stream's
// buffer, which must outlive the stream. Returns nullptr when there is no
// path or the file cannot be opened.
inline std::FILE* platform_open(const char* path, char* buffer, std::size_t size)
{
    if (path == nullptr) {
        return nullptr;
    }
#if defined(_WIN32)
    std::FILE* file = platform_fopen(path);
#else
    std::FILE* file = std::fopen(path, "rb");
#endif
    if (file != nullptr) {
        std::setvbuf(file, buffer, _IOFBF, size);
    }
    return file;
}

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
