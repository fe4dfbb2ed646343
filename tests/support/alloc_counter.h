// Counts heap allocations (malloc and friends, operator new through them) in
// the native test binaries: by interposing the allocator, or through
// AddressSanitizer's hooks where it owns the allocator. Elsewhere
// AllocationCountingWorks() is false.
#pragma once

#include <cstddef>

bool AllocationCountingWorks();
void StartCountingAllocations();
// Allocations made since StartCountingAllocations.
size_t StopCountingAllocations();
