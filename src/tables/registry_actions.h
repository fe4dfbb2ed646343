// The built-in registry action table: the worm's start-up values.
#pragma once

#include "registry/registry_action.h"

extern const RegistryAction kRegistryActions[];
