#include "support/dshow_doubles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

CMediaType TestType(const GUID &subtype, LONG width)
{
    VIDEOINFOHEADER vih{};
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = 8;
    CMediaType mt(&MEDIATYPE_Test);
    mt.SetSubtype(&subtype);
    mt.SetFormatType(&FORMAT_VideoInfo);
    mt.SetFormat(reinterpret_cast<BYTE *>(&vih), sizeof(vih));
    mt.SetSampleSize(64);
    return mt;
}

IPin *FirstPin(IBaseFilter *filter, PIN_DIRECTION direction, int skip)
{
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    for (ComPtr<IPin> pin; pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK;) {
        PIN_DIRECTION d;
        pin->QueryDirection(&d);
        if (d == direction && skip-- == 0) return pin.Get();
    }
    return nullptr;
}

TestGraph::TestGraph()
{
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &m_graph)))
        throw std::runtime_error("no filter graph");
    m_seeking = QueryHeld<IMediaSeeking>(m_graph.Get(), IID_IMediaSeeking);
    QueryHeld<IMediaFilter>(m_graph.Get(), IID_IMediaFilter)->SetSyncSource(nullptr);
}

bool TestGraph::Completes(LONG boundMs)
{
    LONG code = 0;
    return QueryHeld<IMediaEvent>(m_graph.Get(), IID_IMediaEvent)->WaitForCompletion(boundMs, &code) == S_OK &&
           code == EC_COMPLETE;
}

HRESULT TestGraph::Add(IBaseFilter *filter, LPCWSTR name)
{
    m_filters.emplace_back(filter);
    return m_graph->AddFilter(filter, name);
}

HRESULT TestGraph::AddFile(const std::string &path, IBaseFilter *reader)
{
    HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &m_source);
    if (SUCCEEDED(hr)) hr = Add(m_source.Get(), L"Source");
    if (SUCCEEDED(hr)) hr = Add(reader, L"Reader");
    const std::wstring wide(path.begin(), path.end());
    if (SUCCEEDED(hr))
        hr = QueryHeld<IFileSourceFilter>(m_source.Get(), IID_IFileSourceFilter)->Load(wide.c_str(), nullptr);
    if (SUCCEEDED(hr))
        hr = m_graph->ConnectDirect(FirstPin(m_source.Get(), PINDIR_OUTPUT), FirstPin(reader, PINDIR_INPUT), nullptr);
    return hr;
}

CTestInputPin *TestGraph::Record(IPin *out, CTestFilter *sink)
{
    if (!sink) {
        sink = CTestFilter::Sink({});
        sink->In()->m_requirements = {0, 0, 1, 0};
    }
    Add(sink, L"Sink");
    EXPECT_EQ(S_OK, m_graph->ConnectDirect(out, sink->In(), nullptr));
    return sink->In();
}

CTestOutputPin::CTestOutputPin(CTestFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName,
                               const std::vector<GUID> &offered)
    : CBaseOutputPin(NAME("Test output"), pFilter, pLock, phr, pName)
{
    for (const GUID &subtype : offered)
        m_types.push_back(TestType(subtype));
}

STDMETHODIMP CTestOutputPin::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    if (riid == IID_IMediaSeeking && m_seekable) return GetInterface(static_cast<IMediaSeeking *>(this), ppv);
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CTestOutputPin::CheckMediaType(const CMediaType *pmt)
{
    for (const CMediaType &t : m_types)
        if (t.majortype == pmt->majortype && t.subtype == pmt->subtype) return S_OK;
    return S_FALSE;
}

HRESULT CTestOutputPin::GetMediaType(int iPosition, CMediaType *pmt)
{
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition >= static_cast<int>(m_types.size())) return VFW_S_NO_MORE_ITEMS;
    *pmt = m_types[iPosition];
    return S_OK;
}

