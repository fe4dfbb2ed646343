// An argument in its exact (UTF-16) spelling: argv is a best-fit ANSI form,
// where a character the code page lacks becomes a look-alike or '?'.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Splits `line` as msvcrt splits argv; argument `index` goes to `out` (cut to
// fit), its whole length to *length. Returns the count, the program's name included.
int SplitWideCommandLine(const WCHAR* line, int index, WCHAR* out, size_t capacity, size_t* length);

// The exact spelling of argv[index], in `out` with *wide true when argv's is a best fit
// of it; ERROR_INVALID_DATA when the wide command line does not match argv.
int32_t FindExactArgument(int argc, char** argv, int index, WCHAR* out, size_t capacity,
                          bool* wide);
