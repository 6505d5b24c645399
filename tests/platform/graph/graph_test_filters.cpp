// The graph tests' filters.
#include "graph_test_filters.h"

#include <algorithm>

CMediaType TestType(const GUID &subtype)
{
    CMediaType mt(&MEDIATYPE_Test);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_None);
    mt.SetSampleSize(64);
    return mt;
}

void StateLog::Add(const std::wstring &entry)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_entries.push_back(entry);
}

std::vector<std::wstring> StateLog::Entries()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_entries;
}

STDMETHODIMP CLoggedFilter::Stop()
{
    if (m_log) m_log->Add(m_logName + L":Stop");
    return CBaseFilter::Stop();
}

STDMETHODIMP CLoggedFilter::Pause()
{
    if (m_log) m_log->Add(m_logName + L":Pause");
    return CBaseFilter::Pause();
}

STDMETHODIMP CLoggedFilter::Run(REFERENCE_TIME tStart)
{
    if (m_log) m_log->Add(m_logName + L":Run");
    return CBaseFilter::Run(tStart);
}

IPin *FirstPin(IBaseFilter *filter, PIN_DIRECTION direction, int skip)
{
    IEnumPins *pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin *found = nullptr;
    IPin *pin = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        pin->QueryDirection(&d);
        if (d == direction && skip-- == 0) found = pin;
        pin->Release(); // the filter keeps its pins
    }
    pins->Release();
    return found;
}

// ---- push pin -------------------------------------------------------------------

CTestPushPin::CTestPushPin(CTestPushSource *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName,
                           std::vector<GUID> offered)
    : CBaseOutputPin(NAME("Test push pin"), pFilter, pLock, phr, pName), m_offered(std::move(offered))
{
}

CTestPushPin::~CTestPushPin()
{
    stopThread();
}

STDMETHODIMP CTestPushPin::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    if (riid == IID_IMediaSeeking && m_seekable) return GetInterface(static_cast<IMediaSeeking *>(this), ppv);
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTestPushPin::CheckMediaType(const CMediaType *pmt)
{
    if (*pmt->Type() != MEDIATYPE_Test) return S_FALSE;
    GUID subtype = *pmt->Subtype();
    bool offered = std::find(m_offered.begin(), m_offered.end(), subtype) != m_offered.end();
    bool accepted = std::find(m_alsoAccepted.begin(), m_alsoAccepted.end(), subtype) != m_alsoAccepted.end();
    return offered || accepted ? S_OK : S_FALSE;
}

HRESULT CTestPushPin::GetMediaType(int iPosition, CMediaType *pmt)
{
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition >= static_cast<int>(m_offered.size())) return VFW_S_NO_MORE_ITEMS;
    *pmt = TestType(m_offered[iPosition]);
    return S_OK;
}

HRESULT CTestPushPin::DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps)
{
    ALLOCATOR_PROPERTIES want = *pProps, got;
    want.cBuffers = std::max<LONG>(want.cBuffers, 2);
    want.cbBuffer = std::max<LONG>(want.cbBuffer, 64);
    return pAlloc->SetProperties(&want, &got);
}

HRESULT CTestPushPin::Active()
{
    HRESULT hr = CBaseOutputPin::Active();
    if (SUCCEEDED(hr)) startThread();
    return hr;
}

HRESULT CTestPushPin::Inactive()
{
    m_stop = true;
    HRESULT hr = CBaseOutputPin::Inactive(); // decommit: a GetBuffer in progress gives up
    stopThread();
    return hr;
}

void CTestPushPin::startThread()
{
    m_stop = false;
    m_deliveryEnded.Reset();
    int first = m_position;
    m_thread = std::thread(&CTestPushPin::deliverLoop, this, first);
}

