// Native layer: system facts (to be filled in by its issue).
#include "platform/native/layer.h"

namespace native {

void ResetSystemFacts() {}

}  // namespace native
