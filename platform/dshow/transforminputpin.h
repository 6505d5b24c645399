// CTransformInputPin: the input pin of a CTransformFilter. Type checks,
// connection steps, Receive, end of stream, flushes and new segments go to
// the filter; Receive and EndOfStream run under the filter's receive lock.
#pragma once

#include "inputpin.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
    friend class CTransformFilter;

protected:
    CTransformFilter *m_pTransformFilter;

public:
    CTransformInputPin(CObjectName pObjectName, CTransformFilter *pTransformFilter, HRESULT *phr, LPCWSTR pName);

    STDMETHODIMP QueryId(LPWSTR *Id);

    HRESULT CheckConnect(IPin *pPin);
    HRESULT BreakConnect();
    HRESULT CompleteConnect(IPin *pReceivePin);

    // The filter's CheckInputType, and CheckTransform against the output
    // type while the output pin is connected.
    HRESULT CheckMediaType(const CMediaType *mtIn);
    HRESULT SetMediaType(const CMediaType *mt);

    // Under the receive lock: the base class checks, then the filter.
    STDMETHODIMP Receive(IMediaSample *pSample);
    STDMETHODIMP EndOfStream(void);
    // Under the filter lock: the base class marks the flush, then the filter.
    STDMETHODIMP BeginFlush(void);
    STDMETHODIMP EndFlush(void);
    // Stores the segment in this pin before the filter hears of it.
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    // VFW_E_NOT_CONNECTED without a connected output, S_FALSE while
    // flushing, VFW_E_WRONG_STATE when stopped, VFW_E_RUNTIME_ERROR.
    HRESULT CheckStreaming();

    CMediaType &CurrentMediaType() { return m_mt; }
};
