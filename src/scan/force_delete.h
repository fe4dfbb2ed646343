// Deleting a file by force.
#pragma once

#include <cstdint>

// Makes `path` normal and deletes it, 5 attempts in a row; after that, on the
// NT family, schedules its deletion at the next restart. 0 when deleted or
// scheduled, otherwise the Win32 code of the last failed call (never 0).
// Prints and logs nothing.
int32_t ForceDeleteFile(const char* path);
