// Recursive critical sections over a recursive pthread mutex. OwningThread and
// RecursionCount are kept as on Windows so that owner checks can read them.
#include <windows.h>

#include <pthread.h>

namespace {
pthread_mutex_t *mutexOf(LPCRITICAL_SECTION cs) { return static_cast<pthread_mutex_t *>(cs->LockSemaphore); }
} // namespace

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs)
{
    auto *m = new pthread_mutex_t;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(m, &attr);
    pthread_mutexattr_destroy(&attr);
    cs->DebugInfo = nullptr;
    cs->LockCount = -1;
    cs->RecursionCount = 0;
    cs->OwningThread = nullptr;
    cs->LockSemaphore = m;
    cs->SpinCount = 0;
}

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs)
{
    if (!cs->LockSemaphore) return;
    pthread_mutex_destroy(mutexOf(cs));
    delete mutexOf(cs);
    cs->LockSemaphore = nullptr;
}

static void noteEntered(LPCRITICAL_SECTION cs)
{
    if (cs->RecursionCount++ == 0)
        __atomic_store_n(&cs->OwningThread, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId())),
                         __ATOMIC_RELAXED);
}

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutex_lock(mutexOf(cs));
    noteEntered(cs);
}

extern "C" BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION cs)
{
    if (pthread_mutex_trylock(mutexOf(cs)) != 0) return FALSE;
    noteEntered(cs);
    return TRUE;
}

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs)
{
    if (--cs->RecursionCount == 0) __atomic_store_n(&cs->OwningThread, static_cast<HANDLE>(nullptr), __ATOMIC_RELAXED);
    pthread_mutex_unlock(mutexOf(cs));
}
