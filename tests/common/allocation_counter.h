#pragma once

// Heap allocations (malloc and kin, hence operator new) by this thread and by all threads, and
// blocks this thread freed. Replacing malloc clashes with sanitizers: not built with them.
long AllocationCount();
long AllocationCountEverywhere();
long FreeCount();
