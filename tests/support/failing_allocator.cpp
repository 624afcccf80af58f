#include "tests/support/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {

int g_allocationsUntilFailure = -1;  // -1: never fail; 0: the failure happened
long g_liveAllocations = 0;
long g_allocationCount = 0;
int g_pauses = 0;

void* Allocate(std::size_t size) {
    if (g_pauses == 0 && g_allocationsUntilFailure > 0 && --g_allocationsUntilFailure == 0)
        return nullptr;
    void* p = std::malloc(size ? size : 1);
    if (p) {
        ++g_liveAllocations;
        ++g_allocationCount;
    }
    return p;
}

void Release(void* p) {
    if (!p)
        return;
    --g_liveAllocations;
    std::free(p);
}

}  // namespace

long LiveAllocations() {
    return g_liveAllocations;
}
long AllocationCount() {
    return g_allocationCount;
}

FailingAllocation::FailingAllocation(int n) {
    g_allocationsUntilFailure = n > 0 ? n : 1;
}
FailingAllocation::~FailingAllocation() {
    g_allocationsUntilFailure = -1;
}
bool FailingAllocation::Happened() const {
    return g_allocationsUntilFailure == 0;
}

AllocationPause::AllocationPause() {
    ++g_pauses;
}
AllocationPause::~AllocationPause() {
    --g_pauses;
}

void* operator new(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
