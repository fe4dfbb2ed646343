// Test hooks of the native layer's file services.
#pragma once

namespace native {
}  // namespace native
