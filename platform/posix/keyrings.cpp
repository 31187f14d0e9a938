// Keyrings for gpgv on Linux: files opened as regular files only, and an
// armored keyring de-armored into a memory file.
#include "platform/posix/keyrings.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The size of an armored keyring read at the most.
constexpr std::int64_t armored_limit = std::int64_t{4} << 20;

int base64_value(char c)
{
    return c >= 'A' && c <= 'Z'   ? c - 'A'
           : c >= 'a' && c <= 'z' ? c - 'a' + 26
           : c >= '0' && c <= '9' ? c - '0' + 52
           : c == '+'             ? 62
           : c == '/'             ? 63
                                  : -1;
}

// The state of de-armoring one keyring: the line read so far and where in
// the armor it stands, and the bits decoded but not yet a byte.
struct Armor {
    enum Phase { before, headers, body, done } phase;
    char line[128];
    std::size_t length;
    bool overflow;
    std::uint32_t bits;
    int bit_count;
    unsigned char out[4096];
    std::size_t out_count;
    int fd;
    bool failed;
};

void flush_armor(Armor& armor)
{
    std::size_t at = 0;
    while (!armor.failed && at < armor.out_count) {
        const ssize_t n = write(armor.fd, armor.out + at, armor.out_count - at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        armor.failed = n <= 0;
        at += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    armor.out_count = 0;
}

void armor_line(Armor& armor)
{
    const char* line = armor.line;
    std::size_t length = armor.overflow ? 0 : armor.length;
    while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == ' ')) {
        --length;
    }
    if (armor.phase == Armor::before) {
        if (length >= 15 && std::strncmp(line, "-----BEGIN PGP ", 15) == 0) {
            armor.phase = Armor::headers;
        }
    } else if (armor.phase == Armor::headers) {
        if (length == 0) {
            armor.phase = Armor::body;
        }
    } else if (armor.phase == Armor::body) {
        if (length == 0 || line[0] == '=' || line[0] == '-') {
            armor.phase = Armor::done;
            return;
        }
        for (std::size_t i = 0; i < length; ++i) {
            const int value = base64_value(line[i]);
            if (value < 0) {
                continue;
            }
            armor.bits = (armor.bits << 6U) | static_cast<std::uint32_t>(value);
            armor.bit_count += 6;
            if (armor.bit_count >= 8) {
                armor.bit_count -= 8;
                armor.out[armor.out_count++] = static_cast<unsigned char>(
                    armor.bits >> static_cast<unsigned>(armor.bit_count));
                if (armor.out_count == sizeof armor.out) {
                    flush_armor(armor);
                }
            }
        }
    }
}

} // namespace

// Opens a regular file of at most `limit` bytes, close-on-exec; -1 when it
// is none.
int posix_open_regular(const char* file, std::int64_t limit)
{
    const int fd = open(file, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info {
    };
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > limit) {
        close(fd);
        return -1;
    }
    return fd;
}

// The keyring `file` de-armored into a memory file (no file of the file
// system), its descriptor close-on-exec, or -1.
int posix_dearmor(const char* file)
{
    const int in = posix_open_regular(file, armored_limit);
    if (in < 0) {
        return -1;
    }
    Armor armor{};
    armor.fd = memfd_create("keyring", MFD_CLOEXEC);
    armor.failed = armor.fd < 0;
    char buffer[8192];
    while (!armor.failed && armor.phase != Armor::done) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n && armor.phase != Armor::done; ++i) {
            if (buffer[i] == '\n') {
                armor_line(armor);
                armor.length = 0;
                armor.overflow = false;
            } else if (armor.length + 1 < sizeof armor.line) {
                armor.line[armor.length++] = buffer[i];
            } else {
                armor.overflow = true;
            }
        }
    }
    close(in);
    flush_armor(armor);
    if (armor.failed || armor.phase != Armor::done) {
        if (armor.fd >= 0) {
            close(armor.fd);
        }
        return -1;
    }
    return armor.fd;
}
