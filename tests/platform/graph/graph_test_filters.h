// Small filters on the base classes for the graph tests: a push source whose
// output pins deliver numbered, timed samples on their own threads and
// answer IMediaSeeking, a sink that accepts some subtypes and offers some,
// and a converter from one subtype to another. Class factories make them
// reachable through COM for intelligent connect.
#pragma once

#include <control.h>
#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "amfilter.h"

// A media type family of the tests: major type Test, subtypes A, B and C.
DEFINE_GUID(MEDIATYPE_Test, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(MEDIASUBTYPE_TestA, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0a);
DEFINE_GUID(MEDIASUBTYPE_TestB, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0b);
DEFINE_GUID(MEDIASUBTYPE_TestC, 0x7e57a000, 0x1111, 0x4a4a, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0c);

DEFINE_GUID(CLSID_TestPushSource, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(CLSID_TestSinkLow, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);
DEFINE_GUID(CLSID_TestSinkHigh, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03);
DEFINE_GUID(CLSID_TestConverter, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04);
DEFINE_GUID(CLSID_TestSplitter, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05);
DEFINE_GUID(CLSID_TestReaderSink, 0x7e57c000, 0x2222, 0x4b4b, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06);

CMediaType TestType(const GUID &subtype);

// The order in which filters changed state: "name:Pause" and so on.
class StateLog {
public:
    void Add(const std::wstring &entry);
    std::vector<std::wstring> Entries();

private:
    std::mutex m_lock;
    std::vector<std::wstring> m_entries;
};

// A CBaseFilter whose state changes are written to a log when it has one.
class CLoggedFilter : public CBaseFilter {
public:
    using CBaseFilter::CBaseFilter;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    StateLog *m_log = nullptr;
    std::wstring m_logName;
};

// ---- push source ------------------------------------------------------------

class CTestPushSource;

struct SeekCall {
    LONGLONG current;
    DWORD currentFlags;
    LONGLONG stop;
    DWORD stopFlags;
};

class CTestPushPin : public CBaseOutputPin, public IMediaSeeking {
public:
    CTestPushPin(CTestPushSource *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName, std::vector<GUID> offered);
    ~CTestPushPin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType *pmt) override;
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q) override;

    // IMediaSeeking: positions are sample indexes times the sample duration.
    STDMETHODIMP GetCapabilities(DWORD *pCapabilities) override;
    STDMETHODIMP CheckCapabilities(DWORD *pCapabilities) override;
    STDMETHODIMP IsFormatSupported(const GUID *pFormat) override;
    STDMETHODIMP QueryPreferredFormat(GUID *pFormat) override;
    STDMETHODIMP GetTimeFormat(GUID *pFormat) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID *pFormat) override;
    STDMETHODIMP SetTimeFormat(const GUID *pFormat) override;
    STDMETHODIMP GetDuration(LONGLONG *pDuration) override;
    STDMETHODIMP GetStopPosition(LONGLONG *pStop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG *pCurrent) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG *, const GUID *, LONGLONG, const GUID *) override { return E_NOTIMPL; }
    STDMETHODIMP SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG *pCurrent, LONGLONG *pStop) override;
    STDMETHODIMP GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest) override;
    STDMETHODIMP SetRate(double) override { return E_NOTIMPL; }
    STDMETHODIMP GetRate(double *pdRate) override;
    STDMETHODIMP GetPreroll(LONGLONG *) override { return E_NOTIMPL; }

    // Settings, before the graph runs.
    std::vector<GUID> m_offered;
    std::vector<GUID> m_alsoAccepted; // taken when the peer offers them
    int m_sampleCount = 5;
    REFERENCE_TIME m_sampleDuration = 10000; // 1 ms
    REFERENCE_TIME m_timeOffset = 0;         // added to every sample time
    DWORD m_streamId = AM_STREAM_MEDIA;
    bool m_seekable = true;

    // Records
    std::vector<SeekCall> SeekCalls();
    std::vector<Quality> QualityMessages();
    int Delivered() const { return m_delivered; }
    HRESULT LastDeliverResult() const { return m_lastResult; }
    CAMEvent m_deliveryEnded{TRUE};   // set when the thread has sent its end of stream or given up
    CAMEvent m_deliveryStarted{TRUE}; // set just before the first sample goes downstream

