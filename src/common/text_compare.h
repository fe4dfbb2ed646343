// Comparisons and searches in the system's ANSI code page, aware of
// double-byte characters where that code page has them.
#pragma once

#include <cstddef>

// strncmp without regard to ASCII case, a double-byte character one unit.
int CompareNoCase(const char* a, const char* b, size_t n);

// The last backslash of `text` that is not the second byte of a double-byte
// character, or nullptr.
const char* FindLastBackslash(const char* text);

// The length of `path`'s folder part with its last separator (0 for a bare name).
size_t FolderLength(const char* path);
