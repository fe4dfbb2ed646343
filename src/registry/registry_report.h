// The standard reporting callback of the cleaning walk, which also takes the
// row's action on what the walk found.
#pragma once

#include <cstdint>

#include "registry/registry_action.h"

// Performs the row's action on code 0; otherwise reports the key or value as
// not found (codes 2 and 3) or the access error with the system's text.
// Always returns 0, so the walk visits every row.
int32_t ReportRegistryResult(int32_t code, const RegistryAction* row);

// Reports that the row's key or value could not be read, with the system's
// text for `code`.
void ReportAccessError(int32_t code, const RegistryAction* row);
