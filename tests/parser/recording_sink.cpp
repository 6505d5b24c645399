#include "recording_sink.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace orvex::test {

SampleRecord recordSample(IMediaSample *sample)
{
    SampleRecord r;
    r.hasTime = SUCCEEDED(sample->GetTime(&r.start, &r.stop));
    r.hasMediaTime = sample->GetMediaTime(&r.mediaStart, &r.mediaStop) == S_OK;
    r.sync = sample->IsSyncPoint() == S_OK;
    r.discontinuity = sample->IsDiscontinuity() == S_OK;
    IMediaSample2 *sample2 = nullptr;
    if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void **>(&sample2)))) {
        AM_SAMPLE2_PROPERTIES props{};
        sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE *>(&props));
        r.streamId = props.dwStreamId;
        sample2->Release();
    }
    BYTE *p = nullptr;
    sample->GetPointer(&p);
    if (p) r.bytes.assign(p, p + sample->GetActualDataLength());
    return r;
}

class RecordingSink::Pin : public CBaseInputPin {
public:
    Pin(RecordingSink *sink, HRESULT *phr)
        : CBaseInputPin(NAME("Recording pin"), sink, &sink->m_Lock, phr, L"In"), m_sink(sink)
    {
    }
    HRESULT CheckMediaType(const CMediaType *) override { return S_OK; }
    STDMETHODIMP Receive(IMediaSample *sample) override
    {
        HRESULT hr = CBaseInputPin::Receive(sample);
        return hr == S_OK ? m_sink->receive(sample) : hr;
    }
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override
    {
        m_sink->note("segment " + std::to_string(start) + " " + std::to_string(stop));
        return CBaseInputPin::NewSegment(start, stop, rate);
    }
    STDMETHODIMP EndOfStream() override
    {
        m_sink->endOfStream();
        return S_OK;
    }
    STDMETHODIMP BeginFlush() override
    {
        HRESULT hr = CBaseInputPin::BeginFlush();
        {
            std::lock_guard<std::mutex> guard(m_sink->m_logLock);
            m_sink->m_flushing = true;
        }
        m_sink->note("flush");
        m_sink->wake();
        return hr;
    }
    STDMETHODIMP EndFlush() override
    {
        {
            std::lock_guard<std::mutex> guard(m_sink->m_logLock);
            m_sink->m_flushing = false;
        }
        m_sink->note("endflush");
        return CBaseInputPin::EndFlush();
    }
    HRESULT Inactive() override
    {
        m_sink->wake();
        HRESULT hr = CBaseInputPin::Inactive();
        std::lock_guard<std::mutex> guard(m_sink->m_logLock);
        if (m_sink->m_recordStates) {
            m_sink->m_events.push_back("inactive");
            m_sink->m_changed.notify_all();
        }
        return hr;
    }
    STDMETHODIMP Disconnect() override
    {
        m_sink->note("disconnect");
        CAutoLock lock(m_pLock);
        m_sink->disconnecting();
        return CBaseInputPin::Disconnect();
    }

private:
    RecordingSink *m_sink;
};

RecordingSink::RecordingSink() : CBaseFilter(NAME("Recording sink"), NULL, &m_Lock, GUID_NULL), m_pPin(nullptr)
{
    HRESULT hr = S_OK;
    m_pPin = new Pin(this, &hr);
}

RecordingSink::~RecordingSink()
{
    releaseHeld();
    delete m_pPin;
}

RecordingSink *RecordingSink::create()
{
    auto *sink = new RecordingSink();
    sink->AddRef();
    return sink;
}

CBasePin *RecordingSink::GetPin(int n)
{
    return n == 0 ? m_pPin : nullptr;
}

void RecordingSink::note(const std::string &event, const SampleRecord *sample)
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_events.push_back(event);
    if (sample) m_samples.push_back(*sample);
    m_changed.notify_all();
}

HRESULT RecordingSink::receive(IMediaSample *sample)
{
    DWORD paceMs = 0;
    {
        std::lock_guard<std::mutex> guard(m_logLock);
        paceMs = m_paceMs;
    }
    if (paceMs) std::this_thread::sleep_for(std::chrono::milliseconds(paceMs));
    SampleRecord r = recordSample(sample);
    note("sample " + std::to_string(r.streamId) + " " + std::to_string(r.start), &r);
    std::unique_lock<std::mutex> guard(m_logLock);
    HRESULT held = holdIfPaused(guard);
    if (held != S_OK) return held;
    if (m_hold) {
        sample->AddRef();
        m_held.push_back(sample);
    }
    if (m_samples.size() != m_blockAt) return S_OK;
    m_woken = false;
    m_events.push_back("blocked");
    m_changed.notify_all();
    m_changed.wait(guard, [this] { return m_woken; });
    return m_pPin->IsFlushing() ? S_FALSE : VFW_E_WRONG_STATE;
}