void CTestPushPin::stopThread()
{
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void CTestPushPin::deliverLoop(int first)
{
    for (int i = first; i < m_sampleCount && !m_stop; ++i) {
        IMediaSample *sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) {
            m_lastResult = hr;
            m_deliveryEnded.Set();
            return;
        }
        BYTE *p = nullptr;
        sample->GetPointer(&p);
        p[0] = static_cast<BYTE>(i);
        sample->SetActualDataLength(16);
        REFERENCE_TIME start = m_timeOffset + i * m_sampleDuration, stop = start + m_sampleDuration;
        sample->SetTime(&start, &stop);
        if (m_streamId != AM_STREAM_MEDIA) {
            IMediaSample2 *sample2 = nullptr;
            sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2));
            AM_SAMPLE2_PROPERTIES props{};
            sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
            props.dwStreamId = m_streamId;
            sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
            sample2->Release();
        }
        m_deliveryStarted.Set();
        hr = Deliver(sample);
        sample->Release();
        m_lastResult = hr;
        if (hr != S_OK) {
            m_deliveryEnded.Set();
            return;
        }
        ++m_delivered;
        m_position = i + 1;
    }
    if (!m_stop) DeliverEndOfStream();
    m_deliveryEnded.Set();
}

STDMETHODIMP CTestPushPin::Notify(IBaseFilter *, Quality q)
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_quality.push_back(q);
    return S_OK;
}

std::vector<SeekCall> CTestPushPin::SeekCalls()
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_seekCalls;
}

std::vector<Quality> CTestPushPin::QualityMessages()
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    return m_quality;
}

STDMETHODIMP CTestPushPin::GetCapabilities(DWORD *pCapabilities)
{
    *pCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration;
    return S_OK;
}

STDMETHODIMP CTestPushPin::CheckCapabilities(DWORD *pCapabilities)
{
    DWORD mine = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration;
    return (*pCapabilities & ~mine) ? S_FALSE : S_OK;
}

STDMETHODIMP CTestPushPin::IsFormatSupported(const GUID *pFormat)
{
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

STDMETHODIMP CTestPushPin::QueryPreferredFormat(GUID *pFormat)
{
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

STDMETHODIMP CTestPushPin::GetTimeFormat(GUID *pFormat)
{
    return QueryPreferredFormat(pFormat);
}

STDMETHODIMP CTestPushPin::IsUsingTimeFormat(const GUID *pFormat)
{
    return IsFormatSupported(pFormat);
}

STDMETHODIMP CTestPushPin::SetTimeFormat(const GUID *pFormat)
{
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CTestPushPin::GetDuration(LONGLONG *pDuration)
{
    *pDuration = m_sampleCount * m_sampleDuration;
    return S_OK;
}

STDMETHODIMP CTestPushPin::GetStopPosition(LONGLONG *pStop)
{
    return GetDuration(pStop);
}

STDMETHODIMP CTestPushPin::GetCurrentPosition(LONGLONG *pCurrent)
{
    *pCurrent = m_position * m_sampleDuration;
    return S_OK;
}

STDMETHODIMP CTestPushPin::SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags)
{
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        m_seekCalls.push_back({pCurrent ? *pCurrent : -1, dwCurrentFlags, pStop ? *pStop : -1, dwStopFlags});
    }
    if (!(dwCurrentFlags & AM_SEEKING_PositioningBitsMask)) return S_OK;
    int index = static_cast<int>(*pCurrent / m_sampleDuration);
    bool active = m_thread.joinable();
    if (active) {
        // Flush downstream first, so a thread held there comes back.
        m_stop = true;
        DeliverBeginFlush();
        stopThread();
        DeliverEndFlush();
    }
    m_position = index;
    if (active) {
        DeliverNewSegment(*pCurrent, m_sampleCount * m_sampleDuration, 1.0);
        startThread();
    }
    if (dwCurrentFlags & AM_SEEKING_ReturnTime) *pCurrent = index * m_sampleDuration;
    return S_OK;
}

STDMETHODIMP CTestPushPin::GetPositions(LONGLONG *pCurrent, LONGLONG *pStop)
{
    if (pCurrent) GetCurrentPosition(pCurrent);
    if (pStop) GetStopPosition(pStop);
    return S_OK;
}

STDMETHODIMP CTestPushPin::GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest)
{
    if (pEarliest) *pEarliest = 0;
    if (pLatest) GetDuration(pLatest);
    return S_OK;
}

