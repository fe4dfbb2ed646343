// Implemented in registry_path.cpp (opening) and registry_delete.cpp (deleting).
// Full registry paths ("HKEY_CURRENT_USER\Software\...") opened and deleted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Opens the key a full registry path names (path variables expanded). On 0
// the caller owns *key and closes it with RegCloseKey; otherwise nothing is
// left open: ERROR_BADKEY (1010) for a malformed path, the expansion's code,
// or RegOpenKeyA's.
int32_t OpenRegistryPath(const char* path, HKEY* key);

// Finds the predefined root a full registry path begins with (after blanks
// and tabs) and where its subkey path starts, right after the root's
// backslash. 0, or ERROR_BADKEY (1010) for a malformed path.
int32_t ParseRegistryRoot(const char* path, HKEY* root, const char** sub_key);

// Writes the key that OpenRegistryPath would open for `path` as a full
// path in canonical form: the root's whole "HKEY_" name in capitals, then
// the expanded subkey path without a trailing backslash ("HKEY_CURRENT_USER"
// for the root itself). Returns 0, OpenRegistryPath's parse and expansion
// codes, or ERROR_INSUFFICIENT_BUFFER when it does not fit (`out` is then
// not to be used).
int32_t NameRegistryKey(const char* path, char* out, size_t size);

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
