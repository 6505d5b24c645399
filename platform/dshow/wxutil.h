// Synchronisation helpers of the base classes: CCritSec (a recursive lock
// that knows its owner), CAutoLock, CAMEvent, and AMGetWideString.
#pragma once

#include <atomic>

#include "combase.h"

class CCritSec {
    CCritSec(const CCritSec &) = delete;
    CCritSec &operator=(const CCritSec &) = delete;

    CRITICAL_SECTION m_CritSec;
    std::atomic<DWORD> m_currentOwner{0}; // thread identifier, 0 when free
    DWORD m_lockCount = 0;                // recursion depth, touched only by the owner

public:
    CCritSec() { InitializeCriticalSection(&m_CritSec); }
    ~CCritSec() { DeleteCriticalSection(&m_CritSec); }

    void Lock()
    {
        EnterCriticalSection(&m_CritSec);
        if (m_lockCount++ == 0) m_currentOwner.store(GetCurrentThreadId(), std::memory_order_relaxed);
    }
    void Unlock()
    {
        if (--m_lockCount == 0) m_currentOwner.store(0, std::memory_order_relaxed);
        LeaveCriticalSection(&m_CritSec);
    }

    // True when the calling thread holds the lock.
    BOOL IsOwnedByCurrentThread() const
    {
        return m_currentOwner.load(std::memory_order_relaxed) == GetCurrentThreadId() ? TRUE : FALSE;
    }
};

inline BOOL CritCheckIn(const CCritSec *pcCrit)
{
    return pcCrit->IsOwnedByCurrentThread();
}
inline BOOL CritCheckOut(const CCritSec *pcCrit)
{
    return !pcCrit->IsOwnedByCurrentThread();
}

// Holds a CCritSec for the lifetime of the object.
class CAutoLock {
    CAutoLock(const CAutoLock &) = delete;
    CAutoLock &operator=(const CAutoLock &) = delete;

protected:
    CCritSec *m_pLock;

public:
    CAutoLock(CCritSec *plock) : m_pLock(plock) { m_pLock->Lock(); }
    ~CAutoLock() { m_pLock->Unlock(); }
};

// An event object: automatic reset by default, manual reset on request.
class CAMEvent {
    CAMEvent(const CAMEvent &) = delete;
    CAMEvent &operator=(const CAMEvent &) = delete;

protected:
    HANDLE m_hEvent;

public:
    CAMEvent(BOOL fManualReset = FALSE, HRESULT *phr = NULL);
    CAMEvent(HRESULT *phr);
    ~CAMEvent();

    operator HANDLE() const { return m_hEvent; }
    void Set() { EXECUTE_ASSERT(SetEvent(m_hEvent)); }
    BOOL Wait(DWORD dwTimeout = INFINITE) { return WaitForSingleObject(m_hEvent, dwTimeout) == WAIT_OBJECT_0; }
    void Reset() { ResetEvent(m_hEvent); }
    BOOL Check() { return Wait(0); }
};

// A task-memory copy of pszString in *ppszReturn (IPin::QueryId and the like).
STDAPI AMGetWideString(LPCWSTR pszString, LPWSTR *ppszReturn);