STDMETHODIMP CTestPushPin::GetRate(double *pdRate)
{
    *pdRate = 1.0;
    return S_OK;
}

// ---- push source ------------------------------------------------------------------

CTestPushSource::CTestPushSource(HRESULT *phr, std::vector<std::vector<GUID>> pins)
    : CLoggedFilter(NAME("Test push source"), nullptr, &m_Lock, CLSID_TestPushSource)
{
    for (size_t i = 0; i < pins.size(); ++i) {
        std::wstring name = L"Out" + std::to_wstring(i);
        m_pins.push_back(new CTestPushPin(this, &m_Lock, phr, name.c_str(), pins[i]));
    }
}

CTestPushSource::~CTestPushSource()
{
    for (CTestPushPin *pin : m_pins)
        delete pin;
}

CBasePin *CTestPushSource::GetPin(int n)
{
    return n >= 0 && n < static_cast<int>(m_pins.size()) ? m_pins[n] : nullptr;
}

// ---- sink ---------------------------------------------------------------------------

CTestSinkInput::CTestSinkInput(CTestSinkFilter *pFilter, CCritSec *pLock, HRESULT *phr)
    : CBaseInputPin(NAME("Test sink input"), pFilter, pLock, phr, L"In"), m_pSink(pFilter)
{
}

HRESULT CTestSinkInput::CheckMediaType(const CMediaType *pmt)
{
    if (*pmt->Type() != MEDIATYPE_Test) return S_FALSE;
    return std::find(m_accepted.begin(), m_accepted.end(), *pmt->Subtype()) != m_accepted.end() ? S_OK : S_FALSE;
}

HRESULT CTestSinkInput::GetMediaType(int iPosition, CMediaType *pmt)
{
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition >= static_cast<int>(m_offered.size())) return VFW_S_NO_MORE_ITEMS;
    *pmt = TestType(m_offered[iPosition]);
    return S_OK;
}

STDMETHODIMP CTestSinkInput::Receive(IMediaSample *pSample)
{
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr == S_OK) ++m_received;
    return hr;
}

STDMETHODIMP CTestSinkInput::EndOfStream()
{
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pSink->NotifyEvent(EC_COMPLETE, S_OK, 0);
}

CTestSinkFilter::CTestSinkFilter(HRESULT *phr, REFCLSID clsid)
    : CLoggedFilter(NAME("Test sink"), nullptr, &m_Lock, clsid), m_pInput(new CTestSinkInput(this, &m_Lock, phr))
{
}

CTestSinkFilter::~CTestSinkFilter()
{
    delete m_pInput;
}

// ---- converter --------------------------------------------------------------------

class CTestConverter::Input : public CBaseInputPin {
public:
    Input(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr)
        : CBaseInputPin(NAME("Converter input"), pFilter, pLock, phr, L"In")
    {
    }
    HRESULT CheckMediaType(const CMediaType *pmt) override
    {
        return *pmt->Type() == MEDIATYPE_Test && *pmt->Subtype() == MEDIASUBTYPE_TestA ? S_OK : S_FALSE;
    }
};

class CTestConverter::Output : public CBaseOutputPin {
public:
    Output(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr)
        : CBaseOutputPin(NAME("Converter output"), pFilter, pLock, phr, L"Out")
    {
    }
    HRESULT CheckMediaType(const CMediaType *pmt) override
    {
        return *pmt->Type() == MEDIATYPE_Test && *pmt->Subtype() == MEDIASUBTYPE_TestB ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int iPosition, CMediaType *pmt) override
    {
        if (iPosition < 0) return E_INVALIDARG;
        if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
        *pmt = TestType(MEDIASUBTYPE_TestB);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps) override
    {
        ALLOCATOR_PROPERTIES want = *pProps, got;
        want.cBuffers = std::max<LONG>(want.cBuffers, 1);
        want.cbBuffer = std::max<LONG>(want.cbBuffer, 64);
        return pAlloc->SetProperties(&want, &got);
    }
};

