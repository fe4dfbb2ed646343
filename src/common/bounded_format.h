// Formatted writes into fixed buffers, terminated even where msvcrt's _vsnprintf would not be.
#pragma once

#include <cstdarg>
#include <cstddef>

// The text's length, or -1 when it was cut, the format failed or `size` is 0.
int FormatBounded(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int FormatBoundedV(char* buffer, size_t size, const char* format, va_list args);
