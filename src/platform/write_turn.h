// Turns at the end of a file that several programs append to.
#pragma once

#include "platform/platform.h"

// The byte locked for a turn: far past any log's end, so it keeps no one from the data.
constexpr DWORD kWriteTurnOffset = 0x7FFFFFFFu;
// 1 ms sleeps a writer waits for its turn before it writes without one.
constexpr unsigned kWriteTurnTries = 2000;

// True with the turn taken (give it back with EndWriteTurn); false to write without one.
// After one wait runs out, no more are tried in this run.
bool TakeWriteTurn(HANDLE file);
void EndWriteTurn(HANDLE file);

// The sleeps waiting for turns took so far.
unsigned WriteTurnWaits();

// Test hook, never called by the program: turns taken again, no waits counted.
void ResetWriteTurnsForTests();
