#pragma once

#include <cstdint>

// Deletes `value_name` of the key at `path` (expanded once), or with nullptr
// the key and its subtree (never a root): 0 or the first failure.
int32_t DeleteRegistryItem(const char* path, const char* value_name);

// Deletes the value called exactly `name`: one read from the registry may look like a variable.
int32_t DeleteRegistryValueNamed(const char* path, const char* name);
