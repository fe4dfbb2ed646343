// The path-variable table and what each variable's resolver reads: system
// folders, names, and two registry values.
#pragma once

#include <cstdint>

// Writes the variable's value and a NUL at `out` (room for kFolderSize
// bytes); on success stores the value's length (NUL not counted) in *written
// and returns 0, else a Win32 code.
typedef int32_t (*PathResolver)(char* out, uint32_t* written);

struct PathVariable {
    const char* token;      // "%System%", both percent signs included
    uint32_t token_length;  // compared over this many bytes
    PathResolver resolver;
};

// Searched in this order; no terminating row.
constexpr int kPathVariableCount = 7;
extern const PathVariable kPathVariables[kPathVariableCount];

// Reads a value's data, whatever its type, as text into `output` (kFolderSize
// bytes, never more), the key given as a full registry path whose subkey
// path is taken as it stands: no variable in it is expanded, so reading a
// variable's value never expands another. On 0 the text is NUL-terminated:
// data without a NUL gets one after it. ERROR_MORE_DATA (234) when the data
// is longer than kFolderSize bytes or fills them without a NUL; otherwise
// ERROR_BADKEY (1010) for a malformed path, or RegOpenKeyA's or
// RegQueryValueExA's code (2 for a missing key or value). No key stays open.
int32_t ReadRegistryString(const char* key_path, const char* value_name, char* output);
