// What the program asks of the Windows it runs on, decided in one place.
#pragma once

#include <cstdint>

// True on Windows 95, 98 and Me (GetVersion's bit 31): an ANSI registry,
// and wide calls that are stubs.
bool IsWindows95Family();

// True on the 95 family and NT 4.0, whose registry tools read REGEDIT4 only.
bool IsBeforeWindows2000();

// True for the 95 family's stubs' answer (120): there is no wide form to read.
bool IsNotImplemented(int32_t code);

// GetLastError(), or `fallback` where it is 0: a failure never reads as success.
int32_t LastErrorOr(int32_t fallback);