HRESULT CTestOutputPin::DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps)
{
    m_request = *pProps;
    ALLOCATOR_PROPERTIES want = *pProps, granted{};
    want.cBuffers = std::max(want.cBuffers, m_minBuffers);
    want.cbBuffer = std::max<LONG>(want.cbBuffer, m_bufferSize);
    HRESULT hr = pAlloc->SetProperties(&want, &granted);
    return FAILED(hr) ? hr : granted.cbBuffer < m_bufferSize ? E_FAIL : S_OK;
}

HRESULT CTestOutputPin::Active()
{
    HRESULT hr = CBaseOutputPin::Active();
    if (SUCCEEDED(hr) && m_sampleCount > 0) startThread();
    return hr;
}

HRESULT CTestOutputPin::Inactive()
{
    m_stop = true;
    HRESULT hr = CBaseOutputPin::Inactive(); // decommit: a GetBuffer in progress gives up
    stopThread();
    return hr;
}

// Delivers from the current position to the end, then the end of stream;
// stops at a stop or at the first sample downstream does not take.
void CTestOutputPin::startThread()
{
    m_stop = false;
    m_deliveryEnded.Reset();
    m_thread = std::thread([this] {
        HRESULT hr = S_OK;
        for (int i = m_position; i < m_sampleCount && !m_stop && hr == S_OK; ++i)
            if ((m_lastResult = hr = DeliverOne(i, m_streamId)) == S_OK) m_position = i + 1;
        if (hr == S_OK && !m_stop) DeliverEndOfStream();
        m_deliveryEnded.Set();
    });
}

void CTestOutputPin::stopThread()
{
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

HRESULT CTestOutputPin::Push(const std::vector<BYTE> &bytes, DWORD streamId, REFERENCE_TIME start, REFERENCE_TIME stop,
                             bool discontinuity, bool syncPoint)
{
    ComPtr<IMediaSample> sample;
    HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (static_cast<LONG>(bytes.size()) > sample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    BYTE *p = nullptr;
    sample->GetPointer(&p);
    std::copy(bytes.begin(), bytes.end(), p);
    sample->SetActualDataLength(static_cast<LONG>(bytes.size()));
    if (start >= 0) sample->SetTime(&start, &stop);
    sample->SetDiscontinuity(discontinuity);
    sample->SetSyncPoint(syncPoint);
    if (streamId != AM_STREAM_MEDIA) {
        ComPtr<IMediaSample2> sample2 = QueryHeld<IMediaSample2>(sample.Get(), IID_IMediaSample2);
        AM_SAMPLE2_PROPERTIES props{};
        sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
        props.dwStreamId = streamId;
        sample2->SetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
    }
    m_deliveryStarted.Set();
    return Deliver(sample.Get());
}

HRESULT CTestOutputPin::DeliverOne(int index, DWORD streamId)
{
    std::vector<BYTE> bytes(16);
    bytes[0] = static_cast<BYTE>(index);
    const REFERENCE_TIME start = m_timeOffset + index * m_sampleDuration;
    return Push(bytes, streamId, start, start + m_sampleDuration, false, index % 2 == 0);
}

STDMETHODIMP CTestOutputPin::Notify(IBaseFilter *, Quality q)
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_quality.push_back(q);
    return S_OK;
}

STDMETHODIMP CTestOutputPin::SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags)
{
    {
        std::lock_guard<std::mutex> guard(m_recordLock);
        m_seekCalls.push_back({pCurrent ? *pCurrent : -1, dwCurrentFlags, pStop ? *pStop : -1, dwStopFlags});
    }
    if (!(dwCurrentFlags & AM_SEEKING_PositioningBitsMask)) return S_OK;
    const int index = static_cast<int>(*pCurrent / m_sampleDuration);
    const bool active = m_thread.joinable();
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

STDMETHODIMP CTestOutputPin::GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest)
{
    if (pEarliest) *pEarliest = 0;
    return pLatest ? GetDuration(pLatest) : S_OK;
}

std::string Describe(const std::vector<ReceivedSample> &samples)
{
    std::string text;
    for (const ReceivedSample &s : samples) {
        char line[96];
        snprintf(line, sizeof line, "%d %lld-%lld %d %u %x\n", s.firstByte, static_cast<long long>(s.start),
                 static_cast<long long>(s.stop), static_cast<int>(s.length), static_cast<unsigned>(s.streamId),
                 static_cast<unsigned>(s.flags));
        text += line;
    }
    return text;
}

