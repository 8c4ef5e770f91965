#include "allocation_counter.h"

#include <atomic>
#include <cstddef>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace {
// Per thread, so that a helper thread of a library never shows up in a count; and over all
// threads, for the program's own helpers.
thread_local long allocations = 0;
thread_local long frees = 0;
std::atomic<long> everywhere{0};

void Count()
{
    ++allocations;
    everywhere.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

long AllocationCount()
{
    return allocations;
}

long AllocationCountEverywhere()
{
    return everywhere.load(std::memory_order_relaxed);
}

long FreeCount()
{
    return frees;
}

extern "C" void* malloc(std::size_t size)
{
    Count();
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t count, std::size_t size)
{
    Count();
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* pointer, std::size_t size)
{
    Count();
    frees += pointer != nullptr;
    return __libc_realloc(pointer, size);
}

extern "C" void free(void* pointer)
{
    frees += pointer != nullptr;
    __libc_free(pointer);
}
