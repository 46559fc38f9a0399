// Counts the lock and wait calls of chosen threads, for the validator's check that the audio
// thread never locks. The program's own definitions of the C library's lock entries (mutexes,
// read-write and spin locks, semaphores, condition waits, and sched_yield, the wait of a spin
// loop) count and then forward to the C library's; a plug-in loaded later binds to these,
// since the program exports them (tools/CMakeLists.txt). A thread is counted only while it
// asked to be. Left out of sanitizer builds, whose runtimes intercept the same entries; the
// check is skipped there.
#include <cstddef>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <time.h>

#include <atomic>

#include "CallCount.h"

namespace {

thread_local bool tCounting = false;
thread_local long long tCount = 0;

inline void note() {
    if (tCounting && tavhostCountPause == 0) ++tCount;
}

// The C library's entry of that name, looked up once.
template <typename Fn>
Fn next(std::atomic<void*>& slot, const char* name) {
    void* f = slot.load(std::memory_order_acquire);
    if (!f) {
        f = dlsym(RTLD_NEXT, name);
        slot.store(f, std::memory_order_release);
    }
    return reinterpret_cast<Fn>(f);
}

}  // namespace

// One forwarding definition per entry: counts, then calls the C library's.
#define TAV_COUNTED(ret, name, params, args, ...)                 \
    __attribute__((visibility("default"))) ret name params __VA_ARGS__ { \
        static std::atomic<void*> slot{nullptr};                  \
        note();                                                   \
        return next<ret(*) params>(slot, #name) args;             \
    }

extern "C" {

TAV_COUNTED(int, pthread_mutex_lock, (pthread_mutex_t * m), (m), noexcept)
TAV_COUNTED(int, pthread_mutex_trylock, (pthread_mutex_t * m), (m), noexcept)
TAV_COUNTED(int, pthread_mutex_timedlock, (pthread_mutex_t * m, const struct timespec* t), (m, t), noexcept)
TAV_COUNTED(int, pthread_mutex_clocklock, (pthread_mutex_t * m, clockid_t c, const struct timespec* t), (m, c, t), noexcept)
TAV_COUNTED(int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l), noexcept)
TAV_COUNTED(int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l), noexcept)
TAV_COUNTED(int, pthread_rwlock_tryrdlock, (pthread_rwlock_t * l), (l), noexcept)
TAV_COUNTED(int, pthread_rwlock_trywrlock, (pthread_rwlock_t * l), (l), noexcept)
TAV_COUNTED(int, pthread_rwlock_timedrdlock, (pthread_rwlock_t * l, const struct timespec* t), (l, t), noexcept)
TAV_COUNTED(int, pthread_rwlock_timedwrlock, (pthread_rwlock_t * l, const struct timespec* t), (l, t), noexcept)
TAV_COUNTED(int, pthread_spin_lock, (pthread_spinlock_t * l), (l), noexcept)
TAV_COUNTED(int, pthread_spin_trylock, (pthread_spinlock_t * l), (l), noexcept)
TAV_COUNTED(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
TAV_COUNTED(int, pthread_cond_timedwait, (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t),
            (c, m, t))
TAV_COUNTED(int, sem_wait, (sem_t * s), (s))
TAV_COUNTED(int, sem_trywait, (sem_t * s), (s), noexcept)
TAV_COUNTED(int, sem_timedwait, (sem_t * s, const struct timespec* t), (s, t))
TAV_COUNTED(int, sched_yield, (), (), noexcept)

long long tavhost_thread_locks(int counting) {
    const long long count = tCount;
    tCounting = counting != 0;
    tCount = 0;
    return count;
}

}  // extern "C"

#undef TAV_COUNTED

#endif
