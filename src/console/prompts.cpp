// The pause and the Yes/No/All-yes confirmation prompt.
#include "console/prompts.h"

#include <cstdio>
#include <cstdlib>

#include "console/quiet_mode.h"
#include "platform/console_key.h"

namespace {

constexpr int kCtrlC = 3;

// A key without a character comes as 0 or 224 and then a code naming it.
bool IsKeyPrefix(int code) { return code == 0 || code == 224; }

}  // namespace

void PauseForKey() {
    if (IsQuietMode()) return;
    fputs("\nPress any key to continue...", stdout);
    fflush(stdout);  // the prompt has no line end; show it before waiting
    const int key = ReadConsoleKey();
    // Take the second code of a function or cursor key too, so that it cannot
    // answer the next pause or prompt by itself.
    if (IsKeyPrefix(key)) ReadConsoleKey();
    fputs("\n\n", stdout);
    if (key == kCtrlC) exit(1);
}

bool ConfirmAction() {
    if (IsQuietMode()) return true;
    fputs("  Confirm (Yes/No/All yes)?  ", stdout);
    fflush(stdout);
    for (;;) {
        const int key = ReadConsoleKey();
        // No key can be read: waiting would never end, so the action is declined.
        if (key == -1) return false;
        if (IsKeyPrefix(key)) {
            // The code after the prefix names a key, not a letter (F7 comes as
            // 0 and 65, "A"): it is no answer.
            if (ReadConsoleKey() == -1) return false;
            continue;
        }
        switch (key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key) {
            case 'a':
                SwitchOnQuietMode();
                fputs("[Yes to all prompts] ", stdout);
                return true;
            case 'n':
                fputs("[No] ", stdout);
                return false;
            case 'y':
                fputs("[Yes] ", stdout);
                return true;
            default:
                break;  // not an answer: no output, the prompt stays
        }
    }
}