struct PendingType {
    std::mutex lock;
    CMediaType type;
    bool pending = false;
};

namespace {
// Puts a pending media type on the next sample it hands out.
class CPendingTypeAllocator : public CMemAllocator {
public:
    CPendingTypeAllocator(std::shared_ptr<PendingType> pending, HRESULT *phr)
        : CMemAllocator(NAME("Test input allocator"), nullptr, phr), m_pending(std::move(pending))
    {
    }
    STDMETHODIMP GetBuffer(IMediaSample **ppBuffer, REFERENCE_TIME *pStart, REFERENCE_TIME *pEnd,
                           DWORD dwFlags) override
    {
        HRESULT hr = CMemAllocator::GetBuffer(ppBuffer, pStart, pEnd, dwFlags);
        if (FAILED(hr)) return hr;
        std::lock_guard<std::mutex> guard(m_pending->lock);
        if (m_pending->pending) (*ppBuffer)->SetMediaType(&m_pending->type);
        m_pending->pending = false;
        return hr;
    }

private:
    std::shared_ptr<PendingType> m_pending;
};
} // namespace

CTestInputPin::CTestInputPin(CTestFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName)
    : CBaseInputPin(NAME("Test input"), pFilter, pLock, phr, pName), m_pOwner(pFilter),
      m_pending(std::make_shared<PendingType>())
{
}

HRESULT CTestInputPin::CheckMediaType(const CMediaType *pmt)
{
    if (m_accepted.empty()) return S_OK; // takes anything, as a recorder of another filter's output
    const bool accepted = std::find(m_accepted.begin(), m_accepted.end(), *pmt->Subtype()) != m_accepted.end();
    return *pmt->Type() == m_majorType && accepted ? S_OK : S_FALSE;
}

void CTestInputPin::note(std::string event)
{
    m_events.push_back(std::move(event));
    m_recorded.notify_all();
}

void CTestInputPin::set(const std::function<void()> &change)
{
    std::lock_guard<std::mutex> guard(m_recordLock);
    change();
    m_recorded.notify_all();
}

bool CTestInputPin::wait(std::unique_lock<std::mutex> &lock, const std::function<bool()> &done)
{
    // Bounded only so that a fault fails the test instead of hanging it.
    return m_recorded.wait_for(lock, std::chrono::seconds(20), done);
}

STDMETHODIMP CTestInputPin::Receive(IMediaSample *pSample)
{
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    const AM_SAMPLE2_PROPERTIES *props = SampleProps();
    if ((props->dwSampleFlags & AM_SAMPLE_TYPECHANGED) && props->pMediaType)
        SetMediaType(static_cast<CMediaType *>(props->pMediaType));
    ReceivedSample r{props->tStart,  props->tStop,      props->pbBuffer ? props->pbBuffer[0] : BYTE(0),
                     props->lActual, props->dwStreamId, props->dwSampleFlags};
    if (pSample->GetMediaTime(&r.mediaStart, &r.mediaStop) != S_OK) r.mediaStart = r.mediaStop = -1;
    if (props->pbBuffer) r.bytes.assign(props->pbBuffer, props->pbBuffer + props->lActual);
    r.type = m_mt;
    std::unique_lock<std::mutex> lock(m_recordLock);
    note("sample " + std::to_string(r.streamId) + " " + std::to_string(r.Timed() ? r.start : 0));
    m_received.push_back(std::move(r));
    const size_t number = ++m_count;
    if (m_holdSamples) m_held.emplace_back(pSample);
    // As a paused renderer: until it runs, flushes or stops.
    if (m_holdWhilePaused && m_state == State_Paused && !m_flushingNow) {
        note("held");
        m_recorded.wait(lock, [this] { return m_state != State_Paused || m_flushingNow; });
        if (m_flushingNow) return S_FALSE;
        if (m_state != State_Running) return VFW_E_WRONG_STATE;
    }
    if (number == m_blockAt || m_blockUntilFlush) {
        note("blocked");
        m_entered.Set();
        m_recorded.wait(lock, [this] { return (m_unblocked && !m_blockUntilFlush) || m_flushingNow || !m_active; });
        if (m_blockUntilFlush || !m_unblocked) return m_flushingNow ? S_FALSE : VFW_E_WRONG_STATE;
    }
    return number >= m_failFrom ? m_failure : S_OK;
}

