// The base of the stock renderers: a filter with one input pin that hands
// each sample on (RenderSample) once its time has come. With a reference
// clock a sample waits until the stream time reaches its start; a sample
// that arrives after its start is passed on at once and a quality message
// with its lateness goes upstream (and one more once samples are on time
// again). Without a clock samples pass as fast as they come. While paused,
// a sample waits for Run; a stop or a flush sends it back. EC_COMPLETE goes
// to the graph at the end of the stream, once the filter runs.
#pragma once

#include <atomic>
#include <mutex>

#include "amfilter.h"

namespace orvex::graph {

class CStockRenderer;

class CRendererInputPin : public CBaseInputPin {
public:
    CRendererInputPin(CStockRenderer *pRenderer, CCritSec *pLock, HRESULT *phr, LPCWSTR pName);

    HRESULT CheckMediaType(const CMediaType *pmt) override;
    STDMETHODIMP Receive(IMediaSample *pSample) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

private:
    CStockRenderer *m_pRenderer;
};

class CStockRenderer : public CBaseFilter {
public:
    CStockRenderer(CObjectName pName, LPUNKNOWN pUnk, REFCLSID clsid, HRESULT *phr);
    ~CStockRenderer() override;

    int GetPinCount() override { return 1; }
    CBasePin *GetPin(int n) override;

    // Stop waits for a sample being handed on to come back.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    // The input's media type check.
    virtual HRESULT CheckMediaType(const CMediaType *pmt) = 0;

    // From the input pin, after its own checks.
    HRESULT Receive(IMediaSample *pSample);
    HRESULT EndOfStream();
    void BeginFlush();

protected:
    // A sample whose time has come; its result is Receive's.
    virtual HRESULT RenderSample(IMediaSample *pSample, REFERENCE_TIME start, bool hasTime) = 0;
    // Ends the stream from inside (a one-shot grabber): EC_COMPLETE as if the
    // end of the stream had come, and every later sample is answered S_FALSE.
    void CompleteStream();

    CCritSec m_Lock; // the filter lock
    CRendererInputPin *m_pInputPin;

private:
    // S_OK once the sample may be handed on; the refusal otherwise.
    // lateness: stream time minus start when it first could have been handed on.
    HRESULT waitForSampleTime(bool hasTime, REFERENCE_TIME start, bool &clocked, REFERENCE_TIME &lateness);
    IReferenceClock *clock(); // with a reference, or null
    void sendQuality(REFERENCE_TIME lateness, REFERENCE_TIME start);
    void endStream(bool fromUpstream);
    void resetStream();

    enum class Ended { No, ByUpstream, ByRenderer };

    CCritSec m_ReceiveLock;              // held while a sample or the end of the stream is taken
    std::atomic<bool> m_stopping{false}; // set before Stop waits for m_ReceiveLock
    std::mutex m_streamLock;             // the three members below
    Ended m_ended = Ended::No;
    bool m_completeSent = false;
    bool m_lateReported = false;
    CAMEvent m_wake;  // a state change or a flush
    CAMEvent m_timer; // the clock's advise
};

} // namespace orvex::graph
