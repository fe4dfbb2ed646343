// The second look after the walk: whether a running program put back what the run removed.
#pragma once

#include "registry/registry_action.h"

// Notes a copy of a row whose action was done; past the first 32 none are noted.
void NoteDoneRow(const RegistryAction* row);

void ForgetDoneRows();

// With rows noted, waits a second and reports each row that holds again, then
// the advice once; changes nothing. With none, makes no call.
void LookAgainAtDoneRows(const char* tool_name);
