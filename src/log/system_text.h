// The system's own text for an error code, as every report shows it.
#pragma once

#include <cstdint>

// The system's text for `code` (or its decimal digits), freed with FreeSystemErrorText;
// nullptr when even that cannot be allocated.
char* SystemErrorText(int32_t code);

// nullptr is ignored.
void FreeSystemErrorText(char* text);
