// Whether names and data found through the A calls are what the registry holds. The NT
// family stores text in UTF-16 and the A calls convert it with best-fit
// mapping, so a look-alike (a full-width letter, a letter with a diacritic)
// can read back as the plain text that Windows would not start.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "registry/registry_action.h"

// The value `name` of the open `key`, which the A call read as `found`: 0
// when its stored form widens exactly from `found`, and on the 95 family
// (ANSI registry, W calls answer 120); 2 when it does not; otherwise the code
// of the call that failed.
int32_t CheckExactText(HKEY key, const char* name, const RegistryData* found);

// The same for the value at `index` of `key`, which the A enumeration gave as
// `name` and `found`: its name must read back exactly too.
int32_t CheckExactEnumeratedText(HKEY key, DWORD index, const char* name,
                                 const RegistryData* found);

// The subkey at `index` of `key`, which the A enumeration gave as `name`: 0
// when its stored name widens exactly from `name`, and on the 95 family;
// ERROR_NO_UNICODE_TRANSLATION (1113) when it does not, for opening it by
// `name` would open the key of that spelling instead; otherwise the code of
// the call that failed.
int32_t CheckExactSubkeyName(HKEY key, DWORD index, const char* name);
