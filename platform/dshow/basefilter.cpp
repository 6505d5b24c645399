// CBaseFilter: state changes, clock, pins and graph membership.
#include "basefilter.h"

#include <cwchar>
#include <new>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "basepin.h"
#include "dllsetup.h"
#include "enumpins.h"

CBaseFilter::CBaseFilter(CObjectName pName, LPUNKNOWN pUnk, CCritSec *pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk), m_State(State_Stopped), m_pClock(NULL), m_clsid(clsid), m_pLock(pLock), m_pName(NULL),
      m_pGraph(NULL), m_pSink(NULL), m_PinVersion(1)
{
}

CBaseFilter::CBaseFilter(CObjectName pName, LPUNKNOWN pUnk, CCritSec *pLock, REFCLSID clsid, HRESULT *phr)
    : CBaseFilter(pName, pUnk, pLock, clsid)
{
    UNREFERENCED_PARAMETER(phr);
}

CBaseFilter::~CBaseFilter()
{
    delete[] m_pName;
    if (m_pClock) m_pClock->Release();
}

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IBaseFilter) return GetInterface(static_cast<IBaseFilter *>(this), ppv);
    if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter *>(this), ppv);
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist *>(this), ppv);
    if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup *>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID *pClsID)
{
    CheckPointer(pClsID, E_POINTER);
    *pClsID = m_clsid;
    return NOERROR;
}

STDMETHODIMP CBaseFilter::GetState(DWORD dwMSecs, FILTER_STATE *State)
{
    UNREFERENCED_PARAMETER(dwMSecs);
    CheckPointer(State, E_POINTER);
    *State = m_State;
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock *pClock)
{
    CAutoLock cObjectLock(m_pLock);
    if (pClock) pClock->AddRef();
    IReferenceClock *pOld = __atomic_exchange_n(&m_pClock, pClock, __ATOMIC_SEQ_CST);
    if (pOld) pOld->Release();
    return NOERROR;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock **pClock)
{
    CheckPointer(pClock, E_POINTER);
    CAutoLock cObjectLock(m_pLock);
    if (m_pClock) m_pClock->AddRef();
    *pClock = m_pClock;
    return NOERROR;
}

STDMETHODIMP CBaseFilter::Stop()
{
    CAutoLock cObjectLock(m_pLock);
    HRESULT hr = NOERROR;
    if (m_State != State_Stopped) {
        int cPins = GetPinCount();
        for (int c = 0; c < cPins; c++) {
            CBasePin *pPin = GetPin(c);
            if (pPin == NULL) break;
            if (pPin->IsConnected()) {
                HRESULT hrTmp = pPin->Inactive();
                if (FAILED(hrTmp) && SUCCEEDED(hr)) hr = hrTmp;
            }
        }
    }
    m_State = State_Stopped;
    return hr;
}

