// The second look after the walk: whether what the run deleted or set is
// back, put there by a program that is running now (most likely the worm,
// which started from the very value the run removed).
#pragma once

#include "registry/registry_action.h"

// Notes a row whose action was done (the walk's working row, its texts
// copied), to be looked at again after the walk. Rows past the first 32, or
// whose texts do not fit the walk's buffers, are not noted.
void NoteDoneRow(const RegistryAction* row);

// Forgets the rows noted so far.
void ForgetDoneRows();

// With no row noted, does nothing at all. Otherwise waits a second, long
// enough for a program that writes a value back as soon as its key changes,
// or every half second, to have done so; reads and checks each noted row
// again as the walk does, changing and saving nothing; and reports, in the
// order noted, each row whose condition holds again, then once what to do,
// naming `tool_name`. A read that fails is reported with the system's text.
// Forgets the rows.
void LookAgainAtDoneRows(const char* tool_name);
