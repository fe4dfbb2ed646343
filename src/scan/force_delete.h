// Deleting a file by force.
#pragma once

#include <cstdint>

// Deletes `path`, made normal, in 5 attempts, then on the NT family at the next
// restart: 0 when done or scheduled, else the last call's code. Prints nothing.
int32_t ForceDeleteFile(const char* path);
