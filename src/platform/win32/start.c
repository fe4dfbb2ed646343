/* The exe's entry point, in place of the toolchain's start-up files, which
 * bring thread-local storage, runtime relocation, exception frames and an
 * exception filter that the program never uses: about a quarter of the exe.
 * What the program needs of a start-up is what msvcrt's own start-up helpers
 * give: the arguments, then main, then exit with its flushing. */
#include <stdlib.h>

typedef struct {
    int newmode;
} StartupInfo;

/* msvcrt's exports, as every C start-up for it calls them. */
extern void __cdecl __set_app_type(int type);
extern int __cdecl __getmainargs(int* argc, char*** argv, char*** env, int expand_wildcards,
                                 StartupInfo* info);

/* The linker's list of data imports that would need patching at start-up. */
extern const char __RUNTIME_PSEUDO_RELOC_LIST__[];
extern const char __RUNTIME_PSEUDO_RELOC_LIST_END__[];

int main(int argc, char** argv);

enum { kConsoleApp = 1 }; /* run-time errors are reported on the console */

/* The toolchain's start-up files define atexit over msvcrt's _onexit (the
 * registered functions run in exit); its constructor support calls it. */
int atexit(void (*function)(void)) { return _onexit((_onexit_t)function) != NULL ? 0 : -1; }

/* The linker asks for this. Every import goes through the import table, so
 * nothing is left to patch; should that change, the program stops here. */
void _pei386_runtime_relocator(void) {
    if ((const void*)__RUNTIME_PSEUDO_RELOC_LIST__ !=
        (const void*)__RUNTIME_PSEUDO_RELOC_LIST_END__) {
        abort();
    }
}

/* The system calls the entry with no promise of an aligned stack. */
__attribute__((used, force_align_arg_pointer)) void mainCRTStartup(void) {
    int argc = 0;
    char** argv = NULL;
    char** env = NULL;
    StartupInfo info = {0};
    __set_app_type(kConsoleApp);
    _pei386_runtime_relocator();
    /* No wildcard expansion, as with the toolchain's own start-up. */
    if (__getmainargs(&argc, &argv, &env, 0, &info) < 0) exit(255);
    exit(main(argc, argv));
}
