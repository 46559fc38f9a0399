// Counts the heap calls of chosen threads, for the validator's check that the audio thread
// never allocates. The program's own malloc family wraps the C library's (which glibc
// keeps under its __libc_ names); a thread is counted only while it asked to be. Left out
// of sanitizer builds, whose runtimes own the allocator; the check is skipped there.
#include <cerrno>
#include <cstddef>

#include "CallCount.h"

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* ptr);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* ptr, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

thread_local bool tCounting = false;
thread_local long long tCount = 0;

inline void note() {
    if (tCounting && tavhostCountPause == 0) ++tCount;
}

}  // namespace

thread_local int tavhostCountPause = 0;

extern "C" {

void* malloc(size_t size) {
    note();
    return __libc_malloc(size);
}

void free(void* ptr) {
    if (ptr) note();
    __libc_free(ptr);
}

void* calloc(size_t count, size_t size) {
    note();
    return __libc_calloc(count, size);
}

void* realloc(void* ptr, size_t size) {
    note();
    return __libc_realloc(ptr, size);
}

void* memalign(size_t alignment, size_t size) {
    note();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    note();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    note();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}

// The host's own work inside a counted call (its callback) is not the plug-in's.
void tavhost_pause_counting(int pause) { tavhostCountPause += pause ? 1 : -1; }

long long tavhost_thread_allocations(int counting) {
    const long long count = tCount;
    tCounting = counting != 0;
    tCount = 0;
    return count;
}

}  // extern "C"

#endif
