// CBaseInputPin: allocators, the checks of Receive, flushing and quality.
#include "inputpin.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include "memallocator.h"

CBaseInputPin::CBaseInputPin(CObjectName pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr,
                             LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, phr, pName, PINDIR_INPUT), m_pAllocator(NULL), m_bReadOnly(FALSE),
      m_bFlushing(FALSE), m_pSampleType(NULL)
{
    ZeroMemory(&m_SampleProps, sizeof(m_SampleProps));
}

CBaseInputPin::~CBaseInputPin()
{
    if (m_pAllocator != NULL) {
        m_pAllocator->Release();
        m_pAllocator = NULL;
    }
    DeleteMediaType(m_pSampleType);
}

STDMETHODIMP CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin *>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseInputPin::GetAllocator(IMemAllocator **ppAllocator)
{
    CheckPointer(ppAllocator, E_POINTER);
    CAutoLock cObjectLock(m_pLock);
    if (m_pAllocator == NULL) {
        HRESULT hr = CreateMemoryAllocator(&m_pAllocator);
        if (FAILED(hr)) return hr;
    }
    *ppAllocator = m_pAllocator;
    m_pAllocator->AddRef();
    return NOERROR;
}

STDMETHODIMP CBaseInputPin::NotifyAllocator(IMemAllocator *pAllocator, BOOL bReadOnly)
{
    CheckPointer(pAllocator, E_POINTER);
    CAutoLock cObjectLock(m_pLock);
    IMemAllocator *pOldAllocator = m_pAllocator;
    pAllocator->AddRef();
    m_pAllocator = pAllocator;
    if (pOldAllocator != NULL) pOldAllocator->Release();
    // Read-only samples may not be changed in place downstream.
    m_bReadOnly = (BYTE)bReadOnly;
    return NOERROR;
}

HRESULT CBaseInputPin::BreakConnect()
{
    if (m_pAllocator) {
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr)) return hr;
        m_pAllocator->Release();
        m_pAllocator = NULL;
    }
    return S_OK;
}

