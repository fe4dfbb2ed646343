// Formatted writes into fixed buffers that stay terminated under either C
// runtime: msvcrt's _vsnprintf leaves a cut text unterminated, C99's does not.
#pragma once

#include <cstdarg>
#include <cstddef>

// Writes the text into `buffer`, always terminated: its length, or -1 when it
// was cut (or the format failed, or `size` is 0).
int FormatBounded(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// The same with the arguments as a va_list.
int FormatBoundedV(char* buffer, size_t size, const char* format, va_list args);
