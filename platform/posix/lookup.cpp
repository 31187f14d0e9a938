// The verdict's lookup on Linux: names as given or converted from the
// locale's character set, the folder's entries, the lists read as regular
// files only, and no clipboard.
#include "platform/lookup.h"
#include "text/utf8.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// `name` in the folder of `path` (nothing for a bare name: the current
// folder) into out[0..size-1].
bool beside(const char* path, const char* name, char* out, std::size_t size)
{
    const char* slash = std::strrchr(path, '/');
    const std::size_t folder = slash != nullptr ? static_cast<std::size_t>(slash - path) + 1 : 0;
    const std::size_t length = std::strlen(name);
    if (folder + length >= size) {
        return false;
    }
    std::memcpy(out, path, folder);
    std::memcpy(out + folder, name, length + 1);
    return true;
}

// Converts a name between UTF-8 and the locale's character set (to it
// where `to_locale` is set), when that is not UTF-8. Returns the length
// written into out[0..size-1] with a NUL, or 0.
std::size_t convert_name(const char* name, std::size_t length, bool to_locale, char* out,
                         std::size_t size)
{
    locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        return 0;
    }
    char charset[64];
    std::snprintf(charset, sizeof charset, "%s", nl_langinfo_l(CODESET, user));
    freelocale(user);
    if (strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0) {
        return 0;
    }
    iconv_t converter = to_locale ? iconv_open(charset, "UTF-8") : iconv_open("UTF-8", charset);
    // iconv_open's failure value is (iconv_t)-1.
    if (converter == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr)
        return 0;
    }
    char* in = const_cast<char*>(name);
    std::size_t in_left = length;
    char* at = out;
    std::size_t out_left = size - 1;
    const std::size_t result = iconv(converter, &in, &in_left, &at, &out_left);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || in_left != 0) {
        return 0;
    }
    *at = '\0';
    return static_cast<std::size_t>(at - out);
}

// The last component of `path`: the file's own name.
const char* own_name(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

} // namespace

bool platform_names_ignore_case()
{
    return false;
}

std::size_t platform_file_name(const char* path, char* name, std::size_t size)
{
    const char* own = own_name(path);
    const std::size_t length = std::strlen(own);
    if (length == 0 || length >= size) {
        return 0;
    }
    if (!utf8_valid(own, length)) {
        const std::size_t converted = convert_name(own, length, false, name, size);
        if (converted > 0) {
            return converted;
        }
    }
    std::memcpy(name, own, length + 1);
    return length;
}

std::size_t platform_legacy_name(const char* path, char* name, std::size_t size)
{
    const char* own = own_name(path);
    const std::size_t length = std::strlen(own);
    if (length == 0 || length >= size) {
        return 0;
    }
    if (utf8_valid(own, length)) {
        return convert_name(own, length, true, name, size);
    }
    std::memcpy(name, own, length + 1);
    return length;
}

bool platform_list_folder(const char* path,
                          void (*each)(void* context, const char* name, std::size_t length),
                          void* context)
{
    char folder[4096];
    if (!beside(path, ".", folder, sizeof folder)) {
        return false;
    }
    DIR* listing = opendir(folder);
    if (listing == nullptr) {
        return false;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0
            && (entry->d_type == DT_REG || entry->d_type == DT_LNK
                || entry->d_type == DT_UNKNOWN)) {
            each(context, entry->d_name, length);
        }
    }
    closedir(listing);
    return true;
}

std::int64_t platform_list_time(const char* path, const char* name)
{
    char file[4096];
    struct stat info {
    };
    if ((name != nullptr && !beside(path, name, file, sizeof file))
        || stat(name != nullptr ? file : path, &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 10000000 + info.st_mtim.tv_nsec / 100;
}

int platform_read_list(const char* path, const char* name, std::uint64_t limit,
                       unsigned char* buffer, std::size_t size,
                       bool (*consume)(void* context, const unsigned char* bytes,
                                       std::size_t count),
                       void* context)
{
    char file[4096];
    if (name == nullptr ? std::strlen(path) >= sizeof file
                        : !beside(path, name, file, sizeof file)) {
        return -1;
    }
    // Only a regular file is opened: opening a device can act on it (a
    // serial line's control lines), and a FIFO would wait for a writer. The
    // descriptor is checked again, in case the name changed in between.
    struct stat named {
    };
    if (stat(name == nullptr ? path : file, &named) != 0 || !S_ISREG(named.st_mode)) {
        return -1;
    }
    const int fd =
        open(name == nullptr ? path : file, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -2;
    }
    struct stat info {
    };
    int result = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::uint64_t total = 0;
        for (;;) {
            const std::uint64_t left = limit - total;
            // At the limit, one byte more tells whether the file goes on.
            const std::size_t want = left == 0     ? 1
                                     : left < size ? static_cast<std::size_t>(left)
                                                   : size;
            const ssize_t n = read(fd, buffer, want);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 || left == 0) {
                result = n == 0 ? 1 : 0;
                break;
            }
            total += static_cast<std::uint64_t>(n);
            if (!consume(context, buffer, static_cast<std::size_t>(n))) {
                result = 0;
                break;
            }
        }
    }
    close(fd);
    return result;
}

std::size_t platform_clipboard_text(char* /*text*/, std::size_t /*size*/)
{
    return 0;
}

bool platform_clipboard_from_console()
{
    return false;
}