STDMETHODIMP CBaseInputPin::Receive(IMediaSample *pSample)
{
    CheckPointer(pSample, E_POINTER);
    HRESULT hr = CheckStreaming();
    if (S_OK != hr) return hr;

    DeleteMediaType(m_pSampleType);
    m_pSampleType = NULL;
    IMediaSample2 *pSample2 = NULL;
    if (SUCCEEDED(pSample->QueryInterface(IID_IMediaSample2, (void **)&pSample2))) {
        hr = pSample2->GetProperties(sizeof(m_SampleProps), (PBYTE)&m_SampleProps);
        pSample2->Release();
        if (FAILED(hr)) return hr;
    } else {
        // A sample without IMediaSample2: the same properties, one by one.
        m_SampleProps.cbData = sizeof(m_SampleProps);
        m_SampleProps.dwTypeSpecificFlags = 0;
        m_SampleProps.dwStreamId = AM_STREAM_MEDIA;
        m_SampleProps.dwSampleFlags = 0;
        if (S_OK == pSample->IsDiscontinuity()) m_SampleProps.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
        if (S_OK == pSample->IsPreroll()) m_SampleProps.dwSampleFlags |= AM_SAMPLE_PREROLL;
        if (S_OK == pSample->IsSyncPoint()) m_SampleProps.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
        hr = pSample->GetTime(&m_SampleProps.tStart, &m_SampleProps.tStop);
        if (hr == S_OK) {
            m_SampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
        } else if (hr == VFW_S_NO_STOP_TIME) {
            m_SampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID;
        }
        m_SampleProps.pMediaType = NULL;
        if (S_OK == pSample->GetMediaType(&m_pSampleType)) {
            m_SampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
            m_SampleProps.pMediaType = m_pSampleType;
        }
        pSample->GetPointer(&m_SampleProps.pbBuffer);
        m_SampleProps.lActual = pSample->GetActualDataLength();
        m_SampleProps.cbBuffer = pSample->GetSize();
    }

    if (!(m_SampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) return NOERROR;

    // A type change the source should have asked about with QueryAccept.
    hr = CheckMediaType(static_cast<CMediaType *>(m_SampleProps.pMediaType));
    if (hr == NOERROR) return NOERROR;
    m_bRunTimeError = true;
    EndOfStream();
    m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
    return VFW_E_INVALIDMEDIATYPE;
}

STDMETHODIMP CBaseInputPin::ReceiveMultiple(IMediaSample **pSamples, LONG nSamples, LONG *nSamplesProcessed)
{
    CheckPointer(pSamples, E_POINTER);
    CheckPointer(nSamplesProcessed, E_POINTER);
    HRESULT hr = S_OK;
    *nSamplesProcessed = 0;
    while (nSamples-- > 0) {
        hr = Receive(pSamples[*nSamplesProcessed]);
        // S_FALSE: send no more.
        if (hr != S_OK) break;
        (*nSamplesProcessed)++;
    }
    return hr;
}

STDMETHODIMP CBaseInputPin::ReceiveCanBlock()
{
    int cPins = m_pFilter->GetPinCount();
    int cOutputPins = 0;
    for (int c = 0; c < cPins; c++) {
        CBasePin *pPin = m_pFilter->GetPin(c);
        if (pPin == NULL) break;
        PIN_DIRECTION pd;
        HRESULT hr = pPin->QueryDirection(&pd);
        if (FAILED(hr)) return hr;
        if (pd != PINDIR_OUTPUT) continue;
        IPin *pConnected = NULL;
        if (FAILED(pPin->ConnectedTo(&pConnected))) continue;
        cOutputPins++;
        IMemInputPin *pInputPin = NULL;
        hr = pConnected->QueryInterface(IID_IMemInputPin, (void **)&pInputPin);
        pConnected->Release();
        if (FAILED(hr)) return S_OK; // a transport this pin cannot judge
        hr = pInputPin->ReceiveCanBlock();
        pInputPin->Release();
        if (hr != S_FALSE) return S_OK;
    }
    // A filter without connected outputs (a renderer) is taken to block.
    return cOutputPins == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps)
{
    UNREFERENCED_PARAMETER(pProps);
    return E_NOTIMPL;
}

STDMETHODIMP CBaseInputPin::BeginFlush(void)
{
    CAutoLock lck(m_pLock);
    m_bFlushing = TRUE;
    return S_OK;
}

STDMETHODIMP CBaseInputPin::EndFlush(void)
{
    CAutoLock lck(m_pLock);
    m_bFlushing = FALSE;
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT CBaseInputPin::CheckStreaming()
{
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bFlushing) return S_FALSE;
    if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

HRESULT CBaseInputPin::PassNotify(Quality &q)
{
    if (m_pQSink != NULL) return m_pQSink->Notify(m_pFilter, q);
    // No sink: upstream, to the output pin this pin is connected to.
    HRESULT hr = VFW_E_NOT_FOUND;
    if (m_Connected) {
        IQualityControl *pIQC = NULL;
        m_Connected->QueryInterface(IID_IQualityControl, (void **)&pIQC);
        if (pIQC != NULL) {
            hr = pIQC->Notify(m_pFilter, q);
            pIQC->Release();
        }
    }
    return hr;
}

STDMETHODIMP CBaseInputPin::Notify(IBaseFilter *pSender, Quality q)
{
    UNREFERENCED_PARAMETER(q);
    CheckPointer(pSender, E_POINTER);
    return NOERROR;
}

HRESULT CBaseInputPin::Inactive(void)
{
    m_bRunTimeError = false;
    if (m_pAllocator == NULL) return VFW_E_NO_ALLOCATOR;
    m_bFlushing = FALSE;
    return m_pAllocator->Decommit();
}
