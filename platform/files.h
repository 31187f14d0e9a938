// The file to hash, where reading it differs by system: opening, reading,
// its size and stamp, mapping it, seeking, and the thread that reads ahead
// with its two semaphores. Defined in platform/posix/ for Linux and
// platform/windows/ for Windows on msvcrt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Opens the file `path` for binary reading, and tells the system that it is
// read in order from start to end. On Windows the program's own argument
// opens by its wide-character name where the ANSI code page cannot spell
// it, and a path too long for the plain form through its extended form.
// Returns nullptr when it cannot be opened.
std::FILE* platform_open_file(const char* path);

// fread(buffer, 1, size, file): the same bytes, count and error indicator,
// without taking the stream's lock where the runtime allows it. A stream
// read this way is used by one thread at a time, handed over at points
// where the threads synchronise.
std::size_t platform_read(void* buffer, std::size_t size, std::FILE* file);

// The size of the open file, or -1 when it has none (a pipe, a FIFO, a
// device).
std::int64_t platform_file_size(std::FILE* file);

// What the system says of an open regular file at one moment: its size in
// bytes and when it was last written, in the finest unit the system keeps
// (nanoseconds on Linux, 100 ns on Windows).
struct FileStamp {
    std::int64_t size;
    std::int64_t written;
};

// Fills `stamp` for the open file. False, leaving it as it was, when the
// file is not a regular file or the system cannot tell.
bool platform_file_stamp(std::FILE* file, FileStamp& stamp);

// Maps `length` bytes of the open regular file from `offset` (a multiple of
// 64 KiB) for reading, read in order. Returns nullptr where it cannot.
const unsigned char* platform_map(std::FILE* file, std::uint64_t offset, std::size_t length);
void platform_unmap(const unsigned char* view, std::size_t length);

// Runs work(context), in which the mapped bytes view[0..length-1] are read.
// A fault on a page of them that the file no longer holds (it shrank) or
// cannot give (an I/O error) ends the work there: the result is then false.
// Any other fault, or such a signal sent from elsewhere, ends the program
// as it would without this guard.
bool platform_run_mapped(void (*work)(void* context), void* context, const unsigned char* view,
                         std::size_t length);

// Moves the stream to `offset` bytes from the file's start; false when it
// cannot.
bool platform_seek(std::FILE* file, std::uint64_t offset);

// One thread beside the main one, and two counting semaphores (0 and 1)
// that they share; one such thread at a time. Starts body() on a small
// stack with the semaphores at `first` and `second`; signals stay with the
// main thread. Returns false, holding nothing, where it cannot start.
bool platform_thread_start(void (*body)(), unsigned first, unsigned second);
void platform_semaphore_wait(unsigned semaphore);
void platform_semaphore_post(unsigned semaphore);
// Waits for the thread's end, then releases it and the semaphores.
void platform_thread_join();
