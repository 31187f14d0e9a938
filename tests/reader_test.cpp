// The reader's pieces: the stream's bytes in order, every piece full but the
// last, the end at every size around the pieces, and read errors in the
// first, a middle and the last piece, read ahead on a thread or not. A
// file that changes under the whole reading is a read error.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "reader.h"
#include "support.h"

namespace
{

// A stream over bytes[0..size-1] (fopencookie), which fails at `fail_at`
// bytes when that is not -1, and hands out at most 5000 bytes a read, so
// that every piece takes several.
struct Source {
    const std::vector<unsigned char>* bytes;
    std::size_t at;
    long long fail_at;
};

ssize_t read_source(void* cookie, char* out, std::size_t size)
{
    auto& source = *static_cast<Source*>(cookie);
    if (source.fail_at >= 0 && source.at >= static_cast<std::size_t>(source.fail_at)) {
        errno = EIO;
        return -1;
    }
    std::size_t count = std::min({size, source.bytes->size() - source.at, std::size_t{5000}});
    if (source.fail_at >= 0) {
        count = std::min(count, static_cast<std::size_t>(source.fail_at) - source.at);
    }
    if (count != 0) {
        std::memcpy(out, source.bytes->data() + source.at, count);
    }
    source.at += count;
    return static_cast<ssize_t>(count);
}

struct Read {
    std::vector<unsigned char> bytes;
    bool pieces_full; // every piece before the last was full
    bool failed;      // the stream's error indicator at the end
};

Read read_all(const std::vector<unsigned char>& bytes, long long fail_at, bool ahead)
{
    Source source{&bytes, 0, fail_at};
    std::FILE* file =
        fopencookie(&source, "rb", cookie_io_functions_t{read_source, nullptr, nullptr, nullptr});
    Read result{{}, true, false};
    reader_start(file, ahead);
    for (;;) {
        const unsigned char* piece = nullptr;
        const std::size_t count = reader_next(piece);
        result.bytes.insert(result.bytes.end(), piece, piece + count);
        if (count != piece_size) {
            break;
        }
    }
    reader_end();
    result.failed = std::ferror(file) != 0;
    std::fclose(file);
    return result;
}

} // namespace

TEST(Reader, EveryByteInOrderAtEverySize)
{
    constexpr std::size_t piece = piece_size;
    const auto data = random_bytes(5 * piece + 1, 31);
    for (const bool ahead : {true, false}) {
        for (const std::size_t size : {std::size_t{0}, std::size_t{1}, piece - 1, piece, piece + 1,
                                       4 * piece, 4 * piece + 1, 5 * piece + 1}) {
            const std::vector<unsigned char> bytes(data.begin(),
                                                   data.begin() + static_cast<long>(size));
            const Read read = read_all(bytes, -1, ahead);
            EXPECT_EQ(read.bytes, bytes) << size << " bytes, ahead " << ahead;
            EXPECT_FALSE(read.failed);
        }
    }
}

TEST(Reader, ReadErrorsEndTheReadingAndShow)
{
    constexpr std::size_t piece = piece_size;
    const auto data = random_bytes(6 * piece, 32);
    for (const bool ahead : {true, false}) {
        for (const std::size_t fail_at : {std::size_t{100}, 2 * piece + 7, 6 * piece - 1}) {
            const Read read = read_all(data, static_cast<long long>(fail_at), ahead);
            EXPECT_TRUE(read.failed) << "error at " << fail_at;
            EXPECT_LE(read.bytes.size(), fail_at);
            EXPECT_TRUE(std::equal(read.bytes.begin(), read.bytes.end(), data.begin()));
        }
    }
}

