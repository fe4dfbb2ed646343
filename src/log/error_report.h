// The one way failures are reported: on the console and, when it is open, in
// the log, each time with the system's text for the error code.
#pragma once

#include <cstdint>

// Prints "\n", the message, ": " and the system's text for `code` on the
// console and writes the same, time-stamped, to the log when it is open.
void ReportError(int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The system's text for `code` without trailing line breaks, in a block the
// caller releases with FreeSystemErrorText; the code's unsigned decimal digits
// when the system has no text; nullptr when not even that can be allocated.
char* SystemErrorText(int32_t code);

// Releases a text from SystemErrorText with LocalFree; nullptr is ignored.
void FreeSystemErrorText(char* text);
