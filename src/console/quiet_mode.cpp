#include "console/quiet_mode.h"

#include <cstdint>

namespace {
int32_t quiet_mode = 0;
}

bool IsQuietMode() { return quiet_mode != 0; }

void SetQuietMode(bool on) { quiet_mode = on ? 1 : 0; }
