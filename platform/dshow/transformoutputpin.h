// CTransformOutputPin: the output pin of a CTransformFilter. It offers the
// filter's output types once the input is connected, sizes buffers through
// the filter, passes quality messages to the filter (and upstream), and
// answers IMediaSeeking by passing every call to the upstream pin.
#pragma once

#include "outputpin.h"

class CTransformFilter;

class CTransformOutputPin : public CBaseOutputPin {
    friend class CTransformFilter;

protected:
    CTransformFilter *m_pTransformFilter;

public:
    IUnknown *m_pPosition; // the aggregated CPosPassThru, made on first request

    CTransformOutputPin(CObjectName pObjectName, CTransformFilter *pTransformFilter, HRESULT *phr, LPCWSTR pName);
    ~CTransformOutputPin();

    // Adds IMediaSeeking, passed through to the input pin's peer.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv);

    STDMETHODIMP QueryId(LPWSTR *Id);

    // The input pin must be connected first.
    HRESULT CheckConnect(IPin *pPin);
    HRESULT BreakConnect();
    HRESULT CompleteConnect(IPin *pReceivePin);

    // The filter's CheckTransform against the input type.
    HRESULT CheckMediaType(const CMediaType *mtOut);
    HRESULT SetMediaType(const CMediaType *pmt);
    HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *pProp);
    // The filter's GetMediaType; none while the input is unconnected.
    HRESULT GetMediaType(int iPosition, CMediaType *pMediaType);

    // The filter's AlterQuality first; S_FALSE from it passes the message upstream.
    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q);

    CMediaType &CurrentMediaType() { return m_mt; }
};
