// Reading a driver's stream in pieces, ahead of the hashing: for a large
// file or a pipe, a thread of its own fills a small ring of pieces while the
// driver hashes the one before, so reading costs the driver no time of its
// own. Each byte goes once from the system into a piece. A small file is
// read as it is hashed, with no thread, and so is every file where a thread
// cannot be started. One reading at a time per process: the ring is the
// drivers' own storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "progress.h"

// Bytes of a piece: whole blocks of either engine, and few enough pieces a
// run that handing them over costs little; the ring holds four.
inline constexpr std::size_t piece_size = 131072;

// Starts reading `file` (just opened). `ahead`: whether a thread may read
// ahead (the drivers pass true; false reads each piece when it is asked
// for, as where no thread can be started).
void reader_start(std::FILE* file, bool ahead = true);

// The next piece of the stream: its bytes at `piece`, valid until the next
// call, and their count. Every piece before the last holds
// piece_size bytes; a shorter one is the last (the end of the
// input, or a read error, which the stream's error indicator then shows).
// Not to be called after the last piece.
std::size_t reader_next(const unsigned char*& piece);

// Ends the reading, once the last piece came: the thread has ended, and the
// stream's indicators hold what it met. Call before closing the stream.
void reader_end();

// A driver's whole reading of `file`, with the progress line: every piece's
// whole blocks of `block` bytes go through blocks(state, data, count), in
// order and in one call a piece, and the bytes after the last whole block
// (fewer than `block`) are copied to tail[]. Returns the byte total; the
// stream's error indicator tells whether a read failed.
template <typename Word>
std::uint64_t read_blocks(std::FILE* file, std::size_t block,
                                   void (*blocks)(Word state[8], const unsigned char* data, std::size_t count),
                                   Word state[8], unsigned char* tail)
{
    ProgressLine progress{};
    progress_start(progress, file);
    reader_start(file);
    std::uint64_t total = 0;
    for (;;) {
        const unsigned char* piece = nullptr;
        const std::size_t n = reader_next(piece);
        total += n;
        const std::size_t whole = n / block;
        if (whole != 0) {
            blocks(state, piece, whole);
        }
        if (n != piece_size) {
            std::memcpy(tail, piece + block * whole, n - block * whole);
            break;
        }
        progress_update(progress, total);
    }
    reader_end();
    progress_end(progress);
    return total;
}
