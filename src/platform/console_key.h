// Implemented in platform/win32/console_key.cpp and, natively, winsim/console_key.cpp.
// Reads single key presses from the console itself (not standard input).
#pragma once

// Blocks for one key press and returns its character code, without echo and
// with Ctrl+C as 3; key releases and Shift, Ctrl or Alt alone are skipped.
// Keys without a character give 0 or 224 and then, from the next call
// (which does not wait), the key's scan code. Returns -1 at once without a
// console or when the read fails.
int ReadConsoleKey();
