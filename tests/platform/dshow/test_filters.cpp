// The test filters.
#include "test_filters.h"

CMediaType MakeVideoType(const GUID &subtype, LONG width, LONG height)
{
    CMediaType mt(&MEDIATYPE_Video);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_VideoInfo);
    VIDEOINFOHEADER *vih = reinterpret_cast<VIDEOINFOHEADER *>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    ZeroMemory(vih, sizeof(*vih));
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    mt.SetSampleSize(static_cast<ULONG>(width * height * 4));
    return mt;
}

CTestSourcePin::CTestSourcePin(CTestSourceFilter *pFilter, CCritSec *pLock, HRESULT *phr)
    : CBaseOutputPin(NAME("Test source pin"), pFilter, pLock, phr, L"Out")
{
}

HRESULT CTestSourcePin::CheckMediaType(const CMediaType *pmt)
{
    if (*pmt->Type() != MEDIATYPE_Video || *pmt->FormatType() != FORMAT_VideoInfo) return E_INVALIDARG;
    if (*pmt->Subtype() != MEDIASUBTYPE_YV12 && *pmt->Subtype() != MEDIASUBTYPE_RGB32) return E_INVALIDARG;
    return pmt->FormatLength() >= sizeof(VIDEOINFOHEADER) ? S_OK : E_INVALIDARG;
}

HRESULT CTestSourcePin::GetMediaType(int iPosition, CMediaType *pmt)
{
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 1) return VFW_S_NO_MORE_ITEMS;
    *pmt = MakeVideoType(iPosition == 0 ? MEDIASUBTYPE_YV12 : MEDIASUBTYPE_RGB32, 16, 8);
    return S_OK;
}

HRESULT CTestSourcePin::DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps)
{
    m_request = *pProps;
    ALLOCATOR_PROPERTIES want = *pProps;
    want.cBuffers = std::max(want.cBuffers, m_minBuffers);
    want.cbBuffer = std::max<LONG>(want.cbBuffer, 512);
    HRESULT hr = pAlloc->SetProperties(&want, &m_granted);
    if (FAILED(hr)) return hr;
    return m_granted.cbBuffer < 512 ? E_FAIL : S_OK;
}

STDMETHODIMP CTestSourcePin::Notify(IBaseFilter *pSender, Quality q)
{
    UNREFERENCED_PARAMETER(pSender);
    std::lock_guard<std::mutex> guard(m_qualityLock);
    m_quality.push_back(q);
    return S_OK;
}

CTestSourceFilter::CTestSourceFilter(HRESULT *phr) : CBaseFilter(NAME("Test source"), NULL, &m_Lock, CLSID_TestSource)
{
    m_pPin = new CTestSourcePin(this, &m_Lock, phr);
}

CTestSourceFilter::~CTestSourceFilter()
{
    delete m_pPin;
}

HRESULT CTestSourceFilter::DeliverOne(int index, DWORD streamId)
{
    IMediaSample *pSample = NULL;
    HRESULT hr = m_pPin->GetDeliveryBuffer(&pSample, NULL, NULL, 0);
    if (FAILED(hr)) return hr;
    BYTE *p = NULL;
    pSample->GetPointer(&p);
    p[0] = static_cast<BYTE>(index);
    pSample->SetActualDataLength(100);
    REFERENCE_TIME start = index * 1000LL, stop = (index + 1) * 1000LL;
    pSample->SetTime(&start, &stop);
    pSample->SetSyncPoint(index % 2 == 0);
    if (streamId != AM_STREAM_MEDIA) {
        IMediaSample2 *pSample2 = NULL;
        pSample->QueryInterface(IID_IMediaSample2, (void **)&pSample2);
        AM_SAMPLE2_PROPERTIES props{};
        pSample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
        props.dwStreamId = streamId;
        pSample2->SetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
        pSample2->Release();
    }
    hr = m_pPin->Deliver(pSample);
    pSample->Release();
    return hr;
}

CTestSinkPin::CTestSinkPin(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName)
    : CBaseInputPin(NAME("Test sink pin"), pFilter, pLock, phr, pName)
{
}

CTestSinkPin::~CTestSinkPin()
{
    ReleaseHeld();
}

