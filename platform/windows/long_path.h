// The extended-length form of a Windows path, which opens a file whose path
// is longer than the plain form's limit (MAX_PATH). A template over the
// character type, so that it can be tested where wchar_t is not Windows'.
#pragma once

#include <cstddef>

// Writes into out[0..size-1] the extended form of the absolute path `full`
// (as GetFullPathNameW gives it): "\\?\C:\dir\file" for a drive path,
// "\\?\UNC\server\share\file" for a network path, and a path already in an
// extended or device form ("\\?\", "\\.\") unchanged. Returns false for a
// path of another form, or when the result does not fit.
template <typename Char> bool platform_extended_path(const Char* full, Char* out, std::size_t size)
{
    const auto is = [full](std::size_t at, char c) { return full[at] == static_cast<Char>(c); };
    const bool separator0 = is(0, '\\');
    const bool network = separator0 && is(1, '\\');
    const bool extended = network && (is(2, '?') || is(2, '.')) && is(3, '\\');
    const bool drive = !separator0 && full[0] != Char{} && is(1, ':') && is(2, '\\');
    const char* prefix = extended ? "" : network ? "\\\\?\\UNC" : drive ? "\\\\?\\" : nullptr;
    if (prefix == nullptr) {
        return false;
    }
    // A network path keeps one of its two leading backslashes after "UNC".
    std::size_t written = 0;
    for (const char* c = prefix; *c != '\0'; ++c) {
        if (written + 1 >= size) {
            return false;
        }
        out[written++] = static_cast<Char>(*c);
    }
    for (const Char* c = full + (network && !extended ? 1 : 0); *c != Char{}; ++c) {
        if (written + 1 >= size) {
            return false;
        }
        out[written++] = *c;
    }
    out[written] = Char{};
    return true;
}

// Writes into out[0..size-1] the path of the file `name` in the folder of
// the absolute path `full` (the part up to its last '\' or '/'), or `full`
// itself where `name` is null: in the plain form while it is shorter than
// `plain_limit` characters (MAX_PATH), else in the extended form. Returns
// false when it does not fit or `full` has no folder.
template <typename Char>
bool platform_sibling_path(const Char* full, const Char* name, Char* out, std::size_t size,
                           std::size_t plain_limit)
{
    std::size_t folder = 0;
    std::size_t length = 0;
    for (; full[length] != Char{}; ++length) {
        if (full[length] == static_cast<Char>('\\') || full[length] == static_cast<Char>('/')) {
            folder = length + 1;
        }
    }
    std::size_t name_length = 0;
    while (name != nullptr && name[name_length] != Char{}) {
        ++name_length;
    }
    const std::size_t keep = name != nullptr ? folder : length;
    if (folder == 0 || keep + name_length + 1 > size) {
        return false;
    }
    // The extended form's prefix comes first, so the path is written once:
    // the folder is copied with its prefix, then the name after it.
    std::size_t at = 0;
    if (keep + name_length >= plain_limit) {
        Char head[8] = {};
        const std::size_t head_length = keep < 7 ? keep : 7;
        for (std::size_t i = 0; i < head_length; ++i) {
            head[i] = full[i];
        }
        Char prefix[16];
        if (!platform_extended_path(head, prefix, sizeof prefix / sizeof prefix[0])) {
            return false;
        }
        // platform_extended_path copied head after its prefix (a network
        // path less its first '\'): the prefix is what comes before that.
        std::size_t prefix_length = 0;
        while (prefix[prefix_length] != Char{}) {
            ++prefix_length;
        }
        const bool network = full[0] == static_cast<Char>('\\')
                             && full[1] == static_cast<Char>('\\') && prefix_length > head_length;
        const std::size_t added = prefix_length - head_length + (network ? 1 : 0);
        if (added + keep + name_length + 1 > size) {
            return false;
        }
        for (std::size_t i = 0; i < added; ++i) {
            out[at++] = prefix[i];
        }
        for (std::size_t i = network ? 1 : 0; i < keep; ++i) {
            out[at++] = full[i];
        }
    } else {
        for (std::size_t i = 0; i < keep; ++i) {
            out[at++] = full[i];
        }
    }
    for (std::size_t i = 0; i < name_length; ++i) {
        out[at++] = name[i];
    }
    out[at] = Char{};
    return true;
}
