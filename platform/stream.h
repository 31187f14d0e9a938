// Opening and reading the buffered stream of a driver, which one thread at a
// time uses (the reader's thread, or the driver's), as fast as the runtime
// allows. Header only: the reader calls platform_fread once per piece.
#pragma once

#include <cstddef>
#include <cstdio>

#if !defined(_WIN32)
#include <fcntl.h>
#endif

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
#if !defined(_WIN32)
        // Read in order from start to end: the system may read further ahead
        // on a file not yet in its cache.
        posix_fadvise(fileno(file), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    }
    return file;
}

// fread(buffer, 1, size, file): the same bytes, count and error indicator.
// glibc's fread takes the stream's lock on every call; a driver's stream is
// used by one thread at a time, handed over at points where the threads
// synchronise, so there the lock is skipped.
inline std::size_t platform_fread(void* buffer, std::size_t size, std::FILE* file)
{
#if defined(__GLIBC__)
    return fread_unlocked(buffer, 1, size, file);
#else
    return std::fread(buffer, 1, size, file);
#endif
}
