#include "allocation_counter.h"

#include <atomic>
#include <cstddef>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

// Per thread, so that a library's own helper threads never show; over all threads for ours.
static thread_local long allocations = 0, frees = 0;
static std::atomic<long> everywhere{0};

static void* Counted(void* block)
{
    ++allocations;
    everywhere.fetch_add(1, std::memory_order_relaxed);
    return block;
}

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
    return Counted(__libc_malloc(size));
}

extern "C" void* calloc(std::size_t count, std::size_t size)
{
    return Counted(__libc_calloc(count, size));
}

extern "C" void* realloc(void* pointer, std::size_t size)
{
    frees += pointer != nullptr;
    return Counted(__libc_realloc(pointer, size));
}

extern "C" void free(void* pointer)
{
    frees += pointer != nullptr;
    __libc_free(pointer);
}
