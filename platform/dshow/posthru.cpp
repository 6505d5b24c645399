// CPosPassThru: every IMediaSeeking call passed to the upstream peer.
#include "posthru.h"

#include <new>

CPosPassThru::CPosPassThru(CObjectName pName, LPUNKNOWN pUnk, HRESULT *phr, IPin *pPin)
    : CUnknown(pName, pUnk), m_pPin(pPin)
{
    if (pPin == NULL && phr) *phr = E_POINTER;
}

STDMETHODIMP CPosPassThru::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CPosPassThru::GetPeerSeeking(IMediaSeeking **ppMS)
{
    *ppMS = NULL;
    IPin *pConnected = NULL;
    if (m_pPin == NULL || FAILED(m_pPin->ConnectedTo(&pConnected))) return E_NOTIMPL;
    IMediaSeeking *pMS = NULL;
    HRESULT hr = pConnected->QueryInterface(IID_IMediaSeeking, (void **)&pMS);
    pConnected->Release();
    if (FAILED(hr)) return E_NOTIMPL;
    *ppMS = pMS;
    return S_OK;
}

// Each method: find the peer, call it, release it.
#define PASS_TO_PEER(call)                                                                                             \
    IMediaSeeking *pMS = NULL;                                                                                         \
    HRESULT hr = GetPeerSeeking(&pMS);                                                                                 \
    if (FAILED(hr)) return hr;                                                                                         \
    hr = pMS->call;                                                                                                    \
    pMS->Release();                                                                                                    \
    return hr

STDMETHODIMP CPosPassThru::GetCapabilities(DWORD *pCapabilities)
{
    PASS_TO_PEER(GetCapabilities(pCapabilities));
}

STDMETHODIMP CPosPassThru::CheckCapabilities(DWORD *pCapabilities)
{
    PASS_TO_PEER(CheckCapabilities(pCapabilities));
}

STDMETHODIMP CPosPassThru::IsFormatSupported(const GUID *pFormat)
{
    PASS_TO_PEER(IsFormatSupported(pFormat));
}

STDMETHODIMP CPosPassThru::QueryPreferredFormat(GUID *pFormat)
{
    PASS_TO_PEER(QueryPreferredFormat(pFormat));
}

STDMETHODIMP CPosPassThru::GetTimeFormat(GUID *pFormat)
{
    PASS_TO_PEER(GetTimeFormat(pFormat));
}

STDMETHODIMP CPosPassThru::IsUsingTimeFormat(const GUID *pFormat)
{
    PASS_TO_PEER(IsUsingTimeFormat(pFormat));
}

STDMETHODIMP CPosPassThru::SetTimeFormat(const GUID *pFormat)
{
    PASS_TO_PEER(SetTimeFormat(pFormat));
}

STDMETHODIMP CPosPassThru::GetDuration(LONGLONG *pDuration)
{
    PASS_TO_PEER(GetDuration(pDuration));
}

STDMETHODIMP CPosPassThru::GetStopPosition(LONGLONG *pStop)
{
    PASS_TO_PEER(GetStopPosition(pStop));
}

STDMETHODIMP CPosPassThru::GetCurrentPosition(LONGLONG *pCurrent)
{
    PASS_TO_PEER(GetCurrentPosition(pCurrent));
}

STDMETHODIMP CPosPassThru::ConvertTimeFormat(LONGLONG *pTarget, const GUID *pTargetFormat, LONGLONG Source,
                                             const GUID *pSourceFormat)
{
    PASS_TO_PEER(ConvertTimeFormat(pTarget, pTargetFormat, Source, pSourceFormat));
}

STDMETHODIMP CPosPassThru::SetPositions(LONGLONG *pCurrent, DWORD CurrentFlags, LONGLONG *pStop, DWORD StopFlags)
{
    PASS_TO_PEER(SetPositions(pCurrent, CurrentFlags, pStop, StopFlags));
}

STDMETHODIMP CPosPassThru::GetPositions(LONGLONG *pCurrent, LONGLONG *pStop)
{
    PASS_TO_PEER(GetPositions(pCurrent, pStop));
}

STDMETHODIMP CPosPassThru::GetAvailable(LONGLONG *pEarliest, LONGLONG *pLatest)
{
    PASS_TO_PEER(GetAvailable(pEarliest, pLatest));
}

STDMETHODIMP CPosPassThru::SetRate(double dRate)
{
    PASS_TO_PEER(SetRate(dRate));
}

STDMETHODIMP CPosPassThru::GetRate(double *pdRate)
{
    PASS_TO_PEER(GetRate(pdRate));
}

STDMETHODIMP CPosPassThru::GetPreroll(LONGLONG *pllPreroll)
{
    PASS_TO_PEER(GetPreroll(pllPreroll));
}

STDAPI CreatePosPassThru(LPUNKNOWN pAgg, BOOL bRenderer, IPin *pPin, IUnknown **ppPassThru)
{
    UNREFERENCED_PARAMETER(bRenderer);
    CheckPointer(ppPassThru, E_POINTER);
    *ppPassThru = NULL;
    HRESULT hr = S_OK;
    CPosPassThru *pPassThru = new (std::nothrow) CPosPassThru(NAME("Seeking pass through"), pAgg, &hr, pPin);
    if (pPassThru == NULL) return E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete pPassThru;
        return hr;
    }
    // The inner unknown controls the object's life; the aggregating pin holds it.
    return pPassThru->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void **>(ppPassThru));
}
