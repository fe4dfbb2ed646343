// The system's own text for an error code, as every report shows it.
#pragma once

#include <cstdint>

// The system's text for `code` without trailing line breaks, in a block the
// caller releases with FreeSystemErrorText; the code's unsigned decimal digits
// when the system has no text; nullptr when not even that can be allocated.
char* SystemErrorText(int32_t code);

// Releases a text from SystemErrorText with LocalFree; nullptr is ignored.
void FreeSystemErrorText(char* text);
