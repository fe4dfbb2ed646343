// The walk's reporting callback, which also takes the row's action.
#pragma once

#include <cstdint>

#include "registry/registry_action.h"

// Takes the action on 0, else reports the row not found or the access error;
// returns 0, so the walk visits every row.
int32_t ReportRegistryResult(int32_t code, const RegistryAction* row);

void ReportAccessError(int32_t code, const RegistryAction* row);