HRESULT RecordingSink::holdIfPaused(std::unique_lock<std::mutex> &guard)
{
    if (!m_holdWhilePaused || m_state != State_Paused || m_flushing) return S_OK;
    m_events.push_back("held");
    m_changed.notify_all();
    m_changed.wait(guard, [this] { return m_state != State_Paused || m_flushing; });
    if (m_flushing) return S_FALSE;
    return m_state == State_Running ? S_OK : VFW_E_WRONG_STATE;
}

void RecordingSink::noteState(const char *event, FILTER_STATE state)
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_state = state;
    if (m_recordStates) m_events.push_back(event);
    m_changed.notify_all();
}

STDMETHODIMP RecordingSink::Stop()
{
    noteState("stop", State_Stopped);
    return CBaseFilter::Stop();
}

STDMETHODIMP RecordingSink::Pause()
{
    HRESULT hr = CBaseFilter::Pause();
    noteState("pause", State_Paused);
    return hr;
}

STDMETHODIMP RecordingSink::Run(REFERENCE_TIME tStart)
{
    HRESULT hr = CBaseFilter::Run(tStart);
    noteState("run", State_Running);
    return hr;
}

void RecordingSink::disconnecting()
{
    std::unique_lock<std::mutex> guard(m_logLock);
    ++m_disconnects;
    m_changed.notify_all();
    if (!m_holdDisconnect) return;
    m_holdDisconnect = false;
    m_events.push_back("disconnect held");
    const size_t mine = m_disconnects;
    m_changed.wait_for(guard, std::chrono::seconds(20), [&] {
        return std::count(m_events.begin(), m_events.end(), "disconnect") > std::ptrdiff_t(mine);
    });
}

void RecordingSink::endOfStream()
{
    note("eos");
    bool ask = false;
    {
        std::unique_lock<std::mutex> guard(m_logLock);
        ask = m_askStop;
        m_askStop = false;
        if (ask) m_changed.wait_for(guard, std::chrono::seconds(20), [this] { return m_flushing; });
    }
    if (!ask) return;
    IPin *upstream = m_pPin->GetConnected();
    IMediaSeeking *seeking = nullptr;
    LONGLONG stop = -1;
    if (upstream && SUCCEEDED(upstream->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void **>(&seeking)))) {
        seeking->GetStopPosition(&stop);
        seeking->Release();
    }
    note("stop " + std::to_string(stop));
}

void RecordingSink::recordStateChanges()
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_recordStates = true;
}

void RecordingSink::holdWhilePaused()
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_holdWhilePaused = true;
}

void RecordingSink::holdNextDisconnect()
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_holdDisconnect = true;
}

void RecordingSink::askStopPositionAtEndOfStream()
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_askStop = true;
}

void RecordingSink::wake()
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_woken = true;
    m_changed.notify_all();
}

std::vector<std::string> RecordingSink::events()
{
    std::lock_guard<std::mutex> guard(m_logLock);
    return m_events;
}

std::vector<SampleRecord> RecordingSink::samples()
{
    std::lock_guard<std::mutex> guard(m_logLock);
    return m_samples;
}

bool RecordingSink::waitUntil(const std::function<bool(const std::vector<std::string> &)> &done, DWORD boundMs)
{
    std::unique_lock<std::mutex> guard(m_logLock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(boundMs), [&] { return done(m_events); });
}

void RecordingSink::blockAt(size_t sampleNumber)
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_blockAt = sampleNumber;
}

void RecordingSink::holdSamples(bool on)
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_hold = on;
}

void RecordingSink::pace(DWORD milliseconds)
{
    std::lock_guard<std::mutex> guard(m_logLock);
    m_paceMs = milliseconds;
}

void RecordingSink::releaseHeld()
{
    std::vector<IMediaSample *> held;
    {
        std::lock_guard<std::mutex> guard(m_logLock);
        held.swap(m_held);
    }
    for (IMediaSample *s : held)
        s->Release();
}

} // namespace orvex::test
