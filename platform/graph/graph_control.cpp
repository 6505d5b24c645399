// Running, pausing and stopping the graph, and its reference clock.
#include "filter_graph.h"

#include <vfwmsgs.h>

#include "pin_helpers.h"
#include "system_clock.h"

namespace orvex::graph {

namespace {

// Stream time starts this long after Run, so that the first samples are not
// late by the time it takes to start every filter.
constexpr REFERENCE_TIME kRunDelay = 10 * 10000; // 10 ms

} // namespace

REFERENCE_TIME CFilterGraph::clockTime()
{
    REFERENCE_TIME now = 0;
    if (m_pClock) m_pClock->GetTime(&now);
    return now;
}

void CFilterGraph::chooseClockLocked()
{
    if (m_clockChosen) return;
    m_clockChosen = true;
    // A filter that offers a clock (a sound renderer would) sets the pace;
    // else the system clock.
    for (IBaseFilter *f : DownstreamFirst(filterList())) {
        IReferenceClock *clock = nullptr;
        if (SUCCEEDED(f->QueryInterface(IID_IReferenceClock, reinterpret_cast<void **>(&clock))) && clock) {
            m_pClock = clock;
            return;
        }
    }
    HRESULT hr = S_OK;
    CUnknown *clock = CSystemClock::CreateInstance(nullptr, &hr);
    if (clock) clock->NonDelegatingQueryInterface(IID_IReferenceClock, reinterpret_cast<void **>(&m_pClock));
}

STDMETHODIMP CFilterGraph::SetDefaultSyncSource()
{
    CAutoLock lock(&m_GraphLock);
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (m_pClock) m_pClock->Release();
    m_pClock = nullptr;
    m_clockChosen = false;
    chooseClockLocked();
    return S_OK;
}

STDMETHODIMP CFilterGraph::SetSyncSource(IReferenceClock *pClock)
{
    CAutoLock lock(&m_GraphLock);
    if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (pClock) pClock->AddRef();
    if (m_pClock) m_pClock->Release();
    m_pClock = pClock;
    m_clockChosen = true;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetSyncSource(IReferenceClock **pClock)
{
    CheckPointer(pClock, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    *pClock = m_pClock;
    if (m_pClock) m_pClock->AddRef();
    return S_OK;
}

void CFilterGraph::restartPlaybackLocked()
{
    std::vector<void *> renderers;
    for (IBaseFilter *f : filterList()) {
        if (IsRenderer(f)) renderers.push_back(f);
    }
    m_events.StartPlayback(renderers);
    m_streamTimeRestarts = true;
}

HRESULT CFilterGraph::pauseLocked()
{
    if (m_state == State_Paused) return S_OK;
    std::vector<IBaseFilter *> order = DownstreamFirst(filterList());
    if (m_state == State_Stopped) {
        chooseClockLocked();
        for (IBaseFilter *f : order)
            f->SetSyncSource(m_pClock);
        restartPlaybackLocked();
    }
    for (IBaseFilter *f : order) {
        HRESULT hr = f->Pause();
        if (FAILED(hr)) {
            stopLocked();
            return hr;
        }
    }
    if (m_state == State_Running) m_tPaused = clockTime();
    m_state = State_Paused;
    return S_OK;
}

HRESULT CFilterGraph::runLocked(bool explicitStart, REFERENCE_TIME tStart)
{
    if (m_state == State_Running) return S_OK;
    if (m_state == State_Stopped) {
        HRESULT hr = pauseLocked();
        if (FAILED(hr)) return hr;
    }
    if (explicitStart) {
        m_tStart = tStart;
    } else if (!m_pClock) {
        m_tStart = 0;
    } else if (m_streamTimeRestarts) {
        m_tStart = clockTime() + kRunDelay;
    } else {
        m_tStart += clockTime() - m_tPaused; // go on where the pause stopped stream time
    }
    m_streamTimeRestarts = false;
    for (IBaseFilter *f : DownstreamFirst(filterList())) {
        HRESULT hr = f->Run(m_tStart);
        if (FAILED(hr)) {
            stopLocked();
            return hr;
        }
    }
    m_state = State_Running;
    return S_OK;
}

HRESULT CFilterGraph::stopLocked()
{
    HRESULT result = S_OK;
    for (IBaseFilter *f : DownstreamFirst(filterList())) {
        HRESULT hr = f->Stop();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    m_state = State_Stopped;
    m_streamTimeRestarts = true;
    m_events.Stopped();
    return result;
}

STDMETHODIMP CFilterGraph::Run()
{
    CAutoLock lock(&m_GraphLock);
    return runLocked(false, 0);
}

STDMETHODIMP CFilterGraph::Run(REFERENCE_TIME tStart)
{
    CAutoLock lock(&m_GraphLock);
    return runLocked(true, tStart);
}

STDMETHODIMP CFilterGraph::Pause()
{
    CAutoLock lock(&m_GraphLock);
    return pauseLocked();
}

STDMETHODIMP CFilterGraph::Stop()
{
    CAutoLock lock(&m_GraphLock);
    return stopLocked();
}

STDMETHODIMP CFilterGraph::StopWhenReady()
{
    CAutoLock lock(&m_GraphLock);
    HRESULT hr = pauseLocked();
    if (FAILED(hr)) return hr;
    return stopLocked();
}

STDMETHODIMP CFilterGraph::GetState(LONG, OAFilterState *pfs)
{
    CheckPointer(pfs, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    *pfs = m_state;
    return S_OK;
}

STDMETHODIMP CFilterGraph::GetState(DWORD, FILTER_STATE *State)
{
    CheckPointer(State, E_POINTER);
    CAutoLock lock(&m_GraphLock);
    *State = m_state;
    return S_OK;
}

} // namespace orvex::graph
