// A path the program opens or creates: the ANSI spelling it shows and, where
// that is not the file system's exact spelling, the exact wide one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Room for the longest path the NT family allows, 32,767 characters, in
// UTF-16 units and as ANSI (two bytes a character at most).
constexpr size_t kLongPathUnits = 32768;
constexpr size_t kLongPathSize = 2 * kLongPathUnits;

// Room for such a path's folder and a file name of the program's own in it.
struct FileName {
    char shown[kLongPathSize + 300];
    WCHAR exact[kLongPathUnits + 300];
    bool has_exact;  // `shown` is only shown; the file is named by `exact`
};

// The length of `path`'s folder part with its last separator (0 for a bare name).
size_t WideFolderLength(const WCHAR* path);

// Names `name` the file `file` (ASCII) in the program's folder, shown as what
// it names, not as the look-alike the A call gives. 0; or why that folder is
// unknown, with `name` the bare `file` (in the current folder).
int32_t NameBesideProgram(const char* file, FileName* name);

// Sets *opening to the wide name to open (`name.exact`, or on the NT family
// the "\\?\" form of a path of MAX_PATH or more), or nullptr for the A call
// by `name.shown`. 0 or a conversion's code; *opening lasts until the next call.
int32_t ChooseOpeningName(const FileName& name, const WCHAR** opening);

// Opens or creates the file as CreateFile with `access`, `share` and
// `disposition`. 0 with *file open; otherwise the system's code
// (ERROR_FILE_EXISTS (80) when CREATE_NEW meets anything, a link included).
int32_t OpenNamedFile(const FileName& name, DWORD access, DWORD share, DWORD disposition,
                      HANDLE* file);

// Deletes the file. 0, or the system's code.
int32_t DeleteNamedFile(const FileName& name);
