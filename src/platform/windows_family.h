// What the program asks of the Windows it runs on, decided in one place:
// which family and version it is, whether a wide call is only the 95
// family's stub, and the code of a call that failed.
#pragma once

#include <cstdint>

// True on Windows 95, 98 and Me (GetVersion's bit 31): an ANSI registry,
// and wide calls that are stubs.
bool IsWindows95Family();

// True on the 95 family and on NT 4.0 (major version below 5), whose
// registry tools read REGEDIT4 text only.
bool IsBeforeWindows2000();

// True when `code` is a wide call's ERROR_CALL_NOT_IMPLEMENTED (120), the
// answer of the 95 family's stubs: there is no wide form to read.
bool IsNotImplemented(int32_t code);

// GetLastError() after a call that failed, or `fallback` when the system
// left it 0, so that a failure never reads as success.
int32_t LastErrorOr(int32_t fallback);