STDMETHODIMP CTestInputPin::EndOfStream()
{
    const bool ask = m_askStop.exchange(false);
    std::unique_lock<std::mutex> lock(m_recordLock);
    note("eos");
    if (ask) {
        wait(lock, [this] { return m_flushingNow; });
        lock.unlock();
        LONGLONG stop = -1;
        if (ComPtr<IMediaSeeking> seeking = QueryHeld<IMediaSeeking>(GetConnected(), IID_IMediaSeeking))
            seeking->GetStopPosition(&stop);
        lock.lock();
        note("stop " + std::to_string(stop));
    }
    lock.unlock();
    // A renderer tells the graph, not after a refusal or while flushing; while
    // paused only once it runs, so a seek's pause does not lose it.
    if (m_pOwner->HasOutputs() || CheckStreaming() != S_OK) return S_OK;
    lock.lock();
    const bool running = m_state == State_Running;
    m_completePending = !running;
    lock.unlock();
    if (running) m_pOwner->NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

STDMETHODIMP CTestInputPin::BeginFlush()
{
    HRESULT hr = CBaseInputPin::BeginFlush();
    set([this] {
        m_flushingNow = true;
        m_completePending = false;
        note("flush");
    });
    ReleaseHeld();
    return hr;
}

STDMETHODIMP CTestInputPin::EndFlush()
{
    // Out of flushing before the record, so that a sample sent on seeing it is taken.
    HRESULT hr = CBaseInputPin::EndFlush();
    set([this] {
        m_flushingNow = false;
        note("endflush");
    });
    return hr;
}

STDMETHODIMP CTestInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    set([&] { note("segment " + std::to_string(tStart) + " " + std::to_string(tStop)); });
    return CBaseInputPin::NewSegment(tStart, tStop, dRate);
}

HRESULT CTestInputPin::Active()
{
    set([this] { m_active = true; });
    return CBaseInputPin::Active();
}

HRESULT CTestInputPin::Inactive()
{
    set([this] { m_active = false; });
    HRESULT hr = CBaseInputPin::Inactive();
    set([this] { note("inactive"); });
    return hr;
}

STDMETHODIMP CTestInputPin::Disconnect()
{
    set([this] { note("disconnect"); });
    CAutoLock pinLock(m_pLock);
    std::unique_lock<std::mutex> lock(m_recordLock);
    const size_t mine = ++m_disconnects;
    if (m_holdDisconnect.exchange(false)) {
        note("disconnect held");
        wait(lock, [&] { return std::count(m_events.begin(), m_events.end(), "disconnect") > std::ptrdiff_t(mine); });
    }
    lock.unlock();
    return CBaseInputPin::Disconnect();
}

void CTestInputPin::StateChanged(const char *event, FILTER_STATE state)
{
    bool complete = false;
    set([&] {
        m_state = state;
        note(event);
        complete = m_completePending && state == State_Running;
        m_completePending = m_completePending && state == State_Paused;
    });
    if (complete) m_pOwner->NotifyEvent(EC_COMPLETE, S_OK, 0);
}

STDMETHODIMP CTestInputPin::GetAllocator(IMemAllocator **ppAllocator)
{
    if (m_refuseAllocator) return VFW_E_NO_ALLOCATOR;
    CAutoLock lock(m_pLock);
    HRESULT hr = S_OK;
    if (!m_pAllocator) (m_pAllocator = new CPendingTypeAllocator(m_pending, &hr))->AddRef();
    return CBaseInputPin::GetAllocator(ppAllocator);
}

