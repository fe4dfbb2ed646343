// Whether ANSI text widens exactly to its UTF-16 form: how the program tells
// text it may act on from a best-fit spelling of something else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Widens `ansi` in pieces that split no double-byte character, each handed to
// `take`: 0, the first non-zero `take` returned, or the conversion's failure.
int32_t WidenInPieces(const char* ansi, size_t length,
                      int32_t (*take)(void* context, const WCHAR* units, size_t count),
                      void* context);

// Whether `length` bytes of `ansi` widen to exactly the `units` UTF-16 units
// at `wide`: 0 with the answer in *same, or the conversion's failure code.
int32_t CompareWidened(const char* ansi, size_t length, const WCHAR* wide, size_t units,
                       bool* same);

// The number of UTF-16 units before the first NUL of `wide` (at most `limit`).
size_t WideLength(const WCHAR* wide, size_t limit);

// Writes the ANSI form of the file name `wide` that the console and the log
// show: each character the code page holds exactly as itself, any other as
// '?', which no file name holds, never a look-alike that names another file.
// False, with `out` empty, when it does not fit `size` bytes.
bool ShowExactly(const WCHAR* wide, char* out, size_t size);