STDMETHODIMP CBaseFilter::Pause()
{
    CAutoLock cObjectLock(m_pLock);
    if (m_State == State_Stopped) {
        int cPins = GetPinCount();
        for (int c = 0; c < cPins; c++) {
            CBasePin *pPin = GetPin(c);
            if (pPin == NULL) break;
            if (pPin->IsConnected()) {
                HRESULT hr = pPin->Active();
                if (FAILED(hr)) return hr;
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart)
{
    CAutoLock cObjectLock(m_pLock);
    // Stream time is read on streaming threads without the filter lock.
    __atomic_store_n(&m_tStart.m_time, tStart, __ATOMIC_SEQ_CST);
    if (m_State == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    int cPins = GetPinCount();
    for (int c = 0; c < cPins; c++) {
        CBasePin *pPin = GetPin(c);
        if (pPin == NULL) break;
        if (pPin->IsConnected()) {
            HRESULT hr = pPin->Run(tStart);
            if (FAILED(hr)) return hr;
        }
    }
    m_State = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::StreamTime(CRefTime &rtStream)
{
    // No filter lock here: a renderer or a delivery thread asks while the
    // application's thread may hold it.
    IReferenceClock *pClock = __atomic_load_n(&m_pClock, __ATOMIC_SEQ_CST);
    if (pClock == NULL) return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    HRESULT hr = pClock->GetTime(&now);
    if (FAILED(hr)) return hr;
    rtStream = now - __atomic_load_n(&m_tStart.m_time, __ATOMIC_SEQ_CST);
    return S_OK;
}

BOOL CBaseFilter::IsActive()
{
    CAutoLock cObjectLock(m_pLock);
    return m_State == State_Paused || m_State == State_Running;
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins **ppEnum)
{
    CheckPointer(ppEnum, E_POINTER);
    *ppEnum = new (std::nothrow) CEnumPins(this, NULL);
    return *ppEnum == NULL ? E_OUTOFMEMORY : NOERROR;
}

STDMETHODIMP CBaseFilter::FindPin(LPCWSTR Id, IPin **ppPin)
{
    CheckPointer(ppPin, E_POINTER);
    *ppPin = NULL;
    CheckPointer(Id, E_POINTER);
    CAutoLock lck(m_pLock);
    int iCount = GetPinCount();
    for (int i = 0; i < iCount; i++) {
        CBasePin *pPin = GetPin(i);
        if (pPin == NULL) break;
        if (pPin->Name() != NULL && std::wcscmp(pPin->Name(), Id) == 0) {
            *ppPin = pPin;
            pPin->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO *pInfo)
{
    CheckPointer(pInfo, E_POINTER);
    if (m_pName) {
        lstrcpynW(pInfo->achName, m_pName, NUMELMS(pInfo->achName));
    } else {
        pInfo->achName[0] = L'\0';
    }
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return NOERROR;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph *pGraph, LPCWSTR pName)
{
    CAutoLock cObjectLock(m_pLock);
    // The graph holds the filter; counting the graph here would make a cycle.
    m_pGraph = pGraph;
    m_pSink = NULL;
    if (m_pGraph) {
        IMediaEventSink *pSink = NULL;
        if (SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaEventSink, (void **)&pSink)) && pSink) {
            m_pSink = pSink;
            pSink->Release();
        }
    }
    delete[] m_pName;
    m_pName = NULL;
    if (pName) {
        size_t namelen = std::wcslen(pName);
        m_pName = new (std::nothrow) WCHAR[namelen + 1];
        if (m_pName == NULL) return E_OUTOFMEMORY;
        std::wmemcpy(m_pName, pName, namelen + 1);
    }
    return NOERROR;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR *pVendorInfo)
{
    UNREFERENCED_PARAMETER(pVendorInfo);
    return E_NOTIMPL;
}

HRESULT CBaseFilter::NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2)
{
    IMediaEventSink *pSink = m_pSink;
    if (pSink == NULL) return E_NOTIMPL;
    if (EventCode == EC_COMPLETE) EventParam2 = (LONG_PTR)(IBaseFilter *)this;
    return pSink->Notify(EventCode, EventParam1, EventParam2);
}

HRESULT CBaseFilter::ReconnectPin(IPin *pPin, AM_MEDIA_TYPE const *pmt)
{
    if (m_pGraph == NULL) return E_NOINTERFACE;
    IFilterGraph2 *pGraph2 = NULL;
    if (SUCCEEDED(m_pGraph->QueryInterface(IID_IFilterGraph2, (void **)&pGraph2))) {
        HRESULT hr = pGraph2->ReconnectEx(pPin, pmt);
        pGraph2->Release();
        return hr;
    }
    return m_pGraph->Reconnect(pPin);
}

LONG CBaseFilter::GetPinVersion()
{
    return __atomic_load_n(&m_PinVersion, __ATOMIC_SEQ_CST);
}

void CBaseFilter::IncrementPinVersion()
{
    InterlockedIncrement(&m_PinVersion);
}

STDMETHODIMP CBaseFilter::Register()
{
    const AMOVIESETUP_FILTER *psetupdata = GetSetupData();
    if (psetupdata == NULL) return S_FALSE;
    HRESULT hrInit = CoInitialize(NULL);
    IFilterMapper *pIFM = NULL;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper, (void **)&pIFM);
    if (SUCCEEDED(hr)) {
        hr = AMovieSetupRegisterFilter(psetupdata, pIFM, TRUE);
        pIFM->Release();
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(hrInit)) CoUninitialize();
    return hr;
}

STDMETHODIMP CBaseFilter::Unregister()
{
    const AMOVIESETUP_FILTER *psetupdata = GetSetupData();
    if (psetupdata == NULL) return S_FALSE;
    HRESULT hrInit = CoInitialize(NULL);
    IFilterMapper *pIFM = NULL;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper, (void **)&pIFM);
    if (SUCCEEDED(hr)) {
        hr = AMovieSetupRegisterFilter(psetupdata, pIFM, FALSE);
        pIFM->Release();
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(hrInit)) CoUninitialize();
    return hr;
}
