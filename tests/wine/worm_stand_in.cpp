// Stands in for a running worm: puts its start-up value "screen" (the system
// folder's Screen.scr) back into the current user's Run key.
//   worm_stand_in watch   as soon as the key changes and the value is gone
//   worm_stand_in every   every 500 ms
// Prints "ready" once at work; ends when a file "stop_worm" appears in the
// current folder, or after two minutes.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const bool watch = argc == 2 && strcmp(argv[1], "watch") == 0;
    if (argc != 2 || (!watch && strcmp(argv[1], "every") != 0)) return 2;
    const char run[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    char data[MAX_PATH + 16];
    const UINT length = GetSystemDirectoryA(data, MAX_PATH);
    HKEY key = nullptr;
    if (length == 0 || length >= MAX_PATH || RegCreateKeyA(HKEY_CURRENT_USER, run, &key) != 0)
        return 1;
    strcat(data, "\\Screen.scr");
    HANDLE changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    // Armed again before each look, so that no change goes unseen.
    auto arm = [&] {
        return RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed, TRUE);
    };
    if (watch && arm() != ERROR_SUCCESS) return 1;
    puts("ready");
    fflush(stdout);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 120000;) {
        if (GetFileAttributesA("stop_worm") != INVALID_FILE_ATTRIBUTES) break;
        if (!watch) {
            Sleep(500);
        } else if (WaitForSingleObject(changed, 100) != WAIT_OBJECT_0 || arm() != ERROR_SUCCESS ||
                   RegQueryValueExA(key, "screen", nullptr, nullptr, nullptr, nullptr) !=
                       ERROR_FILE_NOT_FOUND) {
            continue;
        }
        RegSetValueExA(key, "screen", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                       static_cast<DWORD>(strlen(data) + 1));
    }
    return 0;
}
