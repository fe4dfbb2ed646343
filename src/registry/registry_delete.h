// Deleting a registry value, or a key with its whole subtree.
#pragma once

#include <cstdint>

// Deletes the value `value_name` of the key at `path` (expanded once), or
// with nullptr the key and its subtree, whose names are taken as they stand.
// 0 or the first failure (ERROR_BADKEY for a root key); nothing stays open.
int32_t DeleteRegistryItem(const char* path, const char* value_name);

// Deletes the value called exactly `name`, unexpanded: a name read from the
// registry may look like a path variable. 0 or the failure's code.
int32_t DeleteRegistryValueNamed(const char* path, const char* name);
