// CBasePin: the connection protocol, media type enumeration and segments.
#include "basepin.h"

#include <cwchar>
#include <new>

#include <vfwmsgs.h>

#include "enummediatypes.h"

CBasePin::CBasePin(CObjectName pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName,
                   PIN_DIRECTION dir)
    : CUnknown(pObjectName, NULL), m_pName(NULL), m_Connected(NULL), m_dir(dir), m_pLock(pLock), m_bRunTimeError(false),
      m_bCanReconnectWhenActive(false), m_bTryMyTypesFirst(false), m_pFilter(pFilter), m_pQSink(NULL), m_TypeVersion(1),
      m_tStart(), m_tStop(REFERENCE_TIME(MAX_TIME)), m_dRate(1.0)
{
    if (pName) {
        size_t len = std::wcslen(pName);
        m_pName = new (std::nothrow) WCHAR[len + 1];
        if (m_pName) {
            std::wmemcpy(m_pName, pName, len + 1);
        } else if (phr) {
            *phr = E_OUTOFMEMORY;
        }
    }
}

CBasePin::~CBasePin()
{
    // A pin is normally disconnected before its filter goes; a leftover peer
    // reference is dropped rather than leaked.
    if (m_Connected) {
        m_Connected->Release();
        m_Connected = NULL;
    }
    delete[] m_pName;
}

STDMETHODIMP CBasePin::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IPin) return GetInterface(static_cast<IPin *>(this), ppv);
    if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingAddRef()
{
    return m_pFilter->AddRef();
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingRelease()
{
    return m_pFilter->Release();
}

STDMETHODIMP CBasePin::Connect(IPin *pReceivePin, const AM_MEDIA_TYPE *pmt)
{
    CheckPointer(pReceivePin, E_POINTER);
    CAutoLock cObjectLock(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;

    const CMediaType *ptype = static_cast<const CMediaType *>(pmt);
    HRESULT hr = AgreeMediaType(pReceivePin, ptype);
    if (FAILED(hr)) {
        EXECUTE_ASSERT(SUCCEEDED(BreakConnect()));
        return hr;
    }
    return NOERROR;
}

HRESULT CBasePin::AttemptConnection(IPin *pReceivePin, const CMediaType *pmt)
{
    HRESULT hr = CheckConnect(pReceivePin);
    if (FAILED(hr)) {
        EXECUTE_ASSERT(SUCCEEDED(BreakConnect()));
        return hr;
    }
    hr = CheckMediaType(pmt);
    if (hr == NOERROR) {
        // Look connected, so the peer's ReceiveConnection can call back.
        m_Connected = pReceivePin;
        m_Connected->AddRef();
        hr = SetMediaType(pmt);
        if (SUCCEEDED(hr)) {
            hr = pReceivePin->ReceiveConnection(static_cast<IPin *>(this), pmt);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(pReceivePin);
                if (SUCCEEDED(hr)) return hr;
                pReceivePin->Disconnect();
            }
        }
    } else {
        // A refused type is a refused type, whatever the pin answered.
        if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) hr = VFW_E_TYPE_NOT_ACCEPTED;
    }
    EXECUTE_ASSERT(SUCCEEDED(BreakConnect()));
    if (m_Connected) {
        m_Connected->Release();
        m_Connected = NULL;
    }
    return hr;
}

HRESULT CBasePin::TryMediaTypes(IPin *pReceivePin, const CMediaType *pmt, IEnumMediaTypes *pEnum)
{
    HRESULT hr = pEnum->Reset();
    if (FAILED(hr)) return hr;
    // Remember the most specific failure to report it.
    HRESULT hrFailure = S_OK;
    for (;;) {
        AM_MEDIA_TYPE *pMediaType = NULL;
        ULONG ulMediaCount = 0;
        hr = pEnum->Next(1, &pMediaType, &ulMediaCount);
        if (hr != S_OK || ulMediaCount != 1 || pMediaType == NULL) {
            if (pMediaType) DeleteMediaType(pMediaType);
            return hrFailure == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : hrFailure;
        }
        const CMediaType *pCandidate = static_cast<CMediaType *>(pMediaType);
        if (pmt == NULL || pCandidate->MatchesPartial(pmt)) {
            hr = AttemptConnection(pReceivePin, pCandidate);
            if (FAILED(hr) && SUCCEEDED(hrFailure) && hr != E_FAIL && hr != E_INVALIDARG &&
                hr != VFW_E_TYPE_NOT_ACCEPTED) {
                hrFailure = hr;
            }
        } else {
            hr = VFW_E_NO_ACCEPTABLE_TYPES;
        }
        DeleteMediaType(pMediaType);
        if (hr == S_OK) return hr;
    }
}

