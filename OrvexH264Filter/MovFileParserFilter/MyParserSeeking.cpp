// Seeking: IMediaSeeking on every output pin, in reference time and absolute
// positions only, and the filter-level seek that moves both pins at once.
// Segment values are written under the filter lock and the pin's segment
// lock; position queries take only the segment lock, so that none waits for
// a seek that holds the filter lock while it flushes downstream.
#include "MovFileParserFilter/MyParserOutputPin.h"
#include "MovFileParserFilter/OrvexMovFileParserFilter.h"
#include "common/MyTrace.h"

STDMETHODIMP CMyParserOutputPin::GetCapabilities(DWORD *pCapabilities)
{
    CheckPointer(pCapabilities, E_POINTER);
    *pCapabilities = AM_SEEKING_CanSeekAbsolute;
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::CheckCapabilities(DWORD *pCapabilities)
{
    CheckPointer(pCapabilities, E_POINTER);
    if (*pCapabilities == AM_SEEKING_CanSeekAbsolute) return S_OK;
    if (!(*pCapabilities & AM_SEEKING_CanSeekAbsolute)) return E_FAIL;
    *pCapabilities = AM_SEEKING_CanSeekAbsolute;
    return S_FALSE;
}

STDMETHODIMP CMyParserOutputPin::IsFormatSupported(const GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

STDMETHODIMP CMyParserOutputPin::QueryPreferredFormat(GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::GetTimeFormat(GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    CAutoLock lock(&m_SegmentLock);
    *pFormat = m_TimeFormat;
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::IsUsingTimeFormat(const GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    CAutoLock lock(&m_SegmentLock);
    return *pFormat == m_TimeFormat ? S_OK : S_FALSE;
}

STDMETHODIMP CMyParserOutputPin::SetTimeFormat(const GUID *pFormat)
{
    CheckPointer(pFormat, E_POINTER);
    CAutoLock lock(m_pLock);
    if (!IsStopped()) return VFW_E_WRONG_STATE;
    HRESULT hr = IsFormatSupported(pFormat);
    if (FAILED(hr)) return hr;
    // Stored, S_FALSE or not; positions stay in reference time all the same.
    CAutoLock segment(&m_SegmentLock);
    m_TimeFormat = *pFormat;
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::GetDuration(LONGLONG *pDuration)
{
    CheckPointer(pDuration, E_POINTER);
    CAutoLock lock(&m_SegmentLock);
    *pDuration = SaturatingSubtract(m_tStop, m_tStart);
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::GetStopPosition(LONGLONG *pStop)
{
    CheckPointer(pStop, E_POINTER);
    CAutoLock lock(&m_SegmentLock);
    *pStop = m_tStop;
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::GetCurrentPosition(LONGLONG *pCurrent)
{
    CheckPointer(pCurrent, E_POINTER);
    *pCurrent = m_pStreamInfo->GetCurrentTime();
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::ConvertTimeFormat(LONGLONG *, const GUID *, LONGLONG, const GUID *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CMyParserOutputPin::SetPositions(LONGLONG *pCurrent, DWORD dwCurrentFlags, LONGLONG *pStop,
                                              DWORD dwStopFlags)
{
    const DWORD currentPos = dwCurrentFlags & AM_SEEKING_PositioningBitsMask;
    if (currentPos != AM_SEEKING_NoPositioning && currentPos != AM_SEEKING_AbsolutePositioning) {
        MyTrace("  dwCurrentPos(%u) is NOT supported \n", unsigned(currentPos));
        return E_INVALIDARG;
    }
    if (currentPos == AM_SEEKING_AbsolutePositioning && !pCurrent) return E_POINTER;
    if (dwCurrentFlags & AM_SEEKING_SeekToKeyFrame) return E_INVALIDARG;
    if ((dwCurrentFlags & AM_SEEKING_ReturnTime) && !pCurrent) return E_POINTER;
    if (dwCurrentFlags & AM_SEEKING_Segment) {
        MyTrace("  dwCurrentFlags AM_SEEKING_Segment is NOT supported \n");
        return E_INVALIDARG;
    }

    const DWORD stopPos = dwStopFlags & AM_SEEKING_PositioningBitsMask;
    if (stopPos != AM_SEEKING_NoPositioning && stopPos != AM_SEEKING_AbsolutePositioning) {
        MyTrace("  dwStopPos(%u) is NOT supported \n", unsigned(stopPos));
        return E_INVALIDARG;
    }
    if (stopPos == AM_SEEKING_AbsolutePositioning && !pStop) return E_POINTER;
    if (dwStopFlags & AM_SEEKING_SeekToKeyFrame) return E_INVALIDARG;
    if ((dwStopFlags & AM_SEEKING_ReturnTime) && !pStop) return E_POINTER;
    if (dwStopFlags & AM_SEEKING_Segment) {
        MyTrace("  dwStopFlags AM_SEEKING_Segment is NOT supported \n");
        return E_INVALIDARG;
    }
    if (dwStopFlags & AM_SEEKING_NoFlush) {
        MyTrace("  dwStopFlags AM_SEEKING_NoFlush is NOT supported \n");
        return E_INVALIDARG;
    }

    const bool setStart = currentPos == AM_SEEKING_AbsolutePositioning;
    const bool setStop = stopPos == AM_SEEKING_AbsolutePositioning;
    m_pParserFilter->setStreamPositions(setStart, setStart ? *pCurrent : 0, setStop, setStop ? *pStop : 0,
                                        !(dwCurrentFlags & AM_SEEKING_NoFlush));

    CAutoLock lock(&m_SegmentLock);
    if (dwCurrentFlags & AM_SEEKING_ReturnTime) *pCurrent = m_tStart;
    if (dwStopFlags & AM_SEEKING_ReturnTime) *pStop = m_tStop;
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::GetPositions(LONGLONG *pCurrent, LONGLONG *pStop)
{
    CheckPointer(pCurrent, E_POINTER);
    CheckPointer(pStop, E_POINTER);
    *pCurrent = m_pStreamInfo->GetCurrentTime();
    return GetStopPosition(pStop);
}

STDMETHODIMP CMyParserOutputPin::GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest)
{
    CheckPointer(pEarliest, E_POINTER);
    CheckPointer(pLatest, E_POINTER);
    *pEarliest = 0;
    *pLatest = m_pStreamInfo->GetDuration();
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::SetRate(double)
{
    return E_NOTIMPL;
}

STDMETHODIMP CMyParserOutputPin::GetRate(double *pdRate)
{
    CheckPointer(pdRate, E_POINTER);
    *pdRate = 1.0;
    return S_OK;
}

STDMETHODIMP CMyParserOutputPin::GetPreroll(LONGLONG *)
{
    return E_NOTIMPL;
}

void COrvexMovFileParserFilter::setStreamPositions(bool setStart, LONGLONG start, bool setStop, LONGLONG stop,
                                                   bool flush)
{
    CAutoLock lock(&m_Lock);
    const bool active = m_State != State_Stopped;
    CMyParserOutputPin *const pins[] = {m_pVideoPin, m_pSoundPin};

    for (CMyParserOutputPin *pin : pins)
        if (pin) pin->PauseDelivery();
    // A flush downstream returns a delivery thread blocked in Receive or
    // GetBuffer, so that it lets go of its delivery lock.
    const bool flushing = flush && active;
    if (flushing)
        for (CMyParserOutputPin *pin : pins)
            if (pin && pin->IsConnected()) pin->DeliverBeginFlush();
    // Without a flush nothing waits for the delivery threads: one may be
    // held downstream until the graph runs again, which may be after this
    // seek, so waiting for it would never end.
    for (CMyParserOutputPin *pin : pins)
        if (pin) pin->SetSegment(setStart, start, setStop, stop, flushing);
    if (flushing)
        for (CMyParserOutputPin *pin : pins)
            if (pin && pin->IsConnected()) pin->DeliverEndFlush();
    for (CMyParserOutputPin *pin : pins)
        if (pin) pin->RestartDelivery(flushing);
}