private:
    void startThread();
    void stopThread();
    void deliverLoop(int first);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_delivered{0};
    std::atomic<HRESULT> m_lastResult{S_OK};
    std::atomic<int> m_position{0}; // next sample index
    std::mutex m_recordLock;
    std::vector<SeekCall> m_seekCalls;
    std::vector<Quality> m_quality;
};

class CTestPushSource : public CLoggedFilter {
public:
    // One output pin per entry of pins, each offering its types.
    CTestPushSource(HRESULT *phr, std::vector<std::vector<GUID>> pins = {{MEDIASUBTYPE_TestA}});
    ~CTestPushSource() override;

    int GetPinCount() override { return static_cast<int>(m_pins.size()); }
    CBasePin *GetPin(int n) override;
    CTestPushPin *Pin(int n = 0) { return m_pins[n]; }
    REFERENCE_TIME StartTime() { return m_tStart; }

    // Sends an event to the graph, as a filter with a streaming error would.
    HRESULT SendEvent(LONG code, LONG_PTR p1, LONG_PTR p2) { return NotifyEvent(code, p1, p2); }

private:
    CCritSec m_Lock;
    std::vector<CTestPushPin *> m_pins;
};

// ---- sink ---------------------------------------------------------------------

class CTestSinkFilter;

class CTestSinkInput : public CBaseInputPin {
public:
    CTestSinkInput(CTestSinkFilter *pFilter, CCritSec *pLock, HRESULT *phr);
    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType *pmt) override;
    STDMETHODIMP Receive(IMediaSample *pSample) override;
    STDMETHODIMP EndOfStream() override;

    std::vector<GUID> m_accepted{MEDIASUBTYPE_TestA};
    std::vector<GUID> m_offered;
    std::atomic<int> m_received{0};

private:
    CTestSinkFilter *m_pSink;
};

class CTestSinkFilter : public CLoggedFilter {
public:
    CTestSinkFilter(HRESULT *phr, REFCLSID clsid = CLSID_TestSinkLow);
    ~CTestSinkFilter() override;
    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override { return n == 0 ? m_pInput : nullptr; }
    CTestSinkInput *Input() { return m_pInput; }

private:
    CCritSec m_Lock;
    CTestSinkInput *m_pInput;
};

// ---- converter (TestA in, TestB out) ------------------------------------------

class CTestConverter : public CLoggedFilter {
public:
    explicit CTestConverter(HRESULT *phr);
    ~CTestConverter() override;
    int GetPinCount() override { return 2; }
    CBasePin *GetPin(int n) override;

private:
    class Input;
    class Output;
    CCritSec m_Lock;
    CBasePin *m_pInput;
    CBasePin *m_pOutput;
};

// ---- splitter (TestA in, one TestB and one TestC out) ----------------------------

class CTestSplitter : public CBaseFilter {
public:
    explicit CTestSplitter(HRESULT *phr);
    ~CTestSplitter() override;
    int GetPinCount() override { return 3; }
    CBasePin *GetPin(int n) override;

private:
    CCritSec m_Lock;
    std::vector<CBasePin *> m_pins;
};

// ---- reader sink: takes a byte stream the way a parser does ------------------

class CTestReaderSink : public CBaseFilter {
public:
    explicit CTestReaderSink(HRESULT *phr);
    ~CTestReaderSink() override;
    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override;
    // What the connection found upstream.
    std::wstring FileName();
    IAsyncReader *Reader(); // not counted

private:
    class Input;
    CCritSec m_Lock;
    Input *m_pInput;
};

// ---- COM reach ------------------------------------------------------------------

// Registers a class object for clsid that makes T(HRESULT*) objects, and the
// filter with the mapper (inputs and outputs of the given subtypes), for the
// lifetime of the object.
class TestFilterClass {
public:
    using Maker = CBaseFilter *(*)(HRESULT *);
    TestFilterClass(REFCLSID clsid, const wchar_t *name, DWORD merit, Maker make, std::vector<GUID> inputs,
                    std::vector<GUID> outputs);
    ~TestFilterClass();
    TestFilterClass(const TestFilterClass &) = delete;
    TestFilterClass &operator=(const TestFilterClass &) = delete;
    int Created() const;

private:
    class Factory;
    Factory *m_factory;
    DWORD m_cookie = 0;
};

// The filter's pins by direction.
IPin *FirstPin(IBaseFilter *filter, PIN_DIRECTION direction, int skip = 0);
