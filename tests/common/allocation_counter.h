#pragma once

// The number of calls of the global operator new so far. Linking allocation_counter.cpp replaces
// operator new for the whole program, which AddressSanitizer's own replacement does not allow:
// only builds without it may link the counter.
long AllocationCount();
