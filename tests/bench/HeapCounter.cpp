// Counts the bytes live on the C heap of this process and their peak, by standing in for the malloc family
// in front of the C library's own allocator (glibc). Every allocation of the process passes here: C++
// operator new, C stdio buffers, and the libraries' own calls alike. Sizes are the allocator's usable sizes,
// so the figures are what the heap really hands out. The memory benchmark is single-threaded.
#include "HeapCounter.h"

#include <malloc.h>

#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* p);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

size_t gLive = 0;
size_t gPeak = 0;

void Add(void* p) {
    if (!p)
        return;
    gLive += malloc_usable_size(p);
    if (gLive > gPeak)
        gPeak = gLive;
}

void Sub(void* p) {
    if (p)
        gLive -= malloc_usable_size(p);
}

} // namespace

namespace mellodeck::bench {

size_t HeapLiveBytes() { return gLive; }
size_t HeapPeakBytes() { return gPeak; }
void ResetHeapPeak() { gPeak = gLive; }

} // namespace mellodeck::bench

extern "C" {

void* malloc(size_t size) {
    void* p = __libc_malloc(size);
    Add(p);
    return p;
}

void free(void* p) {
    Sub(p);
    __libc_free(p);
}

void* calloc(size_t count, size_t size) {
    void* p = __libc_calloc(count, size);
    Add(p);
    return p;
}

void* realloc(void* p, size_t size) {
    const size_t old = p ? malloc_usable_size(p) : 0;
    void* q = __libc_realloc(p, size);
    if (q) {
        gLive -= old;
        Add(q);
    } else if (size == 0 && p) {
        gLive -= old; // freed
    }
    return q;
}

void* memalign(size_t alignment, size_t size) {
    void* p = __libc_memalign(alignment, size);
    Add(p);
    return p;
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, size_t alignment, size_t size) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* p = memalign(alignment, size);
    if (!p && size != 0)
        return ENOMEM;
    *out = p;
    return 0;
}

void* valloc(size_t size) { return memalign(4096, size); }

void* pvalloc(size_t size) { return memalign(4096, (size + 4095) & ~static_cast<size_t>(4095)); }

} // extern "C"
