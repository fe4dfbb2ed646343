// Test hooks of the native layer's file services. Attributes other than
// read-only (which is the owner's write bit) are kept by the layer per path;
// deletions at restart are recorded instead of written to a registry.
#pragma once

#include <string>
#include <vector>

namespace native {

// What MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT scheduled, in call order:
// the path for a deletion, "path -> new path" for a rename.
const std::vector<std::string>& RestartOperations();

// Without administrator rights scheduling at restart fails with 5, as on
// Windows. On after Reset.
void SetAdministrator(bool on);

}  // namespace native
