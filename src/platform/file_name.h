// A path the program opens or creates: the ANSI spelling it shows and, where
// that is not the file system's exact spelling, the exact wide one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// The NT family's longest path in UTF-16 units, and in ANSI bytes (two a character at most).
constexpr size_t kLongPathUnits = 32768;
constexpr size_t kLongPathSize = 2 * kLongPathUnits;

// Room for such a folder and one of the program's own file names in it.
struct FileName {
    char shown[kLongPathSize + 300];
    WCHAR exact[kLongPathUnits + 300];
    bool has_exact;  // `shown` is only shown; the file is named by `exact`
};

// The length of `path`'s folder part with its last separator (0 for a bare name).
size_t WideFolderLength(const WCHAR* path);

// Names the ASCII `file` in the program's folder: 0, or why that folder is unknown, with
// `name` then the bare `file`.
int32_t NameBesideProgram(const char* file, FileName* name);

// Sets *opening to the wide name to open (`exact`, or the "\\?\" form of a long path on
// NT), or nullptr for the A call: 0 or a conversion's code. Valid until the next call.
int32_t ChooseOpeningName(const FileName& name, const WCHAR** opening);

// CreateFile by the chosen name: 0 with *file open, or the system's code
// (ERROR_FILE_EXISTS when CREATE_NEW meets anything, a link included).
int32_t OpenNamedFile(const FileName& name, DWORD access, DWORD share, DWORD disposition,
                      HANDLE* file);

// 0, or the system's code.
int32_t DeleteNamedFile(const FileName& name);
