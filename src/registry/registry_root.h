// The predefined root a full registry path ("HKEY_CURRENT_USER\...") begins
// with. Nothing here expands path variables or opens a key.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Finds the root `path` begins with (after blanks and tabs) and where its
// subkey path starts, right after the root's backslash; *root_name (when
// asked for) is the root's canonical name after "HKEY_", e.g. "CURRENT_USER".
// 0, or ERROR_BADKEY (1010) for a malformed path, with nothing stored.
int32_t ParseRegistryRoot(const char* path, HKEY* root, const char** sub_key,
                          const char** root_name = nullptr);
