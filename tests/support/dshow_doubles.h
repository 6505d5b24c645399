// DirectShow test doubles on the base classes: a filter with recording input
// pins and pushing output pins (a push source with IMediaSeeking over sample
// indexes, a recording sink that completes as a renderer, or a converter);
// a graph of the platform's filter graph manager to put them in; a filter
// graph stand-in that collects events.
#pragma once

#include <dshow.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <wrl/client.h>

#include "amfilter.h"

// The test family of media types: major type Test, subtypes A, B and C.
DEFINE_GUID(MEDIATYPE_Test, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(MEDIASUBTYPE_TestA, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a);
DEFINE_GUID(MEDIASUBTYPE_TestB, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0b);
DEFINE_GUID(MEDIASUBTYPE_TestC, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0c);

DEFINE_GUID(CLSID_TestFilter, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(CLSID_TestSinkLow, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_GUID(CLSID_TestConverter, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04);

// A Test type with a VIDEOINFOHEADER of the given width.
CMediaType TestType(const GUID &subtype, LONG width = 16);

using Microsoft::WRL::ComPtr;

// Takes over a reference the caller holds (from QueryFilterInfo, FindPin).
template <class T> ComPtr<T> Adopt(T *p)
{
    ComPtr<T> held;
    held.Attach(p);
    return held;
}

// The object's interface iid, held (empty when it has none).
template <class T> ComPtr<T> QueryHeld(IUnknown *object, REFIID iid)
{
    ComPtr<T> held;
    if (object) object->QueryInterface(iid, &held);
    return held;
}

// The filter's pin of a direction, not counted (the filter keeps its pins).
IPin *FirstPin(IBaseFilter *filter, PIN_DIRECTION direction, int skip = 0);

// *out = value; S_OK, as a getter answers.
template <class T> HRESULT Answer(T *out, T value)
{
    *out = value;
    return S_OK;
}

// A copy of what a lock guards.
template <class T> T LockedCopy(std::mutex &lock, const T &value)
{
    std::lock_guard<std::mutex> guard(lock);
    return value;
}

class CTestFilter;
class CTestInputPin;

// A graph of the platform's filter graph manager without a clock, so that
// it runs as fast as its filters go; stopped when it goes. It holds the
// filters added through it.
class TestGraph {
public:
    TestGraph();
    ~TestGraph() { Stop(); }
    TestGraph(const TestGraph &) = delete;
    TestGraph &operator=(const TestGraph &) = delete;

    IGraphBuilder *operator->() const { return m_graph.Get(); }
    IGraphBuilder *Graph() const { return m_graph.Get(); }
    ComPtr<IMediaEventEx> Events() const { return QueryHeld<IMediaEventEx>(m_graph.Get(), IID_IMediaEventEx); }
    IMediaSeeking *Seeking() const { return m_seeking.Get(); }
    HRESULT Run() { return QueryHeld<IMediaControl>(m_graph.Get(), IID_IMediaControl)->Run(); }
    HRESULT Pause() { return QueryHeld<IMediaControl>(m_graph.Get(), IID_IMediaControl)->Pause(); }
    HRESULT Stop() { return QueryHeld<IMediaControl>(m_graph.Get(), IID_IMediaControl)->Stop(); }
    // EC_COMPLETE within the bound (a guard against hangs, not a timing check).
    bool Completes(LONG boundMs = 60000);

    HRESULT Add(IBaseFilter *filter, LPCWSTR name);
    // The file source on path, connected to the first input pin of reader;
    // both added. The load's or the connection's result.
    HRESULT AddFile(const std::string &path, IBaseFilter *reader);
    IBaseFilter *Source() const { return m_source.Get(); }
    // sink (by default one taking any type at the buffer sizes proposed)
    // added and its first input connected to out.
    CTestInputPin *Record(IPin *out, CTestFilter *sink = nullptr);

private:
    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IMediaSeeking> m_seeking;
    ComPtr<IBaseFilter> m_source;
    std::vector<ComPtr<IBaseFilter>> m_filters;
};

struct SeekCall {
    LONGLONG current;
    DWORD currentFlags;
    LONGLONG stop;
    DWORD stopFlags;
};

class CTestOutputPin : public CBaseOutputPin, public IMediaSeeking {
public:
    CTestOutputPin(CTestFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName,
                   const std::vector<GUID> &offered);
    ~CTestOutputPin() override { stopThread(); }

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType *pmt) override;
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    STDMETHODIMP Notify(IBaseFilter *, Quality q) override;

    // IMediaSeeking: positions are sample indexes times the sample duration,
    // in media time only; what the graph and the pass-through ask.
    STDMETHODIMP GetCapabilities(DWORD *p) override
    {
        return Answer(p, DWORD(AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration));
    }
    STDMETHODIMP GetDuration(LONGLONG *p) override { return Answer(p, m_sampleCount * m_sampleDuration); }
    STDMETHODIMP GetStopPosition(LONGLONG *p) override { return GetDuration(p); }
    STDMETHODIMP GetCurrentPosition(LONGLONG *p) override { return Answer(p, m_position * m_sampleDuration); }
    STDMETHODIMP SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags) override;
    STDMETHODIMP GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest) override;
    STDMETHODIMP CheckCapabilities(DWORD *) override { return E_NOTIMPL; }
    STDMETHODIMP IsFormatSupported(const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPreferredFormat(GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetTimeFormat(GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP IsUsingTimeFormat(const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP SetTimeFormat(const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP ConvertTimeFormat(LONGLONG *, const GUID *, LONGLONG, const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP GetPositions(LONGLONG *, LONGLONG *) override { return E_NOTIMPL; }
    STDMETHODIMP SetRate(double) override { return E_NOTIMPL; }
    STDMETHODIMP GetRate(double *) override { return E_NOTIMPL; }
    STDMETHODIMP GetPreroll(LONGLONG *) override { return E_NOTIMPL; }

    // One sample numbered index, on the calling thread: its first byte is
    // index, its time [offset + index * duration, + duration), a splice
    // point when index is even.
    HRESULT DeliverOne(int index, DWORD streamId = AM_STREAM_MEDIA);
    // bytes as one sample on the calling thread, timed when start >= 0; the
    // result of the downstream Receive.
    HRESULT Push(const std::vector<BYTE> &bytes, DWORD streamId = AM_STREAM_MEDIA, REFERENCE_TIME start = -1,
                 REFERENCE_TIME stop = -1, bool discontinuity = false, bool syncPoint = false);
    IMemAllocator *Allocator() { return m_pAllocator; }
    IMemInputPin *PeerInput() { return m_pInputPin; }

    // Settings, before the pin connects or goes active.
    std::vector<CMediaType> m_types; // offered; taken by major type and subtype
    int m_sampleCount = 0;           // delivered by a thread of the pin's own while active
    REFERENCE_TIME m_sampleDuration = 10000;
    REFERENCE_TIME m_timeOffset = 0;
    DWORD m_streamId = AM_STREAM_MEDIA;
    bool m_seekable = true;
    LONG m_minBuffers = 2;
    LONG m_bufferSize = 512;

    ALLOCATOR_PROPERTIES m_request{}; // what the peer asked for
    std::vector<SeekCall> SeekCalls() { return LockedCopy(m_recordLock, m_seekCalls); }
    std::vector<Quality> QualityMessages() { return LockedCopy(m_recordLock, m_quality); }
    HRESULT LastDeliverResult() const { return m_lastResult; }
    CAMEvent m_deliveryEnded{TRUE};   // the thread has sent its end of stream or given up
    CAMEvent m_deliveryStarted{TRUE}; // a sample is about to go downstream

private:
    void startThread();
    void stopThread();

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<HRESULT> m_lastResult{S_OK};
    std::atomic<int> m_position{0}; // next sample index
    std::mutex m_recordLock;
    std::vector<SeekCall> m_seekCalls;
    std::vector<Quality> m_quality;
};

struct ReceivedSample {
    REFERENCE_TIME start, stop;
    BYTE firstByte;
    LONG length;
    DWORD streamId;
    DWORD flags;                              // AM_SAMPLE_*: time valid, splice point, discontinuity
    LONGLONG mediaStart = -1, mediaStop = -1; // -1 without a media time
    std::vector<BYTE> bytes = {};             // the data
    CMediaType type = CMediaType();           // the pin's type when it came
    bool Timed() const { return flags & AM_SAMPLE_TIMEVALID; }
};

// One line per sample: "firstByte start-stop length streamId flags".
std::string Describe(const std::vector<ReceivedSample> &samples);

class CTestInputPin : public CBaseInputPin {
public:
    CTestInputPin(CTestFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName);
    ~CTestInputPin() override { ReleaseHeld(); }

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType *) override
    {
        return iPosition < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
    }
    STDMETHODIMP Receive(IMediaSample *pSample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps) override
    {
        *pProps = m_requirements;
        return S_OK;
    }
    STDMETHODIMP GetAllocator(IMemAllocator **ppAllocator) override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
    STDMETHODIMP Disconnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    IMemAllocator *Allocator() { return m_pAllocator; }

    // Settings
    GUID m_majorType = MEDIATYPE_Test;
    std::vector<GUID> m_accepted{MEDIASUBTYPE_TestA}; // subtypes of m_majorType; empty: any type
    bool m_refuseAllocator = false;
    bool m_holdSamples = false;     // keep every received sample until released
    bool m_blockUntilFlush = false; // every sample as one BlockAt names, but only a flush or a stop returns it
    ALLOCATOR_PROPERTIES m_requirements{2, 256, 16, 0};
    // Further behaviours, set at any time (under the record lock they are read with).
    // That received sample (from 1) records "blocked" and waits for Unblock, a flush or a stop.
    void BlockAt(size_t number)
    {
        set([&] {
            m_blockAt = number;
            m_unblocked = false;
        });
    }
    void Unblock()
    {
        set([&] { m_unblocked = true; });
    }
    // Receive answers hr from that sample (from 1) on.
    void FailFrom(size_t number, HRESULT hr)
    {
        set([&] {
            m_failFrom = number;
            m_failure = hr;
        });
    }
    // As a renderer: a sample that comes while paused records "held" and waits for Run, a flush or a stop.
    std::atomic<bool> m_holdWhilePaused{false};
    // The next Disconnect waits, holding the pin lock, until a second Disconnect call comes in.
    std::atomic<bool> m_holdDisconnect{false};
    // At the next end of stream, waits for a flush, then records "stop POSITION" of the upstream IMediaSeeking.
    std::atomic<bool> m_askStop{false};
    // The next sample the pin's allocator hands out carries this type, as a renderer changes its surface.
    void AttachToNextSample(const CMediaType &type);

    std::vector<ReceivedSample> Received() { return LockedCopy(m_recordLock, m_received); }
    bool WaitReceived(size_t count)
    {
        return WaitEvents([&](auto &) { return m_received.size() >= count; });
    }
    void ReleaseHeld();
    CAMEvent m_entered{TRUE}; // a blocking Receive has started waiting
    // In order: "sample STREAMID START", "segment START STOP", "flush", "endflush", "eos", "blocked", "held",
    // "pause", "run", "stop", "inactive", "disconnect", "disconnect held", "stop POSITION".
    std::vector<std::string> Events() { return LockedCopy(m_recordLock, m_events); }
    // Waits until done(events) holds (checked under the record lock); false
    // when the bound against hangs passes first.
    bool WaitEvents(const std::function<bool(const std::vector<std::string> &)> &done);
    bool WaitFor(const std::string &event); // until that event has been recorded
    void Forget();                          // drops the records kept so far
    void StateChanged(const char *event, FILTER_STATE state);

private:
    void note(std::string event); // with the record lock held
    void set(const std::function<void()> &change);
    bool wait(std::unique_lock<std::mutex> &lock, const std::function<bool()> &done);
    CTestFilter *m_pOwner;
    std::mutex m_recordLock;
    std::condition_variable m_recorded;
    std::vector<ReceivedSample> m_received;
    std::vector<std::string> m_events;
    size_t m_count = 0; // samples received, Forget or not
    std::vector<ComPtr<IMediaSample>> m_held;
    size_t m_blockAt = 0, m_failFrom = SIZE_MAX;
    HRESULT m_failure = S_OK;
    bool m_unblocked = false;
    bool m_flushingNow = false, m_active = false, m_completePending = false;
    FILTER_STATE m_state = State_Stopped;
    size_t m_disconnects = 0;
    std::shared_ptr<struct PendingType> m_pending;
};

class CTestFilter : public CBaseFilter {
public:
    // Input pins "In0".. and one output pin "Out0".. per entry of outputs,
    // each offering its types.
    CTestFilter(HRESULT *phr, int inputs, std::vector<std::vector<GUID>> outputs, REFCLSID clsid = CLSID_TestFilter);
    static CTestFilter *Source(std::vector<GUID> offered = {MEDIASUBTYPE_TestA});
    static CTestFilter *Sink(std::vector<GUID> accepted = {MEDIASUBTYPE_TestA}, REFCLSID clsid = CLSID_TestSinkLow);

    int GetPinCount() override
    {
        CAutoLock lock(&m_Lock);
        return int(m_inputs.size() + m_outputs.size());
    }
    CBasePin *GetPin(int n) override;
    CTestInputPin *In(int n = 0) { return m_inputs[n].get(); }
    CTestOutputPin *Out(int n = 0) { return m_outputs[n].get(); }
    bool HasOutputs() const { return !m_outputs.empty(); }

    // Adds or removes an input pin and moves the pin version, as a filter
    // does whose pins follow its input.
    void AddInput(LPCWSTR name);
    void RemoveLastInput();

    // State changes go to log as "name:Pause " and so on.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    std::string *m_log = nullptr;
    std::string m_logName;

private:
    // Logs the change and tells the input pins.
    void tell(const char *what, const char *event, FILTER_STATE state);
    CCritSec m_Lock;
    std::vector<std::unique_ptr<CTestInputPin>> m_inputs;
    std::vector<std::unique_ptr<CTestOutputPin>> m_outputs;
};

// A filter graph that only collects the events its filters send.
class CTestGraph : public IFilterGraph, public IMediaEventSink {
public:
    struct Event {
        LONG code;
        LONG_PTR param1, param2;
    };
    std::mutex m_lock;
    std::vector<Event> m_events;
    LONG m_cRef = 1;

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&m_cRef); }
    STDMETHODIMP AddFilter(IBaseFilter *, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter *) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters **) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter **) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin *, IPin *, const AM_MEDIA_TYPE *) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect(IPin *) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }
    STDMETHODIMP Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_events.push_back({code, p1, p2});
        return S_OK;
    }
};
