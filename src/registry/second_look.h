// The second look after the walk: whether what the run deleted or set is
// back, put there by a program that is running now (most likely the worm,
// which started from the very value the run removed).
#pragma once

#include "registry/registry_action.h"

// Notes a copy of a row whose action was done; past the first 32 none are noted.
void NoteDoneRow(const RegistryAction* row);

// Forgets the rows noted so far.
void ForgetDoneRows();

// With rows noted, waits a second (time for a program that writes every half
// second) and reports each row whose condition holds again, then once what to
// do; it changes nothing. With none, makes no call at all.
void LookAgainAtDoneRows(const char* tool_name);
