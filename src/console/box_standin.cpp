// Interim box printer and prompts: plain text between borders, no layout.
#include <cstdio>
#include <cstdlib>

#include "console/box.h"
#include "console/prompts.h"
#include "console/quiet_mode.h"
#include "platform/console_key.h"

void PrintBoxBorder() {
    printf("+==============================================================+\n");
}

void PrintBox(int32_t /*alignment*/, const char* text) {
    if (text == nullptr) return;
    PrintBoxBorder();
    printf("%s", text);
    PrintBoxBorder();
}

void PauseForKey() {
    if (IsQuietMode()) return;
    printf("\nPress any key to continue...");
    int key = ReadConsoleKey();
    printf("\n\n");
    if (key == 3) exit(1);
}

bool ConfirmAction() { return IsQuietMode(); }
