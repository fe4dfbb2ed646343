#include "console/quiet_mode.h"

namespace {
bool quiet_mode = false;
}

bool IsQuietMode() { return quiet_mode; }

void SetQuietMode(bool on) { quiet_mode = on; }
