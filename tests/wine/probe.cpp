// A tiny Windows program that prints a known line, the version Windows
// reports and the ANSI code page, so the tests can tell that the loader
// really runs programs of this build (a loader missing its 32-bit half exits
// 0 and prints nothing) and which Windows version and code page the prefix shows.
#include <windows.h>

#include <cstdio>

int main() {
    printf("fix_tamrix probe: Windows program running\n");
    printf("GetVersion 0x%08lX\n", static_cast<unsigned long>(GetVersion()));
    printf("GetACP %u\n", GetACP());
    return 0;
}
