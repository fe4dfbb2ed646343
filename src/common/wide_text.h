// Whether ANSI text widens exactly to its UTF-16 form, not to a best fit of something else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Widens `ansi` in pieces, no double-byte character split, each handed to `take`: 0, the
// first non-zero `take` returned, or the conversion's failure.
int32_t WidenInPieces(const char* ansi, size_t length,
                      int32_t (*take)(void* context, const WCHAR* units, size_t count),
                      void* context);

// Whether `ansi` widens to exactly `wide`: 0 with the answer in *same, or the failure code.
int32_t CompareWidened(const char* ansi, size_t length, const WCHAR* wide, size_t units,
                       bool* same);

// The number of UTF-16 units before the first NUL of `wide` (at most `limit`).
size_t WideLength(const WCHAR* wide, size_t limit);

// The ANSI form of the file name `wide` to show: '?' (which no file name holds) for each
// character the code page lacks, never a look-alike. False, `out` empty, when it does not fit.
bool ShowExactly(const WCHAR* wide, char* out, size_t size);
