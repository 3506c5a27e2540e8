// Replaces the global allocation functions of the test executable with malloc-based ones that record the
// largest request while an AllocationProbe is armed.
#include "AllocationProbe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> gArmed{false};
std::atomic<size_t> gLargest{0};

void* Allocate(size_t size) {
    if (gArmed.load(std::memory_order_relaxed)) {
        size_t seen = gLargest.load(std::memory_order_relaxed);
        while (size > seen && !gLargest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
        }
    }
    return std::malloc(size ? size : 1);
}

} // namespace

void* operator new(size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace mellodeck::test {

AllocationProbe::AllocationProbe() {
    gLargest.store(0);
    gArmed.store(true);
}

AllocationProbe::~AllocationProbe() {
    gArmed.store(false);
}

size_t AllocationProbe::Largest() const {
    return gLargest.load();
}

} // namespace mellodeck::test
