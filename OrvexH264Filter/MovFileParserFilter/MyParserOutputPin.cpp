#include "MovFileParserFilter/MyParserOutputPin.h"

#include "MovFileParserFilter/MyParserInputPin.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "common/MyTrace.h"

#include <limits>

#include <wrl/client.h>

namespace {
std::atomic<CMyParserOutputPin::DeliveryHook> g_deliveryHook{nullptr};
std::atomic<void *> g_deliveryHookContext{nullptr};
} // namespace

void CMyParserOutputPin::SetDeliveryHook(DeliveryHook hook, void *context)
{
    if (hook) g_deliveryHookContext.store(context);
    g_deliveryHook.store(hook);
    if (!hook) g_deliveryHookContext.store(nullptr);
}

void CMyParserOutputPin::AtDeliveryPoint(EDeliveryPoint point)
{
    if (DeliveryHook hook = g_deliveryHook.load(std::memory_order_acquire))
        hook(this, point, g_deliveryHookContext.load(std::memory_order_acquire));
}

LONGLONG SaturatingSubtract(LONGLONG a, LONGLONG b)
{
    LONGLONG result = 0;
    if (!__builtin_sub_overflow(a, b, &result)) return result;
    return b < 0 ? std::numeric_limits<LONGLONG>::max() : std::numeric_limits<LONGLONG>::min();
}

CMyParserOutputPin::CMyParserOutputPin(CObjectName pObjectName, COrvexMovFileParserFilter *pFilter, HRESULT *phr,
                                       LPCWSTR pName, std::unique_ptr<CQuickTimeMediaStreamInfo> streamInfo)
    : CBaseOutputPin(pObjectName, pFilter, pFilter->FilterLock(), phr, pName), m_pParserFilter(pFilter),
      m_pStreamInfo(std::move(streamInfo)), m_tDeliveryStart(0), m_tDeliveryStop(0), m_rtLate(0),
      m_TimeFormat(TIME_FORMAT_MEDIA_TIME), m_cPinRef(0)
{
    m_tStart = 0;
    m_tStop = m_pStreamInfo ? m_pStreamInfo->GetDuration() : 0;
    m_dRate = 1.0;
}

CMyParserOutputPin::~CMyParserOutputPin()
{
    EndDelivery();
    if (m_Connected) BreakConnect();
}

void CMyParserOutputPin::EndDelivery()
{
    // Pins are stopped before they go; should one still run, its thread is
    // stopped rather than left on a pin being destroyed.
    if (IsRunning()) Inactive();
    StopThread();
}

STDMETHODIMP CMyParserOutputPin::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking *>(this), ppv);
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

namespace {
// The pin's count is one word: the filter's own reference in the lowest bit,
// everyone else's references above it.
constexpr LONG kFilterReference = 1;
constexpr LONG kOutsideReference = 2;

ULONG countOf(LONG state)
{
    return ULONG(state / kOutsideReference + (state & kFilterReference));
}
} // namespace

// No change of the count takes the filter lock. Downstream pins release this
// pin while they hold their own locks (a downstream Disconnect drops its
// reference under its pin lock; a quality message finds the pin by
// QueryInterface on a streaming thread), and the host's thread may hold the
// filter lock while it calls them or waits for them (a connection, a seek, a
// stop). While anyone but the filter holds the pin, the pin holds one
// reference on the filter, taken with the first outside reference and dropped
// with the last; exactly one change brings the word to 0 and ends the pin.
STDMETHODIMP_(ULONG) CMyParserOutputPin::NonDelegatingAddRef()
{
    const LONG state = m_cPinRef.fetch_add(kOutsideReference, std::memory_order_acq_rel) + kOutsideReference;
    // The first outside reference comes from the filter handing the pin out
    // to a caller that holds the filter: the filter is alive here.
    if (state / kOutsideReference == 1) m_pParserFilter->AddRef();
    return countOf(state);
}

STDMETHODIMP_(ULONG) CMyParserOutputPin::NonDelegatingRelease()
{
    COrvexMovFileParserFilter *filter = m_pParserFilter;
    LONG state = m_cPinRef.load(std::memory_order_relaxed);
    do {
        if (state < kOutsideReference) return countOf(state); // released once too often
    } while (!m_cPinRef.compare_exchange_weak(state, state - kOutsideReference, std::memory_order_acq_rel));
    state -= kOutsideReference;
    if (state >= kOutsideReference) return countOf(state);
    if (state == 0) filter->outputPinReleased(this); // deletes this pin
    // Last: this may end the filter, and with it this pin.
    filter->Release();
    return countOf(state);
}

