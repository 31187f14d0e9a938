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