void CTestInputPin::AttachToNextSample(const CMediaType &type)
{
    std::lock_guard<std::mutex> guard(m_pending->lock);
    m_pending->type = type;
    m_pending->pending = true;
}

bool CTestInputPin::WaitEvents(const std::function<bool(const std::vector<std::string> &)> &done)
{
    std::unique_lock<std::mutex> lock(m_recordLock);
    return wait(lock, [&] { return done(m_events); });
}

bool CTestInputPin::WaitFor(const std::string &event)
{
    return WaitEvents([&](const auto &e) { return std::count(e.begin(), e.end(), event) > 0; });
}

void CTestInputPin::Forget()
{
    set([this] {
        m_received.clear();
        m_events.clear();
        m_count = 0;
        m_failFrom = SIZE_MAX;
    });
}

void CTestInputPin::ReleaseHeld()
{
    std::vector<ComPtr<IMediaSample>> held;
    set([&] { held.swap(m_held); });
}

CTestFilter::CTestFilter(HRESULT *phr, int inputs, std::vector<std::vector<GUID>> outputs, REFCLSID clsid)
    : CBaseFilter(NAME("Test filter"), nullptr, &m_Lock, clsid)
{
    for (int i = 0; i < inputs; ++i)
        m_inputs.push_back(std::make_unique<CTestInputPin>(this, &m_Lock, phr, (L"In" + std::to_wstring(i)).c_str()));
    for (size_t i = 0; i < outputs.size(); ++i)
        m_outputs.push_back(
            std::make_unique<CTestOutputPin>(this, &m_Lock, phr, (L"Out" + std::to_wstring(i)).c_str(), outputs[i]));
}

CTestFilter *CTestFilter::Source(std::vector<GUID> offered)
{
    HRESULT hr = S_OK;
    return new CTestFilter(&hr, 0, {std::move(offered)});
}

CTestFilter *CTestFilter::Sink(std::vector<GUID> accepted, REFCLSID clsid)
{
    HRESULT hr = S_OK;
    auto *sink = new CTestFilter(&hr, 1, {}, clsid);
    sink->In()->m_accepted = std::move(accepted);
    return sink;
}

CBasePin *CTestFilter::GetPin(int n)
{
    CAutoLock lock(&m_Lock);
    const size_t i = size_t(n), inputs = m_inputs.size();
    if (n < 0 || i >= inputs + m_outputs.size()) return nullptr;
    return i < inputs ? static_cast<CBasePin *>(m_inputs[i].get()) : m_outputs[i - inputs].get();
}

void CTestFilter::AddInput(LPCWSTR name)
{
    CAutoLock lock(&m_Lock);
    HRESULT hr = S_OK;
    m_inputs.push_back(std::make_unique<CTestInputPin>(this, &m_Lock, &hr, name));
    IncrementPinVersion();
}

void CTestFilter::RemoveLastInput()
{
    CAutoLock lock(&m_Lock);
    m_inputs.pop_back();
    IncrementPinVersion();
}

void CTestFilter::tell(const char *what, const char *event, FILTER_STATE state)
{
    if (m_log) *m_log += m_logName + ":" + what + " ";
    for (const auto &pin : m_inputs)
        pin->StateChanged(event, state);
}

STDMETHODIMP CTestFilter::Stop()
{
    tell("Stop", "stop", State_Stopped); // first, so that a held Receive returns
    return CBaseFilter::Stop();
}

STDMETHODIMP CTestFilter::Pause()
{
    const HRESULT hr = CBaseFilter::Pause();
    tell("Pause", "pause", State_Paused);
    return hr;
}

STDMETHODIMP CTestFilter::Run(REFERENCE_TIME tStart)
{
    const HRESULT hr = CBaseFilter::Run(tStart);
    tell("Run", "run", State_Running);
    return hr;
}

STDMETHODIMP CTestGraph::QueryInterface(REFIID riid, void **ppv)
{
    *ppv = riid == IID_IUnknown || riid == IID_IFilterGraph ? static_cast<IFilterGraph *>(this) : nullptr;
    if (riid == IID_IMediaEventSink) *ppv = static_cast<IMediaEventSink *>(this);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}
