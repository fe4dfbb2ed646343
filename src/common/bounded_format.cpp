#include "common/bounded_format.h"

#include <cstdio>

int FormatBoundedV(char* buffer, size_t size, const char* format, va_list args) {
    if (size == 0) return -1;
#ifdef _WIN32
    // msvcrt's own call: the C99 wrapper would bring Unicode-only calls into the exe.
    const int written = _vsnprintf(buffer, size, format, args);
#else
    const int written = vsnprintf(buffer, size, format, args);
#endif
    if (written < 0 || static_cast<size_t>(written) >= size) {
        buffer[size - 1] = '\0';
        return -1;
    }
    return written;
}

int FormatBounded(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int written = FormatBoundedV(buffer, size, format, args);
    va_end(args);
    return written;
}
