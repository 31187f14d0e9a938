// Keyrings and files handed to gpgv on Linux. Inside platform/posix/ only.
#pragma once

#include <cstdint>

// Opens `file` for reading, close-on-exec, where it is a regular file of
// at most `limit` bytes; its descriptor, or -1.
int posix_open_regular(const char* file, std::int64_t limit);

// The armored keyring `file` (a regular file of at most 4 MiB) de-armored
// into a memory file, no file of the file system; its descriptor,
// close-on-exec, or -1.
int posix_dearmor(const char* file);
