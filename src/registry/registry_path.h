// Keys opened, and named, by their full registry paths
// ("HKEY_CURRENT_USER\Software\..."), path variables expanded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Opens the key a full path names; on 0 the caller closes *key. Otherwise
// nothing is open: ERROR_BADKEY, the expansion's code or RegOpenKeyA's.
int32_t OpenRegistryPath(const char* path, HKEY* key);

// The canonical full path of the key OpenRegistryPath would open: 0, its
// parse or expansion code, or ERROR_INSUFFICIENT_BUFFER.
int32_t NameRegistryKey(const char* path, char* out, size_t size);
