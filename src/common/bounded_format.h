// Formatted writes into fixed buffers that stay terminated and inside the
// buffer under either C runtime: the C99 one, which terminates a cut text,
// and the system's msvcrt, whose _vsnprintf leaves it unterminated and
// returns -1 (or the buffer size when only the terminator does not fit).
#pragma once

#include <cstdarg>
#include <cstddef>

// Writes the formatted text into `buffer` of `size` bytes, always terminated.
// Returns its length, or -1 when it was cut to size - 1 bytes (or the format
// failed); with `size` 0 nothing is written and -1 returned.
int FormatBounded(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The same with the arguments as a va_list.
int FormatBoundedV(char* buffer, size_t size, const char* format, va_list args);
