// CTransformOutputPin.
#include "transfrm.h"

#include <vfwmsgs.h>

#include "posthru.h"

CTransformOutputPin::CTransformOutputPin(CObjectName pObjectName, CTransformFilter *pTransformFilter, HRESULT *phr,
                                         LPCWSTR pPinName)
    : CBaseOutputPin(pObjectName, pTransformFilter, &pTransformFilter->m_csFilter, phr, pPinName),
      m_pTransformFilter(pTransformFilter), m_pPosition(NULL)
{
}

CTransformOutputPin::~CTransformOutputPin()
{
    if (m_pPosition) m_pPosition->Release();
}

STDMETHODIMP CTransformOutputPin::NonDelegatingQueryInterface(REFIID riid, void **ppv)
{
    CheckPointer(ppv, E_POINTER);
    *ppv = NULL;
    if (riid == IID_IMediaSeeking) {
        if (m_pPosition == NULL) {
            HRESULT hr =
                CreatePosPassThru(GetOwner(), FALSE, static_cast<IPin *>(m_pTransformFilter->m_pInput), &m_pPosition);
            if (FAILED(hr)) return hr;
        }
        return m_pPosition->QueryInterface(riid, ppv);
    }
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CTransformOutputPin::QueryId(LPWSTR *Id)
{
    return AMGetWideString(L"Out", Id);
}

HRESULT CTransformOutputPin::CheckConnect(IPin *pPin)
{
    if (m_pTransformFilter->m_pInput == NULL || !m_pTransformFilter->m_pInput->IsConnected()) return E_UNEXPECTED;
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pPin);
    if (FAILED(hr)) return hr;
    return CBaseOutputPin::CheckConnect(pPin);
}

HRESULT CTransformOutputPin::BreakConnect()
{
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin *pReceivePin)
{
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, pReceivePin);
    if (FAILED(hr)) return hr;
    return CBaseOutputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType *pmtOut)
{
    if (m_pTransformFilter->m_pInput == NULL || !m_pTransformFilter->m_pInput->IsConnected()) return E_INVALIDARG;
    return m_pTransformFilter->CheckTransform(&m_pTransformFilter->m_pInput->CurrentMediaType(), pmtOut);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType *pmtOut)
{
    HRESULT hr = CBasePin::SetMediaType(pmtOut);
    if (FAILED(hr)) return hr;
    return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, pmtOut);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator *pAllocator, ALLOCATOR_PROPERTIES *pProp)
{
    return m_pTransformFilter->DecideBufferSize(pAllocator, pProp);
}

HRESULT CTransformOutputPin::GetMediaType(int iPosition, CMediaType *pMediaType)
{
    if (m_pTransformFilter->m_pInput != NULL && m_pTransformFilter->m_pInput->IsConnected()) {
        return m_pTransformFilter->GetMediaType(iPosition, pMediaType);
    }
    return VFW_S_NO_MORE_ITEMS;
}

STDMETHODIMP CTransformOutputPin::Notify(IBaseFilter *pSender, Quality q)
{
    UNREFERENCED_PARAMETER(pSender);
    HRESULT hr = m_pTransformFilter->AlterQuality(q);
    if (hr != S_FALSE) return hr; // handled, or failed
    return m_pTransformFilter->m_pInput->PassNotify(q);
}
