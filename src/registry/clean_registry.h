// The cleaning walk over a registry action table.
#pragma once

#include <cstdint>

#include "registry/found_value.h"
#include "registry/registry_action.h"

// The walk's check of a row that is no search, on its open `key`, a value
// read into `buffers` (of the walk's sizes): 0 when the row's condition holds,
// otherwise the code the walk gives the callback.
int32_t ExamineRow(const RegistryAction* row, HKEY key, const ValueBuffers& buffers);

// Walks `table` up to its ending row and hands every outcome to `callback`.
// Returns 0, or the first non-zero value the callback returned. Allocates
// nothing; no key is open when it returns.
int32_t CleanRegistry(const RegistryAction* table, RegistryCallback callback);
