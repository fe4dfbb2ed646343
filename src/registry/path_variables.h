// Implemented in path_variables.cpp and path_resolvers.cpp (the variable table).
// Path variables such as %System% and %Temp% in texts of the built-in tables.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the variable's value and a NUL at `out`; on success stores the
// value's length (NUL not counted) in *written and returns 0, else a Win32 code.
typedef int32_t (*PathResolver)(char* out, uint32_t* written);

struct PathVariable {
    const char* token;      // "%System%", both percent signs included
    uint32_t token_length;  // compared over this many bytes
    PathResolver resolver;
};

constexpr int kPathVariableCount = 7;
extern const PathVariable kPathVariables[kPathVariableCount];

// Copies `input` to `output` (room for `capacity` bytes, NUL included) with
// every variable replaced by its value now. Returns 0; the first failing
// resolver's code; or ERROR_INSUFFICIENT_BUFFER (122) when the expanded text
// would not fit. On a non-zero result the output is to be discarded.
int32_t ExpandPathVariables(const char* input, char* output, size_t capacity);

// Reads a value's data, whatever its type, as text into `output` (kFolderSize
// bytes, never more), the key given as a full registry path. On 0 the text is
// NUL-terminated: data without a NUL gets one after it. ERROR_MORE_DATA (234)
// when the data is longer than kFolderSize bytes or fills them without a NUL;
// otherwise OpenRegistryPath's or RegQueryValueExA's code (2 for a missing key
// or value). No key stays open.
int32_t ReadRegistryString(const char* key_path, const char* value_name, char* output);
