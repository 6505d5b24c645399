// CTransformFilter: pins, state changes and the default sample transform.
#include "transfrm.h"

#include <cwchar>
#include <new>

#include <evcode.h>
#include <vfwmsgs.h>

CTransformFilter::CTransformFilter(CObjectName pName, LPUNKNOWN pUnk, REFCLSID clsid)
    : CBaseFilter(pName, pUnk, &m_csFilter, clsid), m_bEOSDelivered(FALSE), m_bSampleSkipped(FALSE),
      m_bQualityChanged(FALSE), m_pInput(NULL), m_pOutput(NULL)
{
}

CTransformFilter::~CTransformFilter()
{
    delete m_pInput;
    delete m_pOutput;
}

HRESULT CTransformFilter::Transform(IMediaSample *pIn, IMediaSample *pOut)
{
    UNREFERENCED_PARAMETER(pIn);
    UNREFERENCED_PARAMETER(pOut);
    return E_UNEXPECTED;
}

int CTransformFilter::GetPinCount()
{
    return 2;
}

CBasePin *CTransformFilter::GetPin(int n)
{
    HRESULT hr = S_OK;
    if (m_pInput == NULL) {
        m_pInput = new (std::nothrow) CTransformInputPin(NAME("Transform input pin"), this, &hr, L"XForm In");
        if (m_pInput == NULL) return NULL;
        m_pOutput = new (std::nothrow) CTransformOutputPin(NAME("Transform output pin"), this, &hr, L"XForm Out");
        if (m_pOutput == NULL) {
            delete m_pInput;
            m_pInput = NULL;
        }
    }
    if (n == 0) return m_pInput;
    if (n == 1) return m_pOutput;
    return NULL;
}

STDMETHODIMP CTransformFilter::FindPin(LPCWSTR Id, IPin **ppPin)
{
    CheckPointer(ppPin, E_POINTER);
    CheckPointer(Id, E_POINTER);
    if (std::wcscmp(Id, L"In") == 0) {
        *ppPin = GetPin(0);
    } else if (std::wcscmp(Id, L"Out") == 0) {
        *ppPin = GetPin(1);
    } else {
        *ppPin = NULL;
        return VFW_E_NOT_FOUND;
    }
    if (*ppPin == NULL) return E_OUTOFMEMORY;
    (*ppPin)->AddRef();
    return NOERROR;
}

HRESULT CTransformFilter::StartStreaming()
{
    return NOERROR;
}

HRESULT CTransformFilter::StopStreaming()
{
    return NOERROR;
}

HRESULT CTransformFilter::AlterQuality(Quality q)
{
    UNREFERENCED_PARAMETER(q);
    return S_FALSE;
}

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION direction, const CMediaType *pmt)
{
    UNREFERENCED_PARAMETER(direction);
    UNREFERENCED_PARAMETER(pmt);
    return NOERROR;
}

HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION dir, IPin *pPin)
{
    UNREFERENCED_PARAMETER(dir);
    UNREFERENCED_PARAMETER(pPin);
    return NOERROR;
}

HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION dir)
{
    UNREFERENCED_PARAMETER(dir);
    return NOERROR;
}

HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION direction, IPin *pReceivePin)
{
    UNREFERENCED_PARAMETER(direction);
    UNREFERENCED_PARAMETER(pReceivePin);
    return NOERROR;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample *pSample, IMediaSample **ppOutSample)
{
    AM_SAMPLE2_PROPERTIES *const pProps = m_pInput->SampleProps();
    DWORD dwFlags = m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0;
    // Not at a sync point: a renderer should not switch its surface now.
    if (!(pProps->dwSampleFlags & AM_SAMPLE_SPLICEPOINT)) dwFlags |= AM_GBF_NOTASYNCPOINT;

    IMediaSample *pOutSample = NULL;
    HRESULT hr = m_pOutput->m_pAllocator->GetBuffer(
        &pOutSample, (pProps->dwSampleFlags & AM_SAMPLE_TIMEVALID) ? &pProps->tStart : NULL,
        (pProps->dwSampleFlags & AM_SAMPLE_STOPVALID) ? &pProps->tStop : NULL, dwFlags);
    *ppOutSample = pOutSample;
    if (FAILED(hr)) return hr;

    IMediaSample2 *pOutSample2 = NULL;
    if (SUCCEEDED(pOutSample->QueryInterface(IID_IMediaSample2, (void **)&pOutSample2))) {
        // The input's flags and times; the output keeps its own type change.
        AM_SAMPLE2_PROPERTIES OutProps;
        EXECUTE_ASSERT(
            SUCCEEDED(pOutSample2->GetProperties(FIELD_OFFSET(AM_SAMPLE2_PROPERTIES, tStart), (PBYTE)&OutProps)));
        OutProps.dwTypeSpecificFlags = pProps->dwTypeSpecificFlags;
        OutProps.dwSampleFlags =
            (OutProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED) | (pProps->dwSampleFlags & ~AM_SAMPLE_TYPECHANGED);
        OutProps.tStart = pProps->tStart;
        OutProps.tStop = pProps->tStop;
        OutProps.cbData = FIELD_OFFSET(AM_SAMPLE2_PROPERTIES, dwStreamId);
        hr = pOutSample2->SetProperties(FIELD_OFFSET(AM_SAMPLE2_PROPERTIES, dwStreamId), (PBYTE)&OutProps);
        if (pProps->dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) m_bSampleSkipped = FALSE;
        pOutSample2->Release();
    } else {
        if (pProps->dwSampleFlags & AM_SAMPLE_TIMEVALID) pOutSample->SetTime(&pProps->tStart, &pProps->tStop);
        if (pProps->dwSampleFlags & AM_SAMPLE_SPLICEPOINT) pOutSample->SetSyncPoint(TRUE);
        if (pProps->dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) {
            pOutSample->SetDiscontinuity(TRUE);
            m_bSampleSkipped = FALSE;
        }
        LONGLONG MediaStart, MediaEnd;
        if (pSample->GetMediaTime(&MediaStart, &MediaEnd) == NOERROR) {
            pOutSample->SetMediaTime(&MediaStart, &MediaEnd);
        }
    }
    return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample *pSample)
{
    AM_SAMPLE2_PROPERTIES *const pProps = m_pInput->SampleProps();
    if (pProps->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->m_pInputPin->Receive(pSample);

    IMediaSample *pOutSample = NULL;
    HRESULT hr = InitializeOutputSample(pSample, &pOutSample);
    if (FAILED(hr)) return hr;

    hr = Transform(pSample, pOutSample);
    if (SUCCEEDED(hr)) {
        if (hr == NOERROR) {
            hr = m_pOutput->m_pInputPin->Receive(pOutSample);
            m_bSampleSkipped = FALSE;
        } else if (hr == S_FALSE) {
            // The derived class dropped the sample. Receive answers S_OK: an
            // S_FALSE would tell upstream to stop sending.
            pOutSample->Release();
            m_bSampleSkipped = TRUE;
            if (!m_bQualityChanged) {
                NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
                m_bQualityChanged = TRUE;
            }
            return NOERROR;
        }
    }
    pOutSample->Release();
    return hr;
}

HRESULT CTransformFilter::EndOfStream(void)
{
    if (m_pOutput == NULL) return NOERROR;
    return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush(void)
{
    if (m_pOutput == NULL) return NOERROR;
    return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush(void)
{
    if (m_pOutput == NULL) return NOERROR;
    return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    if (m_pOutput == NULL) return S_OK;
    return m_pOutput->DeliverNewSegment(tStart, tStop, dRate);
}

STDMETHODIMP CTransformFilter::Stop()
{
    CAutoLock lck1(&m_csFilter);
    if (m_State == State_Stopped) return NOERROR;

    // Not fully connected: nothing streams, so nothing to stop.
    if (m_pInput == NULL || m_pInput->IsConnected() == FALSE || m_pOutput->IsConnected() == FALSE) {
        m_State = State_Stopped;
        m_bEOSDelivered = FALSE;
        return NOERROR;
    }

    // The input first, before the receive lock: decommitting its allocator
    // makes an upstream thread waiting for a buffer give up, so a Receive in
    // progress can finish and free the receive lock.
    m_pInput->Inactive();
    CAutoLock lck2(&m_csReceive);
    m_pOutput->Inactive();

    HRESULT hr = StopStreaming();
    if (SUCCEEDED(hr)) {
        m_State = State_Stopped;
        m_bEOSDelivered = FALSE;
    }
    return hr;
}

STDMETHODIMP CTransformFilter::Pause()
{
    CAutoLock lck(&m_csFilter);
    HRESULT hr = NOERROR;
    if (m_State == State_Paused) {
        // nothing to do
    } else if (m_pInput == NULL || m_pInput->IsConnected() == FALSE) {
        // Without input nothing will ever come: tell downstream at once, so a
        // renderer does not wait for samples forever.
        if (m_pOutput && m_bEOSDelivered == FALSE) {
            m_pOutput->DeliverEndOfStream();
            m_bEOSDelivered = TRUE;
        }
        m_State = State_Paused;
    } else if (m_pOutput->IsConnected() == FALSE) {
        m_State = State_Paused;
    } else {
        if (m_State == State_Stopped) {
            CAutoLock lck2(&m_csReceive);
            hr = StartStreaming();
        }
        if (SUCCEEDED(hr)) hr = CBaseFilter::Pause();
    }
    m_bSampleSkipped = FALSE;
    m_bQualityChanged = FALSE;
    return hr;
}
