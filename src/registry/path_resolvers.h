// The path-variable table and what each variable's resolver reads: system
// folders, names, and two registry values.
#pragma once

#include <cstdint>

// Writes the value and a NUL at `out` (kFolderSize bytes): 0 with its length
// in *written, else a Win32 code.
typedef int32_t (*PathResolver)(char* out, uint32_t* written);

struct PathVariable {
    const char* token;      // "%System%", both percent signs included
    uint32_t token_length;  // compared over this many bytes
    PathResolver resolver;
};

// Searched in this order; no terminating row.
constexpr int kPathVariableCount = 7;
extern const PathVariable kPathVariables[kPathVariableCount];

// Reads a value as terminated text into `output` (kFolderSize bytes), the path
// unexpanded: ERROR_MORE_DATA when it does not fit, else the parse's or call's code.
int32_t ReadRegistryString(const char* key_path, const char* value_name, char* output);
