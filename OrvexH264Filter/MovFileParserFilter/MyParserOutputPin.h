// The base of the parser's output pins. Each serves one stream info (which it
// owns), offers its one media type, counts its own references, and while
// active runs a delivery thread that walks the sample index from the segment
// start, reads each entry's bytes through the input pin and hands them
// downstream as fast as downstream takes them. Seeking (IMediaSeeking) is
// answered here for the whole filter.
#pragma once

#include "MovFileParserFilter/QuickTimeMediaStreamInfo.h"
#include "common/MyThread.h"

#include <streams.h>

#include <atomic>
#include <memory>

class COrvexMovFileParserFilter;

class CMyParserOutputPin : public CBaseOutputPin, public CMyThread, public IMediaSeeking {
public:
    CMyParserOutputPin(CObjectName pObjectName, COrvexMovFileParserFilter *pFilter, HRESULT *phr, LPCWSTR pName,
                       std::unique_ptr<CQuickTimeMediaStreamInfo> streamInfo);
    ~CMyParserOutputPin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;
    // The pin's own count, without a lock. While anyone but the filter holds
    // the pin, the pin holds one reference on the filter, so that the filter
    // (whose lock the pin uses) outlives every pin handed out.
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;
    // The filter's own reference, taken at creation and dropped when the
    // filter lets the pin go.
    void AddFilterReference();
    void ReleaseFilterReference();

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT GetMediaType(int iPosition, CMediaType *pMediaType) override;
    // Keeps the lateness downstream reports for the late-frame skip.
    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q) override;

    // Called by the delivery thread under the delivery lock: lateness
    // cleared, the index at the sync entry at or before the segment start,
    // the segment announced downstream.
    virtual HRESULT startNewSegment();

    // IMediaSeeking
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
    STDMETHODIMP ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat, LONGLONG Source,
                                   const GUID *pSourceFormat) override;
    STDMETHODIMP SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop, DWORD dwStopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG *pCurrent, LONGLONG *pStop) override;
    STDMETHODIMP GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest) override;
    STDMETHODIMP SetRate(double dRate) override;
    STDMETHODIMP GetRate(double *pdRate) override;
    STDMETHODIMP GetPreroll(LONGLONG *pllPreroll) override;

    // The filter-level seek's steps on this pin.
    void PauseDelivery() { PostRequest(THREAD_CMD_PAUSE); }
    // Waits for the thread's answer only after a flush: without one the
    // thread may be held downstream (a paused renderer) for as long as
    // downstream likes, and sees the command when it comes back.
    void RestartDelivery(bool waitForAnswer);
    // Sets the segment the thread starts on its next run. After a flush
    // downstream, first waits for the sample in progress, which the flush has
    // sent back, so that none of the old segment follows the flush.
    void SetSegment(bool setStart, LONGLONG start, bool setStop, LONGLONG stop, bool waitForSample);

    const CQuickTimeMediaStreamInfo *GetStreamInfo() const { return m_pStreamInfo.get(); }

    // Points of the delivery loop where a test can hold a thread to force an
    // interleaving with a seek or a stop. Nothing sets a hook outside tests.
    enum class EDeliveryPoint {
        kBeforeDeliveryLock, // between the command check and the delivery lock
        kBeforeReceive,      // a stamped sample, about to go downstream
        kWaiting,            // about to wait for a command
    };
    typedef void (*DeliveryHook)(CMyParserOutputPin *pin, EDeliveryPoint point, void *context);
    static void SetDeliveryHook(DeliveryHook hook, void *context);

protected:
    // Stops a thread still running. The destructor of every concrete pin
    // calls it first: the thread calls the pin's overrides.
    void EndDelivery();
    // The delivery thread's loop; className starts its trace messages.
    DWORD DeliveryLoop(const char *className);

    // Hooks of the loop for the video and sound pins.
    // True when a failed segment start makes the thread wait for a command.
    virtual bool WaitsAfterFailedSegmentStart() const { return false; }
    // May replace the entry fetched (the late-frame skip).
    virtual void ChooseEntry(MediaSampleRef *entry, DWORD *index, bool *discontinuity);
    // Times, media times and flags of a sample about to go downstream;
    // the results of setting the length and the time.
    virtual void StampSample(IMediaSample *sample, const MediaSampleRef &entry, DWORD index, bool discontinuity,
                             HRESULT *hrLength, HRESULT *hrTime) = 0;
    // False for a Receive failure that goes untraced.
    virtual bool TracesReceiveFailure(HRESULT hr) const;

    COrvexMovFileParserFilter *const m_pParserFilter;
    std::unique_ptr<CQuickTimeMediaStreamInfo> m_pStreamInfo;
    CCritSec m_DeliveryLock;
    // A leaf lock over the segment a seek asks for (m_tStart, m_tStop) and
    // m_TimeFormat. Position queries take only this lock, so none of them
    // waits for a seek that holds the filter lock while it flushes
    // downstream (a renderer asks for positions at the end of its stream,
    // on the thread the flush waits for).
    CCritSec m_SegmentLock;
    // The segment the delivery thread serves, copied from m_tStart and
    // m_tStop when it starts a segment; only that thread uses it, so the
    // samples of a segment keep its times while a seek sets the next one.
    LONGLONG m_tDeliveryStart;
    LONGLONG m_tDeliveryStop;
    // Written by Notify on downstream threads, read by the delivery thread.
    std::atomic<LONGLONG> m_rtLate;
    GUID m_TimeFormat;

private:
    enum class Pace { kWork, kWait };
    void AtDeliveryPoint(EDeliveryPoint point);
    // One round of the loop under the delivery lock.
    Pace DeliverNext(const char *className, bool *newSegment, HRESULT *hr);
    void StopThread();

    // The filter's reference (lowest bit) and everyone else's (above it).
    std::atomic<LONG> m_cPinRef;
};

// a - b, held at the ends of the range instead of wrapping.
LONGLONG SaturatingSubtract(LONGLONG a, LONGLONG b);
