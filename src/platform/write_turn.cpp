#include "platform/write_turn.h"

namespace {

bool turns_given_up = false;
unsigned waits = 0;

}  // namespace

bool TakeWriteTurn(HANDLE file) {
    for (unsigned i = 0; !turns_given_up && i < kWriteTurnTries; ++i) {
        if (LockFile(file, kWriteTurnOffset, 0, 1, 0)) return true;
        if (GetLastError() != ERROR_LOCK_VIOLATION) return false;  // no locks here: write as is
        Sleep(1);
        ++waits;
    }
    // A lock is held only for one write and goes with its process: one held
    // this long is kept on purpose, and would hold up every line.
    turns_given_up = true;
    return false;
}

void EndWriteTurn(HANDLE file) { UnlockFile(file, kWriteTurnOffset, 0, 1, 0); }

unsigned WriteTurnWaits() { return waits; }

void ResetWriteTurnsForTests() {
    turns_given_up = false;
    waits = 0;
}
