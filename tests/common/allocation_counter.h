#pragma once

// The number of heap allocations the calling thread has made so far (malloc, calloc, realloc,
// and so operator new, which allocates through malloc). Linking the allocation_counter library
// replaces those entry points for the whole program, which a sanitizer's allocator does not
// allow: the library exists only in builds without sanitizers.
long AllocationCount();
// The same, counted over every thread of the program.
long AllocationCountEverywhere();
// The number of blocks the calling thread has given back (free, and realloc of a block).
long FreeCount();
