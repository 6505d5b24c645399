// CBaseOutputPin: allocator negotiation and delivery.
#include "outputpin.h"

#include <vfwmsgs.h>

#include "memallocator.h"

CBaseOutputPin::CBaseOutputPin(CObjectName pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr,
                               LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, phr, pName, PINDIR_OUTPUT), m_pAllocator(NULL), m_pInputPin(NULL)
{
}

HRESULT CBaseOutputPin::CompleteConnect(IPin *pReceivePin)
{
    UNREFERENCED_PARAMETER(pReceivePin);
    return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin *pPin, IMemAllocator **ppAlloc)
{
    CheckPointer(pPin, E_POINTER);
    CheckPointer(ppAlloc, E_POINTER);
    *ppAlloc = NULL;

    // The peer's request; DecideBufferSize may change it, the same way for
    // both allocators tried.
    ALLOCATOR_PROPERTIES prop;
    ZeroMemory(&prop, sizeof(prop));
    pPin->GetAllocatorRequirements(&prop);
    if (prop.cbAlign == 0) prop.cbAlign = 1;

    HRESULT hr = pPin->GetAllocator(ppAlloc);
    if (SUCCEEDED(hr) && *ppAlloc) {
        hr = DecideBufferSize(*ppAlloc, &prop);
        if (SUCCEEDED(hr)) {
            hr = pPin->NotifyAllocator(*ppAlloc, FALSE);
            if (SUCCEEDED(hr)) return NOERROR;
        }
    }
    if (*ppAlloc) {
        (*ppAlloc)->Release();
        *ppAlloc = NULL;
    }

    hr = InitAllocator(ppAlloc);
    if (SUCCEEDED(hr)) {
        hr = DecideBufferSize(*ppAlloc, &prop);
        if (SUCCEEDED(hr)) {
            hr = pPin->NotifyAllocator(*ppAlloc, FALSE);
            if (SUCCEEDED(hr)) return NOERROR;
        }
    }
    if (*ppAlloc) {
        (*ppAlloc)->Release();
        *ppAlloc = NULL;
    }
    return hr;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample **ppSample, REFERENCE_TIME *pStartTime, REFERENCE_TIME *pEndTime,
                                          DWORD dwFlags)
{
    if (m_pAllocator != NULL) return m_pAllocator->GetBuffer(ppSample, pStartTime, pEndTime, dwFlags);
    return E_NOINTERFACE;
}

HRESULT CBaseOutputPin::Deliver(IMediaSample *pSample)
{
    if (m_pInputPin == NULL) return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(pSample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream()
{
    if (m_Connected == NULL) return VFW_E_NOT_CONNECTED;
    return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush()
{
    if (m_Connected == NULL) return VFW_E_NOT_CONNECTED;
    return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush()
{
    if (m_Connected == NULL) return VFW_E_NOT_CONNECTED;
    return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    if (m_Connected == NULL) return VFW_E_NOT_CONNECTED;
    return m_Connected->NewSegment(tStart, tStop, dRate);
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator **ppAlloc)
{
    return CreateMemoryAllocator(ppAlloc);
}

HRESULT CBaseOutputPin::CheckConnect(IPin *pPin)
{
    HRESULT hr = CBasePin::CheckConnect(pPin);
    if (FAILED(hr)) return hr;
    return pPin->QueryInterface(IID_IMemInputPin, (void **)&m_pInputPin);
}

HRESULT CBaseOutputPin::BreakConnect()
{
    if (m_pAllocator) {
        // Decommitted here whatever the peer does, or its samples would stay.
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr)) return hr;
        m_pAllocator->Release();
        m_pAllocator = NULL;
    }
    if (m_pInputPin) {
        m_pInputPin->Release();
        m_pInputPin = NULL;
    }
    return NOERROR;
}

HRESULT CBaseOutputPin::Active(void)
{
    if (m_pAllocator == NULL) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive(void)
{
    m_bRunTimeError = false;
    if (m_pAllocator == NULL) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->Decommit();
}

STDMETHODIMP CBaseOutputPin::EndOfStream(void)
{
    return E_UNEXPECTED;
}

STDMETHODIMP CBaseOutputPin::BeginFlush(void)
{
    return E_UNEXPECTED;
}

STDMETHODIMP CBaseOutputPin::EndFlush(void)
{
    return E_UNEXPECTED;
}
