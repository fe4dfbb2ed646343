// Native layer: registry (to be filled in by its issue).
#include "platform/native/layer.h"

namespace native {

void ResetRegistry() {}

}  // namespace native