void CMyParserOutputPin::AddFilterReference()
{
    m_cPinRef.fetch_or(kFilterReference, std::memory_order_acq_rel);
}

void CMyParserOutputPin::ReleaseFilterReference()
{
    if (m_cPinRef.fetch_and(~kFilterReference, std::memory_order_acq_rel) == kFilterReference)
        m_pParserFilter->outputPinReleased(this); // deletes this pin
}

HRESULT CMyParserOutputPin::GetMediaType(int iPosition, CMediaType *pMediaType)
{
    if (!pMediaType || iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
    if (!m_pStreamInfo) return E_UNEXPECTED;
    return pMediaType->Set(m_pStreamInfo->GetMediaType());
}

STDMETHODIMP CMyParserOutputPin::Notify(IBaseFilter *pSender, Quality q)
{
    UNREFERENCED_PARAMETER(pSender);
    m_rtLate.store(q.Late, std::memory_order_relaxed);
    return S_OK;
}

HRESULT CMyParserOutputPin::Active()
{
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    // A thread of an earlier run has ended by now; its handle goes first.
    StopThread();
    if (!Create()) return E_FAIL;
    return hr;
}

HRESULT CMyParserOutputPin::Inactive()
{
    // Decommitting first wakes a thread blocked in GetBuffer.
    HRESULT hr = CBaseOutputPin::Inactive();
    StopThread();
    return hr;
}

void CMyParserOutputPin::StopThread()
{
    if (IsRunning()) CallWorker(THREAD_CMD_EXIT);
    HANDLE h = InterlockedExchangePointer(&m_hThread, nullptr);
    if (h) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
}

HRESULT CMyParserOutputPin::startNewSegment()
{
    m_rtLate.store(0, std::memory_order_relaxed);
    {
        CAutoLock segment(&m_SegmentLock);
        m_tDeliveryStart = m_tStart;
        m_tDeliveryStop = m_tStop;
    }
    m_pStreamInfo->SeekToTime(m_tDeliveryStart);
    return DeliverNewSegment(m_tDeliveryStart, m_tDeliveryStop, m_dRate);
}

void CMyParserOutputPin::SetSegment(bool setStart, LONGLONG start, bool setStop, LONGLONG stop, bool waitForSample)
{
    if (waitForSample) {
        CAutoLock delivery(&m_DeliveryLock);
        SetSegment(setStart, start, setStop, stop, false);
        return;
    }
    CAutoLock segment(&m_SegmentLock);
    if (setStart) m_tStart = start;
    if (setStop) m_tStop = stop;
}

void CMyParserOutputPin::RestartDelivery(bool waitForAnswer)
{
    if (waitForAnswer)
        CallWorker(THREAD_CMD_RUN);
    else
        PostRequest(THREAD_CMD_RUN);
}

void CMyParserOutputPin::ChooseEntry(MediaSampleRef *entry, DWORD *index, bool *discontinuity)
{
    UNREFERENCED_PARAMETER(entry);
    UNREFERENCED_PARAMETER(index);
    UNREFERENCED_PARAMETER(discontinuity);
}

bool CMyParserOutputPin::TracesReceiveFailure(HRESULT hr) const
{
    UNREFERENCED_PARAMETER(hr);
    return true;
}

DWORD CMyParserOutputPin::DeliveryLoop(const char *className)
{
    {
        CAutoLock lock(&m_DeliveryLock);
        LONGLONG start = 0;
        {
            CAutoLock segment(&m_SegmentLock);
            start = m_tStart;
        }
        m_pStreamInfo->SetCurrentIndex(0);
        if (start != 0) {
            DWORD index = 0;
            LONGLONG syncStart = 0;
            if (m_pStreamInfo->FindSyncSampleRef(m_pStreamInfo->GetCurrentIndex(), start, &index, &syncStart))
                m_pStreamInfo->SetCurrentIndex(index);
        }
    }
    HRESULT hr = S_OK;
    bool newSegment = true;
    DWORD timeout = 0;
    for (;;) {
        DWORD command = 0;
        if (CheckRequest(timeout, &command)) {
            // Every command is answered, an unknown one too: left unanswered it
            // would stay visible and keep the loop spinning.
            Reply(0);
            switch (command) {
            case THREAD_CMD_EXIT:
                return DWORD(hr);
            case THREAD_CMD_PAUSE:
                timeout = INFINITE;
                break;
            case THREAD_CMD_RUN:
                newSegment = true;
                timeout = 0;
                break;
            default:
                break;
            }
            continue;
        }
        timeout = DeliverNext(className, &newSegment, &hr) == Pace::kWork ? 0 : INFINITE;
        if (timeout == INFINITE) AtDeliveryPoint(EDeliveryPoint::kWaiting);
    }
}

CMyParserOutputPin::Pace CMyParserOutputPin::DeliverNext(const char *className, bool *newSegment, HRESULT *hr)
{
    AtDeliveryPoint(EDeliveryPoint::kBeforeDeliveryLock);
    CAutoLock lock(&m_DeliveryLock);
    // A seek that came after the loop looked for commands may have flushed
    // downstream and set a new segment while this thread waited for the lock:
    // nothing of the old position may follow its flush. The loop answers the
    // command first.
    if (CheckRequest(0)) return Pace::kWork;
    if (*newSegment) {
        *hr = startNewSegment();
        if (FAILED(*hr) && WaitsAfterFailedSegmentStart()) return Pace::kWait; // tried again on the next run
        *newSegment = false;
    }

    MediaSampleRef entry;
    DWORD index = 0;
    if (!m_pStreamInfo->GetNextMediaSampleRef(&entry, &index)) {
        DeliverEndOfStream();
        return Pace::kWait;
    }
    bool discontinuity = false;
    ChooseEntry(&entry, &index, &discontinuity);
    if (entry.start >= m_tDeliveryStop) {
        DeliverEndOfStream();
        return Pace::kWait;
    }

    // From here a failure costs this entry only: the index has moved past it.
    Microsoft::WRL::ComPtr<IMediaSample> sample; // released on every way out
    *hr = GetDeliveryBuffer(&sample, NULL, NULL, 0);
    if (*hr == VFW_E_NOT_COMMITTED) {
        // Downstream has stopped (the graph stops downstream first) or is
        // flushing for a seek: either way a command follows. The entry goes
        // back, so the position stays where delivery ended.
        m_pStreamInfo->SetCurrentIndex(index);
        return Pace::kWait;
    }
    if (FAILED(*hr)) {
        MyTrace("%s::ThreadProc : GetBuffer return 0x%08X \n", className, unsigned(*hr));
        return Pace::kWork;
    }
    const LONG size = sample->GetSize();
    BYTE *buffer = nullptr;
    *hr = sample->GetPointer(&buffer);
    if (FAILED(*hr) || size < 0 || entry.size > DWORD(size)) {
        MyTrace("%s::ThreadProc : GetPointer return 0x%08X, GetSize return %ldbytes \n", className, unsigned(*hr),
                long(size));
        return Pace::kWork;
    }
    CMyParserInputPin *input = m_pParserFilter->InputPin();
    *hr = input ? input->readAt(LONGLONG(entry.offset), LONG(entry.size), buffer) : VFW_E_NOT_CONNECTED;
    if (FAILED(*hr)) {
        MyTrace("%s::ThreadProc : SyncRead return 0x%08X \n", className, unsigned(*hr));
        return Pace::kWork;
    }
    HRESULT hrLength = S_OK, hrTime = S_OK;
    StampSample(sample.Get(), entry, index, discontinuity, &hrLength, &hrTime);
    *hr = FAILED(hrLength) ? hrLength : hrTime;
    if (FAILED(hrLength) || FAILED(hrTime)) {
        MyTrace("%s::ThreadProc : SetActualDataLength return 0x%08X, SetTime return 0x%08X \n", className,
                unsigned(hrLength), unsigned(hrTime));
        return Pace::kWork;
    }
    AtDeliveryPoint(EDeliveryPoint::kBeforeReceive);
    *hr = Deliver(sample.Get());
    if (FAILED(*hr)) {
        if (TracesReceiveFailure(*hr))
            MyTrace("%s::ThreadProc : m_pInputPin->Receive return 0x%08X \n", className, unsigned(*hr));
        DeliverEndOfStream();
        return Pace::kWait;
    }
    return Pace::kWork;
}
