// What the program asks of the Windows it runs on, decided in one place.
#pragma once

#include <cstdint>

// Windows 95, 98 and Me: an ANSI registry, and wide calls that are stubs.
bool IsWindows95Family();

// The 95 family and NT 4.0, whose registry tools read REGEDIT4 only.
bool IsBeforeWindows2000();

// The 95 family's stubs' answer: there is no wide form to read.
bool IsNotImplemented(int32_t code);

// GetLastError(), or `fallback` where it is 0: a failure never reads as success.
int32_t LastErrorOr(int32_t fallback);