CTestConverter::CTestConverter(HRESULT *phr)
    : CLoggedFilter(NAME("Test converter"), nullptr, &m_Lock, CLSID_TestConverter),
      m_pInput(new Input(this, &m_Lock, phr)), m_pOutput(new Output(this, &m_Lock, phr))
{
}

CTestConverter::~CTestConverter()
{
    delete m_pInput;
    delete m_pOutput;
}

CBasePin *CTestConverter::GetPin(int n)
{
    return n == 0 ? m_pInput : n == 1 ? m_pOutput : nullptr;
}

// ---- splitter ---------------------------------------------------------------------

namespace {

class SplitterInput : public CBaseInputPin {
public:
    SplitterInput(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr)
        : CBaseInputPin(NAME("Splitter input"), pFilter, pLock, phr, L"In")
    {
    }
    HRESULT CheckMediaType(const CMediaType *pmt) override
    {
        return *pmt->Type() == MEDIATYPE_Test && *pmt->Subtype() == MEDIASUBTYPE_TestA ? S_OK : S_FALSE;
    }
};

class SplitterOutput : public CBaseOutputPin {
public:
    SplitterOutput(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR name, const GUID &subtype)
        : CBaseOutputPin(NAME("Splitter output"), pFilter, pLock, phr, name), m_subtype(subtype)
    {
    }
    HRESULT CheckMediaType(const CMediaType *pmt) override
    {
        return *pmt->Type() == MEDIATYPE_Test && *pmt->Subtype() == m_subtype ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int iPosition, CMediaType *pmt) override
    {
        if (iPosition < 0) return E_INVALIDARG;
        if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
        *pmt = TestType(m_subtype);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps) override
    {
        ALLOCATOR_PROPERTIES want = *pProps, got;
        want.cBuffers = std::max<LONG>(want.cBuffers, 1);
        want.cbBuffer = std::max<LONG>(want.cbBuffer, 64);
        return pAlloc->SetProperties(&want, &got);
    }

private:
    GUID m_subtype;
};

} // namespace

CTestSplitter::CTestSplitter(HRESULT *phr) : CBaseFilter(NAME("Test splitter"), nullptr, &m_Lock, CLSID_TestSplitter)
{
    m_pins.push_back(new SplitterInput(this, &m_Lock, phr));
    m_pins.push_back(new SplitterOutput(this, &m_Lock, phr, L"B", MEDIASUBTYPE_TestB));
    m_pins.push_back(new SplitterOutput(this, &m_Lock, phr, L"C", MEDIASUBTYPE_TestC));
}

CTestSplitter::~CTestSplitter()
{
    for (CBasePin *pin : m_pins)
        delete pin;
}

CBasePin *CTestSplitter::GetPin(int n)
{
    return n >= 0 && n < 3 ? m_pins[n] : nullptr;
}

// ---- reader sink ----------------------------------------------------------------------

class CTestReaderSink::Input : public CBasePin {
public:
    Input(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr)
        : CBasePin(NAME("Reader input"), pFilter, pLock, phr, L"Input", PINDIR_INPUT)
    {
    }
    ~Input() override { dropReader(); }
    HRESULT CheckMediaType(const CMediaType *pmt) override
    {
        return *pmt->Type() == MEDIATYPE_Stream && *pmt->Subtype() == GUID_NULL ? S_OK : S_FALSE;
    }
    // As a parser does: the file's name from the upstream filter, then its reader.
    HRESULT CompleteConnect(IPin *pReceivePin) override
    {
        PIN_INFO info{};
        HRESULT hr = pReceivePin->QueryPinInfo(&info);
        if (FAILED(hr)) return hr;
        IFileSourceFilter *source = nullptr;
        hr = info.pFilter->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void **>(&source));
        info.pFilter->Release();
        if (FAILED(hr)) return hr;
        LPOLESTR name = nullptr;
        hr = source->GetCurFile(&name, nullptr);
        source->Release();
        if (FAILED(hr)) return hr;
        m_fileName = name;
        CoTaskMemFree(name);
        return pReceivePin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void **>(&m_reader));
    }
    HRESULT BreakConnect() override
    {
        dropReader();
        return S_OK;
    }
    STDMETHODIMP BeginFlush() override { return S_OK; }
    STDMETHODIMP EndFlush() override { return S_OK; }

    std::wstring m_fileName;
    IAsyncReader *m_reader = nullptr;

