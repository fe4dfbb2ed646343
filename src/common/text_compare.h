// Comparisons and searches in the ANSI code page that respect double-byte characters.
#pragma once

#include <cstddef>

// strncmp without regard to ASCII case, a double-byte character one unit.
int CompareNoCase(const char* a, const char* b, size_t n);

// The last backslash of `text` that is no trail byte, or nullptr.
const char* FindLastBackslash(const char* text);

// The length of `path`'s folder part with its last separator (0 for a bare name).
size_t FolderLength(const char* path);
