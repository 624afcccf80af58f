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

// While one exists, allocations neither count towards a FailingAllocation nor
// fail: a test double's own bookkeeping is not the program's allocation.
class AllocationPause {
public:
    AllocationPause();
    ~AllocationPause();
    AllocationPause(const AllocationPause&) = delete;
    AllocationPause& operator=(const AllocationPause&) = delete;
};