HRESULT CTestSinkPin::CheckMediaType(const CMediaType *pmt)
{
    if (*pmt->Type() != MEDIATYPE_Video || *pmt->Subtype() != m_accepted) return S_FALSE;
    return S_OK;
}

STDMETHODIMP CTestSinkPin::Receive(IMediaSample *pSample)
{
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    const AM_SAMPLE2_PROPERTIES *props = SampleProps();
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        m_received.push_back({props->tStart, props->tStop, props->pbBuffer ? props->pbBuffer[0] : BYTE(0),
                              props->lActual, props->dwStreamId, props->dwSampleFlags});
        if (m_holdSamples) {
            pSample->AddRef();
            m_held.push_back(pSample);
        }
    }
    if (m_blockUntilFlush) {
        m_entered.Set();
        m_flushing.Wait();
        return S_FALSE;
    }
    return S_OK;
}

STDMETHODIMP CTestSinkPin::EndOfStream()
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    ++m_eos;
    return S_OK;
}

STDMETHODIMP CTestSinkPin::BeginFlush()
{
    HRESULT hr = CBaseInputPin::BeginFlush();
    m_flushing.Set();
    ReleaseHeld();
    return hr;
}

STDMETHODIMP CTestSinkPin::EndFlush()
{
    m_flushing.Reset();
    return CBaseInputPin::EndFlush();
}

STDMETHODIMP CTestSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps)
{
    pProps->cBuffers = 2;
    pProps->cbBuffer = 256;
    pProps->cbAlign = 16;
    pProps->cbPrefix = 0;
    return S_OK;
}

STDMETHODIMP CTestSinkPin::GetAllocator(IMemAllocator **ppAllocator)
{
    if (m_refuseAllocator) return VFW_E_NO_ALLOCATOR;
    return CBaseInputPin::GetAllocator(ppAllocator);
}

std::vector<ReceivedSample> CTestSinkPin::Received()
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_received;
}

int CTestSinkPin::EndOfStreams()
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_eos;
}

void CTestSinkPin::ReleaseHeld()
{
    std::vector<IMediaSample *> held;
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        held.swap(m_held);
    }
    for (IMediaSample *s : held)
        s->Release();
}

CTestSinkFilter::CTestSinkFilter(HRESULT *phr, int pins) : CBaseFilter(NAME("Test sink"), NULL, &m_Lock, CLSID_TestSink)
{
    for (int i = 0; i < pins; i++) {
        WCHAR name[16];
        swprintf(name, 16, L"In%d", i);
        m_pins.push_back(new CTestSinkPin(this, &m_Lock, phr, name));
    }
}

CTestSinkFilter::~CTestSinkFilter()
{
    for (CTestSinkPin *p : m_pins)
        delete p;
}

int CTestSinkFilter::GetPinCount()
{
    CAutoLock lock(&m_Lock);
    return static_cast<int>(m_pins.size());
}

CBasePin *CTestSinkFilter::GetPin(int n)
{
    CAutoLock lock(&m_Lock);
    return n >= 0 && n < static_cast<int>(m_pins.size()) ? m_pins[n] : NULL;
}

void CTestSinkFilter::AddPin(LPCWSTR name)
{
    CAutoLock lock(&m_Lock);
    HRESULT hr = S_OK;
    m_pins.push_back(new CTestSinkPin(this, &m_Lock, &hr, name));
    IncrementPinVersion();
}

void CTestSinkFilter::RemoveLastPin()
{
    CAutoLock lock(&m_Lock);
    delete m_pins.back();
    m_pins.pop_back();
    IncrementPinVersion();
}

STDMETHODIMP CTestGraph::QueryInterface(REFIID riid, void **ppv)
{
    if (riid == IID_IUnknown || riid == IID_IFilterGraph) {
        *ppv = static_cast<IFilterGraph *>(this);
    } else if (riid == IID_IMediaEventSink) {
        *ppv = static_cast<IMediaEventSink *>(this);
    } else {
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP CTestGraph::Notify(LONG code, LONG_PTR p1, LONG_PTR p2)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_events.push_back({code, p1, p2});
    return S_OK;
}

STDMETHODIMP CTestClock::QueryInterface(REFIID riid, void **ppv)
{
    if (riid == IID_IUnknown || riid == IID_IReferenceClock) {
        *ppv = static_cast<IReferenceClock *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}
