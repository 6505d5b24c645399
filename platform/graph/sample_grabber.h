// The sample grabber (CLSID_SampleGrabber), as a renderer: its input pin
// accepts the media type set with SetMediaType and hands every sample, once
// its time has come, to the ISampleGrabberCB callback on the streaming
// thread. It has no output pin.
#pragma once

#include <qedit.h>

#include <mutex>
#include <vector>

#include "stock_renderer.h"

namespace orvex::graph {

class CSampleGrabber : public CStockRenderer, public ISampleGrabber {
public:
    static CUnknown *WINAPI CreateInstance(LPUNKNOWN pUnk, HRESULT *phr);
    CSampleGrabber(LPUNKNOWN pUnk, HRESULT *phr);
    ~CSampleGrabber() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void **ppv) override;

    // S_OK for a type that matches every field the accepted type specifies.
    HRESULT CheckMediaType(const CMediaType *pmt) override;

    STDMETHODIMP SetOneShot(BOOL OneShot) override;
    STDMETHODIMP SetMediaType(const AM_MEDIA_TYPE *pType) override;
    STDMETHODIMP GetConnectedMediaType(AM_MEDIA_TYPE *pType) override;
    STDMETHODIMP SetBufferSamples(BOOL BufferThem) override;
    // E_INVALIDARG when not buffering, VFW_E_WRONG_STATE before the first
    // sample; a null pBuffer asks for the size; E_OUTOFMEMORY when
    // *pBufferSize is too small.
    STDMETHODIMP GetCurrentBuffer(LONG *pBufferSize, LONG *pBuffer) override;
    STDMETHODIMP GetCurrentSample(IMediaSample **) override { return E_NOTIMPL; }
    // WhichMethodToCallback 0 (SampleCB) or 1 (BufferCB); a null callback
    // stops the calls.
    STDMETHODIMP SetCallback(ISampleGrabberCB *pCallback, LONG WhichMethodToCallback) override;

protected:
    HRESULT RenderSample(IMediaSample *pSample, REFERENCE_TIME start, bool hasTime) override;

private:
    std::mutex m_settingsLock;
    CMediaType m_accepted;
    bool m_oneShot = false;
    bool m_bufferSamples = false;
    bool m_haveBuffer = false;
    std::vector<BYTE> m_buffer;
    ISampleGrabberCB *m_pCallback = nullptr; // one reference held
    LONG m_whichCallback = 0;
};

} // namespace orvex::graph
