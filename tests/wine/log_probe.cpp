// A small Windows program for the shared-log test: it opens the log as the
// cleaner does and writes many lines quickly, so that copies running at once
// contend for the file's end far more often than whole runs of the cleaner.
//   log_probe <log path> <copy name> <lines>
// It opens the log, then waits for a file "go" in the current folder, so that
// all copies write at the same moment.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "log/log_file.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        fputs("usage: log_probe <log path> <copy name> <lines>\n", stderr);
        return 2;
    }
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
    return 0;
}
