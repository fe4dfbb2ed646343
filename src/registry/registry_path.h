// Keys opened, and named, by their full registry paths
// ("HKEY_CURRENT_USER\Software\..."), path variables expanded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Opens the key a full registry path names (path variables expanded). On 0
// the caller owns *key and closes it with RegCloseKey; otherwise nothing is
// left open: ERROR_BADKEY (1010) for a malformed path, the expansion's code,
// or RegOpenKeyA's.
int32_t OpenRegistryPath(const char* path, HKEY* key);

// Writes the key that OpenRegistryPath would open for `path` as a full
// path in canonical form: the root's whole "HKEY_" name in capitals, then
// the expanded subkey path without a trailing backslash ("HKEY_CURRENT_USER"
// for the root itself). Returns 0, OpenRegistryPath's parse and expansion
// codes, or ERROR_INSUFFICIENT_BUFFER when it does not fit (`out` is then
// not to be used).
int32_t NameRegistryKey(const char* path, char* out, size_t size);
