// The program's arguments on Windows as the runtime gives them in wide
// characters: the file opens, is written and is looked up beside by the
// name Explorer shows. Inside platform/windows/ only.
#pragma once

#include <cstddef>

// Room for the longest path Windows has, in its extended form.
constexpr std::size_t longest_path = 32768;

// The wide form of `path` where it is one of the two arguments that
// platform_arguments gave (the file's, the one after it: the very
// pointers it gave), or nullptr.
const wchar_t* argument_wide(const char* path);
