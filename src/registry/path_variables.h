// Path variables such as %System% and %Temp% in texts of the built-in tables.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies `input` with every variable replaced by its value now: 0, the first
// failing resolver's code, or ERROR_INSUFFICIENT_BUFFER (output then unusable).
int32_t ExpandPathVariables(const char* input, char* output, size_t capacity);
