#include "graph_fixture.h"

#include <atomic>

STDMETHODIMP GrabberCallback::QueryInterface(REFIID riid, void **ppv)
{
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *ppv = static_cast<ISampleGrabberCB *>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP GrabberCallback::SampleCB(double SampleTime, IMediaSample *pSample)
{
    GrabbedSample s{};
    s.time = SampleTime;
    s.timeResult = pSample->GetTime(&s.start, &s.stop);
    IMediaSample2 *sample2 = nullptr;
    if (SUCCEEDED(pSample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2)))) {
        AM_SAMPLE2_PROPERTIES props{};
        sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
        s.streamId = props.dwStreamId;
        sample2->Release();
    }
    BYTE *p = nullptr;
    pSample->GetPointer(&p);
    s.firstByte = p ? p[0] : 0;
    s.length = pSample->GetActualDataLength();
    s.clockNow = -1;
    if (m_grabber) {
        IReferenceClock *clock = nullptr;
        m_grabber->GetSyncSource(&clock);
        if (clock) {
            clock->GetTime(&s.clockNow);
            clock->Release();
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_samples.push_back(s);
    return S_OK;
}

STDMETHODIMP GrabberCallback::BufferCB(double, BYTE *, LONG)
{
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_bufferCalls;
    return S_OK;
}

std::vector<GrabbedSample> GrabberCallback::Samples()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_samples;
}

int GrabberCallback::BufferCalls()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bufferCalls;
}

void GraphFixture::SetUp()
{
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     reinterpret_cast<void **>(&m_graph)));
    ASSERT_EQ(S_OK, m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void **>(&m_control)));
    ASSERT_EQ(S_OK, m_graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void **>(&m_events)));
    ASSERT_EQ(S_OK, m_graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&m_seeking)));
    ASSERT_EQ(S_OK, m_graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void **>(&m_mediaFilter)));
}

void GraphFixture::TearDown()
{
    if (m_control) m_control->Stop();
    for (IBaseFilter *f : m_stock)
        f->Release();
    if (m_mediaFilter) m_mediaFilter->Release();
    if (m_seeking) m_seeking->Release();
    if (m_events) m_events->Release();
    if (m_control) m_control->Release();
    if (m_graph) {
        EXPECT_EQ(0u, m_graph->Release());
    }
}

IBaseFilter *GraphFixture::addStock(REFCLSID clsid, const wchar_t *name)
{
    IBaseFilter *filter = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void **>(&filter)));
    if (!filter) return nullptr;
    m_stock.push_back(filter);
    EXPECT_EQ(S_OK, m_graph->AddFilter(filter, name));
    return filter;
}

void GraphFixture::add(IBaseFilter *filter, const wchar_t *name)
{
    ASSERT_EQ(S_OK, m_graph->AddFilter(filter, name));
}

GraphFixture::Grabber GraphFixture::addGrabber(const wchar_t *name)
{
    IBaseFilter *grabber = addStock(CLSID_SampleGrabber, name);
    m_callbacks.push_back(std::make_unique<GrabberCallback>(grabber));
    GrabberCallback &callback = *m_callbacks.back();
    ISampleGrabber *control = nullptr;
    EXPECT_EQ(S_OK, grabber->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void **>(&control)));
    AM_MEDIA_TYPE accepted{};
    accepted.majortype = MEDIATYPE_Test;
    EXPECT_EQ(S_OK, control->SetMediaType(&accepted));
    EXPECT_EQ(S_OK, control->SetCallback(&callback, 0));
    control->Release();
    return {grabber, &callback};
}

void GraphFixture::noClock()
{
    ASSERT_EQ(S_OK, m_mediaFilter->SetSyncSource(nullptr));
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
