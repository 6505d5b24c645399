#include "test_sink.h"

#include <evcode.h>

#include <chrono>
#include <new>

namespace {

// An allocator that puts a pending media type on the next sample it hands out.
class CTypeChangingAllocator : public CMemAllocator {
public:
    CTypeChangingAllocator(HRESULT *phr) : CMemAllocator(NAME("test sink allocator"), NULL, phr) {}

    void Attach(const CMediaType &type)
    {
        std::lock_guard<std::mutex> hold(m_pendingLock);
        m_pending = type;
        m_hasPending = true;
    }

    STDMETHODIMP GetBuffer(IMediaSample **ppBuffer, REFERENCE_TIME *pStart, REFERENCE_TIME *pEnd,
                           DWORD dwFlags) override
    {
        HRESULT hr = CMemAllocator::GetBuffer(ppBuffer, pStart, pEnd, dwFlags);
        if (FAILED(hr)) return hr;
        std::lock_guard<std::mutex> hold(m_pendingLock);
        if (m_hasPending) {
            (*ppBuffer)->SetMediaType(&m_pending);
            m_hasPending = false;
        }
        return hr;
    }

private:
    std::mutex m_pendingLock;
    CMediaType m_pending;
    bool m_hasPending = false;
};

} // namespace

class CTestSinkPin : public CBaseInputPin {
public:
    CTestSinkPin(CTestSink *pSink, HRESULT *phr)
        : CBaseInputPin(NAME("test sink pin"), pSink, &pSink->m_filterLock, phr, L"In"), m_pSink(pSink)
    {
    }

    HRESULT CheckMediaType(const CMediaType *pmt) override { return m_pSink->Check(pmt); }

    STDMETHODIMP GetAllocator(IMemAllocator **ppAllocator) override
    {
        CheckPointer(ppAllocator, E_POINTER);
        CAutoLock hold(m_pLock);
        if (!m_pAllocator) {
            // One allocator for the pin's life, whatever reconnections come.
            if (!m_pOwnAllocator) {
                HRESULT hr = S_OK;
                m_pOwnAllocator = new CTypeChangingAllocator(&hr);
                m_pOwnAllocator->NonDelegatingAddRef();
            }
            m_pAllocator = m_pOwnAllocator;
            m_pAllocator->AddRef();
        }
        *ppAllocator = m_pAllocator;
        m_pAllocator->AddRef();
        return S_OK;
    }

    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps) override
    {
        std::lock_guard<std::mutex> hold(m_pSink->m_lock);
        if (m_pSink->m_bufferSize == 0) return E_NOTIMPL;
        *pProps = ALLOCATOR_PROPERTIES{};
        pProps->cBuffers = 2;
        pProps->cbBuffer = m_pSink->m_bufferSize;
        pProps->cbAlign = 1;
        return S_OK;
    }

    void Attach(const CMediaType &type)
    {
        if (m_pOwnAllocator) m_pOwnAllocator->Attach(type);
    }

    STDMETHODIMP Receive(IMediaSample *pSample) override
    {
        HRESULT hr = CBaseInputPin::Receive(pSample);
        if (hr != S_OK) return hr;
        if (m_SampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED)
            SetMediaType(static_cast<CMediaType *>(m_SampleProps.pMediaType));
        return m_pSink->Take(pSample, m_mt);
    }

    STDMETHODIMP EndOfStream() override
    {
        {
            std::lock_guard<std::mutex> hold(m_pSink->m_lock);
            if (m_pSink->m_endOfStreams++ == 0)
                m_pSink->m_picturesBeforeEnd = static_cast<long>(m_pSink->m_pictures.size());
        }
        m_pSink->m_ended.Set();
        m_pSink->NotifyEvent(EC_COMPLETE, S_OK, 0);
        return S_OK;
    }

    STDMETHODIMP BeginFlush() override
    {
        // Flushing before the wake, so a woken Receive sees the flush.
        HRESULT hr = CBaseInputPin::BeginFlush();
        m_pSink->m_wake.Set();
        return hr;
    }

    STDMETHODIMP EndFlush() override
    {
        m_pSink->m_wake.Reset();
        return CBaseInputPin::EndFlush();
    }

    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override
    {
        std::lock_guard<std::mutex> hold(m_pSink->m_lock);
        m_pSink->m_segments.push_back({tStart, tStop, dRate, m_pSink->m_pictures.size()});
        m_pSink->m_changed.notify_all();
        return CBasePin::NewSegment(tStart, tStop, dRate);
    }

    HRESULT Active() override
    {
        m_pSink->m_wake.Reset();
        return CBaseInputPin::Active();
    }

    HRESULT Inactive() override
    {
        m_pSink->m_wake.Set();
        return CBaseInputPin::Inactive();
    }

    ~CTestSinkPin() override
    {
        if (m_pOwnAllocator) m_pOwnAllocator->NonDelegatingRelease();
    }

