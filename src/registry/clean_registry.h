// The cleaning walk over a registry action table.
#pragma once

#include <cstdint>

#include "registry/registry_action.h"

// Walks `table` up to its ending row and hands every outcome to `callback`.
// Returns 0, or the first non-zero value the callback returned. Allocates
// nothing; no key is open when it returns.
int32_t CleanRegistry(const RegistryAction* table, RegistryCallback callback);
