// CPosPassThru: IMediaSeeking for a pin that does not seek itself; every
// call goes to the IMediaSeeking of the pin connected to the given pin (the
// upstream output pin), E_NOTIMPL while that pin is unconnected or cannot seek.
#pragma once

#include "combase.h"

class CPosPassThru : public CUnknown, public IMediaSeeking {
    IPin *m_pPin; // not counted: the pin owns this object

    HRESULT GetPeerSeeking(IMediaSeeking **ppMS);

public:
    CPosPassThru(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr, IPin *pPin);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv);

    STDMETHODIMP GetCapabilities(DWORD *pCapabilities);
    STDMETHODIMP CheckCapabilities(DWORD *pCapabilities);
    STDMETHODIMP IsFormatSupported(const GUID *pFormat);
    STDMETHODIMP QueryPreferredFormat(GUID *pFormat);
    STDMETHODIMP GetTimeFormat(GUID *pFormat);
    STDMETHODIMP IsUsingTimeFormat(const GUID *pFormat);
    STDMETHODIMP SetTimeFormat(const GUID *pFormat);
    STDMETHODIMP GetDuration(LONGLONG *pDuration);
    STDMETHODIMP GetStopPosition(LONGLONG *pStop);
    STDMETHODIMP GetCurrentPosition(LONGLONG *pCurrent);
    STDMETHODIMP ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat, LONGLONG Source,
                                   const GUID *pSourceFormat);
    STDMETHODIMP SetPositions(LONGLONG *pCurrent, DWORD CurrentFlags, LONGLONG *pStop, DWORD StopFlags);
    STDMETHODIMP GetPositions(LONGLONG *pCurrent, LONGLONG *pStop);
    STDMETHODIMP GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest);
    STDMETHODIMP SetRate(double dRate);
    STDMETHODIMP GetRate(double *pdRate);
    STDMETHODIMP GetPreroll(LONGLONG *pllPreroll);
};

// A CPosPassThru for pPin aggregated by pAgg; *ppPassThru is its inner
// unknown, one reference. bRenderer is accepted for the SDK's signature.
STDAPI CreatePosPassThru(LPUNKNOWN pAgg, BOOL bRenderer, IPin *pPin, IUnknown **ppPassThru);
