// Turns at the end of a file that several programs append to, such as a log
// shared by every machine that runs the program from one network folder.
#pragma once

#include "platform/platform.h"

// Writers take turns by locking this byte, far past the end of any log
// (locks beyond the end are allowed and keep no one from the file's data).
constexpr DWORD kWriteTurnOffset = 0x7FFFFFFFu;
// How long a writer waits for its turn, in 1 ms sleeps, before it writes
// without one.
constexpr unsigned kWriteTurnTries = 2000;

// Takes the writer's turn at `file`: true with the byte locked, to be given
// back with EndWriteTurn; false to write without a turn (no locks on that
// file, or the wait ran out). A wait that ran out is the last: for the rest
// of the run every write goes without a turn, so that a lock kept by another
// program costs one wait, not one for each line.
bool TakeWriteTurn(HANDLE file);
void EndWriteTurn(HANDLE file);

// The sleeps that waiting for turns took so far in this run.
unsigned WriteTurnWaits();

// Test hook, never called by the program: turns taken again, no waits counted.
void ResetWriteTurnsForTests();
