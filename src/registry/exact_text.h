// Whether data found through the A calls is what the registry holds. The NT
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
