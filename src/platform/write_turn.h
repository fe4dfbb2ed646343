// Turns at the end of a file that several programs append to, such as a log
// shared by every machine that runs the program from one network folder.
#pragma once

#include "platform/platform.h"

// Writers take turns by locking this byte, far past the end of any log
// (locks beyond the end are allowed and keep no one from the file's data).
constexpr DWORD kWriteTurnOffset = 0x7FFFFFFFu;
// 1 ms sleeps a writer waits for its turn before it writes without one.
constexpr unsigned kWriteTurnTries = 2000;

// True with the turn taken, to be given back with EndWriteTurn; false to write
// without one. A wait that ran out is the last of the run, so that a lock held
// elsewhere costs one wait, not one for each line.
bool TakeWriteTurn(HANDLE file);
void EndWriteTurn(HANDLE file);

// The sleeps that waiting for turns took so far in this run.
unsigned WriteTurnWaits();

// Test hook, never called by the program: turns taken again, no waits counted.
void ResetWriteTurnsForTests();
