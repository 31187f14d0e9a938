// The reader's pieces: the stream's bytes in order, every piece full but the
// last, the end at every size around the pieces, and read errors in the
// first, a middle and the last piece, read ahead on a thread or not.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <sys/types.h>

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
