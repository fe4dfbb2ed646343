// Comparisons and searches in the system's ANSI code page, aware of
// double-byte characters where that code page has them.
#pragma once

#include <cstddef>

// Compares at most n bytes without regard to case (ASCII letters); a
// double-byte character is compared as one unit. Returns 0 when equal, and
// negative or positive like strncmp otherwise. Stops at a NUL in either text.
int CompareNoCase(const char* a, const char* b, size_t n);

// The last backslash of `text` that is not the second byte of a double-byte
// character, or nullptr.
const char* FindLastBackslash(const char* text);

// The length of the folder part of the file path `path` (its last folder
// separator included; 0 for a bare file name), never ending inside a
// double-byte character.
size_t FolderLength(const char* path);
