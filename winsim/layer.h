// Implemented in hooks.cpp (CallFails) and in each part's own file (its Reset hook).
// Shared plumbing of the native layer's calls: recording and injected faults.
#pragma once

#include <string>

#include "winsim/win32_api.h"

namespace winsim {

// Every layer call starts here. Records "name(detail)" when recording is on
// (detail is a printf format; nothing is formatted or allocated otherwise)
// and returns true, with the injected code in *code, when a fault hits it.
bool CallFails(DWORD* code, const char* name, const char* detail_format, ...)
    __attribute__((format(printf, 3, 4)));

// Windows' code for a file path that Linux could not reach with `error`
// (errno): 3 when the folder is missing, 2 when only the file is, 5 otherwise.
DWORD ErrorOfMissing(const char* path, int error);

// The Linux path of a file name as CreateFile takes it, ANSI or wide (the
// other nullptr): a wide name that begins with "\\?\" loses that prefix and
// has no length limit; any other of MAX_PATH characters or more gives false
// with *error ERROR_FILENAME_EXCED_RANGE.
bool HostFileName(const char* ansi, const char16_t* wide, std::string* host, DWORD* error);

// Reset hooks of the layer's parts, called by winsim::Reset.
void ResetErrorTexts();
void ResetProcessFacts();
void ResetRegistry();
void ResetSystemFacts();
void ResetFiles();
void ResetFileHandles();
void ResetConsoleKeys();

}  // namespace winsim
