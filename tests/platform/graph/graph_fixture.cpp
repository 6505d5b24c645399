#include "graph_fixture.h"

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
