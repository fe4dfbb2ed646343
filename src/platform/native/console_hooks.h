// Test hooks of the native console key reader. After Reset the reader is
// scripted with no keys (it returns -1 at once, as without a console), so
// unit tests never wait on the real terminal; the program itself, which never
// calls Reset, reads the controlling terminal.
#pragma once

#include <initializer_list>

namespace native {

// Keys that ReadConsoleKey returns, one code per call, then -1. A key without
// a character is scripted as its two codes, e.g. {224, 72} for Up.
void ScriptConsoleKeys(std::initializer_list<int> keys);

}  // namespace native
