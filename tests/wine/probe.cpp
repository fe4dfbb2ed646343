// A tiny Windows program that prints a known line and the version Windows
// reports, so the tests can tell that the loader really runs programs of this
// build (a loader missing its 32-bit half exits 0 and prints nothing) and
// which Windows version the prefix shows.
#include <windows.h>

#include <cstdio>

int main() {
    printf("fix_tamrix probe: Windows program running\n");
    printf("GetVersion 0x%08lX\n", static_cast<unsigned long>(GetVersion()));
    return 0;
}
