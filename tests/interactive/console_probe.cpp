// A small program for the terminal tests: it shows, line by line, what the
// console key reader and the confirmation prompt make of real key presses.
//   console_probe keys N      reads N key codes and prints each as "code <n>"
//   console_probe confirm N   asks N times, as a file deletion does, then
//                             pauses and prints "END"
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/prompts.h"
#include "platform/console_key.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: console_probe keys|confirm N\n", stderr);
        return 2;
    }
    const int count = atoi(argv[2]);
    if (strcmp(argv[1], "keys") == 0) {
        for (int i = 0; i < count; ++i) {
            printf("code %d\n", ReadConsoleKey());
            fflush(stdout);
        }
    } else if (strcmp(argv[1], "confirm") == 0) {
        for (int i = 1; i <= count; ++i) {
            printf("Deleting file \"f%d\"...", i);
            fflush(stdout);
            printf(ConfirmAction() ? " Done.\n" : " Skipped.\n");
        }
        PauseForKey();
        printf("END\n");
    } else {
        fputs("usage: console_probe keys|confirm N\n", stderr);
        return 2;
    }
    return 0;
}
