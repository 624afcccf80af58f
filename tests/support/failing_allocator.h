// A replacement of the global allocator for test programs that need to count
// allocations or make one fail. Only programs that compile
// failing_allocator.cpp get it; it fails the way the framework's allocator
// does: by throwing std::bad_alloc, or by returning null for the
// non-throwing form.
#pragma once

// Blocks handed out and not yet given back.
long LiveAllocations();
// Allocations made since the program started.
long AllocationCount();

// While it exists, the n-th allocation from its construction (n >= 1) fails.
class FailingAllocation {
public:
    explicit FailingAllocation(int n);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
    // True once the chosen allocation has been refused.
    bool Happened() const;
};
