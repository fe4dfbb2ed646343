// The program's main routine: one run in its fixed order.
#pragma once

#include <cstdint>

// Runs the cleaner and returns the exit code: 0 after a run, 1 after the
// usage text, 2 after a command-line error.
int32_t RunCleaner(int argc, char** argv);
