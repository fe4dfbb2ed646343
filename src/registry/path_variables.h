// Path variables such as %System% and %Temp% in texts of the built-in tables.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies `input` to `output` (room for `capacity` bytes, NUL included) with
// every variable replaced by its value now. Returns 0; the first failing
// resolver's code; or ERROR_INSUFFICIENT_BUFFER (122) when the expanded text
// would not fit. On a non-zero result the output is to be discarded.
int32_t ExpandPathVariables(const char* input, char* output, size_t capacity);
