// CBaseInputPin: an input pin that receives samples through IMemInputPin.
// Receive refuses samples while the filter is stopped (VFW_E_WRONG_STATE),
// while flushing (S_FALSE) and after a run-time error, and reads each
// sample's properties into SampleProps() for the derived class.
#pragma once

#include "basepin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin {
protected:
    IMemAllocator *m_pAllocator; // the connection's allocator, one reference held
    BYTE m_bReadOnly;
    // Set by BeginFlush on the application's thread, read by Receive on the
    // streaming thread.
    std::atomic<BYTE> m_bFlushing;
    AM_SAMPLE2_PROPERTIES m_SampleProps; // of the sample in Receive

private:
    AM_MEDIA_TYPE *m_pSampleType; // a type copied out of a sample without IMediaSample2

public:
    CBaseInputPin(CObjectName pObjectName, CBaseFilter *pFilter, CCritSec *pLock, HRESULT *phr, LPCWSTR pName);
    virtual ~CBaseInputPin();

    DECLARE_IUNKNOWN
    // Adds IMemInputPin.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv);

    // This pin's allocator, a CMemAllocator made on first request.
    STDMETHODIMP GetAllocator(IMemAllocator **ppAllocator);
    STDMETHODIMP NotifyAllocator(IMemAllocator *pAllocator, BOOL bReadOnly);
    // S_OK to receive; the derived class processes it after this check.
    STDMETHODIMP Receive(IMediaSample *pSample);
    // Receives until a sample is not answered with S_OK.
    STDMETHODIMP ReceiveMultiple(IMediaSample **pSamples, LONG nSamples, LONG *nSamplesProcessed);
    // S_OK when a connected output of the filter leads to a blocking input.
    STDMETHODIMP ReceiveCanBlock();
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES *pProps);

    // Sets the flushing flag under the filter lock; Receive answers S_FALSE
    // until EndFlush. A derived class passes the flush on.
    STDMETHODIMP BeginFlush(void);
    // Clears the flushing flag and the run-time error.
    STDMETHODIMP EndFlush(void);

    // Decommits and drops the allocator.
    HRESULT BreakConnect();
    BOOL IsReadOnly() { return m_bReadOnly; }
    BOOL IsFlushing() { return m_bFlushing; }
    // S_OK when samples may be received, else the refusal Receive answers.
    virtual HRESULT CheckStreaming();
    // Passes a quality message to the quality sink, or upstream.
    HRESULT PassNotify(Quality &q);

    // An input pin is told quality messages only by mistake.
    STDMETHODIMP Notify(IBaseFilter *pSender, Quality q);

    // Decommits the allocator and clears flushing and the run-time error.
    virtual HRESULT Inactive(void);

    AM_SAMPLE2_PROPERTIES *SampleProps() { return &m_SampleProps; }
};
