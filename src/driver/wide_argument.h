// An argument of the command line in its exact (UTF-16) spelling. The C
// runtime's argv is the ANSI form of the wide command line, converted with
// best-fit mapping: a character that the code page lacks comes out as a
// look-alike ("café" as "cafe" under code page 932), or as '?'.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Splits `line` as the C runtime (msvcrt) splits a command line into argv
// and writes argument `index` into `out` (`capacity` units with the NUL, cut
// to fit) and its whole length into *length (0 when there is no such
// argument). Returns the number of arguments, the program's name counted.
int SplitWideCommandLine(const WCHAR* line, int index, WCHAR* out, size_t capacity, size_t* length);

// The exact spelling of argv[index]: 0 with *wide false when the ANSI text is
// exact (it widens to the wide argument unit for unit, or the system is one of
// the 95 family, whose command line is ANSI); 0 with *wide true and the wide
// argument in `out` when the ANSI text is a best fit of it; ERROR_INVALID_DATA
// (13) when the wide command line does not split into arguments that match
// argv (another count, or an argument that does not narrow to argv[index]);
// ERROR_BUFFER_OVERFLOW when the argument does not fit `capacity` units; a
// conversion's failure code.
int32_t FindExactArgument(int argc, char** argv, int index, WCHAR* out, size_t capacity,
                          bool* wide);