private:
    void dropReader()
    {
        if (m_reader) m_reader->Release();
        m_reader = nullptr;
    }
};

CTestReaderSink::CTestReaderSink(HRESULT *phr)
    : CBaseFilter(NAME("Test reader sink"), nullptr, &m_Lock, CLSID_TestReaderSink),
      m_pInput(new Input(this, &m_Lock, phr))
{
}

CTestReaderSink::~CTestReaderSink()
{
    delete m_pInput;
}

CBasePin *CTestReaderSink::GetPin(int n)
{
    return n == 0 ? m_pInput : nullptr;
}

std::wstring CTestReaderSink::FileName()
{
    return m_pInput->m_fileName;
}

IAsyncReader *CTestReaderSink::Reader()
{
    return m_pInput->m_reader;
}

// ---- COM reach ----------------------------------------------------------------------

class TestFilterClass::Factory : public IClassFactory {
public:
    explicit Factory(Maker make) : m_make(make) {}
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_ref; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG r = --m_ref;
        if (r == 0) delete this;
        return r;
    }
    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
    {
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        HRESULT hr = S_OK;
        CBaseFilter *filter = m_make(&hr);
        if (FAILED(hr)) {
            delete filter;
            return hr;
        }
        ++m_created;
        filter->NonDelegatingAddRef();
        hr = filter->NonDelegatingQueryInterface(riid, ppv);
        filter->NonDelegatingRelease();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    std::atomic<int> m_created{0};

private:
    virtual ~Factory() = default;
    Maker m_make;
    std::atomic<ULONG> m_ref{1};
};

TestFilterClass::TestFilterClass(REFCLSID clsid, const wchar_t *name, DWORD merit, Maker make, std::vector<GUID> inputs,
                                 std::vector<GUID> outputs)
    : m_factory(new Factory(make))
{
    CoRegisterClassObject(clsid, m_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
    std::vector<REGPINTYPES> inTypes, outTypes;
    for (const GUID &g : inputs)
        inTypes.push_back({&MEDIATYPE_Test, &g});
    for (const GUID &g : outputs)
        outTypes.push_back({&MEDIATYPE_Test, &g});
    std::vector<REGFILTERPINS2> pins;
    if (!inTypes.empty())
        pins.push_back({0, 1, static_cast<UINT>(inTypes.size()), inTypes.data(), 0, nullptr, nullptr});
    if (!outTypes.empty())
        pins.push_back(
            {REG_PINFLAG_B_OUTPUT, 1, static_cast<UINT>(outTypes.size()), outTypes.data(), 0, nullptr, nullptr});
    REGFILTER2 rf2{};
    rf2.dwVersion = 2;
    rf2.dwMerit = merit;
    rf2.cPins2 = static_cast<ULONG>(pins.size());
    rf2.rgPins2 = pins.data();
    IFilterMapper2 *mapper = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                   reinterpret_cast<void **>(&mapper)))) {
        mapper->RegisterFilter(clsid, name, nullptr, nullptr, nullptr, &rf2);
        mapper->Release();
    }
}

TestFilterClass::~TestFilterClass()
{
    CoRevokeClassObject(m_cookie);
    m_factory->Release();
}

int TestFilterClass::Created() const
{
    return m_factory->m_created;
}
