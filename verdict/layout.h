// Lines of the verdict laid out for a console of a given width.
#pragma once

#include <cstddef>

// Copies the text `in` (UTF-8, or Shift-JIS where `sjis` is set) into
// out[0..size-1] with a NUL, with line ends put in so that no line is
// wider than `columns` display columns (a CJK character takes two). Lines
// break at spaces (the space goes), between two Japanese characters, after
// "、" or "。" and before "[", following Japanese line-breaking rules: never
// before 、。」）ー or a small kana, never after 「（. A '\x01' in the text is
// a space that does not break (inside a label); a word
// wider than a line is not broken but left to the console, which wraps
// it at its width of `console` columns. Line ends already in the text stay. Returns false, with
// out[] holding what fits, when out[] is too small.
bool layout_wrap(const char* in, bool sjis, unsigned columns, unsigned console, char* out,
                 std::size_t size);

// The columns the text[0..length-1] takes on a console.
unsigned layout_width(const char* text, std::size_t length, bool sjis);
