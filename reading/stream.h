// Opening a driver's stream: the file by its name, with a buffer the driver
// gives it, read in order from start to end.
#pragma once

#include <cstddef>
#include <cstdio>

// Opens `path` for binary reading with buffer[0..size-1] as the stream's
// buffer, which must outlive the stream, and tells the system that the file
// is read in order. Returns nullptr when there is no path or the file cannot
// be opened.
std::FILE* open_stream(const char* path, char* buffer, std::size_t size);
