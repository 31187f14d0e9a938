// The program's arguments on Windows as the runtime gives them in wide
// characters: the file opens, is written and is looked up beside by the
// name Explorer shows. Inside platform/windows/ only.
#pragma once

#include <cstddef>

// Room for the longest path Windows has, in its extended form.
constexpr std::size_t longest_path = 32768;

// The wide form of the argument that names the file (the one
// platform_arguments picked), or nullptr.
const wchar_t* wide_argument();

// True when `path` is the argument that names the file.
bool is_argument(const char* path);
