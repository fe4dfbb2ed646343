// The program does no floating-point math. Defining the C runtime's math-error
// hook keeps the toolchain's default one, with its messages, out of the exe.
#include <math.h>

extern "C" int _matherr(struct _exception*) { return 0; }  // 0: the runtime's default handling
