// The texts the tests compare against, each kept once in tests/expected/ and
// shared with the end-to-end tests of the Windows builds.
#pragma once

#include <string>

// The whole file tests/expected/`name` ("\n" line ends), or a marker text
// naming the file when it cannot be read, so that a comparison fails.
std::string ExpectedText(const char* name);
