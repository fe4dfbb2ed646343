// Header only: the one header engine code includes for system calls. The real
// Win32 on Windows, winsim, the native stand-in (same names and contracts),
// everywhere else.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "winsim/win32_api.h"
#endif

// Separator of folder and file name in the program's own path.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Whether `c` ends the folder part of a path: a backslash, a slash or a
// drive's colon on Windows, a slash elsewhere. (Callers skip the second byte
// of a double-byte character themselves.)
inline bool IsFolderSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}