HRESULT CBasePin::AgreeMediaType(IPin *pReceivePin, const CMediaType *pmt)
{
    if (pmt != NULL && !pmt->IsPartiallySpecified()) return AttemptConnection(pReceivePin, pmt);

    HRESULT hrFailure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int i = 0; i < 2; i++) {
        IEnumMediaTypes *pEnumMediaTypes = NULL;
        HRESULT hr;
        if (i == (int)m_bTryMyTypesFirst) {
            hr = pReceivePin->EnumMediaTypes(&pEnumMediaTypes);
        } else {
            hr = EnumMediaTypes(&pEnumMediaTypes);
        }
        if (SUCCEEDED(hr) && pEnumMediaTypes) {
            hr = TryMediaTypes(pReceivePin, pmt, pEnumMediaTypes);
            pEnumMediaTypes->Release();
            if (SUCCEEDED(hr)) return NOERROR;
            if (hr != E_FAIL && hr != E_INVALIDARG && hr != VFW_E_TYPE_NOT_ACCEPTED) hrFailure = hr;
        }
    }
    return hrFailure;
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin *pConnector, const AM_MEDIA_TYPE *pmt)
{
    CheckPointer(pConnector, E_POINTER);
    CheckPointer(pmt, E_POINTER);
    CAutoLock cObjectLock(m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;

    HRESULT hr = CheckConnect(pConnector);
    if (FAILED(hr)) {
        EXECUTE_ASSERT(SUCCEEDED(BreakConnect()));
        return hr;
    }
    const CMediaType *pcmt = static_cast<const CMediaType *>(pmt);
    hr = CheckMediaType(pcmt);
    if (hr != NOERROR) {
        EXECUTE_ASSERT(SUCCEEDED(BreakConnect()));
        if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) hr = VFW_E_TYPE_NOT_ACCEPTED;
        return hr;
    }
    m_Connected = pConnector;
    m_Connected->AddRef();
    hr = SetMediaType(pcmt);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(pConnector);
        if (SUCCEEDED(hr)) return NOERROR;
    }
    m_Connected->Release();
    m_Connected = NULL;
    EXECUTE_ASSERT(SUCCEEDED(BreakConnect()));
    return hr;
}

STDMETHODIMP CBasePin::Disconnect()
{
    CAutoLock cObjectLock(m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal()
{
    if (m_Connected) {
        HRESULT hr = BreakConnect();
        if (FAILED(hr)) return hr;
        m_Connected->Release();
        m_Connected = NULL;
        return S_OK;
    }
    return S_FALSE; // not connected: nothing to do, no error
}

STDMETHODIMP CBasePin::ConnectedTo(IPin **pPin)
{
    CheckPointer(pPin, E_POINTER);
    IPin *pConnected = m_Connected;
    *pPin = pConnected;
    if (pConnected != NULL) {
        pConnected->AddRef();
        return S_OK;
    }
    return VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE *pmt)
{
    CheckPointer(pmt, E_POINTER);
    CAutoLock cObjectLock(m_pLock);
    if (IsConnected()) {
        HRESULT hr = CopyMediaType(pmt, &m_mt);
        return FAILED(hr) ? hr : S_OK;
    }
    static_cast<CMediaType *>(pmt)->InitMediaType();
    return VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO *pInfo)
{
    CheckPointer(pInfo, E_POINTER);
    pInfo->pFilter = m_pFilter;
    if (m_pFilter) m_pFilter->AddRef();
    if (m_pName) {
        lstrcpynW(pInfo->achName, m_pName, NUMELMS(pInfo->achName));
    } else {
        pInfo->achName[0] = L'\0';
    }
    pInfo->dir = m_dir;
    return NOERROR;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION *pPinDir)
{
    CheckPointer(pPinDir, E_POINTER);
    *pPinDir = m_dir;
    return NOERROR;
}

STDMETHODIMP CBasePin::QueryId(LPWSTR *Id)
{
    return AMGetWideString(Name(), Id);
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE *pmt)
{
    CheckPointer(pmt, E_POINTER);
    HRESULT hr = CheckMediaType(static_cast<const CMediaType *>(pmt));
    if (FAILED(hr)) return S_FALSE;
    return hr;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes **ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = new (std::nothrow) CEnumMediaTypes(this, NULL);
    return *ppEnum == NULL ? E_OUTOFMEMORY : NOERROR;
}

HRESULT CBasePin::GetMediaType(int iPosition, CMediaType *pMediaType)
{
    UNREFERENCED_PARAMETER(iPosition);
    UNREFERENCED_PARAMETER(pMediaType);
    return E_UNEXPECTED;
}

LONG CBasePin::GetMediaTypeVersion()
{
    return __atomic_load_n(&m_TypeVersion, __ATOMIC_SEQ_CST);
}

void CBasePin::IncrementTypeVersion()
{
    InterlockedIncrement(&m_TypeVersion);
}

HRESULT CBasePin::Active(void)
{
    return NOERROR;
}

HRESULT CBasePin::Run(REFERENCE_TIME tStart)
{
    UNREFERENCED_PARAMETER(tStart);
    return NOERROR;
}

HRESULT CBasePin::Inactive(void)
{
    m_bRunTimeError = false;
    return NOERROR;
}

STDMETHODIMP CBasePin::EndOfStream(void)
{
    return S_OK;
}

STDMETHODIMP CBasePin::SetSink(IQualityControl *piqc)
{
    CAutoLock cObjectLock(m_pLock);
    m_pQSink = piqc;
    return NOERROR;
}

STDMETHODIMP CBasePin::Notify(IBaseFilter *pSender, Quality q)
{
    UNREFERENCED_PARAMETER(q);
    UNREFERENCED_PARAMETER(pSender);
    return E_NOTIMPL;
}

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

HRESULT CBasePin::CheckConnect(IPin *pPin)
{
    PIN_DIRECTION pd;
    HRESULT hr = pPin->QueryDirection(&pd);
    if (FAILED(hr)) return hr;
    if (pd == m_dir) return VFW_E_INVALID_DIRECTION;
    return NOERROR;
}

HRESULT CBasePin::BreakConnect()
{
    return NOERROR;
}

HRESULT CBasePin::CompleteConnect(IPin *pReceivePin)
{
    UNREFERENCED_PARAMETER(pReceivePin);
    return NOERROR;
}

HRESULT CBasePin::SetMediaType(const CMediaType *pmt)
{
    HRESULT hr = m_mt.Set(*pmt);
    if (FAILED(hr)) return hr;
    return NOERROR;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin **apPin, ULONG *nPin)
{
    UNREFERENCED_PARAMETER(apPin);
    UNREFERENCED_PARAMETER(nPin);
    return E_NOTIMPL;
}
