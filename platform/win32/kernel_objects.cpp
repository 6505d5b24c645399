// Events, threads and the wait functions.
#include "handles.h"

#include <array>
#include <chrono>
#include <future>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

using namespace orvex::win32;

namespace {

class Event final : public KernelObject {
public:
    Event(bool manualReset, bool initialState) : m_manualReset(manualReset), m_signaled(initialState) {}
    bool waitable() const override { return true; }
    bool signaled() const override { return m_signaled; }
    void acquire() override
    {
        if (!m_manualReset) m_signaled = false;
    }
    void set(bool on) { m_signaled = on; }

private:
    const bool m_manualReset;
    bool m_signaled;
};

// A thread is signaled once its start routine has returned.
class Thread final : public KernelObject {
public:
    bool waitable() const override { return true; }
    bool signaled() const override { return m_finished; }
    bool m_finished = false;
    DWORD m_exitCode = STILL_ACTIVE;
    DWORD m_id = 0;
};

struct ThreadStart {
    std::shared_ptr<Thread> thread;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
    std::promise<DWORD> started;
};

void *threadMain(void *arg)
{
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart *>(arg));
    std::shared_ptr<Thread> self = start->thread;
    LPTHREAD_START_ROUTINE routine = start->routine;
    LPVOID parameter = start->parameter;
    start->started.set_value(GetCurrentThreadId());
    start.reset();

    DWORD code = routine(parameter);

    {
        std::lock_guard<std::mutex> guard(kernelLock());
        self->m_exitCode = code;
        self->m_finished = true;
    }
    kernelSignal().notify_all();
    return nullptr;
}

HANDLE createEvent(BOOL manualReset, BOOL initialState)
{
    try {
        return registerHandle(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL setEventState(HANDLE h, bool on)
{
    {
        std::lock_guard<std::mutex> guard(kernelLock());
        auto event = std::dynamic_pointer_cast<Event>(lookupHandleLocked(h));
        if (!event) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        event->set(on);
    }
    if (on) kernelSignal().notify_all();
    return TRUE;
}

} // namespace

extern "C" HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName)
{
    if (lpName) { // named events are shared between processes on Windows; nothing here needs them
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return createEvent(bManualReset, bInitialState);
}

extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName)
{
    if (lpName) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return createEvent(bManualReset, bInitialState);
}

extern "C" BOOL WINAPI SetEvent(HANDLE hEvent) { return setEventState(hEvent, true); }
extern "C" BOOL WINAPI ResetEvent(HANDLE hEvent) { return setEventState(hEvent, false); }

extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                                      LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId)
{
    if (!lpStartAddress || (dwCreationFlags & CREATE_SUSPENDED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<Thread> thread;
    std::unique_ptr<ThreadStart> start;
    try {
        thread = std::make_shared<Thread>();
        start.reset(new ThreadStart{thread, lpStartAddress, lpParameter, {}});
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::future<DWORD> started = start->started.get_future();

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (dwStackSize)
        pthread_attr_setstacksize(&attr, dwStackSize < static_cast<SIZE_T>(PTHREAD_STACK_MIN) ? static_cast<SIZE_T>(PTHREAD_STACK_MIN) : dwStackSize);
    pthread_t tid;
    int err = pthread_create(&tid, &attr, threadMain, start.get());
    pthread_attr_destroy(&attr);
    if (err != 0) {
        SetLastError(err == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : errorFromErrno(err));
        return nullptr;
    }
    start.release(); // the thread owns it now
    // The identifier is the kernel's thread id, known once the thread runs.
    thread->m_id = started.get();
    if (lpThreadId) *lpThreadId = thread->m_id;
    return registerHandle(thread);
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    std::lock_guard<std::mutex> guard(kernelLock());
    auto thread = std::dynamic_pointer_cast<Thread>(lookupHandleLocked(hThread));
    if (!thread || !lpExitCode) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = thread->m_finished ? thread->m_exitCode : STILL_ACTIVE;
    return TRUE;
}

// Priorities are accepted and kept at the default: the threads here need no more.
extern "C" BOOL WINAPI SetThreadPriority(HANDLE hThread, int)
{
    return lookupAs<Thread>(hThread) ? TRUE : FALSE;
}

extern "C" int WINAPI GetThreadPriority(HANDLE hThread)
{
    return lookupAs<Thread>(hThread) ? THREAD_PRIORITY_NORMAL : THREAD_PRIORITY_ERROR_RETURN;
}

extern "C" DWORD WINAPI GetCurrentThreadId(void)
{
    thread_local DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
    return id;
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);

    std::array<std::shared_ptr<KernelObject>, MAXIMUM_WAIT_OBJECTS> objects;
    std::unique_lock<std::mutex> lock(kernelLock());
    for (DWORD i = 0; i < nCount; ++i) {
        objects[i] = lookupHandleLocked(lpHandles[i]);
        if (!objects[i] || !objects[i]->waitable()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    for (;;) {
        if (bWaitAll) {
            bool all = true;
            for (DWORD i = 0; i < nCount && all; ++i) all = objects[i]->signaled();
            if (all) {
                for (DWORD i = 0; i < nCount; ++i) objects[i]->acquire();
                return WAIT_OBJECT_0;
            }
        } else {
            for (DWORD i = 0; i < nCount; ++i) {
                if (objects[i]->signaled()) {
                    objects[i]->acquire();
                    return WAIT_OBJECT_0 + i;
                }
            }
        }
        if (dwMilliseconds == 0) return WAIT_TIMEOUT;
        if (dwMilliseconds == INFINITE) {
            kernelSignal().wait(lock);
        } else if (kernelSignal().wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: a signal may have come with the deadline.
            dwMilliseconds = 0;
        }
    }
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    timespec ts{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
