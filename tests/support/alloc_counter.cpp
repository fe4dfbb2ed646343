#include "support/alloc_counter.h"

#include <atomic>

namespace {
std::atomic<bool> counting{false};
std::atomic<size_t> allocations{0};
[[maybe_unused]] void Count() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__)

// AddressSanitizer owns the allocator, and tells hooks of every allocation.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));

namespace {
void OnMalloc(const volatile void*, size_t) { Count(); }
void OnFree(const volatile void*) {}
const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
}  // namespace

bool AllocationCountingWorks() { return hooks_installed != 0; }

#elif defined(FIX_TAMRIX_COUNT_ALLOCATIONS)

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

extern "C" {
void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    Count();
    return __libc_realloc(block, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** block, size_t alignment, size_t size) {
    Count();
    *block = __libc_memalign(alignment, size);
    return *block == nullptr ? 12 : 0;
}
void free(void* block) { __libc_free(block); }
}

bool AllocationCountingWorks() { return true; }

#else

bool AllocationCountingWorks() { return false; }

#endif

void StartCountingAllocations() {
    allocations = 0;
    counting = true;
}

size_t StopCountingAllocations() {
    counting = false;
    return allocations.load();
}
