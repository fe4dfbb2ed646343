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

// The length of the folder part of the wide path `path` (its last separator
// included; 0 for a bare file name).
size_t WideFolderLength(const WCHAR* path);

// How the file `shown` (ANSI; `exact` its wide spelling, or nullptr when
// `shown` is exact) is opened: 0 with *name nullptr for the A call by
// `shown`, or with *name the wide name: `exact`, or on the NT family the
// "\\?\" form of its full path where it passes MAX_PATH - 1 characters (on
// the 95 family, whose limit that is, the A call fails such a path).
// Otherwise the code of the conversion that failed. *name stays valid until
// the next call.
int32_t ChooseOpeningName(const char* shown, const WCHAR* exact, const WCHAR** name);

// Creates the file new, for writing that nobody else shares (read by
// anyone); whatever stands at that name, a link included, makes it fail.
// 0 with *file open; otherwise the system's code (ERROR_FILE_EXISTS (80)
// when something is there) and nothing opened.
int32_t CreateNewFile(const char* shown, const WCHAR* exact, HANDLE* file);

// Deletes the file. 0, or the system's code.
int32_t DeleteNamedFile(const char* shown, const WCHAR* exact);
