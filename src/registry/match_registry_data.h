// The matcher of the built-in registry rows.
#pragma once

#include "registry/registry_action.h"

// Text expected (type 1 or 2): the found data must be text too, and the two
// match without regard to case once white space is trimmed at both ends.
// Other types: the same length and the same bytes.
bool MatchRegistryData(const RegistryData* expected, const RegistryData* found);