namespace
{

// A file that changes while read_blocks hashes it: its path, its bytes, and
// what to do to it once `after` bytes have gone through the engine.
struct Change {
    std::string path;
    std::vector<unsigned char> bytes;
    std::uint64_t after;
    void (*act)(Change& change);
    std::uint64_t hashed;
    bool done;
};
Change* changing = nullptr;

// The engine's place: counts the bytes and changes the file once.
void count_and_change(std::uint32_t /*state*/[8], const unsigned char* /*data*/, std::size_t count)
{
    changing->hashed += 64 * std::uint64_t{count};
    if (!changing->done && changing->hashed >= changing->after) {
        changing->done = true;
        changing->act(*changing);
    }
}

// Writes the bytes with a last-write time a day in the past, so that any
// write later shows as a later time however coarse the clock.
void write_dated(const std::string& path, const std::vector<unsigned char>& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    timespec times[2]{};
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 86400;
    times[1] = times[0];
    ASSERT_EQ(futimens(fd, times), 0);
    close(fd);
}

ReadResult read_changing(Change& change)
{
    changing = &change;
    std::FILE* file = std::fopen(change.path.c_str(), "rb");
    EXPECT_NE(file, nullptr);
    std::uint32_t state[8]{};
    unsigned char tail[64];
    const ReadResult result = read_blocks(file, 64, count_and_change, state, tail);
    std::fclose(file);
    EXPECT_TRUE(change.done) << "the file was read before it changed";
    return result;
}

} // namespace

// A file that grows while its mapped part is hashed and is then cut short
// while the stream reads its growth: a read error, though the stream met
// only an end.
TEST(Reader, GrownThenCutIsAReadError)
{
    const TempDir dir;
    Change change{dir.path + "/file", random_bytes(1 << 20, 33), 64 * 1024, nullptr, 0, false};
    write_dated(change.path, change.bytes);
    change.act = [](Change& grown) {
        std::ofstream(grown.path, std::ios::binary | std::ios::app)
            .write(reinterpret_cast<const char*>(grown.bytes.data()), 1 << 20);
        // Cut once the stream has read a piece of the growth.
        grown.after = (2 << 20) - 4 * piece_size;
        grown.done = false;
        grown.act = [](Change& cut) { ASSERT_EQ(truncate(cut.path.c_str(), 0), 0); };
    };
    const ReadResult read = read_changing(change);
    EXPECT_GT(read.total, std::uint64_t{1} << 20);
    EXPECT_TRUE(read.failed);
}

// A file cut inside the page being hashed and written back at once, its
// size as before: its pages may have read as zeros meanwhile, so the
// digest is of no state it had. A read error.
TEST(Reader, CutAndRestoredIsAReadError)
{
    const TempDir dir;
    Change change{dir.path + "/file", random_bytes(3 << 20, 34), 1 << 20, nullptr, 0, false};
    write_dated(change.path, change.bytes);
    change.act = [](Change& cut) {
        const std::size_t at = (1 << 20) + 1000;
        ASSERT_EQ(truncate(cut.path.c_str(), static_cast<off_t>(at)), 0);
        const int fd = open(cut.path.c_str(), O_WRONLY);
        ASSERT_EQ(pwrite(fd, cut.bytes.data() + at, cut.bytes.size() - at, static_cast<off_t>(at)),
                  static_cast<ssize_t>(cut.bytes.size() - at));
        close(fd);
    };
    EXPECT_TRUE(read_changing(change).failed);
}

// What the size and last-write time tell, before and after the reading of
// `total` bytes.
TEST(Reader, StillHoldsWhatWasRead)
{
    const FileStamp start{1000, 5};
    EXPECT_TRUE(still_holds(start, start, 1000)) << "left alone";
    EXPECT_TRUE(still_holds({0, 5}, {0, 5}, 300)) << "a system file whose size is not its length";
    EXPECT_TRUE(still_holds(start, {3000, 9}, 2000)) << "grown while read";
    EXPECT_TRUE(still_holds(start, {3000, 9}, 3000)) << "grown, and read to its end";
    EXPECT_FALSE(still_holds(start, {1000, 9}, 1000)) << "changed in place";
    EXPECT_FALSE(still_holds(start, {500, 9}, 1000)) << "cut under what was read";
    EXPECT_FALSE(still_holds(start, {0, 9}, 2000)) << "grown, then cut";
    EXPECT_FALSE(still_holds(start, {900, 9}, 900)) << "ended before its size at the start";
}