private:
    CTestSink *m_pSink;
    CTypeChangingAllocator *m_pOwnAllocator = nullptr;
};

CTestSink *CTestSink::Create()
{
    CTestSink *pSink = new CTestSink();
    pSink->NonDelegatingAddRef();
    return pSink;
}

CTestSink::CTestSink() : CBaseFilter(NAME("test sink"), NULL, &m_filterLock, GUID_NULL)
{
    HRESULT hr = S_OK;
    m_pPin = new CTestSinkPin(this, &hr);
    m_open.Set();
}

CTestSink::~CTestSink()
{
    delete m_pPin;
}

CBasePin *CTestSink::GetPin(int n)
{
    return n == 0 ? m_pPin : NULL;
}

IPin *CTestSink::Pin()
{
    return m_pPin;
}

void CTestSink::AcceptSubtype(const GUID &subtype)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_subtype = subtype;
}

void CTestSink::FailFrom(size_t n, HRESULT hr)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_failFrom = n;
    m_failure = hr;
}

void CTestSink::Block()
{
    m_blocked.Reset();
    m_open.Reset();
}

void CTestSink::Unblock()
{
    m_open.Set();
}

void CTestSink::HoldWhilePaused()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_holdWhilePaused = true;
}

STDMETHODIMP CTestSink::Pause()
{
    m_running.Reset();
    return CBaseFilter::Pause();
}

STDMETHODIMP CTestSink::Run(REFERENCE_TIME tStart)
{
    const HRESULT hr = CBaseFilter::Run(tStart);
    if (SUCCEEDED(hr)) m_running.Set();
    return hr;
}

void CTestSink::AttachToNextSample(const CMediaType &type)
{
    m_pPin->Attach(type);
}

void CTestSink::RequireBufferSize(LONG bytes)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_bufferSize = bytes;
}

void CTestSink::Reset()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_failFrom = SIZE_MAX;
    m_pictures.clear();
    m_segments.clear();
    m_endOfStreams = 0;
    m_picturesBeforeEnd = -1;
    m_ended.Reset();
}

HRESULT CTestSink::Check(const CMediaType *pmt)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (*pmt->Type() != MEDIATYPE_Video || *pmt->Subtype() != m_subtype) return S_FALSE;
    return S_OK;
}

HRESULT CTestSink::Take(IMediaSample *pSample, const CMediaType &type)
{
    bool holdWhilePaused = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        holdWhilePaused = m_holdWhilePaused;
    }
    for (CAMEvent *gate : {&m_open, holdWhilePaused ? &m_running : nullptr}) {
        if (!gate || gate->Check()) continue;
        if (gate == &m_open) m_blocked.Set();
        const HANDLE waits[2] = {*gate, m_wake};
        // Woken by a flush the sample is dropped, by a stop refused.
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
            return m_pPin->IsFlushing() ? S_FALSE : VFW_E_WRONG_STATE;
    }
    SinkPicture picture;
    BYTE *pBuffer = nullptr;
    pSample->GetPointer(&pBuffer);
    picture.bytes.assign(pBuffer, pBuffer + pSample->GetSize());
    picture.timeResult = pSample->GetTime(&picture.start, &picture.stop);
    picture.hasMediaTime = pSample->GetMediaTime(&picture.mediaStart, &picture.mediaStop) == S_OK;
    picture.type = type;
    std::lock_guard<std::mutex> hold(m_lock);
    const bool fail = m_pictures.size() >= m_failFrom;
    m_pictures.push_back(std::move(picture));
    m_changed.notify_all();
    return fail ? m_failure : S_OK;
}

std::vector<SinkPicture> CTestSink::Pictures()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_pictures;
}

size_t CTestSink::PictureCount()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_pictures.size();
}

std::vector<SinkSegment> CTestSink::Segments()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_segments;
}

int CTestSink::EndOfStreamCount()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_endOfStreams;
}

long CTestSink::PicturesBeforeEndOfStream()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_picturesBeforeEnd;
}

bool CTestSink::WaitForEndOfStream(DWORD timeoutMs)
{
    return m_ended.Wait(timeoutMs);
}

bool CTestSink::WaitUntil(
    const std::function<bool(const std::vector<SinkPicture> &, const std::vector<SinkSegment> &)> &done,
    DWORD timeoutMs)
{
    std::unique_lock<std::mutex> hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return done(m_pictures, m_segments); });
}

bool CTestSink::WaitUntilBlocked(DWORD timeoutMs)
{
    return m_blocked.Wait(timeoutMs);
}
