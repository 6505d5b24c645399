// CBaseOutputPin: an output pin that delivers media samples through the
// connected pin's IMemInputPin. At connection it agrees an allocator with
// the input pin (the input pin's own first, else one of its own) and sizes
// it through DecideBufferSize; going active commits it, inactive decommits it.
#pragma once

#include "basepin.h"

class CBaseOutputPin : public CBasePin {
protected:
    IMemAllocator *m_pAllocator; // the agreed allocator, one reference held
    IMemInputPin *m_pInputPin;   // the peer's transport, one reference held

public:
    CBaseOutputPin(CObjectName pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName);

    // Allocator negotiation.
    virtual HRESULT CompleteConnect(IPin *pReceivePin);
    // The peer's requirements, then its allocator, then InitAllocator's;
    // each sized by DecideBufferSize and announced with NotifyAllocator.
    virtual HRESULT DecideAllocator(IMemInputPin *pPin, IMemAllocator **pAlloc);
    virtual HRESULT DecideBufferSize(IMemAllocator *pAlloc, ALLOCATOR_PROPERTIES *ppropInputRequest) PURE;

    // A free sample from the allocator (may block; VFW_E_NOT_COMMITTED when stopping).
    virtual HRESULT GetDeliveryBuffer(IMediaSample **ppSample, REFERENCE_TIME *pStartTime, REFERENCE_TIME *pEndTime,
                                      DWORD dwFlags);
    // Hands a sample to the peer's Receive.
    virtual HRESULT Deliver(IMediaSample *);

    virtual HRESULT InitAllocator(IMemAllocator **ppAlloc);
    // Needs an IMemInputPin on the peer.
    virtual HRESULT CheckConnect(IPin *pPin);
    // Decommits and drops the allocator and the peer's transport.
    virtual HRESULT BreakConnect();

    virtual HRESULT Active(void);
    virtual HRESULT Inactive(void);

    // An output pin receives no stream control calls.
    STDMETHODIMP EndOfStream(void);
    STDMETHODIMP BeginFlush(void);
    STDMETHODIMP EndFlush(void);

    // Stream control calls passed to the connected pin.
    virtual HRESULT DeliverEndOfStream(void);
    virtual HRESULT DeliverBeginFlush(void);
    virtual HRESULT DeliverEndFlush(void);
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);
};
