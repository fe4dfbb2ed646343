// The cleaning walk over a registry action table.
#pragma once

#include <cstdint>

#include "registry/registry_action.h"

// The walk's check of a row that is no search, on its open `key`: 0 when the
// row's condition holds, otherwise the code the walk gives the callback.
int32_t ExamineRow(const RegistryAction* row, HKEY key);

// Hands every row's outcome to `callback`: 0, or the first non-zero value it
// returned. No key is open when it returns.
int32_t CleanRegistry(const RegistryAction* table, RegistryCallback callback);
