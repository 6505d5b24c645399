// Two small filters on the base classes for the conformance tests: a source
// whose output pin offers YV12 and RGB32 video and delivers numbered samples,
// and a sink whose input pin accepts one subtype and records what it gets.
// Also a filter graph stand-in that collects events, and a settable clock.
#pragma once

#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <mutex>
#include <vector>

#include "amfilter.h"

// {8C0E0C71-5A1B-4C8E-9E62-3B0F6E7A1D01}
DEFINE_GUID(CLSID_TestSource, 0x8c0e0c71, 0x5a1b, 0x4c8e, 0x9e, 0x62, 0x3b, 0x0f, 0x6e, 0x7a, 0x1d, 0x01);
// {8C0E0C71-5A1B-4C8E-9E62-3B0F6E7A1D02}
DEFINE_GUID(CLSID_TestSink, 0x8c0e0c71, 0x5a1b, 0x4c8e, 0x9e, 0x62, 0x3b, 0x0f, 0x6e, 0x7a, 0x1d, 0x02);

// A VIDEOINFOHEADER video type of the given subtype and width.
CMediaType MakeVideoType(const GUID &subtype, LONG width, LONG height);

class CTestSourceFilter;

class CTestSourcePin : public CBaseOutputPin {
public:
    CTestSourcePin(CTestSourceFilter *pFilter, CCritSec *pLock, HRESULT *phr);

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    HRESULT GetMediaType(int iPosition, CMediaType *pmt) override;
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProps) override;
    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q) override;

    IMemAllocator *Allocator() { return m_pAllocator; }
    IMemInputPin *PeerInput() { return m_pInputPin; }

    ALLOCATOR_PROPERTIES m_request{}; // what the peer asked for
    ALLOCATOR_PROPERTIES m_granted{}; // what the allocator gave
    LONG m_minBuffers = 3;
    std::mutex m_qualityLock;
    std::vector<Quality> m_quality;
};

class CTestSourceFilter : public CBaseFilter {
    CCritSec m_Lock;
    CTestSourcePin *m_pPin;

public:
    explicit CTestSourceFilter(HRESULT *phr);
    ~CTestSourceFilter() override;

    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override { return n == 0 ? m_pPin : NULL; }
    CTestSourcePin *Pin() { return m_pPin; }
    CCritSec *Lock() { return &m_Lock; }

    // One sample numbered index: its first byte is index, its time
    // [index * 1000, (index + 1) * 1000), its stream identifier streamId.
    HRESULT DeliverOne(int index, DWORD streamId = AM_STREAM_MEDIA);
};

struct ReceivedSample {
    REFERENCE_TIME start;
    REFERENCE_TIME stop;
    BYTE firstByte;
    LONG length;
    DWORD streamId;
    DWORD flags;
};

class CTestSinkPin : public CBaseInputPin {
public:
    CTestSinkPin(CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName);
    ~CTestSinkPin() override;

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    STDMETHODIMP Receive(IMediaSample *pSample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps) override;
    STDMETHODIMP GetAllocator(IMemAllocator **ppAllocator) override;

    IMemAllocator *Allocator() { return m_pAllocator; }
    BOOL RunTimeError() const { return m_bRunTimeError; }

    // Settings
    GUID m_accepted = MEDIASUBTYPE_RGB32;
    bool m_refuseAllocator = false;
    bool m_holdSamples = false;     // keep every received sample until released
    bool m_blockUntilFlush = false; // wait in Receive until BeginFlush

    // Records
    std::vector<ReceivedSample> Received();
    int EndOfStreams();
    void ReleaseHeld();
    CAMEvent m_entered{TRUE}; // set when a blocking Receive has started waiting

private:
    std::mutex m_recordLock;
    std::vector<ReceivedSample> m_received;
    std::vector<IMediaSample *> m_held;
    int m_eos = 0;
    CAMEvent m_flushing{TRUE};
};

class CTestSinkFilter : public CBaseFilter {
    CCritSec m_Lock;
    std::vector<CTestSinkPin *> m_pins;

public:
    explicit CTestSinkFilter(HRESULT *phr, int pins = 1);
    ~CTestSinkFilter() override;

    int GetPinCount() override;
    CBasePin *GetPin(int n) override;
    CTestSinkPin *Pin(int n = 0) { return m_pins[n]; }
    CCritSec *Lock() { return &m_Lock; }

    // Adds or removes a pin and moves the pin version, as a filter does
    // whose pins follow its input.
    void AddPin(LPCWSTR name);
    void RemoveLastPin();
};

// A filter graph that only collects the events its filters send.
class CTestGraph : public IFilterGraph, public IMediaEventSink {
public:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
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
    STDMETHODIMP Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override;
};

// A reference clock whose time the test sets.
class CTestClock : public IReferenceClock {
public:
    std::atomic<REFERENCE_TIME> m_now{0};
    LONG m_cRef = 1;
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&m_cRef); }
    STDMETHODIMP GetTime(REFERENCE_TIME *pTime) override
    {
        *pTime = m_now;
        return S_OK;
    }
    STDMETHODIMP AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR *) override { return E_NOTIMPL; }
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR *) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
};
