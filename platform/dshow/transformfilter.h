// CTransformFilter: a filter with one input and one output pin that turns
// each input sample into one output sample. A derived class checks types,
// proposes output types, sizes buffers and transforms; it may override
// Receive and the stream control calls to do its own delivery.
//
// Locks: m_csFilter (the filter lock, also the pins' lock) and m_csReceive
// (held around Receive and EndOfStream). Stop makes the input pin inactive,
// then takes the receive lock, makes the output pin inactive and calls
// StopStreaming; Pause from stopped calls StartStreaming under the receive lock.
#pragma once

#include "basefilter.h"
#include "mtype.h"

class CTransformInputPin;
class CTransformOutputPin;

class CTransformFilter : public CBaseFilter {
    friend class CTransformInputPin;
    friend class CTransformOutputPin;

public:
    virtual int GetPinCount();
    // Creates both pins on the first call; 0 the input, 1 the output.
    virtual CBasePin *GetPin(int n);
    // "In" and "Out".
    STDMETHODIMP FindPin(LPCWSTR Id, IPin **ppPin);

    STDMETHODIMP Stop();
    STDMETHODIMP Pause();

    CTransformFilter(CObjectName pName, LPUNKNOWN pUnk, REFCLSID clsid);
    ~CTransformFilter();

    // Override this or Receive.
    virtual HRESULT Transform(IMediaSample *pIn, IMediaSample *pOut);

    virtual HRESULT CheckInputType(const CMediaType *mtIn) PURE;
    virtual HRESULT CheckTransform(const CMediaType *mtIn, const CMediaType *mtOut) PURE;
    virtual HRESULT DecideBufferSize(IMemAllocator *pAllocator, ALLOCATOR_PROPERTIES *pprop) PURE;
    virtual HRESULT GetMediaType(int iPosition, CMediaType *pMediaType) PURE;

    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();

    // S_FALSE passes the quality message upstream.
    virtual HRESULT AlterQuality(Quality q);

    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType *pmt);
    virtual HRESULT CheckConnect(PIN_DIRECTION dir, IPin *pPin);
    virtual HRESULT BreakConnect(PIN_DIRECTION dir);
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin *pReceivePin);

    // Called by the input pin under the receive lock, after its checks.
    // Samples of other streams than AM_STREAM_MEDIA pass through unchanged.
    virtual HRESULT Receive(IMediaSample *pSample);
    virtual HRESULT EndOfStream(void);
    virtual HRESULT BeginFlush(void);
    virtual HRESULT EndFlush(void);
    virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

protected:
    // An output sample with the input sample's times and flags.
    HRESULT InitializeOutputSample(IMediaSample *pSample, IMediaSample **ppOutSample);

    BOOL m_bEOSDelivered;   // end of stream sent while the input was unconnected
    BOOL m_bSampleSkipped;  // the last sample was dropped
    BOOL m_bQualityChanged; // EC_QUALITY_CHANGE sent since Pause

    CCritSec m_csFilter;  // the filter lock
    CCritSec m_csReceive; // held around Receive and EndOfStream

    CTransformInputPin *m_pInput;
    CTransformOutputPin *m_pOutput;
};
