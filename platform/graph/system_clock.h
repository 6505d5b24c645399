// The system reference clock (CLSID_SystemClock): time from the monotonic
// clock in 100-ns units, and advise requests served by one timer thread
// that signals the given event when the time comes. The periodic advise
// signals its handle with SetEvent once per period, so a waiter that falls
// behind sees one signal rather than a count.
#pragma once

#include <strmif.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "combase.h"

namespace orvex::graph {

// The monotonic clock in 100-ns units.
REFERENCE_TIME MonotonicTime();

class CSystemClock : public CUnknown, public IReferenceClock {
public:
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);

    CSystemClock(LPUNKNOWN pUnk);
    ~CSystemClock() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    // S_FALSE when the time has not moved since the last call.
    STDMETHODIMP GetTime(REFERENCE_TIME *pTime) override;
    STDMETHODIMP AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                            DWORD_PTR *pdwAdviseCookie) override;
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                                DWORD_PTR *pdwAdviseCookie) override;
    // S_FALSE for a cookie that is not (or no longer) pending.
    STDMETHODIMP Unadvise(DWORD_PTR dwAdviseCookie) override;

private:
    struct Advise {
        DWORD_PTR cookie;
        REFERENCE_TIME due;
        REFERENCE_TIME period; // 0 for a single advise
        HANDLE event;
    };

    HRESULT addAdvise(REFERENCE_TIME due, REFERENCE_TIME period, HANDLE event, DWORD_PTR *pCookie);
    void timerThread();

    std::atomic<REFERENCE_TIME> m_lastTime{0};
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Advise> m_advises;
    DWORD_PTR m_nextCookie = 1;
    bool m_quit = false;
    std::thread m_timer; // started with the first advise
};

} // namespace orvex::graph
