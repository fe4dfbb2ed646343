// The program's main routine: one run in its fixed order.
#pragma once

#include <cstdint>

// Runs the cleaner and returns the exit code: 0 after a run, 1 after the
// usage text, 2 after a command-line error.
int32_t RunCleaner(int argc, char** argv);

// Prints the title box, centred, if there is a title text.
void PrintTitle();

// Prints the instructions box, left-aligned, and pauses, if there is an
// instructions text.
void PrintInstructions();

// The file-scanning stage of this configuration: empty.
void RunScanStage();
