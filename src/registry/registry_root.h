// The predefined root a full registry path ("HKEY_CURRENT_USER\...") begins
// with. Nothing here expands path variables or opens a key.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The root `path` begins with, its subkey path and (when asked for) the root's
// name after "HKEY_": 0, or ERROR_BADKEY for a malformed path, nothing stored.
int32_t ParseRegistryRoot(const char* path, HKEY* root, const char** sub_key,
                          const char** root_name = nullptr);
