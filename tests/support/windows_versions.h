// The versions GetVersion reports on the systems the tests stand in for (the
// build number in the high word, bit 31 set on the 95 family), as Wine gives
// them for its settings of the same names (tests/support/e2e.py).
#pragma once

#include "platform/platform.h"

constexpr DWORD kWindows98 = 0xC0000A04;
constexpr DWORD kWindowsNt4 = 0x05650004;
constexpr DWORD kWindowsXp = 0x0A280105;
