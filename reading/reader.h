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

#include "platform/files.h"
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

// A regular file larger than this is hashed from its mapping, in windows of
// map_window bytes (a multiple of any system's mapping granularity).
inline constexpr std::int64_t map_above = std::int64_t{256} * 1024;
inline constexpr std::size_t map_window = std::size_t{4} << 20;

// Hashes the whole blocks of `file` (just opened) where the system keeps its
// pages: mapped, a window at a time, and handed to consume(context, data,
// count) in runs of whole blocks of `block` bytes, in order, with the
// progress line. Returns the bytes handed over, with the stream moved past
// them: 0 when the file is not regular, small, or cannot be mapped, and
// fewer than its whole blocks when a later window cannot be mapped, where
// the stream goes on. `failed` is set when the file shrank under the
// mapping (a fault on a page it no longer holds) or the stream cannot be
// moved.
std::uint64_t map_blocks(std::FILE* file, std::size_t block,
                         void (*consume)(void* context, const unsigned char* data,
                                         std::size_t count),
                         void* context, ProgressLine& progress, bool& failed);

// The outcome of a driver's reading: the byte total, and whether it failed
// (a read error, which the stream's error indicator shows, or a file that
// changed under the reading).
struct ReadResult {
    std::uint64_t total;
    bool failed;
};

// Whether a regular file still holds the `total` bytes just read from it,
// as far as its size and last-write time at the start (`start`) and now
// (`now`) tell: not when it is now shorter than what was read, nor when it
// ended before the size it had at the start, nor when its size stayed that
// of the bytes read while it was written (a change in place). A file that
// grew holds what was read, as far as can be told. A file whose size and
// time did not move at all (also a system file whose size is not its
// length) does too.
bool still_holds(const FileStamp& start, const FileStamp& now, std::uint64_t total);

// Checks, once the last byte is read, that the file read since `start`
// still holds the `total` bytes read (see still_holds). Anything but a
// regular file (`regular` false: a pipe, a device) passes.
bool unchanged_since(std::FILE* file, bool regular, const FileStamp& start, std::uint64_t total);

// A driver's whole reading of `file`, with the progress line: the file's
// whole blocks of `block` bytes go through blocks(state, data, count), in
// order, from its mapping where it has one and then from the stream's
// pieces, and the bytes after the last whole block (fewer than `block`)
// are copied to tail[].
template <typename Word>
ReadResult read_blocks(std::FILE* file, std::size_t block,
                       void (*blocks)(Word state[8], const unsigned char* data, std::size_t count),
                       Word state[8], unsigned char* tail)
{
    ProgressLine progress{};
    progress_start(progress, file);
    // The file as it is before its first byte is read, to tell afterwards
    // whether it changed under the reading.
    FileStamp start{};
    const bool regular = platform_file_stamp(file, start);

    // The mapped part first.
    struct Engine {
        void (*blocks)(Word state[8], const unsigned char* data, std::size_t count);
        Word* state;
    } run{blocks, state};
    const auto consume = [](void* context, const unsigned char* data, std::size_t count) {
        const auto* to = static_cast<Engine*>(context);
        to->blocks(to->state, data, count);
    };
    bool failed = false;
    std::uint64_t total = map_blocks(file, block, consume, &run, progress, failed);
    if (failed) {
        progress_end(progress);
        return {total, true};
    }

    // Then the stream, for all of a file that is not mapped, and for the
    // last bytes and what a file has grown by since its size was taken.
    reader_start(file, total == 0);
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
    const bool changed = !unchanged_since(file, regular, start, total);
    return {total, std::ferror(file) != 0 || changed};
}
