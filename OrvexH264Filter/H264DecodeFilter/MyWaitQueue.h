// CMyWaitQueue: a CMyQueue with the two events a consumer on another thread
// waits on. The data event (automatic reset) is set once per signalled push;
// the abort event (manual reset) makes every pop answer null until
// ResetEvents, so a consumer blocked in WaitPop always has a way out.
#pragma once

#include "H264DecodeFilter/MyQueue.h"
#include "common/MyTrace.h"

template <class T> class CMyWaitQueue : public CMyQueue<T> {
public:
    CMyWaitQueue(LPCTSTR pName, CCritSec *pLock) : CMyQueue<T>(pName, pLock), m_evAbort(TRUE), m_evData(FALSE) {}

    // Appends and wakes a waiting consumer, under the owner's lock; false as
    // for Push.
    bool PushAndSignal(T *pRecord)
    {
        CAutoLock lock(this->m_pLock);
        if (this->m_List.AddTail(pRecord) == NULL) return false;
        m_evData.Set();
        return true;
    }

    void Abort()
    {
        CAutoLock lock(this->m_pLock);
        m_evAbort.Set();
    }

    void ResetEvents()
    {
        CAutoLock lock(this->m_pLock);
        m_evAbort.Reset();
        m_evData.Reset();
    }

    bool IsAborted() { return m_evAbort.Check() != FALSE; }

    // The head record without waiting: null when aborted or empty.
    T *TryPop()
    {
        if (IsAborted()) return nullptr;
        return this->Pop();
    }

    // The head record, waiting without time-out while the queue is empty.
    // Null once the queue is aborted (even with records queued) or when the
    // wait fails. The list is looked at before every wait, so records pushed
    // while the consumer was busy are all taken, one per call, although the
    // data event was set only once for them.
    T *WaitPop()
    {
        for (;;) {
            if (IsAborted()) return nullptr;
            {
                CAutoLock lock(this->m_pLock);
                if (T *pRecord = this->Pop()) return pRecord;
                // Empty: a set left by pushes whose records were taken
                // without waiting would only wake the wait below for
                // nothing. A push after this sets it again.
                m_evData.Reset();
            }
            const HANDLE events[2] = {m_evAbort, m_evData};
            const DWORD result = WaitForMultipleObjects(2, events, FALSE, INFINITE);
            if (result == WAIT_OBJECT_0) return nullptr;
            if (result == WAIT_OBJECT_0 + 1) continue;
            if (result == WAIT_FAILED) {
                MyTrace("WaitForMultipleObjects ERROR : %u \n", static_cast<unsigned>(GetLastError()));
            } else {
                MyTrace("WaitForMultipleObjects unknown result : %u \n", static_cast<unsigned>(result));
            }
            return nullptr;
        }
    }

    HANDLE GetAbortEvent() const { return m_evAbort; }
    HANDLE GetDataEvent() const { return m_evData; }

private:
    CAMEvent m_evAbort;
    CAMEvent m_evData;
};
