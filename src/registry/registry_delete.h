// Deleting a registry value, or a key with its whole subtree.
#pragma once

#include <cstdint>

// Deletes the value `value_name` ("" is the default value) of the key at
// `path`, or, with value_name nullptr, the key with its whole subtree. The
// path's variables are expanded once; names found below the key are taken as
// they stand, never expanded. Returns 0 or the first failure's code
// (ERROR_BADKEY for a root key or a found name that would name another key,
// ERROR_INSUFFICIENT_BUFFER when a path or name does not fit its buffer); no
// handle stays open on any return.
int32_t DeleteRegistryItem(const char* path, const char* value_name);

// Deletes the value called exactly `name` of the key at `path`: unlike
// DeleteRegistryItem, the name is taken as it stands, for names read from the
// registry, which may hold text that looks like a path variable. Returns 0 or
// the first failure's code; nothing stays open.
int32_t DeleteRegistryValueNamed(const char* path, const char* name);
