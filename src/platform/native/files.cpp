// Native layer: files (to be filled in by its issue).
#include "platform/native/layer.h"

namespace native {

void ResetFiles() {}

}  // namespace native
