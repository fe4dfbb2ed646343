#include "console/quiet_mode.h"

namespace {
bool quiet_mode = false;
}

bool IsQuietMode() { return quiet_mode; }

void SwitchOnQuietMode() { quiet_mode = true; }

void ResetQuietModeForTests() { quiet_mode = false; }
