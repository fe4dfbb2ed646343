// A small Windows program for the shared-log test: it opens the log as the
// cleaner does and writes many lines quickly, so that copies running at once
// contend for the file's end far more often than whole runs of the cleaner.
//   log_probe <log path> <copy name> <lines>
// It opens the log, then waits for a file "go" in the current folder, so that
// all copies write at the same moment, and at the end prints how many 1 ms
// sleeps it waited for its turns ("waits N").
//   log_probe <log path> hold 0
// Holds the log's turn lock, as another program may, then makes the file "go".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log/log_file.h"
#include "platform/write_turn.h"

namespace {

int HoldTheTurn(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE || !LockFile(file, kWriteTurnOffset, 0, 1, 0)) return 1;
    CloseHandle(CreateFileA("go", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    Sleep(120000);  // until the test ends it: the lock goes with the process
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fputs("usage: log_probe <log path> <copy name> <lines>\n", stderr);
        return 2;
    }
    if (strcmp(argv[2], "hold") == 0) return HoldTheTurn(argv[1]);
    if (SetLogPath(argv[1]) != 0) return 2;
    LogOpen("fix_tamrix");
    if (!LogIsOpen()) return 1;
    for (int waited = 0; GetFileAttributesA("go") == INVALID_FILE_ATTRIBUTES; ++waited) {
        if (waited > 60000) return 3;
        Sleep(1);
    }
    const int lines = atoi(argv[3]);
    for (int i = 0; i < lines; ++i) {
        LogLine("copy %s line %d of %d: the quick brown fox jumps over the lazy dog", argv[2], i,
                lines);
    }
    LogClose();
    printf("waits %u\n", WriteTurnWaits());
    return 0;
}
