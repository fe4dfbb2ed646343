// Interim: no key reading yet.
#include "platform/console_key.h"

int ReadConsoleKey() { return -1; }
