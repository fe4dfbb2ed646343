// Native layer: console keys (to be filled in by its issue).
#include "platform/native/layer.h"

namespace native {

void ResetConsoleKeys() {}

}  // namespace native

int ReadConsoleKey() { return -1; }
