// The one header for system calls: Win32 on Windows, its stand-in winsim elsewhere.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "winsim/win32_api.h"
#endif

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Whether `c` ends a path's folder part; callers skip trail bytes themselves.
inline bool IsFolderSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}
