// CTransformInputPin.
#include "transfrm.h"

#include <vfwmsgs.h>

CTransformInputPin::CTransformInputPin(CObjectName pObjectName, CTransformFilter *pTransformFilter, HRESULT *phr,
                                       LPCWSTR pName)
    : CBaseInputPin(pObjectName, pTransformFilter, &pTransformFilter->m_csFilter, phr, pName),
      m_pTransformFilter(pTransformFilter)
{
}

STDMETHODIMP CTransformInputPin::QueryId(LPWSTR *Id)
{
    return AMGetWideString(L"In", Id);
}

HRESULT CTransformInputPin::CheckConnect(IPin *pPin)
{
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pPin);
    if (FAILED(hr)) return hr;
    return CBaseInputPin::CheckConnect(pPin);
}

HRESULT CTransformInputPin::BreakConnect()
{
    m_pTransformFilter->BreakConnect(PINDIR_INPUT);
    return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin *pReceivePin)
{
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, pReceivePin);
    if (FAILED(hr)) return hr;
    return CBaseInputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType *pmt)
{
    HRESULT hr = m_pTransformFilter->CheckInputType(pmt);
    if (S_OK != hr) return hr;
    // A connected output constrains the input to types it can follow.
    if (m_pTransformFilter->m_pOutput != NULL && m_pTransformFilter->m_pOutput->IsConnected()) {
        return m_pTransformFilter->CheckTransform(pmt, &m_pTransformFilter->m_pOutput->CurrentMediaType());
    }
    return hr;
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType *mtIn)
{
    HRESULT hr = CBasePin::SetMediaType(mtIn);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_INPUT, mtIn);
}

HRESULT CTransformInputPin::CheckStreaming()
{
    if (m_pTransformFilter->m_pOutput == NULL || !m_pTransformFilter->m_pOutput->IsConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    if (m_bFlushing) return S_FALSE;
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
    return S_OK;
}

STDMETHODIMP CTransformInputPin::EndOfStream(void)
{
    CAutoLock lck(&m_pTransformFilter->m_csReceive);
    HRESULT hr = CheckStreaming();
    if (S_OK == hr) hr = m_pTransformFilter->EndOfStream();
    return hr;
}

STDMETHODIMP CTransformInputPin::BeginFlush(void)
{
    CAutoLock lck(&m_pTransformFilter->m_csFilter);
    if (!IsConnected() || m_pTransformFilter->m_pOutput == NULL || !m_pTransformFilter->m_pOutput->IsConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    HRESULT hr = CBaseInputPin::BeginFlush();
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->BeginFlush();
}

STDMETHODIMP CTransformInputPin::EndFlush(void)
{
    CAutoLock lck(&m_pTransformFilter->m_csFilter);
    if (!IsConnected() || m_pTransformFilter->m_pOutput == NULL || !m_pTransformFilter->m_pOutput->IsConnected()) {
        return VFW_E_NOT_CONNECTED;
    }
    HRESULT hr = m_pTransformFilter->EndFlush();
    if (FAILED(hr)) return hr;
    return CBaseInputPin::EndFlush();
}

STDMETHODIMP CTransformInputPin::Receive(IMediaSample *pSample)
{
    CAutoLock lck(&m_pTransformFilter->m_csReceive);
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (S_OK == hr) hr = m_pTransformFilter->Receive(pSample);
    return hr;
}

STDMETHODIMP CTransformInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    CBasePin::NewSegment(tStart, tStop, dRate);
    return m_pTransformFilter->NewSegment(tStart, tStop, dRate);
}
