// A small Windows program that stands in for a running worm: it puts its
// start-up value "screen" (the system folder's Screen.scr) back into the
// current user's Run key, as the worm does after a clean-up.
//   worm_stand_in watch   writes it back as soon as the key changes and it is gone
//   worm_stand_in every   writes it every 500 ms
// It prints "ready" once it is at work, and ends when a file "stop_worm"
// appears in the current folder (or after two minutes).
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool Stopped() { return GetFileAttributesA("stop_worm") != INVALID_FILE_ATTRIBUTES; }

}  // namespace

int main(int argc, char** argv) {
    const bool watch = argc == 2 && strcmp(argv[1], "watch") == 0;
    if (argc != 2 || (!watch && strcmp(argv[1], "every") != 0)) {
        fputs("usage: worm_stand_in watch|every\n", stderr);
        return 2;
    }
    char data[MAX_PATH + 16];
    const UINT length = GetSystemDirectoryA(data, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    strcat(data, "\\Screen.scr");
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kRunKey, &key) != ERROR_SUCCESS) return 1;
    HANDLE changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const DWORD filter = REG_NOTIFY_CHANGE_LAST_SET;
    if (watch && RegNotifyChangeKeyValue(key, FALSE, filter, changed, TRUE) != ERROR_SUCCESS) {
        return 1;
    }
    puts("ready");
    fflush(stdout);
    for (DWORD start = GetTickCount(); !Stopped() && GetTickCount() - start < 120000;) {
        if (watch) {
            if (WaitForSingleObject(changed, 100) != WAIT_OBJECT_0) continue;
            // Armed again before the look, so that no change goes unseen.
            RegNotifyChangeKeyValue(key, FALSE, filter, changed, TRUE);
            if (RegQueryValueExA(key, "screen", nullptr, nullptr, nullptr, nullptr) !=
                ERROR_FILE_NOT_FOUND) {
                continue;
            }
        } else {
            Sleep(500);
        }
        RegSetValueExA(key, "screen", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                       static_cast<DWORD>(strlen(data) + 1));
    }
    RegCloseKey(key);
    return 0;
}
