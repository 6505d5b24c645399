// The system reference clock and its timer thread.
#include "system_clock.h"

#include <vfwmsgs.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <limits>
#include <new>

namespace orvex::graph {

REFERENCE_TIME MonotonicTime()
{
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<REFERENCE_TIME>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

CUnknown *WINAPI CSystemClock::CreateInstance(LPUNKNOWN pUnk, HRESULT *phr)
{
    CSystemClock *clock = new (std::nothrow) CSystemClock(pUnk);
    if (!clock && phr) *phr = E_OUTOFMEMORY;
    return clock;
}

CSystemClock::CSystemClock(LPUNKNOWN pUnk) : CUnknown(NAME("System clock"), pUnk) {}

CSystemClock::~CSystemClock()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_quit = true;
    }
    m_changed.notify_all();
    if (m_timer.joinable()) m_timer.join();
}

STDMETHODIMP CSystemClock::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IReferenceClock) return GetInterface(static_cast<IReferenceClock *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CSystemClock::GetTime(REFERENCE_TIME *pTime)
{
    CheckPointer(pTime, E_POINTER);
    REFERENCE_TIME now = MonotonicTime();
    REFERENCE_TIME last = m_lastTime.load();
    while (now > last && !m_lastTime.compare_exchange_weak(last, now)) {
    }
    if (now <= last) {
        *pTime = last;
        return S_FALSE;
    }
    *pTime = now;
    return S_OK;
}

STDMETHODIMP CSystemClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                                      DWORD_PTR *pdwAdviseCookie)
{
    CheckPointer(pdwAdviseCookie, E_POINTER);
    *pdwAdviseCookie = 0;
    if (!hEvent) return E_INVALIDARG;
    // The sum must be a time after the clock's origin and must not wrap.
    if ((streamTime > 0 && baseTime > std::numeric_limits<REFERENCE_TIME>::max() - streamTime) ||
        (streamTime < 0 && baseTime < std::numeric_limits<REFERENCE_TIME>::min() - streamTime) ||
        baseTime + streamTime <= 0) {
        return E_INVALIDARG;
    }
    return addAdvise(baseTime + streamTime, 0, reinterpret_cast<HANDLE>(hEvent), pdwAdviseCookie);
}

STDMETHODIMP CSystemClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                                          DWORD_PTR *pdwAdviseCookie)
{
    CheckPointer(pdwAdviseCookie, E_POINTER);
    *pdwAdviseCookie = 0;
    if (!hSemaphore || startTime <= 0 || periodTime <= 0) return E_INVALIDARG;
    return addAdvise(startTime, periodTime, reinterpret_cast<HANDLE>(hSemaphore), pdwAdviseCookie);
}

HRESULT CSystemClock::addAdvise(REFERENCE_TIME due, REFERENCE_TIME period, HANDLE event, DWORD_PTR *pCookie)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_timer.joinable()) {
        try {
            m_timer = std::thread(&CSystemClock::timerThread, this);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    DWORD_PTR cookie = m_nextCookie++;
    m_advises.push_back({cookie, due, period, event});
    *pCookie = cookie;
    m_changed.notify_all();
    return S_OK;
}

STDMETHODIMP CSystemClock::Unadvise(DWORD_PTR dwAdviseCookie)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it =
        std::find_if(m_advises.begin(), m_advises.end(), [&](const Advise &a) { return a.cookie == dwAdviseCookie; });
    if (it == m_advises.end()) return S_FALSE;
    m_advises.erase(it);
    return S_OK;
}

void CSystemClock::timerThread()
{
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_quit) {
        if (m_advises.empty()) {
            m_changed.wait(lock);
            continue;
        }
        auto next = std::min_element(m_advises.begin(), m_advises.end(),
                                     [](const Advise &a, const Advise &b) { return a.due < b.due; });
        REFERENCE_TIME now = MonotonicTime();
        if (next->due > now) {
            m_changed.wait_for(lock, std::chrono::nanoseconds((next->due - now) * 100));
            continue;
        }
        SetEvent(next->event);
        if (next->period == 0) {
            m_advises.erase(next);
        } else {
            // The next period that lies ahead: a late timer signals once, not once per missed period.
            REFERENCE_TIME missed = (now - next->due) / next->period + 1;
            if (missed > (std::numeric_limits<REFERENCE_TIME>::max() - next->due) / next->period) {
                m_advises.erase(next); // no further period before the end of time
            } else {
                next->due += missed * next->period;
            }
        }
    }
}

} // namespace orvex::graph
