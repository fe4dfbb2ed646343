// ReadConsoleKey on Windows: key-down records of the console input "CONIN$",
// read with the console mode at 0 so that Ctrl+C arrives as a key (3).
#include "platform/console_key.h"

#include <windows.h>

namespace {

HANDLE console_input = INVALID_HANDLE_VALUE;
bool console_input_opened = false;
int pending_code = -1;  // the second code of a key that has two

// Keys that give no code of their own: they only change the next key.
bool IsModifierKey(WORD virtual_key) {
    static const WORD kModifierKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU,    VK_LWIN,
                                         VK_RWIN,  VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
    for (WORD modifier : kModifierKeys) {
        if (virtual_key == modifier) return true;
    }
    return false;
}

// Reads records until a key-down record with a code; -1 when a read fails.
int ReadKeyDown() {
    for (;;) {
        INPUT_RECORD record;
        DWORD count = 0;
        if (!ReadConsoleInputA(console_input, &record, 1, &count) || count == 0) return -1;
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        if (key.uChar.AsciiChar != 0) return static_cast<unsigned char>(key.uChar.AsciiChar);
        if (IsModifierKey(key.wVirtualKeyCode) || key.wVirtualScanCode == 0) continue;
        // As the C runtime reports it: enhanced keys (the cursor block, F11,
        // F12) with 224, the others with 0, then the scan code.
        pending_code = key.wVirtualScanCode & 0xff;
        return (key.dwControlKeyState & ENHANCED_KEY) != 0 ? 224 : 0;
    }
}

}  // namespace

int ReadConsoleKey() {
    if (pending_code >= 0) {
        const int code = pending_code;
        pending_code = -1;
        return code;
    }
    if (!console_input_opened) {
        console_input_opened = true;
        console_input =
            CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (console_input == INVALID_HANDLE_VALUE) return -1;
    DWORD mode;
    if (!GetConsoleMode(console_input, &mode) || !SetConsoleMode(console_input, 0)) return -1;
    const int key = ReadKeyDown();
    SetConsoleMode(console_input, mode);
    return key;
}
