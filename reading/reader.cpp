// The reader's ring: pieces filled in order by the reading thread and taken
// in order by the driver. Two counting semaphores keep them apart: `free`
// counts the pieces the thread may fill, `filled` those the driver may take.
// The driver hands a piece back (posts `free`) only when it asks for the
// next one, so the thread never writes a piece that is being hashed.
#include "reader.h"

#include "platform/files.h"

namespace
{

constexpr std::size_t ring = 4;
// A file this small (or smaller) is read with no thread.
constexpr std::int64_t small_file = std::int64_t{256} * 1024;
// The platform's two semaphores, as the ring uses them.
constexpr unsigned free_pieces = 0;
constexpr unsigned filled_pieces = 1;

unsigned char pieces[ring][piece_size];
std::size_t counts[ring];
std::FILE* source = nullptr;
std::size_t taken = 0; // pieces handed to the driver
bool threaded = false;

std::size_t fill(std::size_t index)
{
    counts[index] = platform_read(pieces[index], piece_size, source);
    return counts[index];
}

// The thread: fills the pieces in ring order until one comes short.
void read_ahead()
{
    for (std::size_t i = 0;; ++i) {
        platform_semaphore_wait(free_pieces);
        const std::size_t count = fill(i % ring);
        platform_semaphore_post(filled_pieces);
        if (count != piece_size) {
            return;
        }
    }
}

} // namespace

void reader_start(std::FILE* file, bool ahead)
{
    source = file;
    taken = 0;
    const std::int64_t size = platform_file_size(file);
    threaded =
        ahead && (size < 0 || size > small_file) && platform_thread_start(read_ahead, ring, 0);
}

std::size_t reader_next(const unsigned char*& piece)
{
    if (!threaded) {
        piece = pieces[0];
        return fill(0);
    }
    // The piece handed out last has been hashed: the thread may refill it.
    if (taken > 0) {
        platform_semaphore_post(free_pieces);
    }
    platform_semaphore_wait(filled_pieces);
    const std::size_t index = taken++ % ring;
    piece = pieces[index];
    return counts[index];
}

void reader_end()
{
    if (threaded) {
        platform_thread_join();
        threaded = false;
    }
}

namespace
{

// The run of mapped bytes handed over between looks at the progress line.
// The window is small, so that a 32-bit process never runs short of
// address space and the pages resident at once stay few.
constexpr std::size_t run_length = std::size_t{1} << 20;

// One window's work, run where a fault on a mapped page can end it.
struct WindowWork {
    const unsigned char* view;
    std::size_t length;
    std::size_t block;
    void (*consume)(void* context, const unsigned char* data, std::size_t count);
    void* context;
    ProgressLine* progress;
    std::uint64_t before; // bytes hashed before this window
};

void hash_window(void* work)
{
    const auto& w = *static_cast<const WindowWork*>(work);
    for (std::size_t done = 0; done < w.length;) {
        const std::size_t length = w.length - done < run_length ? w.length - done : run_length;
        w.consume(w.context, w.view + done, length / w.block);
        done += length;
        progress_update(*w.progress, w.before + done);
    }
}

} // namespace

std::uint64_t map_blocks(std::FILE* file, std::size_t block,
                         void (*consume)(void* context, const unsigned char* data,
                                         std::size_t count),
                         void* context, ProgressLine& progress, bool& failed)
{
    const std::int64_t size = platform_file_size(file);
    if (size <= map_above) {
        return 0;
    }
    const auto whole = static_cast<std::uint64_t>(size) - static_cast<std::uint64_t>(size) % block;
    std::uint64_t done = 0;
    while (done < whole) {
        const auto length =
            static_cast<std::size_t>(whole - done < map_window ? whole - done : map_window);
        const unsigned char* view = platform_map(file, done, length);
        if (view == nullptr) {
            break;
        }
        WindowWork work{view, length, block, consume, context, &progress, done};
        const bool finished = platform_run_mapped(hash_window, &work, view, length);
        platform_unmap(view, length);
        if (!finished) {
            failed = true;
            return done;
        }
        done += length;
    }
    // The stream goes on after the mapped bytes. Whether the file still held
    // them all is told once the last byte is read.
    if (done != 0 && !platform_seek(file, done)) {
        failed = true;
    }
    return done;
}

bool still_holds(const FileStamp& start, const FileStamp& now, std::uint64_t total)
{
    // Nothing the system shows moved. A file of procfs or sysfs gives a size
    // that is not its length, and keeps it.
    if (now.size == start.size && now.written == start.written) {
        return true;
    }
    const auto read = static_cast<std::int64_t>(total);
    // Shorter now than what was read: some of it may have read as zeros.
    if (now.size < read) {
        return false;
    }
    // The reading ended before the size the file had at the start: it was
    // cut while it was read, whatever it grew to since.
    if (read < start.size) {
        return false;
    }
    // Written to while its size stayed that of the bytes read: changed in
    // place. A file that grew was written to at its end, after what was
    // read; a change in place during growth cannot be told from that.
    return !(now.size == start.size && now.size == read);
}

bool unchanged_since(std::FILE* file, bool regular, const FileStamp& start, std::uint64_t total)
{
    if (!regular) {
        return true;
    }
    FileStamp now{};
    return platform_file_stamp(file, now) && still_holds(start, now, total);
}
