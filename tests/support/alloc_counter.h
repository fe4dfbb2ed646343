// Counts heap allocations (malloc and friends, operator new through them) in
// the native test binary built without sanitizers, whose allocator we may
// interpose. Elsewhere AllocationCountingWorks() is false.
#pragma once

#include <cstddef>

bool AllocationCountingWorks();
void StartCountingAllocations();
// Allocations made since StartCountingAllocations.
size_t StopCountingAllocations();
