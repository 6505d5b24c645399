// Timing, end of stream and quality messages of the stock renderers.
#include "stock_renderer.h"

#include <evcode.h>
#include <vfwmsgs.h>

namespace orvex::graph {

// ---- input pin ------------------------------------------------------------

CRendererInputPin::CRendererInputPin(CStockRenderer *pRenderer, CCritSec *pLock, HRESULT *phr, LPCWSTR pName)
    : CBaseInputPin(NAME("Renderer input pin"), pRenderer, pLock, phr, pName), m_pRenderer(pRenderer)
{
}

HRESULT CRendererInputPin::CheckMediaType(const CMediaType *pmt)
{
    return m_pRenderer->CheckMediaType(pmt);
}

STDMETHODIMP CRendererInputPin::Receive(IMediaSample *pSample)
{
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    return m_pRenderer->Receive(pSample);
}

STDMETHODIMP CRendererInputPin::EndOfStream()
{
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pRenderer->EndOfStream();
}

STDMETHODIMP CRendererInputPin::BeginFlush()
{
    HRESULT hr = CBaseInputPin::BeginFlush();
    m_pRenderer->BeginFlush();
    return hr;
}

STDMETHODIMP CRendererInputPin::EndFlush()
{
    return CBaseInputPin::EndFlush();
}

// ---- renderer -------------------------------------------------------------

CStockRenderer::CStockRenderer(CObjectName pName, LPUNKNOWN pUnk, REFCLSID clsid, HRESULT *phr)
    : CBaseFilter(pName, pUnk, &m_Lock, clsid), m_pInputPin(nullptr)
{
    m_pInputPin = new (std::nothrow) CRendererInputPin(this, &m_Lock, phr, L"In");
    if (!m_pInputPin && phr) *phr = E_OUTOFMEMORY;
}

CStockRenderer::~CStockRenderer()
{
    delete m_pInputPin;
}

CBasePin *CStockRenderer::GetPin(int n)
{
    return n == 0 ? m_pInputPin : nullptr;
}

void CStockRenderer::resetStream()
{
    std::lock_guard<std::mutex> guard(m_streamLock);
    m_ended = Ended::No;
    m_completeSent = false;
    m_lateReported = false;
}

STDMETHODIMP CStockRenderer::Stop()
{
    m_stopping = true;
    m_wake.Set();
    HRESULT hr;
    {
        CAutoLock receive(&m_ReceiveLock);
        hr = CBaseFilter::Stop();
    }
    resetStream();
    return hr;
}

STDMETHODIMP CStockRenderer::Pause()
{
    if (IsStopped()) {
        resetStream();
        m_stopping = false;
    }
    HRESULT hr = CBaseFilter::Pause();
    m_wake.Set();
    return hr;
}

STDMETHODIMP CStockRenderer::Run(REFERENCE_TIME tStart)
{
    if (IsStopped()) {
        resetStream();
        m_stopping = false;
    }
    HRESULT hr = CBaseFilter::Run(tStart);
    if (SUCCEEDED(hr)) {
        bool send = false;
        {
            std::lock_guard<std::mutex> guard(m_streamLock);
            // An end of stream that came while paused is reported now.
            if (m_ended != Ended::No && !m_completeSent) send = m_completeSent = true;
        }
        if (send) NotifyEvent(EC_COMPLETE, S_OK, 0);
    }
    m_wake.Set();
    return hr;
}

void CStockRenderer::BeginFlush()
{
    resetStream();
    m_wake.Set();
}

IReferenceClock *CStockRenderer::clock()
{
    CAutoLock lock(&m_Lock);
    if (m_pClock) m_pClock->AddRef();
    return m_pClock;
}

HRESULT CStockRenderer::waitForSampleTime(bool hasTime, REFERENCE_TIME start, bool &clocked, REFERENCE_TIME &lateness)
{
    clocked = false;
    lateness = 0;
    for (;;) {
        if (m_stopping || IsStopped()) return VFW_E_WRONG_STATE;
        if (m_pInputPin->IsFlushing()) return S_FALSE;
        if (m_State != State_Running) {
            m_wake.Wait();
            continue;
        }
        IReferenceClock *pClock = hasTime ? clock() : nullptr;
        if (!pClock) return S_OK;
        CRefTime now;
        if (FAILED(StreamTime(now))) {
            pClock->Release();
            return S_OK;
        }
        if (!clocked) {
            clocked = true;
            lateness = now - start; // measured when the sample first could go
        }
        if (now >= start) {
            pClock->Release();
            return S_OK;
        }
        m_timer.Reset();
        DWORD_PTR cookie = 0;
        REFERENCE_TIME base = __atomic_load_n(&m_tStart.m_time, __ATOMIC_SEQ_CST);
        HRESULT hr = pClock->AdviseTime(base, start, reinterpret_cast<HEVENT>(static_cast<HANDLE>(m_timer)), &cookie);
        if (FAILED(hr)) {
            pClock->Release();
            return S_OK; // a clock that cannot wait for us: hand the sample on now
        }
        HANDLE events[2] = {m_wake, m_timer};
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
        pClock->Unadvise(cookie);
        pClock->Release();
    }
}

void CStockRenderer::sendQuality(REFERENCE_TIME lateness, REFERENCE_TIME start)
{
    bool send;
    {
        std::lock_guard<std::mutex> guard(m_streamLock);
        send = lateness > 0 || m_lateReported;
        m_lateReported = lateness > 0;
    }
    if (!send) return;
    Quality q;
    q.Type = Flood;
    q.Proportion = 1000;
    q.Late = lateness;
    q.TimeStamp = start;
    m_pInputPin->PassNotify(q);
}

HRESULT CStockRenderer::Receive(IMediaSample *pSample)
{
    CAutoLock receive(&m_ReceiveLock);
    {
        std::lock_guard<std::mutex> guard(m_streamLock);
        if (m_ended == Ended::ByUpstream) return VFW_E_SAMPLE_REJECTED_EOS;
        if (m_ended == Ended::ByRenderer) return S_FALSE;
    }
    REFERENCE_TIME start = 0, stop = 0;
    bool hasTime = SUCCEEDED(pSample->GetTime(&start, &stop));
    bool clocked = false;
    REFERENCE_TIME lateness = 0;
    HRESULT hr = waitForSampleTime(hasTime, start, clocked, lateness);
    if (hr != S_OK) return hr;
    if (clocked) sendQuality(lateness, start);
    return RenderSample(pSample, start, hasTime);
}

void CStockRenderer::endStream(bool fromUpstream)
{
    bool send = false;
    {
        std::lock_guard<std::mutex> guard(m_streamLock);
        if (m_ended != Ended::No) return;
        m_ended = fromUpstream ? Ended::ByUpstream : Ended::ByRenderer;
        if (m_State == State_Running) send = m_completeSent = true;
    }
    if (send) NotifyEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT CStockRenderer::EndOfStream()
{
    CAutoLock receive(&m_ReceiveLock);
    if (m_stopping || IsStopped()) return VFW_E_WRONG_STATE;
    if (m_pInputPin->IsFlushing()) return S_FALSE;
    endStream(true);
    return S_OK;
}

void CStockRenderer::CompleteStream()
{
    endStream(false);
}

} // namespace orvex::graph
